#pragma once

// Messages with descriptors (SCM_RIGHTS) on a SOCK_SEQPACKET socket, as the
// library, its guard and the guard's reapers pass them (GuardProtocol.h).

#include "host/posix/GuardProtocol.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/types.h>

namespace tamberlo::guard {

// The most any message carries: a StartRun's.
inline constexpr std::size_t MaxPassedDescriptors = StartRunDescriptors;

// Sends one message of `size` bytes and `count` descriptors (at most
// MaxPassedDescriptors). Returns 0, or the errno; never raises SIGPIPE.
inline int SendWithDescriptors(int socket, const void* data, std::size_t size, const int* descriptors,
                               std::size_t count) {
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * MaxPassedDescriptors)] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (count > 0) {
        message.msg_control = space;
        message.msg_controllen = CMSG_SPACE(sizeof(int) * count);
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * count);
        std::memcpy(CMSG_DATA(header), descriptors, sizeof(int) * count);
    }
    ssize_t sent;
    while ((sent = ::sendmsg(socket, &message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {}
    return sent < 0 ? errno : 0;
}

// Receives one message into `data` (at most `size` bytes) and the
// descriptors that came with it, close-on-exec, into `descriptors`, their
// number into `count` (the system closes any past MaxPassedDescriptors).
// Returns what recvmsg does: the bytes, 0 once the other end has closed,
// -1 with errno.
inline ssize_t ReceiveWithDescriptors(int socket, void* data, std::size_t size,
                                      int (&descriptors)[MaxPassedDescriptors], std::size_t& count) {
    iovec part{data, size};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * MaxPassedDescriptors)];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = space;
    message.msg_controllen = sizeof space;
    count = 0;
    const ssize_t got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    if (got < 0) return got;
    for (const cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, const_cast<cmsghdr*>(header))) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t passed = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < passed && count < MaxPassedDescriptors; ++i)
            std::memcpy(&descriptors[count++], CMSG_DATA(header) + i * sizeof(int), sizeof(int));
    }
    return got;
}

}  // namespace tamberlo::guard
