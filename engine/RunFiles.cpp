#include "engine/RunFiles.h"

#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/Error.h"
#include "host/FileSystem.h"

namespace tamberlo {

RunFiles::RunFiles(const TempFileNamer& names)
    : program(names.Name(sas::ProgramPrefix, sas::ProgramExtension)),
      log(names.Name(sas::LogPrefix, sas::LogExtension)),
      listing(names.Name(sas::ListingPrefix, sas::ListingExtension)),
      console(sas::CapturesConsole ? names.Name(sas::ConsolePrefix, sas::ConsoleExtension) : std::string()) {}

RunFiles::~RunFiles() {
    if (programCreated_) filesystem::DiscardFile(program);
    filesystem::DiscardFile(log);
    filesystem::DiscardFile(listing);
    if (!console.empty()) filesystem::DiscardFile(console);
}

void RunFiles::CreateProgram(const std::string& text) {
    try {
        program = CreateTempFile(program, sas::ProgramPrefix, sas::ProgramExtension, text);
        programCreated_ = true;
    } catch (const Error& error) {
        throw Error(ComponentErrorNumber, ExecuteSource,
                    "The SAS program file '" + program + "' could not be written: OverwriteFile Error #" +
                        std::to_string(error.Number()) + " (" + error.Description() + ")");
    }
}

}  // namespace tamberlo
