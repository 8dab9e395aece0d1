#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tamberlo::standin {

// An open output file that is closed when its owner goes. Bytes are written
// unchanged (binary mode), so line ends are whatever the caller writes.
class OutputFile {
public:
    enum class Mode { Replace, Append };

    OutputFile() = default;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Opens `path`, creating it if needed; Replace empties an existing file,
    // Append writes after its end. On failure returns false, leaves errno as
    // the C runtime set it and the object closed.
    bool Open(const std::string& path, Mode mode);

    // Write errors are remembered and reported by Close.
    void Write(std::string_view bytes);

    // Flushes and closes. False if any write or the close failed. Closing a
    // closed object is a no-op that returns true.
    bool Close();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

}  // namespace tamberlo::standin
