#include "remote/wire/Payloads.h"

#include "remote/wire/PrintableBytes.h"
#include "remote/wire/WireError.h"

#include <cstdio>
#include <string_view>

namespace tamberlo::remote {

namespace {

// The part before the NUL at or after `from`, and where the next begins;
// throws when there is no NUL.
std::string_view TakePart(const std::string& payload, std::size_t& from, const char* frame, const char* part) {
    const std::size_t nul = payload.find('\0', from);
    if (nul == std::string::npos) {
        throw WireError(std::string(frame) + " frame has no NUL after its " + part + ": \"" +
                        PrintableBytes(std::string_view(payload).substr(from)) + "\"");
    }
    const std::string_view taken = std::string_view(payload).substr(from, nul - from);
    from = nul + 1;
    return taken;
}

// The digits' value in `base`, or -1 when `digits` is empty, longer than
// `most` or holds another character.
long DigitsValue(std::string_view digits, std::size_t most, int base) {
    if (digits.empty() || digits.size() > most) return -1;
    long value = 0;
    for (const char c : digits) {
        if (c < '0' || c >= '0' + base) return -1;
        value = value * base + (c - '0');
    }
    return value;
}

}  // namespace

std::string EncodeSentFile(const SentFile& file) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", file.mode & 07777u);
    std::string payload = file.path;
    payload += '\0';
    payload += mode;
    payload += '\0';
    payload += file.bytes;
    return payload;
}

SentFile DecodeSentFile(std::string payload) {
    std::size_t from = 0;
    SentFile file;
    file.path = TakePart(payload, from, "FILE", "path");
    const std::string_view mode = TakePart(payload, from, "FILE", "mode");
    const long value = DigitsValue(mode, 4, 8);
    if (file.path.empty()) throw WireError("FILE frame names no file");
    if (value < 0) throw WireError("FILE frame's mode \"" + PrintableBytes(mode) + "\" is not 1 to 4 octal digits");
    file.mode = static_cast<unsigned>(value);
    payload.erase(0, from);
    file.bytes = std::move(payload);
    return file;
}

std::string EncodePutFile(const PutFile& file) {
    std::string payload = std::to_string(file.number);
    payload += '\0';
    payload += file.bytes;
    return payload;
}

PutFile DecodePutFile(std::string payload) {
    std::size_t from = 0;
    const std::string_view number = TakePart(payload, from, "PUTFILE", "number");
    const long value = DigitsValue(number, 9, 10);
    if (value < 1) throw WireError("PUTFILE frame's number \"" + PrintableBytes(number) + "\" is not 1 to 999999999");
    PutFile file;
    file.number = static_cast<int>(value);
    payload.erase(0, from);
    file.bytes = std::move(payload);
    return file;
}

}  // namespace tamberlo::remote
