// SAS stand-in (SAS.EXE, or sas as SAS for UNIX): runs a small subset of the SAS language in batch with the
// command line, log, listing and put-file behaviour that Tamberlo relies on.
// See README.md beside this file; the test switches are in TestSwitches.h.
#include "StandIn.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    try {
        return tamberlo::standin::StandIn::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "SAS: %s\n", error.what());
        return 2;
    }
}
