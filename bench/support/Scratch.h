#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tamberlo::bench {

// The benchmark's own folder for files, made at the first call below
// $TMPDIR (or /tmp) and removed when the program ends. It also becomes the
// process's $TMPDIR, so that every temporary file the component makes lands
// in it, beside the files made ahead, and on the same file system.
const std::string& ScratchFolder();

// A second scratch folder in memory (a tmpfs such as /dev/shm), removed when
// the program ends; empty when the machine has none. For telling the
// component's own costs from those of the disk's file system.
const std::string& MemoryScratchFolder();

// A path in the scratch folder.
std::string ScratchPath(const std::string& name);

void WriteFile(const std::string& path, const std::string& text);

// One read of the whole file into new memory, the plain way (open, size,
// read, close), as a client program would read it. Aborts on failure.
struct FileContent {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
};
FileContent ReadFileOnce(const std::string& path);

}  // namespace tamberlo::bench
