#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::remote {

// The system's ssh client started for one remote session, with pipes to its
// standard input, output and error, in a process group of its own (a Ctrl-C
// at the terminal reaches this side, which ends the session in order). What
// ssh writes on its standard error is collected, the last 64 KiB of it, by
// a thread of its own, so that ssh never blocks on it. ssh is killed and
// waited for, and every pipe closed, when the object goes without Wait().
// POSIX only for now: on Windows the constructor throws std::runtime_error
// "remote runs are not supported on Windows yet".
class SshProcess {
public:
    // `arguments`: the program (found on PATH) and its arguments. Throws
    // std::runtime_error naming ssh and the system's reason when it cannot
    // be started.
    explicit SshProcess(const std::vector<std::string>& arguments);
    ~SshProcess();
    SshProcess(const SshProcess&) = delete;
    SshProcess& operator=(const SshProcess&) = delete;

    // Writes all of `bytes` to ssh's standard input. False when ssh no
    // longer reads it (it ended): never a SIGPIPE.
    bool Write(std::string_view bytes);
    // Ends ssh's standard input: the remote side reads its end.
    void CloseInput();

    // ssh's standard output, for reading the remote side's answer.
    int OutputDescriptor() const noexcept;
    // Reads what ssh wrote next, at most `size` bytes; 0 at its end. Waits
    // at most `waitMilliseconds` (-1: without limit); returns -1 when that
    // passed with nothing to read. Throws std::runtime_error on a read error.
    long Read(char* buffer, std::size_t size, int waitMilliseconds);

    // Waits for ssh to end: its exit code, or -1 when a signal ended it.
    // Its standard error is whole once this returns.
    int Wait();
    // Ends ssh (its process group) at once; Wait() still reaps it.
    void Kill();
    // What ssh (and the remote's shell) wrote on standard error so far.
    std::string ErrorText() const;

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

}  // namespace tamberlo::remote
