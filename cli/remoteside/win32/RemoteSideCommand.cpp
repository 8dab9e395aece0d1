#include "cli/remoteside/RemoteSideCommand.h"

#include "cli/base/ExitStatus.h"
#include "remote/PipeSink.h"
#include "remote/wire/FrameWriter.h"
#include "remote/wire/Greeting.h"
#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <windows.h>

#ifndef TAMBERLO_VERSION
#define TAMBERLO_VERSION "unknown"
#endif

namespace tamberlo::cli {

int RunRemoteSideCommand(int) {
    remote::PipeSink sink(GetStdHandle(STD_OUTPUT_HANDLE));
    remote::FrameWriter writer(sink);
    try {
        writer.SendRaw(remote::GreetingLine(remote::ProtocolVersion, TAMBERLO_VERSION));
        writer.Send(remote::MessageKind::Error, "a remote run on a Windows host: not supported on Windows yet");
    } catch (const remote::WireError&) {}
    return ToInt(ExitStatus::TamberloError);
}

}  // namespace tamberlo::cli
