#include "automation/CodeRunner.h"

#include "automation/DebugReport.h"
#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/AnsiText.h"
#include "host/TextFileIO.h"
#include "host/ControlChars.h"

#include <algorithm>
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

Engine& CodeRunner::CurrentEngine() const {
    if (!engine_) throw RuntimeError(errors::OutOfMemory);
    return *engine_;
}

bool CodeRunner::CleanOutput() const { return CurrentEngine().Output()->CleanOutput(); }
void CodeRunner::SetCleanOutput(bool NewValue) { CurrentEngine().Output()->SetCleanOutput(NewValue); }

std::string CodeRunner::DebugInfo() const {
    const Engine& engine = CurrentEngine();
    const SessionEncoding encoding = engine.Encoding();
    DebugReport report;
    // A stored text that is its own UTF-8 (any ASCII text, valid UTF-8 in a
    // UTF-8 session) goes into the report from where it is kept, cleaned on
    // the way in, not through copies of its own: a report over a large log
    // or many put files would otherwise hold every text twice or three times.
    const bool clean = engine.Output()->CleanOutput();
    const auto addUnderlined = [&](std::string heading, std::size_t underlineLength, const std::string& stored) {
        const std::string_view text = encoding.WithoutBom(stored);
        if (encoding.IsOwnUtf8(text)) {
            report.AddBorrowedSection(std::move(heading), underlineLength, text, clean);
        } else if (clean && NeedsCleaning(text)) {
            report.AddSection(std::move(heading), underlineLength, encoding.ToUtf8(CleanControlChars(text)));
        } else {
            report.AddSection(std::move(heading), underlineLength, encoding.ToUtf8(text));
        }
    };
    const auto addText = [&](std::string heading, const std::string& stored) {
        const std::size_t underlineLength = heading.size();
        addUnderlined(std::move(heading), underlineLength, stored);
    };
    report.AddSection("Last Execute Return Value", lastExecuteReturnValue_);
    report.AddSection("SASCode", engine.Command()->Text(encoding));
    addText("Log", engine.Output()->StoredLog());
    addText("Lst", engine.Output()->StoredLst());

    const std::shared_ptr<PutFiles> putFiles = engine.Output()->PutFiles();
    const long count = putFiles->Count();
    report.AddSection("# PutFiles", std::to_string(count));
    for (long position = 1; position <= count; ++position) {
        const std::shared_ptr<tamberlo::PutFile> item = putFiles->Item(position);
        addUnderlined(item->Key() + " (" + ansi::ToUtf8(item->Path()) + ")", item->Key().size(), item->Content());
    }

    report.AddSection("CleanOutput", TrueOrFalse(engine.Output()->CleanOutput()));
    report.AddSection(std::string("SafeFormChar (") + sas::FormCharStatement + ")",
                      TrueOrFalse(engine.Output()->SafeFormChar()));
    return report.Render();
}

std::string CodeRunner::Execute(const std::string& SASRoot, const std::string& SASConfig) {
    return Execute(SASRoot, SASConfig, RunControl{});
}

std::string CodeRunner::Execute(const std::string& SASRoot, const std::string& SASConfig, const RunControl& control) {
    Engine& engine = CurrentEngine();
    engine.SetEncoding(encodingSetting_);
    engine.SetRunSettings(settings_);
    std::string status = engine.Execute(SASRoot, SASConfig, control);
    lastExecuteReturnValue_ = status;
    return status;
}

std::string CodeRunner::Log() const { return CurrentEngine().Output()->Log(); }
std::string CodeRunner::Lst() const { return CurrentEngine().Output()->Lst(); }
const std::string& CodeRunner::StoredLog() const { return CurrentEngine().Output()->StoredLog(); }
const std::string& CodeRunner::StoredLst() const { return CurrentEngine().Output()->StoredLst(); }

std::string CodeRunner::PutFile(std::int16_t Index, bool ReturnPath) const {
    const std::shared_ptr<tamberlo::PutFile> item =
        CurrentEngine().Output()->PutFiles()->Item(sas::PutFileKeyPrefix + std::to_string(Index));
    return ReturnPath ? item->Path() : item->Value();
}

std::vector<std::string> CodeRunner::PutFileKeys() const {
    std::vector<std::string> keys;
    for (const auto& item : *CurrentEngine().Output()->PutFiles()) keys.push_back(item->Key());
    return keys;
}

long CodeRunner::PreambleLines() const {
    const std::string& preamble = CurrentEngine().Command()->Preamble();
    return static_cast<long>(std::count(preamble.begin(), preamble.end(), '\n'));
}

void CodeRunner::Reset() {
    // The old engine, and with it its put files, ends before the new one is made.
    engine_.reset();
    lastExecuteReturnValue_.clear();
    engine_ = std::make_unique<Engine>();
    engine_->SetEncoding(encodingSetting_);
}

void CodeRunner::SetEncoding(std::optional<EncodingSetting> setting) {
    encodingSetting_ = std::move(setting);
    CurrentEngine().SetEncoding(encodingSetting_);
}

void CodeRunner::SetRunSettings(RunSettings settings) { settings_ = std::move(settings); }

void CodeRunner::SetSafeFormChar(bool NewValue) { CurrentEngine().Output()->SetSafeFormChar(NewValue); }
bool CodeRunner::SafeFormChar() const { return CurrentEngine().Output()->SafeFormChar(); }

void CodeRunner::SetSASCode(const std::string& NewValue) {
    Engine& engine = CurrentEngine();
    if (NamesProgramFile(NewValue)) {
        TextFileIO io;
        std::string errorState;
        if (!io.FileExists(NewValue, errorState) || !errorState.empty()) {
            throw Error(ComponentErrorNumber, SASCodeSource, "The file '" + NewValue + "' does not exist.");
        }
        engine.Command()->AppendStoredProgram(NewValue);
    } else if (!NewValue.empty()) {
        engine.Command()->Append(NewValue);
    }
}

void CodeRunner::AppendStoredProgram(const std::string& content) {
    CurrentEngine().Command()->AppendStoredContent(content);
}

std::string CodeRunner::SASCode() const { return CurrentEngine().Command()->Value(); }

std::string CodeRunner::SASCodeText() const {
    const Engine& engine = CurrentEngine();
    return engine.Command()->Text(engine.Encoding());
}

}  // namespace tamberlo
