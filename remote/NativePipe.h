#pragma once

// The operating system's name for one end of a pipe: a file descriptor on
// POSIX, a HANDLE on Windows. The only platform difference in remote/'s
// headers.

namespace tamberlo::remote {

#ifdef _WIN32
using NativePipe = void*;
#else
using NativePipe = int;
#endif

}  // namespace tamberlo::remote
