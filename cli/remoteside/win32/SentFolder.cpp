#include "cli/remoteside/SentFolder.h"

#include "cli/remoteside/RequestRefused.h"

namespace tamberlo::cli {

SentFolder::SentFolder() { throw RequestRefused("files sent with a remote run: not supported on Windows yet"); }

void SentFolder::Write(const remote::SentFile&) {}

std::string SentFolder::Path() const { return folder_.Path(); }

}  // namespace tamberlo::cli
