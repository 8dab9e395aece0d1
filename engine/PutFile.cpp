#include "engine/PutFile.h"

#include "engine/OutputSwitches.h"
#include "engine/SASContract.h"
#include "host/FileSystem.h"
#include "host/modGlobals.h"

namespace tamberlo {

PutFile::PutFile(std::int16_t index) : key_(sas::PutFileKeyPrefix + std::to_string(index)) {
    // The file exists, empty, from now on: SAS appends to it with "mod".
    // Created, never taken over, so that SAS cannot be made to append to a
    // file or link that someone placed at the name.
    const std::string prefix = sas::PutFilePrefix + key_;
    path_ = CreateTempFile(MakeTempFileName(prefix, sas::PutFileExtension), prefix, sas::PutFileExtension, {});
}

PutFile::~PutFile() {
    try {
        filesystem::RemoveFile(path_);
    } catch (...) {
        // Already gone or in use: the item ends all the same.
    }
}

std::string PutFile::Value() {
    return OutputSwitches::ForThisThread().cleanOutput ? CleanControlChars(Content()) : Content();
}

const std::string& PutFile::Content() {
    if (!loaded_) LoadContent();
    return content_;
}

void PutFile::LoadContent() {
    content_ = filesystem::ReadWholeFile(path_);
    loaded_ = true;
}

}  // namespace tamberlo
