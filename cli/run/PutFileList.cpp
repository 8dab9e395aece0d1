#include "cli/run/PutFileList.h"

#include "host/ControlChars.h"
#include "host/FileSystem.h"

namespace tamberlo::cli {

std::vector<PutFileEntry> ListPutFiles(const std::vector<SasPutFile>& files, bool clean) {
    std::vector<PutFileEntry> entries;
    for (const SasPutFile& file : files) {
        std::string bytes = filesystem::ReadWholeFile(file.path);
        std::string text = clean ? CleanEveryControlChar(bytes) : bytes;
        entries.push_back({file.key, file.path, std::move(text), std::move(bytes)});
    }
    return entries;
}

}  // namespace tamberlo::cli
