#include "cli/scan/LogSource.h"

#include "cli/base/CommandText.h"
#include "cli/base/Console.h"
#include "engine/Engine.h"
#include "engine/MethodErrors.h"
#include "host/AsciiCase.h"
#include "host/StopSignal.h"

#include <algorithm>
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

std::optional<LogSource::Given> LogSource::Named(const std::string& name) {
    std::string folded = AsciiUpper(name);
    folded.erase(std::remove(folded.begin(), folded.end(), '-'), folded.end());
    if (folded == "UTF16LE") return Given{std::nullopt, Utf16::LittleEndian};
    if (folded == "UTF16BE") return Given{std::nullopt, Utf16::BigEndian};
    std::optional<SessionEncoding> session = SessionEncoding::FromName(name);
    if (!session) return std::nullopt;
    return Given{std::move(session), Utf16::No};
}

LogSource::LogSource(const std::string& path, const Given& given)
    : path_(path), file_(OpenRegularFile(path)), encoding_(given.session.value_or(SessionEncoding::PlatformDefault())) {
    start_.resize(BlockBytes);
    start_.resize(std::fread(start_.data(), 1, start_.size(), file_.get()));
    if (std::ferror(file_.get())) throw std::runtime_error(path_ + ": cannot read: " + std::strerror(errno));
    bytesRead_ = start_.size();
    FindEncoding(given);
    if (utf16_ != Utf16::No) encoding_ = Utf8();
}

void LogSource::FindEncoding(const Given& given) {
    const std::string_view start = start_;
    // A mark says what the file is, whatever was named for the logs at large.
    if (start.substr(0, utf8Mark.size()) == utf8Mark) {
        encoding_ = Utf8();
        start_.erase(0, utf8Mark.size());
        return;
    }
    for (const auto& [mark, order] :
         {std::pair{utf16LeMark, Utf16::LittleEndian}, std::pair{utf16BeMark, Utf16::BigEndian}}) {
        if (start.substr(0, mark.size()) == mark) {
            utf16_ = order;
            start_.erase(0, mark.size());
            return;
        }
    }
    utf16_ = given.utf16;
    if (utf16_ != Utf16::No) return;
    // Text in a single-byte or multi-byte encoding holds no NUL; UTF-16 of
    // mostly ASCII (as a log is) holds one in every other byte.
    std::size_t nulAt[2] = {};
    for (std::size_t at = 0; at < start.size(); ++at) {
        if (start[at] == '\0') ++nulAt[at % 2];
    }
    const std::size_t units = start.size() / 2;
    if (units > 0 && nulAt[1] * 2 > units && nulAt[0] * 4 < nulAt[1]) {
        utf16_ = Utf16::LittleEndian;
    } else if (units > 0 && nulAt[0] * 2 > units && nulAt[1] * 4 < nulAt[0]) {
        utf16_ = Utf16::BigEndian;
    } else if ((nulAt[0] + nulAt[1]) * 4 > start.size()) {
        throw std::runtime_error(path_ + ": cannot read: mostly NUL bytes, no text in any encoding");
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
        const std::size_t read = std::fread(block.data() + kept, 1, BlockBytes, file_.get());
        block.resize(kept + read);
        bytesRead_ += read;
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
