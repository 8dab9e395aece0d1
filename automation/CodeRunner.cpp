#include "automation/CodeRunner.h"

#include "automation/DebugReport.h"
#include "engine/SASContract.h"
#include "host/TextFileIO.h"
#include "host/modGlobals.h"

#include <utility>

namespace tamberlo {

namespace {

const char* TrueOrFalse(bool value) { return value ? "True" : "False"; }

}  // namespace

bool NamesProgramFile(const std::string& value) noexcept {
    if (value.find("\r\n") != std::string::npos) return false;
    if (value.size() < 4) return false;
    const char* suffix = value.data() + value.size() - 4;
    return suffix[0] == '.' && (suffix[1] == 'S' || suffix[1] == 's') && (suffix[2] == 'A' || suffix[2] == 'a') &&
           (suffix[3] == 'S' || suffix[3] == 's');
}

CodeRunner::CodeRunner() : engine_(std::make_unique<Engine>()) {}

bool CodeRunner::CleanOutput() const { return engine_->Output()->CleanOutput(); }
void CodeRunner::SetCleanOutput(bool NewValue) { engine_->Output()->SetCleanOutput(NewValue); }

std::string CodeRunner::DebugInfo() const {
    DebugReport report;
    // A stored text that the cleaning leaves as it is goes into the report
    // from where it is kept, not through a copy of its own: a report over a
    // large log or many put files would otherwise hold every text twice.
    const bool clean = engine_->Output()->CleanOutput();
    const auto addUnderlined = [&](std::string heading, std::size_t underlineLength, const std::string& stored) {
        if (clean && NeedsCleaning(stored)) {
            report.AddSection(std::move(heading), underlineLength, CleanControlChars(stored));
        } else {
            report.AddBorrowedSection(std::move(heading), underlineLength, stored);
        }
    };
    const auto addText = [&](std::string heading, const std::string& stored) {
        const std::size_t underlineLength = heading.size();
        addUnderlined(std::move(heading), underlineLength, stored);
    };
    report.AddSection("Last Execute Return Value", lastExecuteReturnValue_);
    report.AddSection("SASCode", engine_->Command()->Value());
    addText("Log", engine_->Output()->StoredLog());
    addText("Lst", engine_->Output()->StoredLst());

    const std::shared_ptr<PutFiles> putFiles = engine_->Output()->PutFiles();
    const long count = putFiles->Count();
    report.AddSection("# PutFiles", std::to_string(count));
    for (long position = 1; position <= count; ++position) {
        const std::shared_ptr<tamberlo::PutFile> item = putFiles->Item(position);
        addUnderlined(item->Key() + " (" + item->Path() + ")", item->Key().size(), item->Content());
    }

    report.AddSection("CleanOutput", TrueOrFalse(engine_->Output()->CleanOutput()));
    report.AddSection(std::string("SafeFormChar (") + sas::FormCharStatement + ")",
                      TrueOrFalse(engine_->Output()->SafeFormChar()));
    return report.Render();
}

std::string CodeRunner::Execute(const std::string& SASRoot, const std::string& SASConfig) {
    return Execute(SASRoot, SASConfig, RunControl{});
}

std::string CodeRunner::Execute(const std::string& SASRoot, const std::string& SASConfig, const RunControl& control) {
    std::string status = engine_->Execute(SASRoot, SASConfig, control);
    lastExecuteReturnValue_ = status;
    return status;
}

std::string CodeRunner::Log() const { return engine_->Output()->Log(); }
std::string CodeRunner::Lst() const { return engine_->Output()->Lst(); }
const std::string& CodeRunner::StoredLog() const noexcept { return engine_->Output()->StoredLog(); }
const std::string& CodeRunner::StoredLst() const noexcept { return engine_->Output()->StoredLst(); }

std::string CodeRunner::PutFile(std::int16_t Index, bool ReturnPath) const {
    const std::shared_ptr<tamberlo::PutFile> item =
        engine_->Output()->PutFiles()->Item(sas::PutFileKeyPrefix + std::to_string(Index));
    return ReturnPath ? item->Path() : item->Value();
}

std::vector<std::string> CodeRunner::PutFileKeys() const {
    std::vector<std::string> keys;
    for (const auto& item : *engine_->Output()->PutFiles()) keys.push_back(item->Key());
    return keys;
}

void CodeRunner::Reset() {
    // The old engine, and with it its put files, ends before the new one is made.
    engine_.reset();
    engine_ = std::make_unique<Engine>();
    lastExecuteReturnValue_.clear();
}

void CodeRunner::SetSafeFormChar(bool NewValue) { engine_->Output()->SetSafeFormChar(NewValue); }
bool CodeRunner::SafeFormChar() const { return engine_->Output()->SafeFormChar(); }

void CodeRunner::SetSASCode(const std::string& NewValue) {
    if (NamesProgramFile(NewValue)) {
        TextFileIO io;
        std::string errorState;
        if (!io.FileExists(NewValue, errorState) || !errorState.empty()) {
            throw Error(ComponentErrorNumber, SASCodeSource, "The file '" + NewValue + "' does not exist.");
        }
        engine_->Command()->AppendStoredProgram(NewValue);
    } else if (!NewValue.empty()) {
        engine_->Command()->Append(NewValue);
    }
}

std::string CodeRunner::SASCode() const { return engine_->Command()->Value(); }

}  // namespace tamberlo
