#include "host/SystemError.h"

#include <windows.h>

namespace tamberlo {

namespace {

long RuntimeNumberForLastError(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return errors::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY: return errors::PathNotFound;
    case ERROR_TOO_MANY_OPEN_FILES: return errors::TooManyFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return errors::PathFileAccessError;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return errors::PermissionDenied;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return errors::OutOfMemory;
    case ERROR_NOT_READY: return errors::DiskNotReady;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return errors::DiskFull;
    case ERROR_HANDLE_EOF: return errors::InputPastEndOfFile;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_HANDLE: return errors::BadFileName;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE: return errors::DeviceIOError;
    default: return errors::PathFileAccessError;
    }
}

}  // namespace

Error ErrorFromSystemCode(unsigned long code, const std::string&) {
    return RuntimeError(RuntimeNumberForLastError(code));
}

std::string SystemMessage(unsigned long code) {
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string message = length ? std::string(buffer, length) : "system error " + std::to_string(code);
    if (buffer) ::LocalFree(buffer);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace tamberlo
