#pragma once

#include "remote/SshProcess.h"
#include "remote/wire/ByteSink.h"
#include "remote/wire/ByteSource.h"

#include <chrono>

namespace tamberlo {
class StopSignal;
}

namespace tamberlo::remote {

// ssh's pipes as the wire's source and sink, with this side's way to stop:
// while a read waits, `stop` is looked at every tenth of a second. Once it
// is requested, a STOP frame goes to the remote side and ssh's input is
// ended (the remote side stops SAS's whole tree and removes its run folder,
// then ends); the reader meets the end of ssh's output once it has, or
// once `grace` has passed or `hurry` is requested, when ssh is killed.
class SshChannel : public ByteSource, public ByteSink {
public:
    // `grace` is none until SetGrace: before the remote side has said who
    // it is, nothing of a run is there to tidy, and ssh is killed at once.
    SshChannel(SshProcess& ssh, const StopSignal* stop, const StopSignal* hurry)
        : ssh_(ssh), stop_(stop), hurry_(hurry) {}

    void SetGrace(std::chrono::milliseconds grace) noexcept { grace_ = grace; }

    // 0 once ssh's output has ended. Throws WireError when reading fails.
    std::size_t Read(char* into, std::size_t size) override;
    // Throws WireError "the connection ended" when ssh no longer reads.
    void Write(const char* data, std::size_t size) override;

    // True once the stop was requested and passed on.
    bool Stopped() const noexcept { return stopped_; }

private:
    void PassOnStop();

    SshProcess& ssh_;
    const StopSignal* stop_;
    const StopSignal* hurry_;
    std::chrono::milliseconds grace_{0};
    bool stopped_ = false;
    bool killed_ = false;
    std::chrono::steady_clock::time_point stoppedAt_;
};

}  // namespace tamberlo::remote
