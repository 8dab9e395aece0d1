#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The command's own texts (its arguments, the names of the files it finds
// and writes, its messages) are UTF-8 on Windows, which hands a program its
// arguments and file names in UTF-16 and whose ANSI code page cannot hold
// every name; elsewhere they are the system's bytes, as the arguments came.
// The component's narrow texts (the files SAS is given, error descriptions)
// are in the ANSI code page on Windows. These convert between the two, one
// source per platform.
namespace tamberlo::commandtext {

// The file that the text names, for std::filesystem and the file layer.
std::filesystem::path ToPath(std::string_view text);

// The name of the file as command text; the reverse of ToPath.
std::string FromPath(const std::filesystem::path& path);

// A narrow text of the component (a path it made, an error description) as
// command text.
std::string FromHost(std::string_view hostText);

// The narrow path by which the component and SAS can reach the existing
// file or folder that the text names: on Windows the text in the ANSI code
// page when that holds every character, else the short (8.3) name when the
// volume keeps one that the code page holds; none when neither. Elsewhere
// the text itself.
std::optional<std::string> ToHostPath(std::string_view text);

// Command text as UTF-8, for reports and JSON: unchanged on Windows;
// elsewhere valid UTF-8 passes and every other byte stands for the Latin-1
// character of the same code.
std::string ToUtf8(std::string_view text);

}  // namespace tamberlo::commandtext
