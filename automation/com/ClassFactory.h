#pragma once

#include <unknwn.h>

namespace tamberlo::com {

// The class factory of CodeRunner: one static instance for the module, whose
// reference count does not keep the module loaded (LockServer does). Every
// CreateInstance makes a new, independent object.
class ClassFactory final : public IClassFactory {
public:
    static ClassFactory& Instance() noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Fails with CLASS_E_NOAGGREGATION when asked to aggregate.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ClassFactory() = default;
};

}  // namespace tamberlo::com
