#include "automation/com/ClassFactory.h"

#include "automation/com/CodeRunnerObject.h"
#include "automation/com/Module.h"

namespace tamberlo::com {

ClassFactory& ClassFactory::Instance() noexcept {
    static ClassFactory factory;
    return factory;
}

HRESULT ClassFactory::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return 2; }
ULONG ClassFactory::Release() { return 1; }

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CodeRunnerObject::Create(riid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        Module::Lock();
    else
        Module::Unlock();
    return S_OK;
}

}  // namespace tamberlo::com
