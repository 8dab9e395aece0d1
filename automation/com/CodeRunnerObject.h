#pragma once

#include "automation/CodeRunner.h"
#include "automation/com/ComPtr.h"
#include "automation/com/DispatchSupport.h"

#include "Tamberlo_h.h"

#include <oaidl.h>

namespace tamberlo::com {

// The automation object behind Tamberlo.CodeRunner: the dual interface
// _CodeRunner over one tamberlo::CodeRunner. Each member converts its
// arguments, calls the runner inside the sealed boundary and converts the
// result; an Error becomes a failed call with its number, source and
// description (see ComError.h). IDispatch is driven by the embedded type
// library for names and type information, while Invoke is written out here
// so that omitted optional arguments reach the runner as empty text.
class CodeRunnerObject final : public _CodeRunner, public ISupportErrorInfo {
public:
    // Creates a new object and returns it through riid. Fails with the
    // status of whatever stopped it (E_NOINTERFACE, E_OUTOFMEMORY, a type
    // library load failure, an Error of the runner's construction).
    static HRESULT Create(REFIID riid, void** object) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

    // _CodeRunner, in slot order
    HRESULT STDMETHODCALLTYPE put_CleanOutput(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_CleanOutput(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_DebugInfo(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Execute(BSTR SASRoot, BSTR SASConfig, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Log(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Lst(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_PutFile(short Index, VARIANT_BOOL ReturnPath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE put_SafeFormChar(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_SafeFormChar(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_SASCode(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_SASCode(BSTR* result) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    explicit CodeRunnerObject(ComPtr<ITypeInfo> typeInfo);
    ~CodeRunnerObject();
    // Calls the member that Invoke found with its converted arguments; the
    // result, if any, goes to value.
    HRESULT CallMember(const DispatchMember& member, const DispatchArguments& arguments, VARIANT* value);
    CodeRunnerObject(const CodeRunnerObject&) = delete;
    CodeRunnerObject& operator=(const CodeRunnerObject&) = delete;

    LONG references_ = 1;
    ComPtr<ITypeInfo> typeInfo_;
    tamberlo::CodeRunner runner_;
};

}  // namespace tamberlo::com
