#include "host/SystemError.h"

#include <windows.h>

namespace tamberlo {

// The table of conditions spells these codes as numbers, so that it builds
// on every platform.
static_assert(ERROR_FILE_NOT_FOUND == 2 && ERROR_PATH_NOT_FOUND == 3 && ERROR_TOO_MANY_OPEN_FILES == 4 &&
              ERROR_ACCESS_DENIED == 5 && ERROR_INVALID_HANDLE == 6 && ERROR_NOT_ENOUGH_MEMORY == 8 &&
              ERROR_OUTOFMEMORY == 14 && ERROR_INVALID_DRIVE == 15 && ERROR_WRITE_PROTECT == 19 &&
              ERROR_NOT_READY == 21 && ERROR_CRC == 23 && ERROR_WRITE_FAULT == 29 && ERROR_READ_FAULT == 30 &&
              ERROR_GEN_FAILURE == 31 && ERROR_SHARING_VIOLATION == 32 && ERROR_LOCK_VIOLATION == 33 &&
              ERROR_HANDLE_EOF == 38 && ERROR_HANDLE_DISK_FULL == 39 && ERROR_BAD_NETPATH == 53 &&
              ERROR_BAD_NET_NAME == 67 && ERROR_FILE_EXISTS == 80 && ERROR_DISK_FULL == 112 &&
              ERROR_INVALID_NAME == 123 && ERROR_BAD_PATHNAME == 161 && ERROR_ALREADY_EXISTS == 183 &&
              ERROR_FILENAME_EXCED_RANGE == 206 && ERROR_DIRECTORY == 267);

Error ErrorFromSystemCode(unsigned long code, const std::string&) {
    Error error = RuntimeError(RuntimeNumberOf(ConditionOfWindowsError(code)));
    error.SetDetail(SystemMessage(code));
    return error;
}

bool MeansFileNotFound(unsigned long code, const std::string&) {
    return RuntimeNumberOf(ConditionOfWindowsError(code)) == errors::FileNotFound;
}

std::string SystemMessage(unsigned long code) {
    char* buffer = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string message = length ? std::string(buffer, length) : "system error " + std::to_string(code);
    if (buffer) ::LocalFree(buffer);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace tamberlo
