#include "cli/reports/StdioStreamBuffer.h"

namespace tamberlo::cli {

StdioStreamBuffer::int_type StdioStreamBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return std::fputc(traits_type::to_char_type(c), stream_) == EOF ? traits_type::eof() : c;
}

std::streamsize StdioStreamBuffer::xsputn(const char* text, std::streamsize count) {
    return static_cast<std::streamsize>(std::fwrite(text, 1, static_cast<std::size_t>(count), stream_));
}

int StdioStreamBuffer::sync() { return std::fflush(stream_) == 0 ? 0 : -1; }

}  // namespace tamberlo::cli
