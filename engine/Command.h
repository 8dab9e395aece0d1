#pragma once

#include "host/SessionEncoding.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tamberlo {

// The program buffer of a run: the client's program text (Value) and the
// statements that the engine itself writes ahead of it (Preamble).
//
// Value holds two kinds of bytes: text that the client handed over, in
// UTF-8, and stored program files appended byte for byte, already in the
// session's encoding. A run writes the first encoded in its session
// encoding (Encoded) and the second unchanged.
class Command {
public:
    const std::string& Value() const noexcept { return value_; }
    void SetValue(std::string Command) {
        value_ = std::move(Command);
        stored_.clear();
    }

    // Adds the segment and a carriage return and line feed, nothing trimmed.
    void Append(const std::string& NewCommandSegment);
    // Adds the whole content of the file, byte for byte, with no line break
    // before or after it. On failure throws the file system's error and
    // leaves the buffer as it was.
    void AppendStoredProgram(const std::string& Program);
    // The same for content read by the caller.
    void AppendStoredContent(const std::string& content);
    void Clear() noexcept {
        value_.clear();
        stored_.clear();
    }
    // Empties the buffer, then reads the file into it; after a failure the
    // buffer stays empty.
    void LoadStoredProgram(const std::string& Program);

    // The program as SAS is to read it: the client's text in `encoding`,
    // stored programs as they are. A character the encoding cannot hold
    // raises error 1, "Execute method", naming it, its line and the encoding.
    std::string Encoded(const SessionEncoding& encoding) const;
    // The program as UTF-8: stored programs decoded from `encoding`.
    std::string Text(const SessionEncoding& encoding) const;

    const std::string& Preamble() const noexcept { return preamble_; }
    void SetPreamble(std::string text) { preamble_ = std::move(text); }

private:
    // Calls use(piece, stored) for each piece of Value in order.
    template <typename Use>
    void ForEachPiece(Use&& use) const;

    std::string value_;
    // The [begin, end) ranges of Value that came from stored programs.
    std::vector<std::pair<std::size_t, std::size_t>> stored_;
    std::string preamble_;
};

}  // namespace tamberlo
