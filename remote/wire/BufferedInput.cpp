#include "remote/wire/BufferedInput.h"

#include <algorithm>
#include <cstring>

namespace tamberlo::remote {

namespace {
constexpr std::size_t BufferBytes = 64 * 1024;
}

BufferedInput::BufferedInput(ByteSource& source) : source_(source), buffer_(BufferBytes) {}

bool BufferedInput::Fill() {
    if (begin_ < end_) return true;
    if (ended_) return false;
    begin_ = 0;
    end_ = source_.Read(buffer_.data(), buffer_.size());
    if (end_ == 0) ended_ = true;
    return end_ > 0;
}

bool BufferedInput::ReadLine(std::string& line, std::size_t limit) {
    while (line.size() < limit) {
        if (!Fill()) return false;
        const std::size_t room = std::min(end_ - begin_, limit - line.size());
        const char* start = buffer_.data() + begin_;
        const void* feed = std::memchr(start, '\n', room);
        const std::size_t taken = feed != nullptr ? static_cast<const char*>(feed) - start + 1 : room;
        line.append(start, taken);
        begin_ += taken;
        if (feed != nullptr) return true;
    }
    return false;
}

bool BufferedInput::ReadExactly(std::string& into, std::size_t size) {
    while (size > 0) {
        if (!Fill()) return false;
        const std::size_t taken = std::min(end_ - begin_, size);
        into.append(buffer_.data() + begin_, taken);
        begin_ += taken;
        size -= taken;
    }
    return true;
}

bool BufferedInput::AtEnd() { return !Fill(); }

}  // namespace tamberlo::remote
