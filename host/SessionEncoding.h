#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tamberlo {

// Thrown when a text holds a character that an encoding cannot write: its
// code point and where it starts in the text (a byte offset). A byte that
// is not UTF-8 in a text that should be has `notUtf8` set and its value as
// the code point.
class UnrepresentableCharacter : public std::runtime_error {
public:
    UnrepresentableCharacter(char32_t codePoint, std::size_t offset, bool notUtf8 = false);
    char32_t CodePoint() const noexcept { return codePoint_; }
    std::size_t Offset() const noexcept { return offset_; }
    bool NotUtf8() const noexcept { return notUtf8_; }
    // "U+20AC", or "the byte 0xE9, which is not UTF-8".
    std::string Describe() const;

private:
    char32_t codePoint_;
    std::size_t offset_;
    bool notUtf8_;
};

// The encoding of a SAS session, named as SAS names it, and the one place
// where text crosses between it and Unicode (UTF-8 inside the component,
// UTF-16 for Windows automation strings). The conversions themselves are
// the platform's (iconv on POSIX, the Win32 code-page functions on Windows),
// behind one source per platform.
class SessionEncoding {
public:
    // SAS's name (any case; '-' and '_' ignored), or none when the table
    // does not know it: UTF-8, WLATIN1, LATIN1, WLATIN2, LATIN2, LATIN9,
    // WCYRILLIC, SHIFT-JIS, EUC-JP, EUC-CN (GB2312), BIG5, EUC-KR, US-ASCII
    // and ANY (no transcoding: the platform's default).
    static std::optional<SessionEncoding> FromName(std::string_view name);
    // What SAS uses when nothing says otherwise: on Windows the system's
    // ANSI code page (named after it, "WLATIN1" for 1252, else "CP<n>"), on
    // POSIX LATIN1.
    static SessionEncoding PlatformDefault();
    // The encoding of the terminal and of text piped to and from a command:
    // on POSIX the locale's codeset (UTF-8 where the locale names none, as
    // in the C locale), on Windows the console's output code page (the ANSI
    // code page without a console).
    static SessionEncoding Terminal();

    // The table's name of a Windows code page, or "CP<n>".
    static std::string CodePageName(unsigned codePage);

    // The canonical SAS name, "UTF-8".
    const std::string& Name() const noexcept { return name_; }
    bool IsUtf8() const noexcept;

    // The text without a UTF-8 byte-order mark at its start (UTF-8 only):
    // the mark is not part of the text.
    std::string_view WithoutBom(std::string_view bytes) const noexcept;

    // How much of `bytes`, which start at a character, ends between two
    // characters: all of it, less a character's first bytes at the end in
    // UTF-8 and the double-byte encodings (Shift-JIS, EUC-JP, EUC-CN, BIG5,
    // EUC-KR). Text cut there is never cut inside a character.
    std::size_t WholeCharacters(std::string_view bytes) const noexcept;

    // As UTF-8, byte-order mark dropped. Every byte that is not valid in the
    // encoding becomes U+FFFD and is counted in `undecodable` (when given).
    std::string ToUtf8(std::string_view bytes, std::size_t* undecodable = nullptr) const;
    // True when ToUtf8(bytes) would be `bytes` themselves, found without the
    // copy: valid UTF-8 without a mark in a UTF-8 session, plain ASCII in any
    // other (every encoding of the table writes ASCII as ASCII).
    bool IsOwnUtf8(std::string_view bytes) const noexcept;
    // From UTF-8 into this encoding; throws UnrepresentableCharacter for the
    // first character it cannot hold (nothing is ever replaced).
    std::string FromUtf8(std::string_view utf8) const;
    // FromUtf8, or `fallback` where the encoding lacks a character of the
    // text: for showing text, which is never shown with characters replaced.
    std::string FromUtf8Or(std::string_view utf8, std::string_view fallback) const;
    // A path of the host's file functions (Windows: ANSI code page; POSIX:
    // bytes the system passes on unchanged) as the session must write it in
    // a SAS string. Throws UnrepresentableCharacter as FromUtf8.
    std::string FromHostPath(std::string_view path) const;

    // Windows only, for automation strings. The UTF-16 length of the text
    // decoded as ToUtf8 decodes it (mark not dropped: use WithoutBom), and
    // the conversion into `out`, which holds exactly that many units.
    std::size_t WideLength(std::string_view bytes, std::size_t* undecodable = nullptr) const;
    void ToWide(std::string_view bytes, wchar_t* out, std::size_t length) const;

    // The Windows code page of the encoding (0: the ANSI code page).
    unsigned CodePage() const noexcept { return codePage_; }

    bool operator==(const SessionEncoding& other) const noexcept { return name_ == other.name_; }

    // One row of the table: SAS's name, the Windows code page, iconv's name.
    SessionEncoding(std::string name, unsigned codePage, std::string converterName)
        : name_(std::move(name)), codePage_(codePage), converterName_(std::move(converterName)) {}

private:
    std::string name_;
    unsigned codePage_;          // Windows code page
    std::string converterName_;  // iconv's name
};

// UTF-8 helpers shared by the platforms.
namespace utf8 {
// The length of the valid UTF-8 sequence at `pos`, or 0 for a byte that
// does not start one.
std::size_t SequenceLength(std::string_view text, std::size_t pos) noexcept;
// The code point of the valid sequence at `pos` of `length` bytes.
char32_t Decode(std::string_view text, std::size_t pos, std::size_t length) noexcept;
void Append(std::string& out, char32_t codePoint);
// Valid UTF-8 copied, each other byte replaced by U+FFFD and counted.
std::string Repaired(std::string_view text, std::size_t* undecodable);
// The offset of the first byte that does not start valid UTF-8, or npos.
std::size_t FirstInvalid(std::string_view text) noexcept;
// True when every byte is below 0x80.
bool IsAscii(std::string_view text) noexcept;
// The UTF-16 units of the text decoded as Repaired decodes it: one a
// character, two above U+FFFF, one (U+FFFD) for each byte that is not
// valid. `undecodable` (when given) is set to the count of such bytes.
std::size_t Utf16Length(std::string_view text, std::size_t* undecodable = nullptr) noexcept;
// Writes those units at `out`, at most `capacity` of them: returns how
// many, or npos when the text takes more (what fit was written).
std::size_t ToUtf16(std::string_view text, char16_t* out, std::size_t capacity) noexcept;
#if defined(_WIN32)
std::size_t ToUtf16(std::string_view text, wchar_t* out, std::size_t capacity) noexcept;
// The text's leading ASCII bytes (the same characters in UTF-8, UTF-16 and
// the single-byte code pages) widened into `out`, at most `room` of them:
// returns how many. The units after those, up to `room`, may be written
// too, for the caller to write over.
std::size_t WidenAscii(std::string_view text, wchar_t* out, std::size_t room) noexcept;
#endif
}  // namespace utf8

}  // namespace tamberlo
