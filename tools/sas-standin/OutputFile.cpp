#include "OutputFile.h"

#include <utility>

namespace tamberlo::standin {

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), failed_(std::exchange(other.failed_, false)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, nullptr);
        failed_ = std::exchange(other.failed_, false);
    }
    return *this;
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Open(const std::string& path, Mode mode) {
    Close();
    file_ = std::fopen(path.c_str(), mode == Mode::Append ? "ab" : "wb");
    failed_ = false;
    return file_ != nullptr;
}

void OutputFile::Write(std::string_view bytes) {
    if (file_ == nullptr || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
}

bool OutputFile::Close() {
    if (file_ == nullptr) return true;
    const bool closed = std::fclose(std::exchange(file_, nullptr)) == 0;
    return closed && !std::exchange(failed_, false);
}

}  // namespace tamberlo::standin
