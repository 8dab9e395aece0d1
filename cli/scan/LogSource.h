#pragma once

#include "host/SessionEncoding.h"

#include <cstdint>
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
// that a file of any size costs one block of memory. Its encoding is what a
// byte-order mark at its start says (UTF-8, UTF-16LE, UTF-16BE), else
// UTF-16 when its first block is UTF-16 without a mark (every other byte
// NUL), else the one given (--encoding), else the platform's default. A
// first block that is mostly NUL bytes in no such order is no text: it is
// refused rather than read as lines that hold nothing. UTF-16 is handed on
// as UTF-8, a unit that is no character as U+FFFD; a byte-order mark is
// never handed on.
class LogSource {
public:
    static constexpr std::size_t BlockBytes = 1 << 16;

    enum class Utf16 { No, LittleEndian, BigEndian };
    // The encoding a user named: UTF-16 of one byte order, or a session
    // encoding. Neither: none named.
    struct Given {
        std::optional<SessionEncoding> session;
        Utf16 utf16 = Utf16::No;
    };
    // UTF-16LE and UTF-16BE (also without the hyphen, in any case), else a
    // session encoding's name; none for a name Tamberlo does not know.
    static std::optional<Given> Named(const std::string& name);

    // Opens the file and reads its first block; throws std::runtime_error
    // "<path>: cannot read: <reason>" when it cannot or the block is no text.
    LogSource(const std::string& path, const Given& given);
    ~LogSource();
    LogSource(const LogSource&) = delete;
    LogSource& operator=(const LogSource&) = delete;

    // The encoding of what Read hands on.
    const SessionEncoding& Encoding() const noexcept { return encoding_; }
    // True for UTF-16: what Read hands on is not the file's bytes.
    bool Transcoded() const noexcept { return utf16_ != Utf16::No; }
    // The bytes of the file read so far, a mark included: after Read, the
    // length that was judged, however much a writer has added since.
    std::uint64_t BytesRead() const noexcept { return bytesRead_; }

    // Hands `take` the text a block at a time to the file's end. Throws
    // RunStopped once `stop` (when given) is requested, and
    // std::runtime_error when a read fails.
    void Read(const std::function<void(std::string_view)>& take, const StopSignal* stop);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const noexcept { std::fclose(file); }
    };

    // Takes a mark at the start of `start_` off, else looks at the bytes
    // for UTF-16 without one; throws for a block of NUL bytes.
    void FindEncoding(const Given& given);
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
    std::uint64_t bytesRead_ = 0;
};

}  // namespace tamberlo::cli
