#pragma once

#include "cli/remoteside/posix/ConnectionInput.h"
#include "remote/wire/FrameReader.h"

#include <mutex>
#include <string>
#include <thread>

namespace tamberlo::cli {

// Reads the connection while SAS runs: its end, a STOP frame, the parent's
// end or an interrupt means the other side is gone; any other frame, or
// bytes that are no frame, break the protocol. Either stops the run as
// Ctrl-C stops a local one (the run path's interrupt request: SAS's whole
// process tree asked to end, killed after the grace local runs give it,
// the run's files removed).
class ConnectionWatch {
public:
    ConnectionWatch(ConnectionInput& input, remote::FrameReader& reader);
    // Stops watching (the run is over) and waits for the thread.
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    enum class Seen { Nothing, Gone, ProtocolBroken };
    Seen What() const;
    // Why the protocol was broken.
    std::string Reason() const;

private:
    void Watch();
    void Stop(Seen seen, std::string reason);

    ConnectionInput& input_;
    remote::FrameReader& reader_;
    mutable std::mutex mutex_;
    Seen seen_ = Seen::Nothing;
    std::string reason_;
    std::thread thread_;
};

}  // namespace tamberlo::cli
