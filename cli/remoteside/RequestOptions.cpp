#include "cli/remoteside/RequestOptions.h"

#include "cli/run/SessionOptions.h"
#include "cli/base/UsageError.h"
#include "remote/wire/PrintableBytes.h"

#include <CLI/CLI.hpp>

namespace tamberlo::cli {

namespace {

// A request has no help: only the groups' names are needed.
constexpr SessionWording requestWording{"SAS", "Output", "", ""};

}  // namespace

RequestOptions ParseRequestOptions(const std::vector<std::string>& arguments) {
    RequestOptions request;
    CLI::App app{"", "tamberlo remote-side"};
    app.set_help_flag();
    DeclareSessionOptions(app, request.options, requestWording);
    app.add_flag("--follow", request.options.follow);
    app.add_option_function<std::string>("--program-file",
                                         [&request](const std::string& path) { request.programFile = path; });
    std::vector<const char*> argv{"tamberlo"};
    for (const std::string& argument : arguments) {
        // No command line holds a NUL; here it would cut the argument short.
        if (argument.find('\0') != std::string::npos) {
            throw UsageError("the remote run's options: \"" + remote::PrintableBytes(argument, 256) +
                             "\" holds a NUL byte");
        }
        argv.push_back(argument.c_str());
    }
    try {
        // CLI11 wants a mutable argv; it only reads it.
        app.parse(static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
    } catch (const CLI::ParseError& error) {
        throw UsageError("the remote run's options: " + OneLine(error.what()));
    }
    if (request.programFile && request.programFile->empty()) {
        throw UsageError("the remote run's options: --program-file: expected a file name");
    }
    CheckLogRules(request.options);
    return request;
}

}  // namespace tamberlo::cli
