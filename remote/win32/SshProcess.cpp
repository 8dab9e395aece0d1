#include "remote/SshProcess.h"

#include <stdexcept>

namespace tamberlo::remote {

// Remote runs start ssh.exe through pipes of their own on Windows; until
// then they are refused before anything starts.
struct SshProcess::Native {};

SshProcess::SshProcess(const std::vector<std::string>&) {
    throw std::runtime_error("remote runs are not supported on Windows yet");
}

SshProcess::~SshProcess() = default;

bool SshProcess::Write(std::string_view) { return false; }

void SshProcess::CloseInput() {}

int SshProcess::OutputDescriptor() const noexcept { return -1; }

long SshProcess::Read(char*, std::size_t, int) { return 0; }

int SshProcess::Wait() { return -1; }

void SshProcess::Kill() {}

std::string SshProcess::ErrorText() const { return {}; }

}  // namespace tamberlo::remote
