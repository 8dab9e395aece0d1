#pragma once

namespace tamberlo::cli {

// The exit statuses of the tamberlo command; scripts rely on these numbers.
enum class ExitStatus : int {
    Ok = 0,
    LogHasWarnings = 1,  // SAS's code 1, or with --check a warning line
    LogHasErrors = 2,    // SAS's code 2 or more, or with --check an error line
    TamberloError = 3,   // an Error raised by Tamberlo, or an empty program
    TimeLimitReached = 4,
    Usage = 64,  // as sysexits' EX_USAGE
    // As sysexits' EX_IOERR: an output could not be written, or a file could
    // not be read for a reason of the system's (no descriptor left).
    OutputFailed = 74,
    Interrupted = 130,  // as shells report a program ended by Ctrl-C
};

constexpr int ToInt(ExitStatus status) noexcept { return static_cast<int>(status); }

}  // namespace tamberlo::cli
