#include "remote/PipeSource.h"

#include "remote/wire/WireError.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace tamberlo::remote {

std::size_t PipeSource::Read(char* into, std::size_t size) {
    DWORD got = 0;
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (ReadFile(static_cast<HANDLE>(pipe_), into, asked, &got, nullptr)) return got;
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    throw WireError("could not read the input: system error " + std::to_string(error));
}

}  // namespace tamberlo::remote
