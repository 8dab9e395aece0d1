#pragma once

#include <windows.h>

namespace tamberlo::com {

// What DllRegisterServer writes, under HKEY_CLASSES_ROOT:
//   CLSID\{E0A17516-...}                 (default) "Tamberlo.CodeRunner"
//     InprocServer32                     (default) the module's full path,
//                                        ThreadingModel "Apartment"
//     ProgID                             (default) "Tamberlo.CodeRunner"
//     TypeLib                            (default) the LIBID
//     Version                            (default) "1.0"
//   Tamberlo.CodeRunner                  (default) "Tamberlo.CodeRunner"
//     CLSID                              (default) the CLSID
// and the type library, through RegisterTypeLib with the module as its file
// (TypeLib\{LIBID}\1.0 and Interface\{IID of _CodeRunner}).
// Returns S_OK, SELFREG_E_TYPELIB or SELFREG_E_CLASS; a failed registration
// removes what it had written.
HRESULT RegisterServer() noexcept;

// Removes all of that; entries already missing count as removed. The 32-bit
// and the 64-bit build share the ProgID, the type library's keys and the
// interface's keys on 64-bit Windows: while the other build is registered
// beside this one, only this build's class key and its platform entry
// (TypeLib\{LIBID}\1.0\0\win32 or win64) go. Returns S_OK,
// SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT UnregisterServer() noexcept;

}  // namespace tamberlo::com
