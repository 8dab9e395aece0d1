#pragma once

// The payloads with more than one part:
//   FILE     the file's relative path, NUL, its mode in octal (1 to 4
//            digits), NUL, its bytes;
//   PUTFILE  n of _PUTn in decimal, NUL, the file's bytes as SAS wrote them.
// Decoding takes the payload by value and moves the bytes out of it, so a
// large file is not copied.

#include <string>

namespace tamberlo::remote {

struct SentFile {
    // Relative, '/' between its parts; whether it is safe to write is the
    // receiver's to judge (SentFileName.h on the remote side).
    std::string path;
    unsigned mode = 0644;
    std::string bytes;
};

struct PutFile {
    int number = 0;
    std::string bytes;
};

std::string EncodeSentFile(const SentFile& file);

// Throws WireError when the payload is not path NUL mode NUL bytes, the
// path is empty or the mode is not 1 to 4 octal digits.
SentFile DecodeSentFile(std::string payload);

std::string EncodePutFile(const PutFile& file);

// Throws WireError when the payload is not n NUL bytes with n from 1 to
// 999999999.
PutFile DecodePutFile(std::string payload);

}  // namespace tamberlo::remote
