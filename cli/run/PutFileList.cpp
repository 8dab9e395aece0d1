#include "cli/run/PutFileList.h"

#include "automation/CodeRunner.h"
#include "engine/SASContract.h"
#include "host/ControlChars.h"

#include <cstdint>
#include <string_view>

namespace tamberlo::cli {

std::vector<PutFileEntry> ListPutFiles(CodeRunner& runner) {
    // Read raw: the switch applies to every runner of the thread, so it is
    // put back on every way out.
    const bool clean = runner.CleanOutput();
    struct SwitchBack {
        CodeRunner& runner;
        bool clean;
        ~SwitchBack() { runner.SetCleanOutput(clean); }
    } switchBack{runner, clean};
    runner.SetCleanOutput(false);

    std::vector<PutFileEntry> entries;
    for (std::string& key : runner.PutFileKeys()) {
        const auto index =
            static_cast<std::int16_t>(std::stoi(key.substr(std::string_view(sas::PutFileKeyPrefix).size())));
        std::string path = runner.PutFile(index, true);
        std::string bytes = runner.PutFile(index);
        std::string text = clean ? CleanEveryControlChar(bytes) : bytes;
        entries.push_back({std::move(key), std::move(path), std::move(text), std::move(bytes)});
    }
    return entries;
}

}  // namespace tamberlo::cli
