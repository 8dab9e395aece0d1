#include "SoakTarget.h"

#include "automation/com/ComPtr.h"
#include "automation/com/UniqueBstr.h"

#include "Tamberlo_h.h"

#include <windows.h>
#include <ole2.h>

#include <stdexcept>
#include <vector>

namespace tamberlo::reliability {

namespace {

using com::ComPtr;
using com::UniqueBstr;

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Narrow(BSTR text) {
    const int length = static_cast<int>(SysStringLen(text));
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

UniqueBstr Bstr(const std::string& text) {
    const std::wstring wide = Wide(text);
    return UniqueBstr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

// Drops the error information a failed call left on the thread.
void DropErrorInfo() {
    ComPtr<IErrorInfo> info;
    GetErrorInfo(0, info.put());
}

class ComTarget : public SoakTarget {
public:
    ComTarget(const std::string& dllPath, const std::string& sasRoot) : root_(Bstr(sasRoot)) {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) throw std::runtime_error("no apartment");
        module_ = LoadLibraryA(dllPath.c_str());
        if (module_ == nullptr) throw std::runtime_error("Tamberlo.dll does not load");
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto get =
            reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        if (get == nullptr || FAILED(get(CLSID_CodeRunner, IID_IClassFactory, factory_.put_void())))
            throw std::runtime_error("no class factory");
    }

    ~ComTarget() override {
        runner_.reset();
        factory_.reset();
        CoUninitialize();
        // The module stays loaded: objects of the platform may still refer to it.
    }

    std::string Run(int number) override {
        if (!runner_ || number % 100 == 0) {
            runner_.reset();
            if (FAILED(factory_->CreateInstance(nullptr, IID__CodeRunner, runner_.put_void()))) return "no object";
        }
        const std::string token = "soak" + std::to_string(number) + "x";
        if (FAILED(runner_->Reset())) return "Reset failed";
        if (FAILED(runner_->put_SASCode(Bstr(SoakProgram(token)).get()))) return "SASCode failed";
        UniqueBstr status;
        if (FAILED(runner_->Execute(root_.get(), nullptr, status.put()))) return "Execute failed";
        if (Narrow(status.get()) != "OK") return "status " + Narrow(status.get());
        UniqueBstr text;
        if (FAILED(runner_->get_PutFile(1, VARIANT_FALSE, text.put())) || Narrow(text.get()) != SoakPutFileOne(token))
            return "_PUT1 holds " + Narrow(text.get());
        if (FAILED(runner_->get_Log(text.put())) || Narrow(text.get()).find("log " + token) == std::string::npos)
            return "the log lacks its line";
        if (FAILED(runner_->get_Lst(text.put())) || Narrow(text.get()).find("listing " + token) == std::string::npos)
            return "the listing lacks its line";
        if (FAILED(runner_->get_PutFile(2, VARIANT_TRUE, text.put()))) return "no path for _PUT2";
        if (FAILED(runner_->get_DebugInfo(text.put()))) return "DebugInfo failed";
        if (number % 10 == 0) {
            // Each of these must fail with its own error, and leave nothing
            // behind when it does. The wrong root gets a program of its own,
            // so that it, not the put files of the run before (457), fails.
            constexpr HRESULT Error1 = static_cast<HRESULT>(0x800A0001), Error5 = static_cast<HRESULT>(0x800A0005);
            const UniqueBstr wrongRoot = Bstr("Z:\\no\\such\\root");
            if (FAILED(runner_->Reset()) || FAILED(runner_->put_SASCode(Bstr("%put wrong root;").get())))
                return "the program for the wrong root was refused";
            if (runner_->Execute(wrongRoot.get(), nullptr, text.put()) != Error1) return "a wrong root did not raise 1";
            DropErrorInfo();
            if (runner_->put_SASCode(Bstr("no-such-program.sas").get()) != Error1)
                return "a missing file did not raise 1";
            DropErrorInfo();
            if (runner_->get_PutFile(7, VARIANT_FALSE, text.put()) != Error5) return "_PUT7 did not raise 5";
            DropErrorInfo();
        }
        return {};
    }

private:
    HMODULE module_ = nullptr;
    ComPtr<IClassFactory> factory_;
    ComPtr<_CodeRunner> runner_;
    UniqueBstr root_;
};

}  // namespace

std::unique_ptr<SoakTarget> MakeComSoakTarget(const std::string& dllPath, const std::string& sasRoot) {
    return std::make_unique<ComTarget>(dllPath, sasRoot);
}

}  // namespace tamberlo::reliability
