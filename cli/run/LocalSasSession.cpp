#include "cli/run/LocalSasSession.h"

#include "cli/base/Console.h"
#include "cli/run/LogFollower.h"
#include "engine/SASContract.h"

#include <cstdint>
#include <string_view>

namespace tamberlo::cli {

LocalSasSession::LocalSasSession(const SessionOptions& options) : options_(options) {
    runner_.SetCleanOutput(!options.raw);
    runner_.SetSafeFormChar(!options.noFormChar);
    if (options.encoding) runner_.SetEncoding(EncodingSetting{*options.encoding, "--encoding"});
}

void LocalSasSession::Load(const SasProgram& program) {
    runner_.SetRunSettings(program.settings);
    // .sas files go in as stored, read by the command itself: their names
    // may hold characters that the ANSI code page lacks.
    for (const SasProgram::Part& part : program.parts) {
        if (part.stored) {
            runner_.AppendStoredProgram(part.text);
        } else {
            runner_.SetSASCode(part.text);
        }
    }
}

void LocalSasSession::Execute(const SasProgram& program, const StopSignal& stop, LogFollower* follower) {
    Load(program);
    RunControl control;
    control.timeLimit = options_.timeout;
    control.stop = &stop;
    control.hurry = &console::SecondInterrupts();
    if (follower != nullptr) {
        control.whileRunning = [follower](const std::string& logPath) { follower->Poll(logPath); };
    }
    runner_.Execute(options_.HostSASRoot(), options_.HostConfigFile(), control);
}

SasOutput LocalSasSession::Output() const {
    SasOutput output;
    output.status = runner_.LastExecuteReturnValue();
    output.log = runner_.StoredLog();
    output.lst = runner_.StoredLst();
    output.console = runner_.Console();
    output.exitCode = runner_.LastExitCode();
    output.preambleLines = runner_.PreambleLines();
    for (std::string& key : runner_.PutFileKeys()) {
        const auto index =
            static_cast<std::int16_t>(std::stoi(key.substr(std::string_view(sas::PutFileKeyPrefix).size())));
        std::string path = runner_.PutFile(index, true);
        output.putFiles.push_back({std::move(key), std::move(path)});
    }
    output.encoding = runner_.Encoding();
    return output;
}

}  // namespace tamberlo::cli
