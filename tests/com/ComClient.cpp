#include "ComClient.h"

#include "tests/support/HostPath.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace comtest {

namespace {

// Every test runs in the single-threaded apartment of the main thread, as a
// script host does.
class ApartmentEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override { CoUninitialize(); }
};

[[maybe_unused]] testing::Environment* const apartment = testing::AddGlobalTestEnvironment(new ApartmentEnvironment);

FARPROC Export(HMODULE module, const char* name) {
    FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return proc;
}

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArgumentFn = HRESULT(STDAPICALLTYPE*)();

}  // namespace

std::wstring WindowsPath(const std::string& path) {
    const std::string host = tamberlo::test::HostPath(path);
    return std::wstring(host.begin(), host.end());
}

std::string NarrowPath(const std::wstring& path) {
    const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, result.data(), size, nullptr, nullptr);
    return result;
}

ServerModule& ServerModule::Get() {
    static ServerModule module;
    return module;
}

ServerModule::ServerModule() : module_(LoadLibraryW(WindowsPath(TAMBERLO_DLL).c_str())) {
    if (module_ == nullptr) throw std::runtime_error("Tamberlo.dll does not load");
    getClassObject_ = Export(module_, "DllGetClassObject");
    canUnloadNow_ = Export(module_, "DllCanUnloadNow");
    registerServer_ = Export(module_, "DllRegisterServer");
    unregisterServer_ = Export(module_, "DllUnregisterServer");
}

std::wstring ServerModule::Path() const {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(module_, path, MAX_PATH * 2);
    return path;
}

HRESULT ServerModule::GetClassObject(REFCLSID clsid, REFIID riid, void** object) const {
    return reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(getClassObject_))(clsid, riid, object);
}

HRESULT ServerModule::CanUnloadNow() const {
    return reinterpret_cast<NoArgumentFn>(reinterpret_cast<void*>(canUnloadNow_))();
}

HRESULT ServerModule::RegisterServer() const {
    return reinterpret_cast<NoArgumentFn>(reinterpret_cast<void*>(registerServer_))();
}

HRESULT ServerModule::UnregisterServer() const {
    return reinterpret_cast<NoArgumentFn>(reinterpret_cast<void*>(unregisterServer_))();
}

ComPtr<_CodeRunner> NewRunner() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, ServerModule::Get().GetClassObject(CLSID_CodeRunner, IID_IClassFactory, factory.put_void()));
    ComPtr<_CodeRunner> runner;
    if (factory) {
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID__CodeRunner, runner.put_void()));
    }
    if (!runner) throw std::runtime_error("no CodeRunner");
    return runner;
}

ComPtr<IDispatch> NewDispatch() { return NewRunner().query<IDispatch>(); }

UniqueBstr Bstr(const std::wstring& text) {
    return UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

std::wstring Get(_CodeRunner* runner, HRESULT (STDMETHODCALLTYPE _CodeRunner::*get)(BSTR*)) {
    UniqueBstr value;
    const HRESULT hr = (runner->*get)(value.put());
    if (FAILED(hr)) {
        wchar_t text[32];
        swprintf(text, 32, L"<failed 0x%08lX>", static_cast<unsigned long>(hr));
        return text;
    }
    return Text(value.get());
}

bool GetSwitch(_CodeRunner* runner, HRESULT (STDMETHODCALLTYPE _CodeRunner::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = 1;  // neither True nor False, so a missed write shows
    EXPECT_EQ(S_OK, (runner->*get)(&value));
    EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE) << value;
    return value == VARIANT_TRUE;
}

HRESULT SetCode(_CodeRunner* runner, const std::wstring& code) { return runner->put_SASCode(Bstr(code).get()); }

HRESULT Execute(_CodeRunner* runner, const wchar_t* root, const wchar_t* config, std::wstring& status) {
    UniqueBstr rootText(root ? SysAllocString(root) : nullptr);
    UniqueBstr configText(config ? SysAllocString(config) : nullptr);
    UniqueBstr result;
    const HRESULT hr = runner->Execute(rootText.get(), configText.get(), result.put());
    status = Text(result.get());
    return hr;
}

ErrorInformation TakeErrorInfo() {
    ErrorInformation result;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return result;
    result.present = true;
    info->GetGUID(&result.guid);
    UniqueBstr source, description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    result.source = Text(source.get());
    result.description = Text(description.get());
    return result;
}

bool ReadClassesValue(const std::wstring& key, const std::wstring& name, std::wstring& value) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, &type,
                     buffer, &bytes) != ERROR_SUCCESS)
        return false;
    value = buffer;
    return true;
}

bool ClassesKeyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

std::wstring FileName(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring StandInRoot() { return WindowsPath(STANDIN_SAS_ROOT) + L"\\"; }

}  // namespace comtest
