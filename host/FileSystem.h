#pragma once

#include "host/AsciiCase.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whole-file operations on the host's file system, one source per platform.
// A path given as text is the host's narrow path: on Windows in the ANSI
// code page, as SAS and the automation clients name files. A path given as
// std::filesystem::path is the system's own: on Windows it names any file
// NTFS allows, whatever the code page holds (the command's own files).
// On Windows none of them ever shows a system dialog (a drive without media
// is an error like any other).
// Files are always opened in binary mode: what is written is stored byte for
// byte, what is read comes back byte for byte. Every function that fails
// throws the run-time Error that matches the system's reason (53 for a file
// that is not there); no handle stays open on any path out.
namespace tamberlo::filesystem {

enum class WriteMode { Overwrite, Append };

// The file's whole content. An empty file gives the empty text. A directory
// is refused with 75 (Path/File access error).
std::string ReadWholeFile(const std::string& path);
std::string ReadWholeFile(const std::filesystem::path& path);

// Creates the file when it is missing; Overwrite cuts an existing one to
// empty first, Append writes at its end.
void WriteWholeFile(const std::string& path, std::string_view text, WriteMode mode);
void WriteWholeFile(const std::filesystem::path& path, std::string_view text, WriteMode mode);

// Creates the file, which must not exist yet, and writes `text` to it: never
// through an existing file or link, and on POSIX readable by its owner only.
// False, with nothing touched, when something already has that name. Any
// other failure throws, and the file is gone again.
bool CreateNewFile(const std::string& path, std::string_view text);
bool CreateNewFile(const std::filesystem::path& path, std::string_view text);

void RemoveFile(const std::string& path);

// Opens the file for reading and closes it again at once: succeeds exactly
// when the file exists and can be read.
void CheckReadable(const std::string& path);
void CheckReadable(const std::filesystem::path& path);

// ReadWholeFile, CheckReadable and RemoveFile for callers to whom a missing
// file is an answer, not a failure: nothing (false) when there is no file of
// that name (what those report as 53), every other failure thrown as there.
// Asking costs no exception: every run reads a listing that SAS may not have
// written, and deletes it all the same.
std::optional<std::string> ReadWholeFileIfPresent(const std::string& path);
bool CheckReadableIfPresent(const std::string& path);

// ReadWholeFileIfPresent for a file that must be a regular file of at most
// `limit` bytes (a configuration file): anything else is named by the
// outcome and not read (a FIFO is not waited on, a device not drained).
struct RegularFileRead {
    enum class Outcome { Read, Missing, NotRegular, TooLarge };
    Outcome outcome = Outcome::Missing;
    std::string text;  // with Read
};
RegularFileRead ReadRegularFileIfPresent(const std::string& path, std::uintmax_t limit);
RegularFileRead ReadRegularFileIfPresent(const std::filesystem::path& path, std::uintmax_t limit);

// Opens an existing file for writing as it is, through links: for an output
// that names a device or a pipe (/dev/null, a named pipe), which holds no
// file to replace. Nothing is created, and only a regular file is cut to
// empty. A named pipe that no process reads is not waited on: none then,
// as for a socket or a device without its hardware (POSIX: ENXIO). Every
// other failure throws; the caller closes the stream.
std::FILE* OpenExistingForWriting(const std::filesystem::path& path);
bool RemoveFileIfPresent(const std::string& path);

// Deletes the file if it can and says nothing either way: for files of one's
// own, cleared up on a way out where a failure would change nothing.
void DiscardFile(const std::string& path) noexcept;
void DiscardFile(const std::filesystem::path& path) noexcept;

// Like CheckReadable, but quiet: reports no error and, on Windows, shows no
// system dialog for a drive without media. Used to probe drive letters.
bool ProbeReadable(const std::string& path) noexcept;

// What tells one file from every other on this machine, the same for every
// name of it (hard links and symbolic links included): the device and inode
// on POSIX, the volume's serial number and the file index on Windows. None
// when the file or folder cannot be reached.
std::optional<std::string> FileIdentity(const std::filesystem::path& path);

// The path separator of the host: '\\' on Windows, '/' elsewhere.
char PathSeparator() noexcept;

// True where the file system takes names that differ only in letter case
// for one name (Windows, for the letters A to Z as well as beyond): two
// outputs whose names differ only so would be one file there.
bool NamesIgnoreCase() noexcept;

// A character of a name as the file system compares names: an ASCII letter
// in lower case where NamesIgnoreCase, else as it is.
inline char FoldedNameChar(char c) noexcept { return NamesIgnoreCase() ? AsciiLower(c) : c; }

// `name` with every character as FoldedNameChar gives it.
inline std::string FoldedName(std::string_view name) {
    return NamesIgnoreCase() ? AsciiLower(name) : std::string(name);
}

// True where the shell hands `*` and `?` in file arguments to the program
// unexpanded (Windows), so that the program expands them itself.
bool ProgramExpandsWildcards() noexcept;

// What tells one version of a file from another without reading it: its
// size and its last change, in nanoseconds since 1970 (on Windows to the
// 100 ns the system keeps).
struct FileStamp {
    std::uintmax_t size = 0;
    std::int64_t modifiedNs = 0;
    // Where the system has them (POSIX): the file's identity and the time of
    // its last change of any kind, which no one can set back. A file put in
    // place by a rename, or written with its modification time restored
    // (`cp -p`, `rsync -t`, `touch -d`), differs here though its size and
    // modification time do not. Zero elsewhere.
    std::uint64_t device = 0;
    std::uint64_t fileNumber = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at `path`; none where there is no regular
// file or it cannot be looked at (a read then tells why). One system call.
std::optional<FileStamp> StampOfRegularFile(const std::string& path) noexcept;

// The system reads a file name only up to its first NUL character, so a name
// that holds one would reach another file than the one it names: every
// operation above refuses it as a bad file name (52).
inline bool NamesNoFile(const std::string& path) noexcept { return path.find('\0') != std::string::npos; }

}  // namespace tamberlo::filesystem
