#include "remote/PipeSink.h"

#include "remote/wire/WireError.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace tamberlo::remote {

void PipeSink::Write(const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(static_cast<HANDLE>(pipe_), data, asked, &written, nullptr)) {
            const DWORD error = GetLastError();
            throw WireError(error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA
                                ? std::string("could not write the output: Broken pipe")
                                : "could not write the output: system error " + std::to_string(error));
        }
        data += written;
        size -= written;
    }
}

}  // namespace tamberlo::remote
