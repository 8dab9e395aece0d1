#include "host/RunFolder.h"

#include "host/TempFileNames.h"

namespace tamberlo {

RunFolder::RunFolder() : path_(GetTempDirectory()) {}

RunFolder::~RunFolder() = default;

void RunFolder::MakePrivateFile(const std::string& /*path*/) const {}

}  // namespace tamberlo
