#include "StandIn.h"

#include "ConfigurationText.h"
#include "Invocation.h"
#include "Listing.h"
#include "Log.h"
#include "Macros.h"
#include "Platform.h"
#include "Session.h"
#include "Stopwatch.h"
#include "TestSwitches.h"
#include "TextFile.h"
#include "WellFormedUtf8.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tamberlo::standin {

namespace {

void Record(const std::string& path, int argc, char** argv) {
    TextFile::Write(path, Platform::ReceivedCommandLine(argc, argv));
    TextFile::Write(path + ".cwd", Platform::CurrentDirectory());
}

// Writes `text` to the named file, or to `stream` when there is no name.
// Reports a failure on standard error.
bool Deliver(const std::optional<std::string>& path, std::FILE* stream, std::string_view text, const char* what) {
    if (path) {
        if (TextFile::Write(*path, text)) return true;
        std::fprintf(stderr, "SAS: unable to write the %s file %s\n", what, path->c_str());
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && ok;
}

// Where SAS refuses options (Platform.h), it settles its configuration file
// and then its command line before it opens its log: the reasons it will not
// start, in that order.
std::vector<std::string> ReasonsNotToStart(const Invocation& invocation) {
    std::vector<std::string> reasons;
    if (!Platform::RefusesUnknownOptions()) return reasons;
    if (invocation.config) {
        const std::optional<std::string> text = TextFile::Read(*invocation.config);
        if (!text) {
            reasons.push_back("ERROR: Unable to open the configuration file " + *invocation.config + ".");
        } else {
            for (const std::string& name : Invocation::Parse(ConfigurationText::Words(*text)).unknownOptions) {
                reasons.push_back("ERROR: Unrecognized SAS option name, " + name + ", in the configuration file " +
                                  *invocation.config + ".");
            }
        }
    }
    for (const std::string& name : invocation.unknownOptions)
        reasons.push_back("ERROR: Unrecognized SAS option name, " + name + ".");
    return reasons;
}

// Before its log exists SAS has only its console: the reasons go to
// standard error, and the closing line to standard output, flushed in the
// order written so that a caller that joins the two streams reads them so.
void RefuseToStart(const std::vector<std::string>& reasons) {
    for (const std::string& reason : reasons) std::fprintf(stderr, "%s\n", reason.c_str());
    std::fflush(stderr);
    std::fputs("ERROR: SAS did not start.\n", stdout);
    std::fflush(stdout);
}

bool IsUtf8(std::string name) {
    std::string key;
    for (const char c : name) {
        if (c != '-' && c != '_') key.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return key == "UTF8";
}

}  // namespace

int StandIn::Run(int argc, char** argv) {
    const Stopwatch session;
    const TestSwitches switches = TestSwitches::FromEnvironment();
    if (switches.record) Record(*switches.record, argc, argv);
    Platform::UseBinaryStandardStreams();

    const Invocation invocation =
        Invocation::Parse(argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>());
    if (const std::vector<std::string> reasons = ReasonsNotToStart(invocation); !reasons.empty()) {
        RefuseToStart(reasons);
        return 2;
    }
    Platform::CatchTermination();
    Log log;
    if (invocation.log && !switches.noLog && !switches.crash) log.SpoolTo(*invocation.log);
    Listing listing;
    for (const std::string& warning : invocation.warnings) log.Warning(warning);

    std::optional<std::string> program;
    std::optional<int> abortCode;
    if (invocation.config && !TextFile::Read(*invocation.config)) {
        log.Error("ERROR: Unable to open the configuration file " + *invocation.config + ".");
    } else if (invocation.sysin) {
        program = TextFile::Read(*invocation.sysin);
        if (!program) log.Error("ERROR: Physical file does not exist, " + *invocation.sysin + ".");
    } else {
        program = TextFile::ReadStandardInput();
    }

    if (program && switches.record) TextFile::Write(*switches.record + ".program", *program);
    if (program) {
        if (IsUtf8(invocation.SessionEncoding())) {
            for (const int record : WellFormedUtf8::RecordsNotUtf8(*program)) {
                log.Warning("WARNING: A character that could not be transcoded has been replaced in record " +
                            std::to_string(record) + ".");
            }
        }
        if (switches.sleepSeconds > 0.0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(switches.sleepSeconds));
        }
        Macros macros(invocation.sysparm.value_or(""), invocation.environment);
        Session run(log, listing, macros, invocation.source2);
        if (invocation.autoexec) {
            // Run ahead of the program and, without -ECHOAUTO, not echoed.
            const std::optional<std::string> autoexec = TextFile::Read(*invocation.autoexec);
            if (!autoexec) {
                log.Error("ERROR: Physical file does not exist, " + *invocation.autoexec + ".");
            } else {
                log.Line("NOTE: AUTOEXEC processing beginning; file is " + *invocation.autoexec + ".");
                log.Line("");
                run.Run(*autoexec, invocation.echoAutoexec);
                log.Line("");
                log.Line("NOTE: AUTOEXEC processing completed.");
                log.Line("");
            }
        }
        if (!run.AbortCode()) run.Run(*program);
        abortCode = run.AbortCode();
        if (log.Errors() > 0) log.Line("ERROR: Errors printed on page 1.");
        log.Line("");
        log.Line("NOTE: The SAS System used:");
        log.Times(session);
        log.Line("");
    }

    if (switches.crash) {
        if (!switches.noLog) {
            const std::string& text = log.Text();
            Deliver(invocation.log, stderr, std::string_view(text).substr(0, text.size() / 2), "log");
        }
        std::abort();
    }

    int code = abortCode ? *abortCode : log.Errors() > 0 ? 2 : log.Warnings() > 0 ? 1 : 0;
    const std::string& logText = switches.logText ? *switches.logText : log.Text();
    if (!switches.noLog && !Deliver(invocation.log, stderr, logText, "log")) code = 2;
    const bool hasListing = switches.listText || !listing.Empty();
    const std::string& listText = switches.listText ? *switches.listText : listing.Text();
    if (!switches.noList && hasListing && !Deliver(invocation.print, stdout, listText, "listing")) code = 2;
    return switches.exitCode.value_or(code);
}

}  // namespace tamberlo::standin
