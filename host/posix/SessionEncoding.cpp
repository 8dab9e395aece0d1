#include "host/SessionEncoding.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <new>
#include <stdexcept>

namespace tamberlo {

namespace {

// One iconv descriptor, closed on every way out.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            if (errno == ENOMEM) throw std::bad_alloc();
            throw std::runtime_error(std::string("the system cannot convert from ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much of `in` as it can onto the end of `out`; returns 0
    // when all of it went, else the errno that stopped it (EILSEQ, EINVAL)
    // with `in` starting at the byte that stopped it.
    int Convert(std::string_view& in, std::string& out) {
        char* input = const_cast<char*>(in.data());
        std::size_t inputLeft = in.size();
        while (true) {
            const std::size_t used = out.size();
            out.resize(used + inputLeft * 2 + 16);
            char* output = out.data() + used;
            std::size_t outputLeft = out.size() - used;
            const std::size_t result = iconv(handle_, &input, &inputLeft, &output, &outputLeft);
            const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
            out.resize(out.size() - outputLeft);
            in = std::string_view(input, inputLeft);
            if (error == E2BIG) continue;
            if (error == 0) {
                // Flush any shift state.
                std::size_t flushLeft = 16;
                char flush[16];
                char* flushOut = flush;
                iconv(handle_, nullptr, nullptr, &flushOut, &flushLeft);
                out.append(flush, static_cast<std::size_t>(flushOut - flush));
            }
            return error;
        }
    }

private:
    iconv_t handle_;
};

// LATIN1, the default session of SAS for UNIX, is every byte's own code
// point: converted here without loading the system's conversion module
// (about 0.1 ms at the first use in a process, what a short run costs).
constexpr const char* Latin1 = "ISO-8859-1";

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

// `text` is valid UTF-8.
std::string Latin1FromUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            out.push_back(text[at++]);
        } else if (byte < 0xC4) {  // U+0080 to U+00FF
            out.push_back(static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(text[at + 1]) & 0x3F)));
            at += 2;
        } else {
            throw UnrepresentableCharacter(utf8::Decode(text, at, utf8::SequenceLength(text, at)), at);
        }
    }
    return out;
}

}  // namespace

SessionEncoding SessionEncoding::PlatformDefault() { return *FromName("LATIN1"); }

SessionEncoding SessionEncoding::Terminal() {
    std::string codeset;
    if (locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        codeset = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
    }
    // The C locale's "ANSI_X3.4-1968" names no codeset of the user's choice.
    if (codeset.empty() || codeset == "ANSI_X3.4-1968") codeset = "UTF-8";
    if (std::optional<SessionEncoding> known = FromName(codeset); known && known->IsUtf8()) return *known;
    return SessionEncoding(codeset, 0, codeset);
}

std::string SessionEncoding::ToUtf8(std::string_view bytes, std::size_t* undecodable) const {
    if (undecodable != nullptr) *undecodable = 0;
    bytes = WithoutBom(bytes);
    if (IsUtf8()) return utf8::Repaired(bytes, undecodable);
    if (converterName_ == Latin1) return Latin1ToUtf8(bytes);
    Converter converter("UTF-8", converterName_.c_str());
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    while (!bytes.empty()) {
        if (converter.Convert(bytes, out) == 0) break;
        // A byte that starts no character: U+FFFD, and on from the next one.
        out.append("\xEF\xBF\xBD");
        if (undecodable != nullptr) ++*undecodable;
        bytes.remove_prefix(1);
    }
    return out;
}

std::string SessionEncoding::FromUtf8(std::string_view text) const {
    if (const std::size_t invalid = utf8::FirstInvalid(text); invalid != std::string_view::npos) {
        throw UnrepresentableCharacter(static_cast<unsigned char>(text[invalid]), invalid, true);
    }
    if (IsUtf8()) return std::string(text);
    if (converterName_ == Latin1) return Latin1FromUtf8(text);
    Converter converter(converterName_.c_str(), "UTF-8");
    std::string out;
    out.reserve(text.size());
    std::string_view rest = text;
    if (converter.Convert(rest, out) != 0) {
        const std::size_t at = text.size() - rest.size();
        throw UnrepresentableCharacter(utf8::Decode(text, at, utf8::SequenceLength(text, at)), at);
    }
    return out;
}

std::string SessionEncoding::FromHostPath(std::string_view path) const {
    // The system hands SAS the bytes of the path as they are.
    return std::string(path);
}

}  // namespace tamberlo
