#include "engine/RunFiles.h"

#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/Error.h"
#include "host/FileSystem.h"

#include <utility>

namespace tamberlo {

RunFiles::RunFiles(const RunFolder& folder, const TempFileNamer& names)
    : folder_(folder),
      names_(names),
      program(names.Name(sas::ProgramPrefix, sas::ProgramExtension)),
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
    std::string path = program;
    const char* what = "program";
    try {
        program = CreateTempFile(names_, program, sas::ProgramPrefix, sas::ProgramExtension, text);
        programCreated_ = true;
        for (const auto& [output, name] : {std::pair{&log, "log"}, std::pair{&listing, "listing"}}) {
            path = *output;
            what = name;
            folder_.MakePrivateFile(path);
        }
    } catch (const Error& error) {
        throw Error(ComponentErrorNumber, ExecuteSource,
                    std::string("The SAS ") + what + " file '" + path +
                        "' could not be written: OverwriteFile Error #" + std::to_string(error.Number()) + " (" +
                        error.Description() + ")");
    }
}

}  // namespace tamberlo
