#pragma once

#include <string>
#include <string_view>

namespace tamberlo::cli {

// The MD5 digest (RFC 1321) of `bytes` as 32 lower-case hex digits: a
// fingerprint that the reports' readers take as a name, not a secret.
std::string Md5Hex(std::string_view bytes);

}  // namespace tamberlo::cli
