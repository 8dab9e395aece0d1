#pragma once

// A client's view of Tamberlo.dll: the module loaded the way the platform
// loads an in-process server, objects made through its class factory, and
// helpers to read texts, error information and registry values.

#include "automation/com/ComPtr.h"
#include "automation/com/UniqueBstr.h"
#include "automation/com/UniqueVariant.h"

#include "Tamberlo_h.h"

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace comtest {

using tamberlo::com::ComPtr;
using tamberlo::com::UniqueBstr;
using tamberlo::com::UniqueVariant;

// The member ids that compiled clients store.
inline constexpr DISPID SASCodeId = 0x68030000;
inline constexpr DISPID SafeFormCharId = 0x68030001;
inline constexpr DISPID PutFileId = 0x68030002;
inline constexpr DISPID LstId = 0x68030003;
inline constexpr DISPID LogId = 0x68030004;
inline constexpr DISPID DebugInfoId = 0x68030005;
inline constexpr DISPID CleanOutputId = 0x68030006;
inline constexpr DISPID ExecuteId = 0x60030009;
inline constexpr DISPID ResetId = 0x6003000A;

// The platform of the build under test, as its type library records it and
// as the library's registration names it.
inline constexpr SYSKIND ModulePlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
inline constexpr const wchar_t* ModulePlatformKey = sizeof(void*) == 8 ? L"win64" : L"win32";

// 0x800A0000 + number: how an error raised with a number reaches the client.
constexpr HRESULT RaisedError(long number) {
    return static_cast<HRESULT>(0x800A0000UL + static_cast<unsigned long>(number));
}

// A path handed over by the build (a host path under Wine) as the Windows
// path of the same file.
std::wstring WindowsPath(const std::string& path);
std::string NarrowPath(const std::wstring& path);

// Tamberlo.dll, loaded once for the whole test program.
class ServerModule {
public:
    static ServerModule& Get();

    HMODULE Handle() const noexcept { return module_; }
    std::wstring Path() const;

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) const;
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;

private:
    ServerModule();
    HMODULE module_;
    FARPROC getClassObject_;
    FARPROC canUnloadNow_;
    FARPROC registerServer_;
    FARPROC unregisterServer_;
};

// A new CodeRunner from the module's class factory; fails the test when
// creation fails.
ComPtr<_CodeRunner> NewRunner();
ComPtr<IDispatch> NewDispatch();

UniqueBstr Bstr(const std::wstring& text);
std::wstring Text(BSTR text);

// Reads one text property through the vtable; "<failed 0x...>" when the
// call fails.
std::wstring Get(_CodeRunner* runner, HRESULT (STDMETHODCALLTYPE _CodeRunner::*get)(BSTR*));
bool GetSwitch(_CodeRunner* runner, HRESULT (STDMETHODCALLTYPE _CodeRunner::*get)(VARIANT_BOOL*));
HRESULT SetCode(_CodeRunner* runner, const std::wstring& code);
// Execute with both arguments given as texts (null BSTRs for nullptr).
HRESULT Execute(_CodeRunner* runner, const wchar_t* root, const wchar_t* config, std::wstring& status);

// The thread's error information, taken (and so cleared).
struct ErrorInformation {
    bool present = false;
    GUID guid = GUID_NULL;
    std::wstring source;
    std::wstring description;
};
ErrorInformation TakeErrorInfo();

// The default value ("" for name) of a key under HKEY_CLASSES_ROOT; false
// when the key or value is missing.
bool ReadClassesValue(const std::wstring& key, const std::wstring& name, std::wstring& value);
bool ClassesKeyExists(const std::wstring& key);

// The file name part of a path.
std::wstring FileName(const std::wstring& path);

std::wstring GuidText(REFGUID guid);

// The Windows path of the stand-in's SAS root built beside the tests.
std::wstring StandInRoot();

}  // namespace comtest
