#include "engine/Output.h"

#include "engine/OutputSwitches.h"
#include "host/ControlChars.h"

namespace tamberlo {

namespace {

std::string AsRead(const std::string& stored) {
    return OutputSwitches::ForThisThread().cleanOutput ? CleanControlChars(stored) : stored;
}

}  // namespace

Output::Output() : putFiles_(std::make_shared<tamberlo::PutFiles>()) {
    OutputSwitches& switches = OutputSwitches::ForThisThread();
    switches.cleanOutput = true;
    switches.safeFormChar = true;
}

bool Output::CleanOutput() const noexcept { return OutputSwitches::ForThisThread().cleanOutput; }
void Output::SetCleanOutput(bool pNewValue) noexcept { OutputSwitches::ForThisThread().cleanOutput = pNewValue; }
std::string Output::Log() const { return AsRead(log_); }
std::string Output::Lst() const { return AsRead(lst_); }
void Output::SetSafeFormChar(bool pNewValue) noexcept { OutputSwitches::ForThisThread().safeFormChar = pNewValue; }
bool Output::SafeFormChar() const noexcept { return OutputSwitches::ForThisThread().safeFormChar; }

}  // namespace tamberlo
