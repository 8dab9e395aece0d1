#pragma once

#include <cstdio>
#include <streambuf>

namespace tamberlo::cli {

// An output stream buffer over a C stream, for a report written straight
// into a device or pipe that was opened as one: what a std::ostream puts
// goes to the stream unchanged, buffered by the stream itself. A failed
// write fails the ostream. The C stream stays the caller's.
class StdioStreamBuffer : public std::streambuf {
public:
    explicit StdioStreamBuffer(std::FILE* stream) noexcept : stream_(stream) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    std::FILE* stream_;
};

}  // namespace tamberlo::cli
