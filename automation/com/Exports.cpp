// The module's entry point and its four exports (see Tamberlo.def).

#include "automation/com/ClassFactory.h"
#include "automation/com/Module.h"
#include "automation/com/Registration.h"

#include "Tamberlo_h.h"

#include <windows.h>

using tamberlo::com::ClassFactory;
using tamberlo::com::Module;

// Does none of the component's own work: the runtime sets up and tears down
// its per-process and per-thread data around this call.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Module::SetInstance(instance);
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_CodeRunner)) return CLASS_E_CLASSNOTAVAILABLE;
    return ClassFactory::Instance().QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return Module::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return tamberlo::com::RegisterServer(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return tamberlo::com::UnregisterServer(); }
