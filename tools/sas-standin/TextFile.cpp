#include "TextFile.h"

#include "OutputFile.h"

#include <cstdio>

namespace tamberlo::standin {

namespace {

bool Slurp(std::FILE* file, std::string& into) {
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) into.append(buffer, got);
    return std::ferror(file) == 0;
}

}  // namespace

std::optional<std::string> TextFile::Read(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    std::string bytes;
    const bool ok = Slurp(file, bytes);
    std::fclose(file);
    if (!ok) return std::nullopt;
    return bytes;
}

std::string TextFile::ReadStandardInput() {
    std::string bytes;
    Slurp(stdin, bytes);
    return bytes;
}

bool TextFile::Write(const std::string& path, std::string_view bytes) {
    OutputFile file;
    if (!file.Open(path, OutputFile::Mode::Replace)) return false;
    file.Write(bytes);
    return file.Close();
}

}  // namespace tamberlo::standin
