#pragma once

// The framing every channel between the library, its guard and the guard's
// reapers uses, on both ends (wire/ControlMessages.h, wire/ReaperMessages.h):
//   - on a SOCK_SEQPACKET socket (the control socket, a reaper's link), one
//     message per request, the descriptors it passes with it (SCM_RIGHTS);
//   - on a SOCK_STREAM socket (a run channel), records of a fixed size
//     read whole, and texts, each its length (uint32) and its bytes.
// No call raises SIGPIPE; each goes on after EINTR.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tamberlo::guard {

// The most any message carries: a StartRun's.
inline constexpr std::size_t MaxPassedDescriptors = 5;

// Sends one message of `size` bytes and `count` descriptors (at most
// MaxPassedDescriptors). Returns 0, or the errno.
int SendWithDescriptors(int socket, const void* data, std::size_t size, const int* descriptors, std::size_t count);

// One message as it came.
struct Received {
    // The bytes, 0 once the other end has closed, -1 with the errno in `error`.
    ssize_t bytes = 0;
    int error = 0;
    // The message was longer than the buffer (its rest is lost), or came
    // with more descriptors than any message passes (the system closed those).
    bool oversized = false;
    // Close-on-exec; the receiver owns them.
    int descriptors[MaxPassedDescriptors] = {};
    std::size_t count = 0;
};

// Receives one message into `data` (at most `size` bytes).
Received ReceiveWithDescriptors(int socket, void* data, std::size_t size);

// Closes every descriptor of `message`.
void CloseDescriptors(const Received& message);

// Blocks until a descriptor can be read; false to give up the read.
using WaitReadable = bool (*)(int fd, void* context);

// Reads exactly `size` bytes; false once the other end has closed first, on
// an error, or when `wait` (if given) gives up: it is called before each
// read, so that a reader that must also heed something else never blocks
// in the read itself.
bool ReadExactly(int fd, void* into, std::size_t size, WaitReadable wait = nullptr, void* context = nullptr);

// Writes all `size` bytes on a socket. Returns 0, or the errno.
int WriteAll(int socket, const void* data, std::size_t size);

// Appends `text` as a text: its length (uint32), then its bytes.
void AppendText(std::string& to, std::string_view text);

// Takes `count` texts off the front of `rest`; false when it holds fewer.
bool TakeTexts(std::string_view& rest, std::uint32_t count, std::vector<std::string>& texts);

}  // namespace tamberlo::guard
