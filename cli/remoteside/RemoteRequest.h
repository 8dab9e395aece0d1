#pragma once

#include "cli/remoteside/SentFolder.h"
#include "remote/wire/FrameReader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// A remote run's request as its frames gave it.
struct RemoteRequest {
    std::vector<std::string> arguments;  // the OPTION frames, in order
    std::unique_ptr<SentFolder> sent;    // made at the first FILE frame
    std::string program;                 // the PROGRAM frame
};

// Reads OPTION and FILE frames in any order, then PROGRAM, then RUN,
// writing each file into the request's SentFolder as it comes (so that a
// file is held in memory only while it is written). Returns nullopt when
// the input ends or a STOP frame comes first: the other side is gone.
// Throws RequestRefused for a frame out of that order and a file that
// SentFolder refuses, WireError for a malformed frame or payload,
// SystemFailure for a file the system could not write or a folder for them
// that it could not make.
std::optional<RemoteRequest> ReadRequest(remote::FrameReader& reader);

}  // namespace tamberlo::cli
