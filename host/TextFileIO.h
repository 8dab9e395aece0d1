#pragma once

#include <string>

namespace tamberlo {

// Whole-file text service that never fails towards its caller. Every
// operation clears ErrorState first and, on a failure, fills it with
// "<Operation> Error #<number> (<description>)" and returns normally.
class TextFileIO {
public:
    void AppendToFile(const std::string& Filename, const std::string& Text, std::string& ErrorState);
    void DeleteFile(const std::string& Filename, std::string& ErrorState);
    // True when the file exists and can be opened for reading. A file that
    // is not there gives False with ErrorState empty; any other failure
    // (a directory, a folder on the way missing, no access) False with a message.
    bool FileExists(const std::string& Filename, std::string& ErrorState);
    void OverwriteFile(const std::string& Filename, const std::string& Text, std::string& ErrorState);
    // The empty text on failure; an empty file reads as the empty text.
    std::string ReadToString(const std::string& Filename, std::string& ErrorState);
};

}  // namespace tamberlo
