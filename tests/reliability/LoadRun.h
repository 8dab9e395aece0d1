#pragma once

// The load that the in-process test and the driver program both make: each
// thread has a CodeRunner of its own and runs programs one after the other,
// every run with a token of its own that must come back, and only it, in
// that run's put files, log and listing.

#include <string>
#include <vector>

namespace tamberlo::reliability {

struct LoadOptions {
    std::string sasRoot;  // the folder of the SAS executable, with or without its final separator
    int threads = 8;
    int runsPerThread = 100;
    std::string tag;  // in every token, so that runs of other processes can be told apart
};

struct LoadReport {
    int runs = 0;
    // Every file a run used: the run's log file and its put files, by path.
    std::vector<std::string> files;
    // What went wrong, one line each; empty when every run checked out.
    std::vector<std::string> failures;
};

// Runs the load and checks each run as it ends: status "OK"; each put file
// holds exactly its own line, cleaned or not as that thread's CleanOutput
// switch says; the log holds the run's %put line and the formchar statement
// exactly when that thread's SafeFormChar is on; the listing holds its line;
// no text holds a token of another run; the switches still read as the thread
// set them.
LoadReport RunLoad(const LoadOptions& options);

}  // namespace tamberlo::reliability
