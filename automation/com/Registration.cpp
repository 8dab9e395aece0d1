#include "automation/com/Registration.h"

#include "automation/com/ComError.h"
#include "automation/com/ComPtr.h"
#include "automation/com/Module.h"
#include "automation/com/RegistryKey.h"

#include "Tamberlo_h.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

namespace tamberlo::com {

namespace {

constexpr const wchar_t* ProgId = L"Tamberlo.CodeRunner";
constexpr const wchar_t* ClassVersion = L"1.0";

// On 64-bit Windows the 32-bit and the 64-bit build are registered side by
// side: each in its own view of CLSID and Interface, while the ProgID and
// the TypeLib keys are one for both. The bitness decides which part of the
// shared entries is this build's, and which view holds the other build.
constexpr bool Is64Bit = sizeof(void*) == 8;
constexpr const wchar_t* LibraryPlatformKey = Is64Bit ? L"win64" : L"win32";
constexpr REGSAM OtherBuildView = Is64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    if (StringFromGUID2(guid, text, 40) == 0) throw ComFailure(E_UNEXPECTED);
    return text;
}

std::wstring ClassKeyName() { return L"CLSID\\" + GuidText(CLSID_CodeRunner); }
std::wstring LibraryVersionKeyName() { return L"TypeLib\\" + GuidText(LIBID_Tamberlo) + L"\\1.0"; }

void RegisterClassKeys(const std::wstring& modulePath) {
    const std::wstring clsid = GuidText(CLSID_CodeRunner);
    RegistryKey classKey = RegistryKey::Create(HKEY_CLASSES_ROOT, ClassKeyName());
    classKey.SetString({}, ProgId);
    RegistryKey server = RegistryKey::Create(classKey.get(), L"InprocServer32");
    server.SetString({}, modulePath);
    server.SetString(L"ThreadingModel", L"Apartment");
    RegistryKey::Create(classKey.get(), L"ProgID").SetString({}, ProgId);
    RegistryKey::Create(classKey.get(), L"TypeLib").SetString({}, GuidText(LIBID_Tamberlo));
    RegistryKey::Create(classKey.get(), L"Version").SetString({}, ClassVersion);

    RegistryKey progIdKey = RegistryKey::Create(HKEY_CLASSES_ROOT, ProgId);
    progIdKey.SetString({}, ProgId);
    RegistryKey::Create(progIdKey.get(), L"CLSID").SetString({}, clsid);
}

// The ProgID stays while the other build's class is registered: it names
// the same CLSID for both. On 32-bit Windows there is one view, whose class
// key is gone by then.
bool RemoveClassKeys() noexcept {
    try {
        const LSTATUS classStatus = RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, ClassKeyName());
        if (RegistryKey::Exists(HKEY_CLASSES_ROOT, ClassKeyName() + L"\\InprocServer32", OtherBuildView))
            return classStatus == ERROR_SUCCESS;
        const LSTATUS progIdStatus = RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, ProgId);
        return classStatus == ERROR_SUCCESS && progIdStatus == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

void RegisterLibrary(const std::wstring& modulePath) {
    ComPtr<ITypeLib> library;
    ThrowIfFailed(LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put()));
    std::wstring path = modulePath;
    // An empty help directory: given none, RegisterTypeLib would record the
    // module's folder as one.
    std::wstring noHelpDirectory;
    ThrowIfFailed(RegisterTypeLib(library.get(), path.data(), noHelpDirectory.data()));
    // RegisterTypeLib writes the flags of the loaded library, which include
    // LIBFLAG_FHASDISKIMAGE on some systems; the library itself has none.
    RegistryKey::Create(HKEY_CLASSES_ROOT, LibraryVersionKeyName() + L"\\FLAGS").SetString({}, L"0");
}

bool LibraryIsRegistered() {
    return RegistryKey::Exists(HKEY_CLASSES_ROOT, LibraryVersionKeyName() + L"\\0\\" + LibraryPlatformKey);
}

bool OtherPlatformIsRegistered() {
    for (const std::wstring& platform : RegistryKey::SubkeyNames(HKEY_CLASSES_ROOT, LibraryVersionKeyName() + L"\\0"))
        if (CompareStringOrdinal(platform.c_str(), -1, LibraryPlatformKey, -1, TRUE) != CSTR_EQUAL) return true;
    return false;
}

// Removed by hand rather than by UnRegisterTypeLib, which takes the
// interface's keys out of both views even while the other build still
// uses the library. Those keys name the library, not a module, so they
// stay, with the version key, as long as either build is registered.
bool RemoveLibrary() noexcept {
    try {
        const std::wstring version = LibraryVersionKeyName();
        if (OtherPlatformIsRegistered())
            return RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, version + L"\\0\\" + LibraryPlatformKey) == ERROR_SUCCESS;
        const std::wstring interfaceKey = L"Interface\\" + GuidText(IID__CodeRunner);
        // Each is tried, whatever happened to the one before.
        const LSTATUS statuses[] = {RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, version),
                                    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, interfaceKey),
                                    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, interfaceKey, OtherBuildView)};
        bool removed = true;
        for (const LSTATUS status : statuses) removed = removed && status == ERROR_SUCCESS;
        // Another version of the library would keep the library's key.
        RegistryKey::DeleteIfEmpty(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(LIBID_Tamberlo));
        return removed && !LibraryIsRegistered();
    } catch (...) {
        return false;
    }
}

}  // namespace

HRESULT RegisterServer() noexcept {
    std::wstring modulePath;
    if (FAILED(Sealed([&] { modulePath = Module::Path(); }))) return SELFREG_E_CLASS;
    if (FAILED(Sealed([&] { RegisterLibrary(modulePath); }))) {
        RemoveLibrary();
        return SELFREG_E_TYPELIB;
    }
    if (FAILED(Sealed([&] { RegisterClassKeys(modulePath); }))) {
        RemoveClassKeys();
        RemoveLibrary();
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterServer() noexcept {
    const bool classRemoved = RemoveClassKeys();
    const bool libraryRemoved = RemoveLibrary();
    if (!classRemoved) return SELFREG_E_CLASS;
    if (!libraryRemoved) return SELFREG_E_TYPELIB;
    return S_OK;
}

}  // namespace tamberlo::com
