#include "host/TempFileNames.h"

#include "host/Error.h"
#include "host/FileSystem.h"
#include "host/HostEnvironment.h"

namespace tamberlo {

namespace {

void RemoveAll(std::string& text, std::string_view what) {
    std::string::size_type at = 0;
    while ((at = text.find(what, at)) != std::string::npos) text.erase(at, what.size());
}

}  // namespace

std::string GetTempDirectory() { return hostenv::SystemTempDirectory(); }

std::string MakeTimeStamp() {
    std::string stamp = hostenv::LocalDateTimeText();
    for (std::string_view what : {":", "/", " ", "AM", "PM"}) RemoveAll(stamp, what);
    return stamp;
}

TempFileNamer::TempFileNamer() : TempFileNamer(GetTempDirectory()) {}

TempFileNamer::TempFileNamer(std::string folder) : folder_(std::move(folder)), stamp_(MakeTimeStamp()) {}

std::string TempFileNamer::Name(std::string_view prefix, std::string_view extension) const {
    // Fresh digits from the system's random source for every name: one name
    // observed tells nothing about the next, and threads and processes
    // started in the same second draw independently. (The rare collision is
    // met by exclusive creation, CreateTempFile.)
    const std::string digits = std::to_string(hostenv::FreshRandomNumber());
    std::string name;
    name.reserve(folder_.size() + prefix.size() + stamp_.size() + digits.size() + extension.size() + 2);
    name += folder_;
    name += prefix;
    name += '_';
    name += stamp_;
    name += '_';
    name += digits;
    name += extension;
    return name;
}

std::string MakeTempFileName(std::string_view prefix, std::string_view extension) {
    return TempFileNamer().Name(prefix, extension);
}

namespace {

// A name is taken only by chance or by someone who wants a run to write
// through a file of theirs; either way a new name is made. Many taken
// names in a row mean something else is wrong.
template <typename NewName>
std::string CreateFileUnderNewNames(std::string path, std::string_view text, NewName newName) {
    constexpr int Attempts = 100;
    for (int attempt = 1; !filesystem::CreateNewFile(path, text); ++attempt) {
        if (attempt == Attempts) throw RuntimeError(errors::PathFileAccessError);
        path = newName();
    }
    return path;
}

}  // namespace

std::string CreateTempFile(std::string firstName, std::string_view prefix, std::string_view extension,
                           std::string_view text) {
    return CreateFileUnderNewNames(std::move(firstName), text, [&] { return MakeTempFileName(prefix, extension); });
}

std::string CreateTempFile(const TempFileNamer& names, std::string firstName, std::string_view prefix,
                           std::string_view extension, std::string_view text) {
    return CreateFileUnderNewNames(std::move(firstName), text, [&] { return names.Name(prefix, extension); });
}

}  // namespace tamberlo
