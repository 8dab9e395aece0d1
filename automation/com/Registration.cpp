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
constexpr WORD LibraryMajor = 1;
constexpr WORD LibraryMinor = 0;
constexpr LCID LibraryLocale = 0;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    if (StringFromGUID2(guid, text, 40) == 0) throw ComFailure(E_UNEXPECTED);
    return text;
}

std::wstring ClassKeyName() { return L"CLSID\\" + GuidText(CLSID_CodeRunner); }

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

bool RemoveClassKeys() noexcept {
    try {
        const LSTATUS classStatus = RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, ClassKeyName());
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
    const std::wstring flagsKey = L"TypeLib\\" + GuidText(LIBID_Tamberlo) + L"\\1.0\\FLAGS";
    RegistryKey::Create(HKEY_CLASSES_ROOT, flagsKey).SetString({}, L"0");
}

bool LibraryIsRegistered() noexcept {
    BSTR path = nullptr;
    const HRESULT hr = QueryPathOfRegTypeLib(LIBID_Tamberlo, LibraryMajor, LibraryMinor, LibraryLocale, &path);
    SysFreeString(path);
    return SUCCEEDED(hr);
}

// UnRegisterTypeLib also removes the interface keys that registration wrote.
bool RemoveLibrary() noexcept {
    const HRESULT hr = UnRegisterTypeLib(LIBID_Tamberlo, LibraryMajor, LibraryMinor, LibraryLocale, SYS_WIN32);
    return SUCCEEDED(hr) || !LibraryIsRegistered();
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
