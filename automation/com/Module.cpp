#include "automation/com/Module.h"

#include "automation/com/ComError.h"

#include <atomic>

namespace tamberlo::com {

namespace {

std::atomic<HINSTANCE> instance{nullptr};
std::atomic<long> objects{0};
std::atomic<long> locks{0};

}  // namespace

void Module::SetInstance(HINSTANCE value) noexcept { instance = value; }

HINSTANCE Module::Instance() noexcept { return instance; }

std::wstring Module::Path() {
    // GetModuleFileNameW truncates silently when the buffer is too small, so
    // grow it until the name fits with room to spare.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(Instance(), path.data(), size);
        if (length == 0) ThrowWin32(GetLastError());
        if (length < size) {
            path.resize(length);
            return path;
        }
        if (size >= 0x8000) ThrowWin32(ERROR_INSUFFICIENT_BUFFER);
        path.resize(path.size() * 2);
    }
}

void Module::ObjectCreated() noexcept { ++objects; }
void Module::ObjectDestroyed() noexcept { --objects; }
void Module::Lock() noexcept { ++locks; }
void Module::Unlock() noexcept { --locks; }
bool Module::CanUnload() noexcept { return objects == 0 && locks == 0; }

}  // namespace tamberlo::com
