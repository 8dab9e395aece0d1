#include "DataStep.h"

#include "Filerefs.h"
#include "Listing.h"
#include "Log.h"
#include "OutputFile.h"
#include "Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tamberlo::standin {

namespace {

// An external file that the step has written to, in order of first write.
struct Target {
    std::string key;
    std::string label;  // as the notes name it: FILEREF or "path"
    std::string path;
    OutputFile file;
    int records = 0;
};

std::string OpenFailure(const std::string& path, int error) {
    if (error == EACCES) return "ERROR: Insufficient authorization to access " + path + ".";
    if (error == ENOENT) return "ERROR: Physical file does not exist, " + path + ".";
    return "ERROR: Unable to open the file " + path + ".";
}

}  // namespace

DataStep::DataStep() = default;

void DataStep::SelectFile(Destination destination) {
    actions_.push_back({Action::Kind::File, std::move(destination), {}, 0.0});
}

void DataStep::Put(std::string line) { actions_.push_back({Action::Kind::Put, {}, std::move(line), 0.0}); }

void DataStep::Sleep(double seconds) { actions_.push_back({Action::Kind::Sleep, {}, {}, seconds}); }

void DataStep::Abort(std::string message, int exitCode) {
    actions_.push_back({Action::Kind::Abort, {}, std::move(message), 0.0, exitCode});
}

void DataStep::ReadUninitialized(const std::string& name) {
    if (std::find(uninitialized_.begin(), uninitialized_.end(), name) == uninitialized_.end()) {
        uninitialized_.push_back(name);
    }
}

void DataStep::Finish(Log& log, Listing& listing, const Filerefs& filerefs) {
    for (const std::string& name : uninitialized_) log.Line("NOTE: Variable " + name + " is uninitialized.");
    if (!failed_ && !ResolveFilerefs(log, filerefs)) failed_ = true;
    if (!failed_) Execute(log, listing, filerefs);
    if (failed_) log.Line("NOTE: The SAS System stopped processing this step because of errors.");
    log.Line("NOTE: DATA statement used (Total process time):");
    log.Times(clock_);
    log.Line("");
}

bool DataStep::ResolveFilerefs(Log& log, const Filerefs& filerefs) const {
    std::vector<std::string> reported;
    for (const Action& action : actions_) {
        if (action.kind != Action::Kind::File || action.destination.kind != Destination::Kind::Fileref) continue;
        const std::string& name = action.destination.name;
        if (filerefs.Find(name) != nullptr) continue;
        if (std::find(reported.begin(), reported.end(), name) != reported.end()) continue;
        reported.push_back(name);
        log.Error("ERROR: No logical assign for filename " + name + ".");
    }
    return reported.empty();
}

void DataStep::Execute(Log& log, Listing& listing, const Filerefs& filerefs) {
    std::vector<Target> targets;
    Destination current;
    listing.BeginStep();

    auto targetFor = [&](const Destination& destination) -> Target* {
        const bool byFileref = destination.kind == Destination::Kind::Fileref;
        const std::string key = (byFileref ? "fileref:" : "path:") + destination.name;
        for (Target& target : targets) {
            if (target.key == key) return &target;
        }
        Target target;
        target.key = key;
        bool append = destination.append;
        if (byFileref) {
            const Filerefs::Fileref* ref = filerefs.Find(destination.name);
            target.path = ref->path;
            target.label = destination.name;
            append = append || ref->append;
        } else {
            target.path = destination.name;
            target.label = "\"" + destination.name + "\"";
        }
        if (!target.file.Open(target.path, append ? OutputFile::Mode::Append : OutputFile::Mode::Replace)) {
            log.Error(OpenFailure(target.path, errno));
            return nullptr;
        }
        targets.push_back(std::move(target));
        return &targets.back();
    };

    for (const Action& action : actions_) {
        if (action.kind == Action::Kind::File) {
            current = action.destination;
        } else if (action.kind == Action::Kind::Abort) {
            log.Error(action.line);
            abortCode_ = action.exitCode;
            failed_ = true;
            break;
        } else if (action.kind == Action::Kind::Sleep) {
            log.Spool();
            if (action.seconds > 0.0 && !Platform::Sleep(action.seconds)) {
                // Asked to end: tidy up as SAS does, say so, and end.
                log.Line("NOTE: SAS was asked to end and has removed its WORK library.");
                log.Spool();
                std::_Exit(143);
            }
        } else if (current.kind == Destination::Kind::Log) {
            log.Line(action.line);
        } else if (current.kind == Destination::Kind::Print) {
            listing.Put(action.line);
        } else {
            Target* target = targetFor(current);
            if (target == nullptr) {
                failed_ = true;
                break;
            }
            target->file.Write(action.line);
            target->file.Write("\r\n");
            ++target->records;
        }
    }

    for (Target& target : targets) {
        if (!target.file.Close()) log.Error("ERROR: Write to " + target.path + " failed.");
        log.Line("NOTE: The file " + target.label + " is:");
        log.Line("      Filename=" + target.path + ",");
        const bool one = target.records == 1;
        log.Line("NOTE: " + std::to_string(target.records) + (one ? " record was" : " records were") +
                 " written to the file " + target.label + ".");
    }
}

}  // namespace tamberlo::standin
