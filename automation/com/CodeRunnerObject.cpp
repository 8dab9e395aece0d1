#include "automation/com/CodeRunnerObject.h"

#include "automation/com/AnsiText.h"
#include "automation/com/ComError.h"
#include "automation/com/Module.h"
#include "automation/com/Settings.h"

#include <chrono>
#include <new>
#include <string>

namespace tamberlo::com {

namespace {

// The member ids of the type library; compiled clients may have stored them.
constexpr DISPID SASCodeId = 0x68030000;
constexpr DISPID SafeFormCharId = 0x68030001;
constexpr DISPID PutFileId = 0x68030002;
constexpr DISPID LstId = 0x68030003;
constexpr DISPID LogId = 0x68030004;
constexpr DISPID DebugInfoId = 0x68030005;
constexpr DISPID CleanOutputId = 0x68030006;
constexpr DISPID ExecuteId = 0x60030009;
constexpr DISPID ResetId = 0x6003000A;

constexpr DispatchMember Members[] = {
    {CleanOutputId, DISPATCH_PROPERTYPUT, 1, 1, {VT_BOOL}},
    {CleanOutputId, DISPATCH_PROPERTYGET, 0, 0, {}},
    {DebugInfoId, DISPATCH_PROPERTYGET, 0, 0, {}},
    {ExecuteId, DISPATCH_METHOD, 2, 0, {VT_BSTR, VT_BSTR}},
    {LogId, DISPATCH_PROPERTYGET, 0, 0, {}},
    {LstId, DISPATCH_PROPERTYGET, 0, 0, {}},
    {PutFileId, DISPATCH_PROPERTYGET, 2, 1, {VT_I2, VT_BOOL}},
    {ResetId, DISPATCH_METHOD, 0, 0, {}},
    {SafeFormCharId, DISPATCH_PROPERTYPUT, 1, 1, {VT_BOOL}},
    {SafeFormCharId, DISPATCH_PROPERTYGET, 0, 0, {}},
    {SASCodeId, DISPATCH_PROPERTYPUT, 1, 1, {VT_BSTR}},
    {SASCodeId, DISPATCH_PROPERTYGET, 0, 0, {}},
};

VARIANT_BOOL ToVariantBool(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The property gets: clear the out-argument, then fill it from f() inside the
// sealed boundary.
template <class F>
HRESULT SealedGet(VARIANT_BOOL* result, F&& f) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = VARIANT_FALSE;
    return Sealed([&] { *result = ToVariantBool(f()); });
}

template <class F>
HRESULT SealedGet(BSTR* result, F&& f) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    return Sealed([&] { *result = f().release(); });
}

SessionEncoding Utf8() { return *SessionEncoding::FromName("UTF-8"); }

// The log or listing: the stored text cleaned (when CleanOutput is on) and
// converted in one go, so that no whole copy of it is made on the way.
HRESULT SealedGetStored(BSTR* result, const tamberlo::CodeRunner& runner,
                        const std::string& (tamberlo::CodeRunner::*stored)() const) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    return Sealed([&] {
        const std::string& text = (runner.*stored)();
        const SessionEncoding encoding = runner.Encoding();
        *result = (runner.CleanOutput() ? ToCleanedBstr(text, encoding) : ToBstr(text, encoding)).release();
    });
}

// The dispatch type information of _CodeRunner, read from the type library
// embedded in this module.
ComPtr<ITypeInfo> LoadTypeInfo() {
    ComPtr<ITypeLib> library;
    ThrowIfFailed(LoadTypeLibEx(Module::Path().c_str(), REGKIND_NONE, library.put()));
    ComPtr<ITypeInfo> info;
    ThrowIfFailed(library->GetTypeInfoOfGuid(IID__CodeRunner, info.put()));
    return info;
}

}  // namespace

HRESULT CodeRunnerObject::Create(REFIID riid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return Sealed([&] {
        ComPtr<CodeRunnerObject> created(new CodeRunnerObject(LoadTypeInfo()));
        ThrowIfFailed(created->QueryInterface(riid, object));
    });
}

CodeRunnerObject::CodeRunnerObject(ComPtr<ITypeInfo> typeInfo) : typeInfo_(std::move(typeInfo)) {
    Module::ObjectCreated();
}

CodeRunnerObject::~CodeRunnerObject() { Module::ObjectDestroyed(); }

HRESULT CodeRunnerObject::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID__CodeRunner)) {
        *object = static_cast<_CodeRunner*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CodeRunnerObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG CodeRunnerObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT CodeRunnerObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CodeRunnerObject::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
    if (typeInfo == nullptr) return E_POINTER;
    *typeInfo = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *typeInfo = typeInfo_.get();
    return S_OK;
}

HRESULT CodeRunnerObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // The type information compares names without regard to case.
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
}

