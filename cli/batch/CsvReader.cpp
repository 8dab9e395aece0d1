#include "cli/batch/CsvReader.h"

#include "host/SessionEncoding.h"

#include <algorithm>

namespace tamberlo::cli {
namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// Reads one text from start to end, a record at a time.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool AtEnd() const noexcept { return pos_ >= text_.size(); }

    // Steps over a line break at the current place; false when none is there.
    bool LineBreak() {
        if (text_.compare(pos_, 2, "\r\n") == 0) {
            pos_ += 2;
        } else if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        } else {
            return false;
        }
        ++line_;
        return true;
    }

    CsvRecord Record() {
        CsvRecord record{line_, {}};
        for (;;) {
            record.fields.push_back(Field());
            if (AtEnd() || LineBreak()) return record;
            ++pos_;  // the comma
        }
    }

private:
    std::string Field() { return pos_ < text_.size() && text_[pos_] == '"' ? Quoted() : Plain(); }

    // Up to the next comma or line break. A CR alone is text: only CR LF
    // ends a record.
    std::string Plain() {
        const std::size_t start = pos_;
        for (; pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n'; ++pos_) {
            if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') break;
            if (text_[pos_] == '"')
                throw CsvReader::Malformed(line_, "a quotation mark inside a field that does not start with one");
        }
        return std::string(text_.substr(start, pos_ - start));
    }

    std::string Quoted() {
        const std::size_t opened = line_;
        std::string field;
        ++pos_;
        for (;;) {
            const std::size_t quote = text_.find('"', pos_);
            if (quote == std::string_view::npos) throw CsvReader::Malformed(opened, "a quoted field is not closed");
            const std::string_view part = text_.substr(pos_, quote - pos_);
            line_ += static_cast<std::size_t>(std::count(part.begin(), part.end(), '\n'));
            field.append(part);
            pos_ = quote + 1;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                field.push_back('"');
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] != ',' && text_.compare(pos_, 2, "\r\n") != 0 &&
                text_[pos_] != '\n') {
                throw CsvReader::Malformed(line_, "text after the closing quotation mark of a field");
            }
            return field;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

}  // namespace

std::vector<CsvRecord> CsvReader::Read(std::string_view text) {
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark) text.remove_prefix(byteOrderMark.size());
    if (const std::size_t invalid = utf8::FirstInvalid(text); invalid != std::string_view::npos) {
        const auto before = text.substr(0, invalid);
        throw Malformed(static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1, "not UTF-8 text");
    }
    std::vector<CsvRecord> records;
    Scanner scanner(text);
    while (!scanner.AtEnd()) {
        if (scanner.LineBreak()) continue;  // an empty line
        records.push_back(scanner.Record());
    }
    return records;
}

}  // namespace tamberlo::cli
