// Splitting a command line by the Windows rules: any text splits without
// fault, and arguments quoted the way the engine's callers quote them come
// back exactly as they were.
#include "NaiveForms.h"
#include "host/CommandLine.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using tamberlo::test::naive::QuoteArgument;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tamberlo::SplitCommandLine(text);

    // Arguments: the input cut at NUL bytes (a command line cannot hold NUL).
    std::vector<std::string> args{"C:\\Program Files\\SAS\\SAS.EXE"};
    std::string current;
    for (const char c : text) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    args.push_back(current);

    std::string cmdline = "\"" + args[0] + "\"";
    for (std::size_t i = 1; i < args.size(); ++i) cmdline += " " + QuoteArgument(args[i]);
    if (tamberlo::SplitCommandLine(cmdline) != args) std::abort();
    return 0;
}
