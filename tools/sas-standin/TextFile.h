#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tamberlo::standin {

// Whole-file reads and writes of bytes, unchanged (no line-end translation).
// Paths are 8-bit text handed to the C runtime as they are.
class TextFile {
public:
    // The file's bytes, or nothing if it cannot be opened or read.
    static std::optional<std::string> Read(const std::string& path);

    // Everything from the stream until its end.
    static std::string ReadStandardInput();

    // Replaces the file with `bytes`. False if it cannot be created or
    // written completely.
    static bool Write(const std::string& path, std::string_view bytes);
};

}  // namespace tamberlo::standin
