#include "host/TextFileIO.h"

#include "host/Error.h"
#include "host/FileSystem.h"

#include <new>

namespace tamberlo {

namespace {

// The ErrorState of a failure: "<prefix><number> (<description>)".
void Report(const char* prefix, long number, const std::string& description, std::string& ErrorState) {
    ErrorState = prefix + std::to_string(number) + " (" + description + ")";
}

// The frame every operation shares: ErrorState cleared first, and any failure
// reported there instead of leaving the call.
template <typename Operation>
auto Guarded(const char* prefix, std::string& ErrorState, Operation operation) -> decltype(operation()) {
    ErrorState.clear();
    try {
        return operation();
    } catch (const Error& error) {
        Report(prefix, error.Number(), error.Description(), ErrorState);
    } catch (const std::bad_alloc&) {
        Report(prefix, errors::OutOfMemory, RuntimeErrorDescription(errors::OutOfMemory), ErrorState);
    }
    return decltype(operation())();
}

}  // namespace

void TextFileIO::AppendToFile(const std::string& Filename, const std::string& Text, std::string& ErrorState) {
    Guarded("AppendToFile Error #", ErrorState,
            [&] { filesystem::WriteWholeFile(Filename, Text, filesystem::WriteMode::Append); });
}

void TextFileIO::DeleteFile(const std::string& Filename, std::string& ErrorState) {
    constexpr const char* prefix = "DeleteFile Error #";
    // A missing file is reported as RemoveFile reports it, without the cost
    // of an exception: a run deletes a listing that SAS often did not write.
    if (!Guarded(prefix, ErrorState, [&] { return filesystem::RemoveFileIfPresent(Filename); }) && ErrorState.empty()) {
        Report(prefix, errors::FileNotFound, RuntimeErrorDescription(errors::FileNotFound), ErrorState);
    }
}

bool TextFileIO::FileExists(const std::string& Filename, std::string& ErrorState) {
    // Not there at all is an answer, not a failure of the test.
    return Guarded("FileExists Error #", ErrorState, [&] { return filesystem::CheckReadableIfPresent(Filename); });
}

void TextFileIO::OverwriteFile(const std::string& Filename, const std::string& Text, std::string& ErrorState) {
    Guarded("OverwriteFile Error #", ErrorState,
            [&] { filesystem::WriteWholeFile(Filename, Text, filesystem::WriteMode::Overwrite); });
}

std::string TextFileIO::ReadToString(const std::string& Filename, std::string& ErrorState) {
    return Guarded("ReadToString Error #", ErrorState, [&] { return filesystem::ReadWholeFile(Filename); });
}

bool TextFileIO::ReadIfExists(const std::string& Filename, std::string& Text, std::string& ErrorState) {
    return Guarded("ReadToString Error #", ErrorState, [&] {
        std::optional<std::string> content = filesystem::ReadWholeFileIfPresent(Filename);
        if (!content) return false;
        Text = std::move(*content);
        return true;
    });
}

}  // namespace tamberlo
