#include "cli/PutFileList.h"

#include "automation/CodeRunner.h"
#include "engine/SASContract.h"

#include <cstdint>
#include <string_view>

namespace tamberlo::cli {

std::vector<PutFileEntry> ListPutFiles(const CodeRunner& runner) {
    std::vector<PutFileEntry> entries;
    for (std::string& key : runner.PutFileKeys()) {
        const auto index = static_cast<std::int16_t>(std::stoi(key.substr(std::string_view(sas::PutFileKeyPrefix).size())));
        std::string path = runner.PutFile(index, true);
        std::string text = runner.PutFile(index);
        entries.push_back({std::move(key), std::move(path), std::move(text)});
    }
    return entries;
}

}  // namespace tamberlo::cli
