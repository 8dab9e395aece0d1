#include "cli/single/SingleRun.h"

#include "cli/base/Console.h"
#include "cli/findings/LogRules.h"
#include "cli/run/LocalSasSession.h"
#include "engine/Engine.h"
#include "host/ControlChars.h"
#include "host/Error.h"

namespace tamberlo::cli {

SingleRunResult SingleRun::Run(const std::vector<ProgramAssembly::Assignment>& program, LogFollower* follower) const {
    SingleRunResult result;
    LocalSasSession session(options_);
    const SasProgram read = ProgramAssembly::Read(program, options_.HostParameters());
    // The texts as the command shows them: cleaned unless --raw.
    const auto shown = [this](std::string_view text) {
        return options_.raw ? std::string(text) : CleanControlChars(text);
    };
    if (program.empty()) {
        session.Load(read);
    } else {
        try {
            session.Execute(read, console::Interrupts(), follower);
        } catch (const UnpassableSetting& refused) {
            // Found only once the run knew its session encoding; SAS was not started.
            throw ParameterUsageError(refused);
        } catch (const Error&) {
            result.failure = std::current_exception();
            const SasOutput partial = session.Output();
            result.outcome.encoding = partial.encoding;
            result.log = shown(partial.log);
            result.lst = shown(partial.lst);
            return result;
        }
        const SasOutput output = session.Output();
        result.executed = true;
        result.status = output.status;
        result.log = shown(output.log);
        result.lst = shown(output.lst);
        result.console = output.console;
        result.outcome.Judge(output, LogRules(options_.ignore, options_.failOn, options_.strict),
                             &console::Interrupts());
        if (options_.json || options_.putDir) result.putFiles = ListPutFiles(output.putFiles, !options_.raw);
    }
    if (options_.report) result.report = session.DebugInfo();
    result.outcome.encoding = session.Output().encoding;
    return result;
}

}  // namespace tamberlo::cli
