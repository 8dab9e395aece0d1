#pragma once

#include <string_view>

namespace tamberlo::cli {

// Recognises the error and warning lines of a SAS log as SAS writes them: at
// the very start of a line, "ERROR" or "WARNING", optionally a blank and one
// or more message numbers ("180-322", or "22-322, 200-322"), then a colon.
// A leading form feed (SAS starts a page with one) is allowed. The word
// anywhere else in a line, such as an echoed source line
// "3          put 'ERROR: x';", does not count.
class LogLineClassifier {
public:
    enum class Kind { Other, Warning, Error };

    struct Counts {
        long errorLines = 0;
        long warningLines = 0;
        bool operator==(const Counts&) const = default;
    };

    // One line, without its line break.
    static Kind Classify(std::string_view line) noexcept;

    // Every line of a log; lines end in LF, CR LF or a lone CR.
    static Counts Count(std::string_view log) noexcept;
};

}  // namespace tamberlo::cli
