#include "cli/remoteside/RemoteSideCommand.h"

#include "cli/base/Console.h"
#include "cli/base/ExitStatus.h"
#include "cli/run/LogFollower.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/TemporaryFolder.h"
#include "cli/base/UsageError.h"
#include "cli/remoteside/RemoteAnswer.h"
#include "cli/remoteside/RemoteRun.h"
#include "cli/remoteside/RequestRefused.h"
#include "cli/remoteside/posix/ConnectionInput.h"
#include "cli/remoteside/posix/ConnectionWatch.h"
#include "engine/Engine.h"
#include "host/ProcessTree.h"
#include "remote/PipeSink.h"
#include "remote/wire/FrameWriter.h"
#include "remote/wire/Greeting.h"
#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <unistd.h>

#ifndef TAMBERLO_VERSION
#define TAMBERLO_VERSION "unknown"
#endif

namespace tamberlo::cli {

namespace {

using remote::MessageKind;

// An ERROR frame, if the connection still takes one.
void SendError(remote::FrameWriter& writer, const std::string& text) {
    try {
        writer.Send(MessageKind::Error, text);
    } catch (const remote::WireError&) {}
}

// The exit status of a run that was answered: as a single run's for an
// error of Tamberlo's, else 0 (the answer carries SAS's exit code).
ExitStatus AnswerExitStatus(const SingleRunResult& result) {
    if (result.failure) {
        try {
            std::rethrow_exception(result.failure);
        } catch (const TimeLimitReached&) {
            return ExitStatus::TimeLimitReached;
        } catch (const RunStopped&) {
            return ExitStatus::Interrupted;
        } catch (...) {
            return ExitStatus::TamberloError;
        }
    }
    return AnswerStatus(result).empty() ? ExitStatus::Ok : ExitStatus::TamberloError;
}

// Runs the request and answers; what a failure of the request or the run
// means for the answer is Serve's.
ExitStatus RunAndAnswer(const RemoteRequest& request, remote::FrameWriter& writer, ConnectionInput& input,
                        remote::FrameReader& reader) {
    const RemoteRun run(request, ParseRequestOptions(request.arguments));
    LogFollower follower([&writer](std::string_view piece) { writer.Send(MessageKind::LogPart, piece); });
    SingleRunResult result;
    ConnectionWatch::Seen seen = ConnectionWatch::Seen::Nothing;
    std::string reason;
    {
        const ConnectionWatch watch(input, reader);
        result = run.Run(run.Follows() ? &follower : nullptr);
        seen = watch.What();
        reason = watch.Reason();
    }
    // No more SAS: the guard ends while the answer is sent.
    ProcessTree::LetGo();
    if (seen == ConnectionWatch::Seen::Gone) return ExitStatus::Interrupted;
    if (seen == ConnectionWatch::Seen::ProtocolBroken) {
        SendError(writer, reason);
        return ExitStatus::TamberloError;
    }
    SendAnswer(writer, result);
    return AnswerExitStatus(result);
}

ExitStatus Serve(remote::FrameWriter& writer) {
    ProcessTree::Prepare();
    ConnectionInput input(STDIN_FILENO, STDOUT_FILENO);
    remote::BufferedInput buffered(input);
    remote::FrameReader reader(buffered);
    // Declared before the request: its sent folder goes after the answer.
    std::optional<RemoteRequest> request;
    try {
        // The sent files and the run both need it.
        CheckTemporaryFolder();
        request = ReadRequest(reader);
        if (!request) return ExitStatus::Interrupted;
        return RunAndAnswer(*request, writer, input, reader);
    } catch (const UsageError& error) {
        SendError(writer, error.what());
        return ExitStatus::Usage;
    } catch (const SystemFailure& error) {
        SendError(writer, error.what());
        return ExitStatus::OutputFailed;
    } catch (const std::exception& error) {
        // A refused request, a malformed frame, an error of Tamberlo's; or
        // the output itself failed, which SendError finds closed.
        SendError(writer, error.what());
        return console::InterruptRequested() ? ExitStatus::Interrupted : ExitStatus::TamberloError;
    }
}

}  // namespace

int RunRemoteSideCommand(int protocol) {
    remote::PipeSink sink(STDOUT_FILENO);
    remote::FrameWriter writer(sink);
    try {
        writer.SendRaw(remote::GreetingLine(remote::ProtocolVersion, TAMBERLO_VERSION));
    } catch (const remote::WireError&) {
        return ToInt(ExitStatus::Interrupted);
    }
    if (protocol != remote::ProtocolVersion) {
        SendError(writer, "protocol " + std::to_string(protocol) +
                              " asked; tamberlo " TAMBERLO_VERSION " speaks protocol " +
                              std::to_string(remote::ProtocolVersion));
        return ToInt(ExitStatus::TamberloError);
    }
    return ToInt(Serve(writer));
}

}  // namespace tamberlo::cli
