#include "cli/single/RemoteClient.h"

#include "cli/base/Console.h"
#include "cli/findings/LogFindings.h"
#include "cli/findings/LogRules.h"
#include "cli/findings/PreambleForms.h"
#include "cli/single/RequestToRemote.h"
#include "engine/Engine.h"
#include "engine/MethodErrors.h"
#include "host/ControlChars.h"
#include "remote/SshChannel.h"
#include "remote/SshCommandLine.h"
#include "remote/SshFailure.h"
#include "remote/SshProcess.h"
#include "remote/wire/BufferedInput.h"
#include "remote/wire/FrameReader.h"
#include "remote/wire/FrameWriter.h"
#include "remote/wire/Greeting.h"
#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <charconv>
#include <chrono>
#include <stdexcept>

#ifndef TAMBERLO_VERSION
#define TAMBERLO_VERSION "unknown"
#endif

namespace tamberlo::cli {
namespace {

using remote::MessageKind;

// What the remote side answered, as it came.
struct Answer {
    bool ended = false;  // END came
    std::string log;     // as SAS wrote it
    std::string lst;
    std::string console;
    std::optional<int> exitCode;
    std::string encoding;
    std::string status;
    std::vector<remote::PutFile> putFiles;
};

Error RemoteError(const std::string& description) { return Error(ComponentErrorNumber, ExecuteSource, description); }

// The error a remote run's STATUS stands for: "<source>: <description>" of
// the error that stopped the run there, of its kind.
std::exception_ptr StatusError(const std::string& status) {
    std::string source = ExecuteSource;
    std::string description = status;
    long number = ComponentErrorNumber;
    for (const char* known : {ExecuteSource, SASCodeSource, RuntimeErrorSource}) {
        const std::string prefix = std::string(known) + ": ";
        if (status.rfind(prefix, 0) != 0) continue;
        source = known;
        description = status.substr(prefix.size());
    }
    if (source == RuntimeErrorSource) {
        // A run-time error is known by its usual description.
        for (const long candidate :
             {errors::InvalidArgument, errors::OutOfMemory, errors::BadFileName, errors::FileNotFound,
              errors::DeviceIOError, errors::DiskFull, errors::InputPastEndOfFile, errors::TooManyFiles,
              errors::PermissionDenied, errors::DiskNotReady, errors::PathFileAccessError, errors::PathNotFound,
              errors::DuplicateKey}) {
            if (description == RuntimeErrorDescription(candidate)) number = candidate;
        }
    }
    if (description.rfind("SAS did not end within ", 0) == 0)
        return std::make_exception_ptr(TimeLimitReached(number, source, description));
    if (description.rfind("SAS was stopped on request", 0) == 0 ||
        description.rfind("SAS was not started: the run was stopped", 0) == 0)
        return std::make_exception_ptr(RunStopped(number, source, description));
    return std::make_exception_ptr(Error(number, source, description));
}

std::optional<int> ParseExitCode(const std::string& text) {
    if (text.empty()) return std::nullopt;
    int code = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (ec != std::errc{} || end != text.data() + text.size())
        throw remote::WireError("the remote side's exit code is no number: \"" + AllControlCharsAsCodes(text) + "\"");
    return code;
}

// The program's own leading lines that have the preamble's forms (see
// LogFindings::FindPreamble).
long LeadingForms(const std::string& program) {
    long leading = 0;
    for (std::size_t at = 0; at < program.size();) {
        const std::size_t end = program.find('\n', at);
        if (end == std::string::npos || !PreambleForms::Matches(std::string_view(program).substr(at, end - at))) break;
        ++leading;
        at = end + 1;
    }
    return leading;
}

Answer ReadAnswer(remote::FrameReader& reader, std::FILE* follow) {
    Answer answer;
    while (std::optional<remote::Frame> frame = reader.Next()) {
        std::string& payload = frame->payload;
        switch (frame->kind) {
        case MessageKind::LogPart:
            if (follow != nullptr) {
                std::fwrite(payload.data(), 1, payload.size(), follow);
                std::fflush(follow);
            }
            break;
        case MessageKind::Log: answer.log = std::move(payload); break;
        case MessageKind::Listing: answer.lst = std::move(payload); break;
        case MessageKind::PutFile: answer.putFiles.push_back(remote::DecodePutFile(std::move(payload))); break;
        case MessageKind::Console: answer.console = std::move(payload); break;
        case MessageKind::ExitCode: answer.exitCode = ParseExitCode(payload); break;
        case MessageKind::Encoding: answer.encoding = std::move(payload); break;
        case MessageKind::Status: answer.status = std::move(payload); break;
        case MessageKind::End: answer.ended = true; return answer;
        case MessageKind::Error: throw RemoteError("the remote side: " + AllControlCharsAsCodes(payload));
        default:
            throw remote::WireError("the remote side sent " + std::string(remote::KindName(frame->kind)) +
                                    " in its answer");
        }
    }
    return answer;
}

// The remote side's greeting, or the error of what stood in its place.
void AwaitRemoteSide(remote::BufferedInput& input, remote::SshProcess& ssh, const remote::SshSettings& settings,
                     const RemoteOptions& options) {
    const remote::GreetingSearch greeting = remote::AwaitGreeting(input);
    if (!greeting.found) {
        if (console::InterruptRequested())
            throw RunStopped(ComponentErrorNumber, ExecuteSource, "SAS was not started: the run was stopped first.");
        const int exitCode = ssh.Wait();
        throw RemoteError(
            remote::SshFailure::Classify(settings, options.addressText, exitCode, ssh.ErrorText() + greeting.noise)
                .message);
    }
    if (greeting.protocol == remote::ProtocolVersion) return;
    std::string said;
    try {
        remote::FrameReader reader(input);
        if (std::optional<remote::Frame> frame = reader.Next(); frame && frame->kind == MessageKind::Error)
            said = ": " + AllControlCharsAsCodes(frame->payload);
    } catch (const remote::WireError&) {
        // The versions say it all.
    }
    throw RemoteError("the remote's tamberlo " + greeting.version + " speaks protocol " +
                      std::to_string(greeting.protocol) + ", this tamberlo " + TAMBERLO_VERSION + " protocol " +
                      std::to_string(remote::ProtocolVersion) + "; install the same version on both sides" + said);
}

void SendRequest(remote::FrameWriter& writer, const RequestToRemote& request) {
    for (const std::string& option : request.options) writer.Send(MessageKind::Option, option);
    for (const remote::SentFile& file : request.files) writer.Send(MessageKind::File, remote::EncodeSentFile(file));
    writer.Send(MessageKind::Program, request.program);
    writer.Send(MessageKind::Run);
}

// Lets ssh end by itself once the remote side has answered (it removes
// its run folder first), killing it only when it does not within a while.
void LetSshEnd(remote::SshProcess& ssh) {
    ssh.CloseInput();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        if (ssh.Read(buffer, sizeof buffer, 100) == 0) {
            ssh.Wait();
            return;
        }
    }
    ssh.Kill();
    ssh.Wait();
}

}  // namespace

