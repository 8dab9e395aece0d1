#include "cli/remoteside/posix/ConnectionWatch.h"

#include "cli/base/Console.h"
#include "cli/base/InterruptRequests.h"
#include "remote/wire/WireError.h"

namespace tamberlo::cli {

ConnectionWatch::ConnectionWatch(ConnectionInput& input, remote::FrameReader& reader)
    : input_(input), reader_(reader), thread_([this] { Watch(); }) {}

ConnectionWatch::~ConnectionWatch() {
    input_.Finish();
    thread_.join();
}

void ConnectionWatch::Watch() {
    try {
        const std::optional<remote::Frame> frame = reader_.Next();
        if (!frame || frame->kind == remote::MessageKind::Stop) {
            Stop(Seen::Gone, {});
        } else {
            Stop(Seen::ProtocolBroken, "a " + std::string(remote::KindName(frame->kind)) +
                                           " frame came while the program ran; only STOP may come then");
        }
    } catch (const ConnectionInput::Finished&) {
    } catch (const remote::WireError& error) {
        Stop(Seen::ProtocolBroken, error.what());
    } catch (const std::exception& error) {
        Stop(Seen::Gone, error.what());
    }
}

void ConnectionWatch::Stop(Seen seen, std::string reason) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        seen_ = seen;
        reason_ = std::move(reason);
    }
    // One request: a second would be taken for a second Ctrl-C, which
    // gives SAS no time to tidy up.
    if (!console::InterruptRequested()) console::NoteInterruptRequest();
}

ConnectionWatch::Seen ConnectionWatch::What() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

std::string ConnectionWatch::Reason() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return reason_;
}

}  // namespace tamberlo::cli
