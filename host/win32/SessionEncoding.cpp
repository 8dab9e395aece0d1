#include "host/SessionEncoding.h"

#include "host/SystemError.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <new>

namespace tamberlo {

namespace {

constexpr wchar_t Replacement = 0xFFFD;

int CheckedLength(std::size_t length) {
    if (length > INT_MAX) throw std::bad_alloc();
    return static_cast<int>(length);
}

// The whole text in one call, refusing invalid input: the length in UTF-16
// units (out null: only counted), or -1 when the text holds a byte that is
// not valid in the code page.
int StrictToWide(unsigned codePage, std::string_view bytes, wchar_t* out, int capacity) {
    if (bytes.empty()) return 0;
    const int length =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), CheckedLength(bytes.size()), out, capacity);
    if (length > 0) return length;
    if (::GetLastError() == ERROR_NO_UNICODE_TRANSLATION) return -1;
    throw ErrorFromSystemCode(::GetLastError());
}

// The bytes of the character at `pos`: a whole UTF-8 sequence, a lead and
// trail byte in a double-byte code page, otherwise one byte.
std::size_t CharacterLength(unsigned codePage, std::string_view bytes, std::size_t pos) {
    if (codePage == CP_UTF8) return utf8::SequenceLength(bytes, pos);
    if (::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[pos])) && pos + 1 < bytes.size()) return 2;
    return 1;
}

// Decodes text that holds invalid bytes, character by character: each byte
// that starts no valid character becomes U+FFFD. Calls put(units, count).
template <typename Put>
std::size_t DecodeRepairing(unsigned codePage, std::string_view bytes, Put&& put) {
    std::size_t invalid = 0;
    std::size_t pos = 0;
    std::size_t runStart = 0;
    const auto flush = [&](std::size_t end) {
        if (end > runStart) {
            std::string_view run = bytes.substr(runStart, end - runStart);
            const int length = StrictToWide(codePage, run, nullptr, 0);
            std::wstring wide(static_cast<std::size_t>(length), L'\0');
            StrictToWide(codePage, run, wide.data(), length);
            put(wide.data(), wide.size());
        }
    };
    while (pos < bytes.size()) {
        std::size_t length = CharacterLength(codePage, bytes, pos);
        bool valid = length > 0;
        if (valid && codePage != CP_UTF8) {
            wchar_t unit[2];
            valid = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + pos, static_cast<int>(length),
                                          unit, 2) > 0;
        }
        if (valid) {
            pos += length;
            continue;
        }
        flush(pos);
        put(&Replacement, 1);
        ++invalid;
        runStart = ++pos;
    }
    flush(pos);
    return invalid;
}

// A code page of one byte a character, decoded a byte at a time through a
// table made once from the system's own conversion of each byte: a byte it
// refuses is U+FFFD and counted, as the repairing decoder would have it.
class SingleByteTable {
public:
    explicit SingleByteTable(unsigned codePage) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            const char one = static_cast<char>(byte);
            wchar_t unit = Replacement;
            valid_[byte] = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &one, 1, &unit, 1) == 1;
            units_[byte] = valid_[byte] ? unit : Replacement;
            if (byte < 0x80 && units_[byte] != byte) asciiKept_ = false;
        }
    }

    std::size_t Undecodable(std::string_view bytes) const noexcept {
        std::size_t count = 0;
        for (const char byte : bytes) count += valid_[static_cast<unsigned char>(byte)] ? 0 : 1;
        return count;
    }

    // Into `out`, which holds bytes.size() units. ASCII runs are widened a
    // block at a time where the code page keeps ASCII as it is.
    void Decode(std::string_view bytes, wchar_t* out) const noexcept {
        const char* const data = bytes.data();
        const std::size_t size = bytes.size();
        for (std::size_t i = 0; i < size;) {
            if (asciiKept_) i += utf8::WidenAscii(bytes.substr(i), out + i, size - i);
            for (; i < size && (!asciiKept_ || static_cast<unsigned char>(data[i]) >= 0x80); ++i) {
                out[i] = units_[static_cast<unsigned char>(data[i])];
            }
        }
    }

private:
    bool asciiKept_ = true;
    std::array<wchar_t, 256> units_{};
    std::array<bool, 256> valid_{};
};

// The table of a single-byte code page, made at its first use; none for a
// code page with characters of more than one byte.
const SingleByteTable* SingleByteTableOf(unsigned codePage) {
    static std::mutex guard;
    static std::map<unsigned, std::unique_ptr<const SingleByteTable>> tables;
    const std::lock_guard<std::mutex> lock(guard);
    const auto found = tables.find(codePage);
    if (found != tables.end()) return found->second.get();
    CPINFO info{};
    std::unique_ptr<const SingleByteTable> table;
    if (::GetCPInfo(codePage, &info) && info.MaxCharSize == 1) table = std::make_unique<SingleByteTable>(codePage);
    return tables.emplace(codePage, std::move(table)).first->second.get();
}

