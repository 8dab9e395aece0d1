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
    // FileExists and then, when it is True, ReadToString, with one opening of
    // the file: True with the content in Text when the file was read; False
    // with Text untouched when there is no file of that name (ErrorState
    // empty) or it could not be read (ErrorState says why, as ReadToString).
    bool ReadIfExists(const std::string& Filename, std::string& Text, std::string& ErrorState);
};

}  // namespace tamberlo
