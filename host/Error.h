#pragma once

#include <stdexcept>
#include <string>

namespace tamberlo {

// The one exception type of the component: an error raised with a number, a
// source and a description, passed unchanged up to the client. The
// automation layer turns it into a failed call carrying all three.
class Error : public std::runtime_error {
public:
    Error(long number, std::string source, std::string description);

    long Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }

    // For people, beyond the number's usual description: what the system
    // said (its own words) and what was being done; empty when there is
    // nothing more to say. The automation layer passes on only the number,
    // the source and the description, as specified; the command shows this too.
    const std::string& Detail() const noexcept { return detail_; }
    void SetDetail(std::string detail) { detail_ = std::move(detail); }
    // The description, then ": " and the detail when there is one.
    std::string Explained() const;

private:
    long number_;
    std::string source_;
    std::string description_;
    std::string detail_;
};

// Run-time error numbers used by the component. File-system failures are
// mapped onto these by the platform layer (see SystemError.h).
namespace errors {
inline constexpr long InvalidArgument = 5;  // a missing collection key or position
inline constexpr long OutOfMemory = 7;
inline constexpr long BadFileName = 52;
inline constexpr long FileNotFound = 53;
inline constexpr long DeviceIOError = 57;
inline constexpr long DiskFull = 61;
inline constexpr long InputPastEndOfFile = 62;
inline constexpr long TooManyFiles = 67;
inline constexpr long PermissionDenied = 70;
inline constexpr long DiskNotReady = 71;
inline constexpr long PathFileAccessError = 75;
inline constexpr long PathNotFound = 76;
inline constexpr long DuplicateKey = 457;
}  // namespace errors

// The source of run-time errors (file system, collection): the component's name.
inline constexpr const char* RuntimeErrorSource = "Tamberlo";

// The usual description of a run-time error number; "Application-defined or
// object-defined error" for numbers outside the table.
const char* RuntimeErrorDescription(long number);

// A run-time error with its usual description and the component as source.
Error RuntimeError(long number);

}  // namespace tamberlo
