#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::standin {

// The text of a SAS configuration file (or of options in a variable) as the
// words SAS reads from it. Blanks, tabs and line ends separate words. A
// comment runs from a "/*" that stands where a word would start to the next
// "*/" (to the end of the text when none follows). A word that starts with a
// quotation mark, double or single, runs to the next one of the same kind
// and is taken without the two (an unclosed one runs to the end of the
// text), whatever it holds; any other word runs to the next blank, tab or
// line end, quotation marks and "/*" inside it taken as they are.
class ConfigurationText {
public:
    static std::vector<std::string> Words(std::string_view text);
};

}  // namespace tamberlo::standin