SingleRunResult RemoteClient::Run(const std::vector<ProgramAssembly::Assignment>& program, std::FILE* follow) const {
    SingleRunResult result;
    if (program.empty()) return result;
    const RequestToRemote request = RequestToRemote::Make(options_, options_.follow, program);
    const RemoteOptions& where = options_.remote;
    remote::SshSettings settings;
    settings.address = *where.address;
    settings.connectTimeoutSeconds = where.connectTimeout;
    settings.options = where.sshOptions;
    settings.remoteCommand = where.remoteCommand;
    Answer answer;
    try {
        std::unique_ptr<remote::SshProcess> ssh;
        try {
            ssh = std::make_unique<remote::SshProcess>(
                remote::SshArguments(settings, {"remote-side", "--protocol", std::to_string(remote::ProtocolVersion)}));
        } catch (const std::runtime_error& failed) {
            throw RemoteError(failed.what());
        }
        remote::SshChannel channel(*ssh, &console::Interrupts(), &console::SecondInterrupts());
        remote::BufferedInput input(channel);
        AwaitRemoteSide(input, *ssh, settings, where);
        // Stopped from now on, the remote side stops SAS with the grace
        // local runs give it (5 s) and removes its run folder before it ends.
        channel.SetGrace(std::chrono::seconds(15));
        remote::FrameWriter writer(channel);
        try {
            SendRequest(writer, request);
        } catch (const remote::WireError&) {
            // The remote side stopped reading: its answer (an ERROR) or its
            // end says why.
        }
        remote::FrameReader reader(input);
        answer = ReadAnswer(reader, follow);
        if (!answer.ended) {
            if (channel.Stopped()) {
                result.failure = std::make_exception_ptr(
                    RunStopped(ComponentErrorNumber, ExecuteSource, "SAS was stopped on request before it ended."));
                return result;
            }
            const int exitCode = ssh->Wait();
            throw RemoteError("the connection to " + where.address->host +
                              " ended before the run's results came back (ssh's exit code " + std::to_string(exitCode) +
                              "): " + AllControlCharsAsCodes(ssh->ErrorText()));
        }
        LetSshEnd(*ssh);
    } catch (const remote::WireError& broken) {
        if (console::InterruptRequested()) {
            result.failure = std::make_exception_ptr(
                RunStopped(ComponentErrorNumber, ExecuteSource, "SAS was stopped on request before it ended."));
            return result;
        }
        throw RemoteError("the remote side on " + where.address->host + " broke the protocol: " + broken.what());
    }

    if (std::optional<SessionEncoding> encoding = SessionEncoding::FromName(answer.encoding))
        result.outcome.encoding = *encoding;
    const auto shown = [this](const std::string& stored) { return options_.raw ? stored : CleanControlChars(stored); };
    result.log = shown(answer.log);
    result.lst = shown(answer.lst);
    // Execute's own answers ("ERROR: No command supplied.") are a made
    // run's status; any other text is the error that Execute raised.
    const bool executeAnswer = answer.status.rfind("ERROR: ", 0) == 0;
    if (!answer.status.empty() && !executeAnswer) {
        result.failure = StatusError(answer.status);
        return result;
    }
    result.executed = true;
    result.status = answer.status.empty() ? "OK" : answer.status;
    result.console = answer.console;
    // Judged on the log as SAS wrote it, as a local run's is; its preamble
    // is found in the log.
    SasOutput output;
    output.status = result.status;
    output.log = answer.log;
    output.lst = answer.lst;
    output.console = answer.console;
    output.exitCode = answer.exitCode;
    output.programLeading = LeadingForms(request.program);
    output.encoding = result.outcome.encoding;
    result.outcome.Judge(output, LogRules(options_.ignore, options_.failOn, options_.strict), &console::Interrupts());
    if (options_.json || options_.putDir) {
        for (remote::PutFile& file : answer.putFiles) {
            std::string text = options_.raw ? file.bytes : CleanEveryControlChar(file.bytes);
            result.putFiles.push_back(
                {"_PUT" + std::to_string(file.number), std::string(), std::move(text), std::move(file.bytes)});
        }
    }
    return result;
}

}  // namespace tamberlo::cli
