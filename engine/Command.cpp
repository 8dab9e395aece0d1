#include "engine/Command.h"

#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/Error.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <string_view>

namespace tamberlo {

void Command::Append(const std::string& NewCommandSegment) {
    value_.reserve(value_.size() + NewCommandSegment.size() + 2);
    value_ += NewCommandSegment;
    value_ += sas::CrLf;
}

void Command::AppendStoredProgram(const std::string& Program) {
    // Read first: a failure leaves the buffer as it was.
    AppendStoredContent(filesystem::ReadWholeFile(Program));
}

void Command::AppendStoredContent(const std::string& content) {
    if (content.empty()) return;
    stored_.reserve(stored_.size() + 1);
    stored_.emplace_back(value_.size(), value_.size() + content.size());
    value_ += content;
}

void Command::LoadStoredProgram(const std::string& Program) {
    Clear();
    value_ = filesystem::ReadWholeFile(Program);
    if (!value_.empty()) stored_.emplace_back(0, value_.size());
}

template <typename Use>
void Command::ForEachPiece(Use&& use) const {
    const std::string_view value(value_);
    std::size_t at = 0;
    for (const auto& [begin, end] : stored_) {
        if (begin > at) use(value.substr(at, begin - at), false, at);
        use(value.substr(begin, end - begin), true, begin);
        at = end;
    }
    if (at < value.size()) use(value.substr(at), false, at);
}

std::string Command::Encoded(const SessionEncoding& encoding) const {
    std::string out;
    out.reserve(value_.size());
    ForEachPiece([&](std::string_view piece, bool stored, std::size_t offset) {
        if (stored) {
            out.append(piece);
            return;
        }
        try {
            out += encoding.FromUtf8(piece);
        } catch (const UnrepresentableCharacter& character) {
            const std::size_t at = offset + character.Offset();
            const auto line = 1 + std::count(value_.begin(), value_.begin() + static_cast<std::ptrdiff_t>(at), '\n');
            throw Error(ComponentErrorNumber, ExecuteSource,
                        "The program cannot be written in the SAS session encoding " + encoding.Name() + ": " +
                            (character.NotUtf8() ? "" : "the character ") + character.Describe() + " in line " +
                            std::to_string(line) + " has no place in it.");
        }
    });
    return out;
}

std::string Command::Text(const SessionEncoding& encoding) const {
    if (stored_.empty()) return value_;
    std::string out;
    out.reserve(value_.size());
    ForEachPiece([&](std::string_view piece, bool stored, std::size_t) {
        out += stored ? encoding.ToUtf8(piece) : std::string(piece);
    });
    return out;
}

}  // namespace tamberlo
