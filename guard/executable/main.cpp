// tamberlo-guard: the process under which the library starts SAS on Linux.
//
//   tamberlo-guard <id of the process it serves> <token>
//
// Started once per process that runs SAS (library/GuardConnection.h),
// with its control socket as descriptor 3 and its first reaper's link as 4
// (wire/ControlMessages.h). It is a child subreaper and gets SIGTERM when
// the process it serves ends (PR_SET_PDEATHSIG), so that nothing of a run
// survives that process, even when it was killed with SIGKILL (Guard.h).
#include "Guard.h"
#include "SignalWatch.h"
#include "guard/wire/ControlMessages.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace tamberlo::guard;
    if (argc != 3) return 64;
    const pid_t served = static_cast<pid_t>(std::atol(argv[1]));
    // Started with every signal blocked (so that no handler of the served
    // process could run before the exec); the guard blocks its own below.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Dispositions the served process ignored come along through exec: an
    // ignored SIGCHLD would have the kernel reap the runs' processes unseen,
    // an ignored SIGTERM would hide that the served process has died.
    ::signal(SIGCHLD, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    const int signals = WatchChildrenAndTermination();
    if (signals < 0 || ::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0 || ::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return 71;
    Guard guard(served, std::string(FolderPrefix) + "_" + argv[2] + "_", signals);
    // Gone before the line above took effect: nothing to serve.
    if (::getppid() != served) return 0;
    return guard.Serve();
}
