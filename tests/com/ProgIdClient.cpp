// A compiled client as a user writes one: it creates Tamberlo.CodeRunner by
// its ProgID through the registry, reads the type library and the version
// resource of the module the platform loaded, and runs a program against
// the stand-in found by the default search. Built for each bitness, it
// shows which build a client of that bitness gets. Prints one fact a line;
// exits 1 with "failed: ..." at the first failure.

#include "automation/com/ComPtr.h"
#include "automation/com/UniqueBstr.h"

#include "Tamberlo_h.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using tamberlo::com::ComPtr;
using tamberlo::com::UniqueBstr;

namespace {

struct Failure : std::runtime_error {
    Failure(const std::string& what, HRESULT hr)
        : std::runtime_error(what + " (0x" + [hr] {
              char hex[9];
              std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(hr));
              return std::string(hex);
          }() + ")") {}
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw Failure(what, hr);
}

void Print(const std::wstring& line) { std::printf("%ls\n", line.c_str()); }

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The file that a module's code was loaded from.
std::wstring ModuleOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        throw Failure("GetModuleHandleEx", HRESULT_FROM_WIN32(GetLastError()));
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(module, path, MAX_PATH * 2);
    return path;
}

// "1.00 (1.0.0.0)": the version resource's text and its numbers.
std::wstring VersionOf(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (data.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(data.size()), data.data()))
        throw Failure("GetFileVersionInfo", HRESULT_FROM_WIN32(GetLastError()));
    wchar_t* text = nullptr;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&text),
                        &length) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
        throw Failure("VerQueryValue", E_FAIL);
    return std::wstring(text) + L" (" + std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) +
           L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS)) + L")";
}

const wchar_t* PlatformName(SYSKIND kind) {
    return kind == SYS_WIN64 ? L"win64" : kind == SYS_WIN32 ? L"win32" : L"other";
}

void Run() {
    Print(L"client: " + std::to_wstring(sizeof(void*) * 8) + L"-bit");
    CLSID clsid{};
    Check(CLSIDFromProgID(L"Tamberlo.CodeRunner", &clsid), "CLSIDFromProgID");
    Print(L"ProgID Tamberlo.CodeRunner: " + GuidText(clsid));
    ComPtr<_CodeRunner> runner;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__CodeRunner, runner.put_void()),
          "CoCreateInstance");

    // The object's code lives in the module that the registry named.
    const std::wstring module = ModuleOf(*reinterpret_cast<void**>(runner.get()));
    Print(L"module: " + module);
    Print(L"version: " + VersionOf(module));

    ComPtr<ITypeInfo> info;
    Check(runner->GetTypeInfo(0, 0, info.put()), "GetTypeInfo");
    ComPtr<ITypeLib> library;
    UINT index = 0;
    Check(info->GetContainingTypeLib(library.put(), &index), "GetContainingTypeLib");
    TLIBATTR* attr = nullptr;
    Check(library->GetLibAttr(&attr), "GetLibAttr");
    UniqueBstr name;
    Check(library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr), "GetDocumentation");
    Print(L"type library: " + Text(name.get()) + L" " + std::to_wstring(attr->wMajorVerNum) + L"." +
          std::to_wstring(attr->wMinorVerNum) + L" " + PlatformName(attr->syskind));
    library->ReleaseTLibAttr(attr);
    UniqueBstr registered;
    Check(QueryPathOfRegTypeLib(LIBID_Tamberlo, 1, 0, 0, registered.put()), "QueryPathOfRegTypeLib");
    Print(L"registered library: " + Text(registered.get()));

    const std::wstring program =
        L"data _null_; file _PUT1; put 'from the " + std::to_wstring(sizeof(void*) * 8) + L"-bit client'; run;";
    UniqueBstr code(SysAllocString(program.c_str()));
    Check(runner->put_SASCode(code.get()), "SASCode");
    UniqueBstr status, put;
    Check(runner->Execute(nullptr, nullptr, status.put()), "Execute");
    Print(L"run: " + Text(status.get()));
    Check(runner->get_PutFile(1, VARIANT_FALSE, put.put()), "PutFile");
    std::wstring text = Text(put.get());
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    Print(L"put file 1: " + text);
}

}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int result = 0;
    try {
        Run();
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        result = 1;
    }
    CoUninitialize();
    return result;
}
