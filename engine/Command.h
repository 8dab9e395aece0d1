#pragma once

#include <string>

namespace tamberlo {

// The program buffer of a run: the client's program text (Value) and the
// statements that the engine itself writes ahead of it (Preamble).
class Command {
public:
    const std::string& Value() const noexcept { return value_; }
    void SetValue(std::string Command) { value_ = std::move(Command); }

    // Adds the segment and a carriage return and line feed, nothing trimmed.
    void Append(const std::string& NewCommandSegment);
    // Adds the whole content of the file, byte for byte, with no line break
    // before or after it. On failure throws the file system's error and
    // leaves the buffer as it was.
    void AppendStoredProgram(const std::string& Program);
    void Clear() noexcept { value_.clear(); }
    // Empties the buffer, then reads the file into it; after a failure the
    // buffer stays empty.
    void LoadStoredProgram(const std::string& Program);

    const std::string& Preamble() const noexcept { return preamble_; }
    void SetPreamble(std::string text) { preamble_ = std::move(text); }

private:
    std::string value_;
    std::string preamble_;
};

}  // namespace tamberlo
