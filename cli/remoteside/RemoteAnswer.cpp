#include "cli/remoteside/RemoteAnswer.h"

#include "host/Error.h"
#include "remote/wire/Payloads.h"

#include <cstdlib>
#include <exception>

namespace tamberlo::cli {

namespace {

constexpr const char* StatusOK = "OK";

// 12 for "_PUT12".
int PutFileNumber(const std::string& key) {
    const std::size_t digits = key.find_first_of("0123456789");
    return digits == std::string::npos ? 0 : std::atoi(key.c_str() + digits);
}

}  // namespace

std::string AnswerStatus(const SingleRunResult& result) {
    if (result.failure) {
        try {
            std::rethrow_exception(result.failure);
        } catch (const Error& error) {
            return error.Source() + ": " + error.Description();
        } catch (const std::exception& error) {
            return error.what();
        }
    }
    if (result.executed && result.status != StatusOK) return result.status;
    return {};
}

void SendAnswer(remote::FrameWriter& writer, const SingleRunResult& result) {
    using remote::MessageKind;
    writer.Send(MessageKind::Log, result.log);
    writer.Send(MessageKind::Listing, result.lst);
    for (const PutFileEntry& file : result.putFiles) {
        writer.Send(MessageKind::PutFile, remote::EncodePutFile({PutFileNumber(file.key), file.bytes}));
    }
    writer.Send(MessageKind::Console, result.console);
    writer.Send(MessageKind::ExitCode,
                result.outcome.sasExitCode ? std::to_string(*result.outcome.sasExitCode) : std::string());
    writer.Send(MessageKind::Encoding, result.outcome.encoding.Name());
    writer.Send(MessageKind::Status, AnswerStatus(result));
    writer.Send(MessageKind::End);
}

}  // namespace tamberlo::cli
