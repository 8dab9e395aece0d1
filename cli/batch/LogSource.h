#pragma once

#include "host/SessionEncoding.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tamberlo {
class StopSignal;
}

namespace tamberlo::cli {

// A log (or listing) that SAS wrote elsewhere, read a block at a time so
// that a file of any size costs one block of memory. Its encoding is the
// one given (--encoding), else what a byte-order mark at its start says
// (UTF-8, UTF-16LE, UTF-16BE), else the platform's default. UTF-16 is
// handed on as UTF-8, a unit that is no character as U+FFFD; a byte-order
// mark is never handed on.
class LogSource {
public:
    static constexpr std::size_t BlockBytes = 1 << 16;

    // Opens the file; throws std::runtime_error "<path>: cannot read:
    // <reason>" when it cannot.
    LogSource(const std::string& path, const std::optional<SessionEncoding>& given);
    ~LogSource();
    LogSource(const LogSource&) = delete;
    LogSource& operator=(const LogSource&) = delete;

    // The encoding of what Read hands on.
    const SessionEncoding& Encoding() const noexcept { return encoding_; }
    // True for UTF-16: what Read hands on is not the file's bytes.
    bool Transcoded() const noexcept { return utf16_ != Utf16::No; }

    // Hands `take` the text a block at a time to the file's end. Throws
    // RunStopped once `stop` (when given) is requested, and
    // std::runtime_error when a read fails.
    void Read(const std::function<void(std::string_view)>& take, const StopSignal* stop);

private:
    enum class Utf16 { No, LittleEndian, BigEndian };
    struct FileCloser {
        void operator()(std::FILE* file) const noexcept { std::fclose(file); }
    };

    // The UTF-16 units of `bytes` (after any odd byte kept from the block
    // before) appended to `out` as UTF-8.
    void DecodeUtf16(std::string_view bytes, std::string& out, bool last);

    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    SessionEncoding encoding_;
    Utf16 utf16_ = Utf16::No;
    std::string start_;           // the bytes read to find a mark, less the mark
    std::string oddByte_;         // of a unit split between two blocks
    char16_t highSurrogate_ = 0;  // waiting for its low half
};

}  // namespace tamberlo::cli
