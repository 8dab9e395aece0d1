#include "host/StopSignal.h"

#include "host/SystemError.h"

#include <windows.h>

namespace tamberlo {

// A manual-reset event that nobody resets; not inheritable (no security
// attributes), so SAS never holds it.
StopSignal::StopSignal() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (event_ == nullptr) throw ErrorFromSystemCode(::GetLastError());
}

StopSignal::~StopSignal() { ::CloseHandle(event_); }

// SetEvent may be called from the thread the system starts for a console
// control handler.
void StopSignal::Request() noexcept {
    requested_.store(true);
    ::SetEvent(event_);
}

StopSignal::Waitable StopSignal::NativeWaitable() const noexcept { return event_; }

}  // namespace tamberlo
