#include "cli/remoteside/RemoteRequest.h"

#include "cli/base/SystemFailure.h"
#include "cli/remoteside/RequestRefused.h"
#include "host/Error.h"
#include "remote/wire/Payloads.h"

namespace tamberlo::cli {

namespace {

RequestRefused OutOfOrder(remote::MessageKind kind, const char* expected) {
    return RequestRefused("a " + std::string(remote::KindName(kind)) + " frame came where " + expected +
                          " was expected");
}

std::unique_ptr<SentFolder> MakeSentFolder() {
    try {
        return std::make_unique<SentFolder>();
    } catch (const Error& error) {
        throw SystemFailure("the folder for the files sent with the run: " + error.Description());
    }
}

}  // namespace

std::optional<RemoteRequest> ReadRequest(remote::FrameReader& reader) {
    using remote::MessageKind;
    RemoteRequest request;
    bool programCame = false;
    while (std::optional<remote::Frame> frame = reader.Next()) {
        if (frame->kind == MessageKind::Stop) return std::nullopt;
        if (programCame) {
            if (frame->kind != MessageKind::Run) throw OutOfOrder(frame->kind, "RUN");
            return request;
        }
        switch (frame->kind) {
        case MessageKind::Option: request.arguments.push_back(std::move(frame->payload)); break;
        case MessageKind::File:
            if (!request.sent) request.sent = MakeSentFolder();
            request.sent->Write(remote::DecodeSentFile(std::move(frame->payload)));
            break;
        case MessageKind::Program:
            request.program = std::move(frame->payload);
            programCame = true;
            break;
        default: throw OutOfOrder(frame->kind, "OPTION, FILE or PROGRAM");
        }
    }
    return std::nullopt;
}

}  // namespace tamberlo::cli
