#include "automation/com/AnsiText.h"

#include "host/AnsiText.h"
#include "host/ControlChars.h"

#include <windows.h>

#include <climits>
#include <new>
#include <vector>

namespace tamberlo::com {

namespace {

constexpr std::size_t PieceSize = 64 * 1024;

UniqueBstr Allocate(std::size_t length) {
    if (length > UINT_MAX) throw std::bad_alloc();
    UniqueBstr text(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
    if (!text.get()) throw std::bad_alloc();
    return text;
}

// Calls use(piece) for the text cut into pieces of about PieceSize, each
// ending after a line feed (or at the end). No ANSI code page has a line
// feed as the second byte of a character, so no character is cut in two,
// and the pieces convert to what the whole text converts to.
template <typename Use>
void ForEachPiece(std::string_view text, Use&& use) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.size();
        if (text.size() - start > PieceSize) {
            const std::size_t lineFeed = text.find('\n', start + PieceSize - 1);
            if (lineFeed != std::string_view::npos) end = lineFeed + 1;
        }
        use(text.substr(start, end - start));
        start = end;
    }
}

}  // namespace

std::string ToAnsi(BSTR text) { return ansi::FromWide(text, SysStringLen(text)); }

UniqueBstr ToBstr(std::string_view text) {
    const std::size_t length = ansi::WideLength(text);
    UniqueBstr result = Allocate(length);
    ansi::ToWide(text, result.get(), length);
    return result;
}

UniqueBstr ToCleanedBstr(std::string_view text) {
    if (!NeedsCleaning(text)) return ToBstr(text);
    // The length first: counted on the raw text where a character is a byte,
    // else converted piece by piece; then each piece cleaned and converted
    // straight into its place.
    const bool singleByte = ansi::SingleByteCodePage();
    std::size_t length = 0;
    if (singleByte) {
        length = CleanedSize(text);
    } else {
        ForEachPiece(text, [&](std::string_view piece) { length += ansi::WideLength(CleanControlChars(piece)); });
    }
    UniqueBstr result = Allocate(length);
    std::size_t at = 0;
    ForEachPiece(text, [&](std::string_view piece) {
        const std::string cleaned = CleanControlChars(piece);
        const std::size_t pieceLength = singleByte ? cleaned.size() : ansi::WideLength(cleaned);
        if (pieceLength > length - at) throw std::bad_alloc();  // the code page changed meanwhile
        ansi::ToWide(cleaned, result.get() + at, pieceLength);
        at += pieceLength;
    });
    return result;
}

namespace {

// True when every byte of the encoding is one UTF-16 unit (a byte it does
// not hold becomes one U+FFFD): the length needs no conversion pass.
bool SingleByte(const SessionEncoding& encoding) {
    CPINFO info{};
    return ::GetCPInfo(encoding.CodePage(), &info) && info.MaxCharSize == 1;
}

// The UTF-16 length of CleanControlChars(piece). The cleaning puts ASCII
// characters in place of ASCII characters; in a single-byte encoding every
// byte is a unit, and in UTF-8 no ASCII byte is part of another character
// nor changes how the bytes around it decode: the length follows from the
// piece as it is, without the cleaned copy.
std::size_t CleanedWideLength(std::string_view piece, const SessionEncoding& encoding, bool singleByte) {
    const std::size_t added = CleanedSize(piece) - piece.size();
    if (singleByte) return piece.size() + added;
    if (encoding.IsUtf8()) return encoding.WideLength(piece) + added;
    return encoding.WideLength(CleanControlChars(piece));
}

}  // namespace

UniqueBstr ToBstr(std::string_view text, const SessionEncoding& encoding) {
    text = encoding.WithoutBom(text);
    const std::size_t length = SingleByte(encoding) ? text.size() : encoding.WideLength(text);
    UniqueBstr result = Allocate(length);
    encoding.ToWide(text, result.get(), length);
    return result;
}

UniqueBstr ToCleanedBstr(std::string_view text, const SessionEncoding& encoding) {
    text = encoding.WithoutBom(text);
    if (!NeedsCleaning(text)) return ToBstr(text, encoding);
    // As ToCleanedBstr above: no line feed is part of a character in any of
    // the session encodings, so the pieces decode as the whole text does.
    // Each piece's length first, then each piece cleaned and converted
    // straight into its place.
    const bool singleByte = SingleByte(encoding);
    std::vector<std::size_t> lengths;
    std::size_t length = 0;
    ForEachPiece(text, [&](std::string_view piece) {
        lengths.push_back(CleanedWideLength(piece, encoding, singleByte));
        length += lengths.back();
    });
    UniqueBstr result = Allocate(length);
    std::size_t at = 0;
    std::size_t index = 0;
    ForEachPiece(text, [&](std::string_view piece) {
        const std::string cleaned = CleanControlChars(piece);
        const std::size_t pieceLength = lengths[index++];
        if (pieceLength > length - at) throw std::bad_alloc();
        encoding.ToWide(cleaned, result.get() + at, pieceLength);
        at += pieceLength;
    });
    return result;
}

std::string ToUtf8(BSTR text) {
    const UINT length = SysStringLen(text);
    if (length == 0) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) throw std::bad_alloc();
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), size, nullptr, nullptr);
    return result;
}

}  // namespace tamberlo::com
