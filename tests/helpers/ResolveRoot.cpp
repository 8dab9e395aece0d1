// Prints the SAS root that the default search finds on this host, or the
// error it raises: used to test the drive search for real under Wine.
#include "engine/SASInstallation.h"
#include "host/Error.h"

#include <cstdio>

int main() {
    try {
        std::printf("%s\n", tamberlo::SASInstallation().ResolveSASRoot("").c_str());
        return 0;
    } catch (const tamberlo::Error& error) {
        std::printf("error %ld: %s\n", error.Number(), error.Description().c_str());
        return 1;
    }
}
