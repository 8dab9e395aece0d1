#include "remote/PipeSource.h"

#include "remote/wire/WireError.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace tamberlo::remote {

std::size_t PipeSource::Read(char* into, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(pipe_, into, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR) continue;
        if (errno == ECONNRESET) return 0;
        throw WireError(std::string("could not read the input: ") + std::strerror(errno));
    }
}

}  // namespace tamberlo::remote
