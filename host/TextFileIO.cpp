#include "host/TextFileIO.h"

#include "host/Error.h"
#include "host/FileSystem.h"

#include <new>

namespace tamberlo {

namespace {

// The frame every operation shares: ErrorState cleared first, and any failure
// turned into "<prefix><number> (<description>)" instead of leaving the call.
template <typename Operation>
auto Guarded(const char* prefix, std::string& ErrorState, Operation operation) -> decltype(operation()) {
    ErrorState.clear();
    const auto report = [&](long number, const std::string& description) {
        ErrorState = prefix + std::to_string(number) + " (" + description + ")";
    };
    try {
        return operation();
    } catch (const Error& error) {
        report(error.Number(), error.Description());
    } catch (const std::bad_alloc&) {
        report(errors::OutOfMemory, RuntimeErrorDescription(errors::OutOfMemory));
    }
    return decltype(operation())();
}

}  // namespace

void TextFileIO::AppendToFile(const std::string& Filename, const std::string& Text, std::string& ErrorState) {
    Guarded("AppendToFile Error #", ErrorState,
            [&] { filesystem::WriteWholeFile(Filename, Text, filesystem::WriteMode::Append); });
}

void TextFileIO::DeleteFile(const std::string& Filename, std::string& ErrorState) {
    Guarded("DeleteFile Error #", ErrorState, [&] { filesystem::RemoveFile(Filename); });
}

bool TextFileIO::FileExists(const std::string& Filename, std::string& ErrorState) {
    return Guarded("FileExists Error #", ErrorState, [&] {
        try {
            filesystem::CheckReadable(Filename);
            return true;
        } catch (const Error& error) {
            // Not there at all is an answer, not a failure of the test.
            if (error.Number() == errors::FileNotFound) return false;
            throw;
        }
    });
}

void TextFileIO::OverwriteFile(const std::string& Filename, const std::string& Text, std::string& ErrorState) {
    Guarded("OverwriteFile Error #", ErrorState,
            [&] { filesystem::WriteWholeFile(Filename, Text, filesystem::WriteMode::Overwrite); });
}

std::string TextFileIO::ReadToString(const std::string& Filename, std::string& ErrorState) {
    return Guarded("ReadToString Error #", ErrorState, [&] { return filesystem::ReadWholeFile(Filename); });
}

}  // namespace tamberlo
