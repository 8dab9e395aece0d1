#include "host/Error.h"

#include <utility>

namespace tamberlo {

Error::Error(long number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::string Error::Explained() const { return detail_.empty() ? description_ : description_ + ": " + detail_; }

const char* RuntimeErrorDescription(long number) {
    switch (number) {
    case errors::InvalidArgument: return "Invalid procedure call or argument";
    case errors::OutOfMemory: return "Out of memory";
    case errors::BadFileName: return "Bad file name or number";
    case errors::FileNotFound: return "File not found";
    case errors::DeviceIOError: return "Device I/O error";
    case errors::DiskFull: return "Disk full";
    case errors::InputPastEndOfFile: return "Input past end of file";
    case errors::TooManyFiles: return "Too many files";
    case errors::PermissionDenied: return "Permission denied";
    case errors::DiskNotReady: return "Disk not ready";
    case errors::PathFileAccessError: return "Path/File access error";
    case errors::PathNotFound: return "Path not found";
    case errors::DuplicateKey: return "This key is already associated with an element of this collection";
    default: return "Application-defined or object-defined error";
    }
}

Error RuntimeError(long number) { return Error(number, RuntimeErrorSource, RuntimeErrorDescription(number)); }

}  // namespace tamberlo
