#include "host/RunFolder.h"

#include "host/TempFileNames.h"

namespace tamberlo {

RunFolder::RunFolder() : path_(GetTempDirectory()) {}

RunFolder::~RunFolder() = default;

}  // namespace tamberlo