std::wstring Utf8ToWide(std::string_view text) {
    const int length = StrictToWide(CP_UTF8, text, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    StrictToWide(CP_UTF8, text, wide.data(), length);
    return wide;
}

std::string WideToUtf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int wideLength = CheckedLength(wide.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) throw ErrorFromSystemCode(::GetLastError());
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

// The text in the code page, or none when a character does not fit (never
// a best-fit or default character in its place).
std::optional<std::string> StrictFromWide(unsigned codePage, const wchar_t* text, std::size_t size) {
    if (size == 0) return std::string();
    const int wideLength = CheckedLength(size);
    BOOL usedDefault = FALSE;
    const int length =
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, wideLength, nullptr, 0, nullptr, &usedDefault);
    if (length <= 0) {
        if (::GetLastError() == ERROR_NO_UNICODE_TRANSLATION) return std::nullopt;
        throw ErrorFromSystemCode(::GetLastError());
    }
    if (usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace

SessionEncoding SessionEncoding::PlatformDefault() {
    const unsigned codePage = ::GetACP();
    return SessionEncoding(CodePageName(codePage), codePage, "");
}

SessionEncoding SessionEncoding::Terminal() {
    // A console shows its output code page; without a console, the text
    // programs pass each other is ANSI.
    const unsigned console = ::GetConsoleOutputCP();
    if (console == 0) return PlatformDefault();
    return SessionEncoding(CodePageName(console), console, "");
}

std::size_t SessionEncoding::WideLength(std::string_view bytes, std::size_t* undecodable) const {
    if (undecodable != nullptr) *undecodable = 0;
    if (IsUtf8()) return utf8::Utf16Length(bytes, undecodable);
    if (const SingleByteTable* table = SingleByteTableOf(codePage_)) {
        if (undecodable != nullptr) *undecodable = table->Undecodable(bytes);
        return bytes.size();
    }
    const int length = StrictToWide(codePage_, bytes, nullptr, 0);
    if (length >= 0) return static_cast<std::size_t>(length);
    std::size_t total = 0;
    const std::size_t invalid = DecodeRepairing(codePage_, bytes, [&](const wchar_t*, std::size_t n) { total += n; });
    if (undecodable != nullptr) *undecodable = invalid;
    return total;
}

void SessionEncoding::ToWide(std::string_view bytes, wchar_t* out, std::size_t length) const {
    if (IsUtf8()) {
        if (utf8::ToUtf16(bytes, out, length) != length) throw std::bad_alloc();
        return;
    }
    if (const SingleByteTable* table = SingleByteTableOf(codePage_)) {
        if (bytes.size() != length) throw std::bad_alloc();
        table->Decode(bytes, out);
        return;
    }
    if (bytes.empty()) return;
    if (StrictToWide(codePage_, bytes, out, CheckedLength(length)) >= 0) return;
    std::size_t at = 0;
    DecodeRepairing(codePage_, bytes, [&](const wchar_t* units, std::size_t n) {
        if (n > length - at) throw std::bad_alloc();
        std::copy(units, units + n, out + at);
        at += n;
    });
}

std::string SessionEncoding::ToUtf8(std::string_view bytes, std::size_t* undecodable) const {
    if (undecodable != nullptr) *undecodable = 0;
    bytes = WithoutBom(bytes);
    if (IsUtf8()) return utf8::Repaired(bytes, undecodable);
    const std::size_t length = WideLength(bytes, undecodable);
    std::wstring wide(length, L'\0');
    ToWide(bytes, wide.data(), length);
    return WideToUtf8(wide);
}

std::string SessionEncoding::FromUtf8(std::string_view text) const {
    if (const std::size_t invalid = utf8::FirstInvalid(text); invalid != std::string_view::npos) {
        throw UnrepresentableCharacter(static_cast<unsigned char>(text[invalid]), invalid, true);
    }
    if (IsUtf8()) return std::string(text);
    const std::wstring wide = Utf8ToWide(text);
    if (std::optional<std::string> out = StrictFromWide(codePage_, wide.data(), wide.size())) return *out;
    // Find the first character that does not fit, to name it.
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = utf8::SequenceLength(text, pos);
        const std::wstring one = Utf8ToWide(text.substr(pos, length));
        if (!StrictFromWide(codePage_, one.data(), one.size())) {
            throw UnrepresentableCharacter(utf8::Decode(text, pos, length), pos);
        }
        pos += length;
    }
    throw UnrepresentableCharacter(0xFFFD, 0);
}

std::string SessionEncoding::FromHostPath(std::string_view path) const {
    // The host's paths are in the ANSI code page; SAS converts the session's
    // string back for its own file functions.
    if (codePage_ == ::GetACP()) return std::string(path);
    return FromUtf8(PlatformDefault().ToUtf8(path));
}

}  // namespace tamberlo
