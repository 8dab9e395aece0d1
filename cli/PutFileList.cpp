#include "cli/PutFileList.h"

#include "automation/CodeRunner.h"
#include "engine/PutFileScan.h"
#include "host/Error.h"

#include <cstdint>

namespace tamberlo::cli {

std::vector<PutFileEntry> ListPutFiles(const CodeRunner& runner) {
    // CodeRunner looks put files up by number only. The run made one for
    // every number its program text mentions, so the same scan over the
    // same text names exactly the candidates; each is still looked up, and
    // a number without a put file (no run yet) is skipped.
    std::vector<PutFileEntry> entries;
    for (int number : FindPutFileNumbers(runner.SASCode())) {
        const auto index = static_cast<std::int16_t>(number);
        std::string path;
        try {
            path = runner.PutFile(index, true);
        } catch (const Error& error) {
            if (error.Number() == errors::InvalidArgument) continue;
            throw;
        }
        entries.push_back({"_PUT" + std::to_string(number), std::move(path), runner.PutFile(index)});
    }
    return entries;
}

}  // namespace tamberlo::cli
