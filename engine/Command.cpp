#include "engine/Command.h"

#include "engine/SASContract.h"
#include "host/FileSystem.h"

namespace tamberlo {

void Command::Append(const std::string& NewCommandSegment) {
    value_.reserve(value_.size() + NewCommandSegment.size() + 2);
    value_ += NewCommandSegment;
    value_ += sas::CrLf;
}

void Command::AppendStoredProgram(const std::string& Program) {
    // Read first: a failure leaves the buffer as it was.
    value_ += filesystem::ReadWholeFile(Program);
}

void Command::LoadStoredProgram(const std::string& Program) {
    value_.clear();
    value_ = filesystem::ReadWholeFile(Program);
}

}  // namespace tamberlo
