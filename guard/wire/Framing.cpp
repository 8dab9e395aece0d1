#include "guard/wire/Framing.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace tamberlo::guard {

int SendWithDescriptors(int socket, const void* data, std::size_t size, const int* descriptors, std::size_t count) {
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * MaxPassedDescriptors)] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (count > MaxPassedDescriptors) return EINVAL;
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

Received ReceiveWithDescriptors(int socket, void* data, std::size_t size) {
    iovec part{data, size};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * MaxPassedDescriptors)];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = space;
    message.msg_controllen = sizeof space;
    Received received;
    while ((received.bytes = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {}
    if (received.bytes < 0) {
        received.error = errno;
        return received;
    }
    received.oversized = (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
    for (const cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, const_cast<cmsghdr*>(header))) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t passed = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < passed; ++i) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            if (received.count < MaxPassedDescriptors) {
                received.descriptors[received.count++] = descriptor;
            } else {
                ::close(descriptor);
                received.oversized = true;
            }
        }
    }
    return received;
}

void CloseDescriptors(const Received& message) {
    for (std::size_t i = 0; i < message.count; ++i) ::close(message.descriptors[i]);
}

bool ReadExactly(int fd, void* into, std::size_t size, WaitReadable wait, void* context) {
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        if (wait != nullptr && !wait(fd, context)) return false;
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

int WriteAll(int socket, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(socket, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) return errno;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return 0;
}

void AppendText(std::string& to, std::string_view text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    to.append(reinterpret_cast<const char*>(&size), sizeof size);
    to += text;
}

bool TakeTexts(std::string_view& rest, std::uint32_t count, std::vector<std::string>& texts) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t size = 0;
        if (rest.size() < sizeof size) return false;
        std::memcpy(&size, rest.data(), sizeof size);
        rest.remove_prefix(sizeof size);
        if (rest.size() < size) return false;
        texts.emplace_back(rest.substr(0, size));
        rest.remove_prefix(size);
    }
    return true;
}

}  // namespace tamberlo::guard
