#include "engine/PutFile.h"

#include "engine/OutputSwitches.h"
#include "engine/SASContract.h"
#include "host/Error.h"
#include "host/FileSystem.h"
#include "host/ControlChars.h"
#include "host/TempFileNames.h"

#include <chrono>
#include <thread>

namespace tamberlo {

PutFile::PutFile(std::int16_t index) : key_(sas::PutFileKeyPrefix + std::to_string(index)) {
    // The file exists, empty, from now on: SAS appends to it with "mod".
    // Created, never taken over, so that SAS cannot be made to append to a
    // file or link that someone placed at the name.
    const std::string prefix = sas::PutFilePrefix + key_;
    try {
        path_ = CreateTempFile(MakeTempFileName(prefix, sas::PutFileExtension), prefix, sas::PutFileExtension, {});
    } catch (Error& error) {
        // The number stays the file system's; the detail says which file
        // and where, since the usual description alone ("Path/File access
        // error") does not.
        error.SetDetail("the put file " + key_ + " could not be made in '" + GetTempDirectory() + "'" +
                        (error.Detail().empty() ? std::string() : ": " + error.Detail()));
        throw;
    }
}

PutFile::~PutFile() {
    // A SAS that was just stopped may hold the file for a moment longer: a
    // killed process's files can be let go after its end has been signalled.
    // A file in use gets a few more tries; gone or failing otherwise, the item
    // ends all the same.
    for (int attempt = 0; attempt < 20; ++attempt) {
        try {
            filesystem::RemoveFile(path_);
            return;
        } catch (const Error& error) {
            if (error.Number() != errors::PermissionDenied && error.Number() != errors::PathFileAccessError) return;
        } catch (...) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
