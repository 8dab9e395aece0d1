#pragma once

// One frame: its kind and its payload's bytes.

#include "remote/wire/MessageKind.h"

#include <string>

namespace tamberlo::remote {

struct Frame {
    MessageKind kind = MessageKind::End;
    std::string payload;
};

}  // namespace tamberlo::remote
