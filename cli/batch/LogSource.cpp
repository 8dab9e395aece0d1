#include "cli/batch/LogSource.h"

#include "cli/CommandText.h"
#include "cli/Console.h"
#include "engine/Engine.h"
#include "engine/MethodErrors.h"
#include "host/StopSignal.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace tamberlo::cli {
namespace {

constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view utf16LeMark = "\xFF\xFE";
constexpr std::string_view utf16BeMark = "\xFE\xFF";
constexpr char32_t replacement = 0xFFFD;

SessionEncoding Utf8() { return *SessionEncoding::FromName("UTF-8"); }

// A pipe or a device could block a read, or its opening, for ever, where no
// interrupt reaches it: only files are logs.
std::FILE* OpenRegularFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(commandtext::ToPath(path), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw std::runtime_error(path + ": cannot read: not a file");
    std::FILE* file = console::OpenFile(path, "rb");
    if (file == nullptr) throw std::runtime_error(path + ": cannot read: " + std::strerror(errno));
    return file;
}

}  // namespace

LogSource::LogSource(const std::string& path, const std::optional<SessionEncoding>& given)
    : path_(path), file_(OpenRegularFile(path)), encoding_(given.value_or(SessionEncoding::PlatformDefault())) {
    start_.resize(utf8Mark.size());
    start_.resize(std::fread(start_.data(), 1, start_.size(), file_.get()));
    const std::string_view start = start_;
    if (start.substr(0, utf8Mark.size()) == utf8Mark) {
        if (!given) encoding_ = Utf8();
        // A mark is no text, whatever the encoding given.
        if (encoding_.IsUtf8()) start_.clear();
    } else if (!given && start.substr(0, 2) == utf16LeMark) {
        utf16_ = Utf16::LittleEndian;
    } else if (!given && start.substr(0, 2) == utf16BeMark) {
        utf16_ = Utf16::BigEndian;
    }
    if (utf16_ != Utf16::No) {
        encoding_ = Utf8();
        start_.erase(0, 2);
    }
}

LogSource::~LogSource() = default;

void LogSource::Read(const std::function<void(std::string_view)>& take, const StopSignal* stop) {
    std::string block = std::move(start_);
    std::string decoded;
    for (bool last = false; !last;) {
        if (stop != nullptr && stop->IsRequested()) {
            throw RunStopped(ComponentErrorNumber, ExecuteSource,
                             "The log was not read to its end: stopped on request.");
        }
        const std::size_t kept = block.size();
        block.resize(kept + BlockBytes);
        block.resize(kept + std::fread(block.data() + kept, 1, BlockBytes, file_.get()));
        if (std::ferror(file_.get())) throw std::runtime_error(path_ + ": cannot read: " + std::strerror(errno));
        last = block.size() == kept && std::feof(file_.get());
        if (utf16_ == Utf16::No) {
            if (!block.empty()) take(block);
        } else {
            decoded.clear();
            DecodeUtf16(block, decoded, last);
            if (!decoded.empty()) take(decoded);
        }
        block.clear();
    }
}

void LogSource::DecodeUtf16(std::string_view bytes, std::string& out, bool last) {
    std::string joined;
    if (!oddByte_.empty()) {
        joined = oddByte_;
        joined.append(bytes);
        bytes = joined;
        oddByte_.clear();
    }
    const bool little = utf16_ == Utf16::LittleEndian;
    std::size_t pos = 0;
    for (; pos + 1 < bytes.size(); pos += 2) {
        const auto first = static_cast<unsigned char>(bytes[pos]);
        const auto second = static_cast<unsigned char>(bytes[pos + 1]);
        const auto unit = static_cast<char16_t>(little ? first | second << 8 : first << 8 | second);
        if (highSurrogate_ != 0) {
            const char16_t high = highSurrogate_;
            highSurrogate_ = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                utf8::Append(out, 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (unit - 0xDC00));
                continue;
            }
            utf8::Append(out, replacement);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            utf8::Append(out, replacement);
        } else {
            utf8::Append(out, unit);
        }
    }
    if (pos < bytes.size()) oddByte_.assign(bytes.substr(pos));
    if (last && (highSurrogate_ != 0 || !oddByte_.empty())) {
        utf8::Append(out, replacement);
        highSurrogate_ = 0;
        oddByte_.clear();
    }
}

}  // namespace tamberlo::cli
