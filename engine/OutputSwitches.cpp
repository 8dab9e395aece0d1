#include "engine/OutputSwitches.h"

namespace tamberlo {

OutputSwitches& OutputSwitches::ForThisThread() noexcept {
    thread_local OutputSwitches switches;
    return switches;
}

}  // namespace tamberlo
