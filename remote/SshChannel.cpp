#include "remote/SshChannel.h"

#include "host/StopSignal.h"
#include "remote/wire/FrameWriter.h"
#include "remote/wire/WireError.h"

#include <stdexcept>

namespace tamberlo::remote {
namespace {

constexpr int pollMilliseconds = 100;

}  // namespace

std::size_t SshChannel::Read(char* into, std::size_t size) {
    for (;;) {
        if (!stopped_ && stop_ != nullptr && stop_->IsRequested()) PassOnStop();
        if (stopped_ && !killed_ &&
            ((hurry_ != nullptr && hurry_->IsRequested()) || std::chrono::steady_clock::now() - stoppedAt_ >= grace_)) {
            ssh_.Kill();
            killed_ = true;
        }
        long count = 0;
        try {
            count = ssh_.Read(into, size, pollMilliseconds);
        } catch (const std::runtime_error& failed) {
            throw WireError(failed.what());
        }
        if (count >= 0) return static_cast<std::size_t>(count);
    }
}

void SshChannel::Write(const char* data, std::size_t size) {
    if (!ssh_.Write(std::string_view(data, size))) throw WireError("the connection to the remote side ended");
}

void SshChannel::PassOnStop() {
    stopped_ = true;
    stoppedAt_ = std::chrono::steady_clock::now();
    try {
        FrameWriter(*this).Send(MessageKind::Stop);
    } catch (const WireError&) {
        // The remote side is gone already: its end of input says the same.
    }
    ssh_.CloseInput();
}

}  // namespace tamberlo::remote
