#pragma once

#include <string>
#include <string_view>

namespace tamberlo {

// The system temporary directory as the system reports it, ending in the
// path separator; the empty text when the system reports none (or one too
// long for the 255-character buffer that Windows is asked with).
std::string GetTempDirectory();

// A new path in the temporary directory:
//   <dir><prefix>_<stamp>_<digits><extension>
// The stamp is the host's short date and long time with every ":", "/",
// " ", "AM" and "PM" removed, in that order. The digits are drawn afresh
// from the system's random source for every name, so that no name reveals
// another and threads and processes started in the same second still get
// different names. The file is not created.
std::string MakeTempFileName(std::string_view prefix, std::string_view extension);

// Names for temporary files made together, such as the files of one run:
// the directory and the stamp are looked up once, the digits are drawn for
// every name as MakeTempFileName draws them.
class TempFileNamer {
public:
    TempFileNamer();
    // Names in `folder` (ending in the path separator) instead.
    explicit TempFileNamer(std::string folder);
    std::string Name(std::string_view prefix, std::string_view extension) const;

private:
    std::string folder_;
    std::string stamp_;
};

// Creates a new file holding `text` at `firstName` (a name from
// MakeTempFileName with the same prefix and extension), never through an
// existing file or link: while the name is taken, a new one is made. Returns
// the path created. Throws the file system's error, with no file left
// behind; 75 (Path/File access error) when name after name is taken.
std::string CreateTempFile(std::string firstName, std::string_view prefix, std::string_view extension,
                           std::string_view text);
// The same, the new names made by `names`.
std::string CreateTempFile(const TempFileNamer& names, std::string firstName, std::string_view prefix,
                           std::string_view extension, std::string_view text);

// The stamp part of MakeTempFileName, from the local time of now.
std::string MakeTimeStamp();

}  // namespace tamberlo