HRESULT CodeRunnerObject::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr) return E_INVALIDARG;
    const DispatchMember* member = FindDispatchMember(Members, id, flags);
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
    DispatchArguments arguments;
    HRESULT hr = CollectDispatchArguments(*member, *params, lcid, arguments, argumentError);
    if (FAILED(hr)) return hr;
    UniqueVariant value;
    hr = CallMember(*member, arguments, value.put());
    if (FAILED(hr)) return DispatchException(hr, exception);
    if (result != nullptr) *result = value.release();
    return S_OK;
}

HRESULT CodeRunnerObject::CallMember(const DispatchMember& member, const DispatchArguments& arguments, VARIANT* value) {
    const VARIANT* first = &arguments[0].get();
    const VARIANT* second = &arguments[1].get();
    // Make value the type of the result and hand out its slot.
    auto text = [value] {
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = nullptr;
        return &V_BSTR(value);
    };
    auto boolean = [value] {
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = VARIANT_FALSE;
        return &V_BOOL(value);
    };
    const bool put = member.kind == DISPATCH_PROPERTYPUT;
    switch (member.id) {
    case CleanOutputId: return put ? put_CleanOutput(V_BOOL(first)) : get_CleanOutput(boolean());
    case DebugInfoId: return get_DebugInfo(text());
    case ExecuteId: return Execute(V_BSTR(first), V_BSTR(second), text());
    case LogId: return get_Log(text());
    case LstId: return get_Lst(text());
    case PutFileId: return get_PutFile(V_I2(first), V_BOOL(second), text());
    case ResetId: return Reset();
    case SafeFormCharId: return put ? put_SafeFormChar(V_BOOL(first)) : get_SafeFormChar(boolean());
    case SASCodeId: return put ? put_SASCode(V_BSTR(first)) : get_SASCode(text());
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CodeRunnerObject::put_CleanOutput(VARIANT_BOOL value) {
    return Sealed([&] { runner_.SetCleanOutput(value != VARIANT_FALSE); });
}

HRESULT CodeRunnerObject::get_CleanOutput(VARIANT_BOOL* result) {
    return SealedGet(result, [&] { return runner_.CleanOutput(); });
}

HRESULT CodeRunnerObject::get_DebugInfo(BSTR* result) {
    return SealedGet(result, [&] { return ToBstr(runner_.DebugInfo(), Utf8()); });
}

HRESULT CodeRunnerObject::Execute(BSTR SASRoot, BSTR SASConfig, BSTR* result) {
    return SealedGet(result, [&] {
        // Script clients set the session encoding in the registry, read at every run.
        std::optional<EncodingSetting> encoding;
        if (std::optional<Setting> setting = ReadStringSetting(L"Encoding")) {
            encoding =
                EncodingSetting{ToUtf8(UniqueBstr(SysAllocString(setting->value.c_str())).get()), setting->origin};
        }
        runner_.SetEncoding(std::move(encoding));
        // And a time limit, in seconds.
        RunControl control;
        if (const std::optional<unsigned long> seconds = ReadNonZeroDwordSetting(L"TimeLimit"))
            control.timeLimit = std::chrono::seconds(*seconds);
        return ToBstr(runner_.Execute(ToAnsi(SASRoot), ToAnsi(SASConfig), control));
    });
}

HRESULT CodeRunnerObject::get_Log(BSTR* result) {
    return SealedGetStored(result, runner_, &tamberlo::CodeRunner::StoredLog);
}

HRESULT CodeRunnerObject::get_Lst(BSTR* result) {
    return SealedGetStored(result, runner_, &tamberlo::CodeRunner::StoredLst);
}

HRESULT CodeRunnerObject::get_PutFile(short Index, VARIANT_BOOL ReturnPath, BSTR* result) {
    return SealedGet(result, [&] {
        // A path is the host's (ANSI); the text is in the session encoding.
        if (ReturnPath != VARIANT_FALSE) return ToBstr(runner_.PutFile(Index, true));
        return ToBstr(runner_.PutFile(Index, false), runner_.Encoding());
    });
}

HRESULT CodeRunnerObject::Reset() {
    return Sealed([&] { runner_.Reset(); });
}

HRESULT CodeRunnerObject::put_SafeFormChar(VARIANT_BOOL value) {
    return Sealed([&] { runner_.SetSafeFormChar(value != VARIANT_FALSE); });
}

HRESULT CodeRunnerObject::get_SafeFormChar(VARIANT_BOOL* result) {
    return SealedGet(result, [&] { return runner_.SafeFormChar(); });
}

HRESULT CodeRunnerObject::put_SASCode(BSTR value) {
    return Sealed([&] {
        // A program file's path is the host's (ANSI); program text is kept as
        // UTF-8 until a run writes it in the session encoding.
        std::string text = ToUtf8(value);
        runner_.SetSASCode(NamesProgramFile(text) ? ToAnsi(value) : std::move(text));
    });
}

HRESULT CodeRunnerObject::get_SASCode(BSTR* result) {
    return SealedGet(result, [&] { return ToBstr(runner_.SASCodeText(), Utf8()); });
}

HRESULT CodeRunnerObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID__CodeRunner) ? S_OK : S_FALSE;
}

}  // namespace tamberlo::com
