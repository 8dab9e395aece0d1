// Tamberlo.dll called the way no client should call it: arguments of the
// wrong types or out of range, too many of them, names that name no
// parameter, malformed argument lists, null and NUL-holding texts. Each call
// must fail with the platform's standard dispatch error (or the component's
// own error where the value reaches it), change nothing, crash nothing, and
// keep no handle.

#include "ComClient.h"
#include "DispatchCall.h"
#include "ProcessProbe.h"
#include "TestSupport.h"
#include "Variants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace comtest;
using namespace tamberlo::test;
using tamberlo::reliability::ChildProcesses;
using tamberlo::reliability::OpenHandleCount;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

class DispatchFaults : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put before;"));
        handlesBefore = OpenHandleCount();
        // Wine starts its desktop process (explorer.exe) as a child of the
        // first process with an apartment window; it is not the component's.
        childrenBefore = ChildProcesses();
    }

    // The object as it was: its program untouched, and it still runs.
    void ExpectUnchangedAndWorking() {
        EXPECT_EQ(L"%put before;\r\n", Get(runner.get(), &_CodeRunner::get_SASCode));
        std::wstring status;
        EXPECT_EQ(S_OK, Execute(runner.get(), StandInRoot().c_str(), nullptr, status));
        EXPECT_EQ(L"OK", status);
        EXPECT_THAT(Get(runner.get(), &_CodeRunner::get_Log), HasSubstr(L"\r\nbefore\r\n"));
        EXPECT_THAT(tamberlo::test::ListFolder(temp.Path()), IsEmpty());
        EXPECT_EQ(OpenHandleCount(), handlesBefore);
        EXPECT_EQ(ChildProcesses(), childrenBefore);
    }

    tamberlo::test::TempFolder temp;
    tamberlo::test::ScopedTempDirectory scopedTemp{temp.Path()};
    ComPtr<_CodeRunner> runner = NewRunner();
    ComPtr<IDispatch> dispatch = runner.query<IDispatch>();
    std::size_t handlesBefore = 0;
    std::vector<unsigned long> childrenBefore;
};

constexpr WORD ScriptGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace

TEST_F(DispatchFaults, ValuesOfTheWrongTypeAreTypeMismatchesAtTheirPosition) {
    // A text property given what no text can be made of. The object itself
    // as a value: converting it asks it for a default member, which it lacks.
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT list = Of(VT_ARRAY | VT_VARIANT);
    V_ARRAY(&list) = array;
    VARIANT error = Of(VT_ERROR);
    V_ERROR(&error) = E_FAIL;
    for (const VARIANT& value :
         {Of(VT_NULL), Object(dispatch.get(), VT_DISPATCH), Object(runner.get(), VT_UNKNOWN), list, error}) {
        DispatchCall call({value}, {DISPID_PROPERTYPUT});
        EXPECT_EQ(DISP_E_TYPEMISMATCH, call.On(dispatch.get(), SASCodeId, DISPATCH_PROPERTYPUT)) << V_VT(&value);
        EXPECT_EQ(0u, call.argumentError);
    }

    DispatchCall notABoolean({String(L"maybe")}, {DISPID_PROPERTYPUT});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, notABoolean.On(dispatch.get(), CleanOutputId, DISPATCH_PROPERTYPUT));

    DispatchCall nullIndex({Of(VT_NULL)});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, nullIndex.On(dispatch.get(), PutFileId, ScriptGet));
    EXPECT_EQ(0u, nullIndex.argumentError);

    // rgvarg holds the last argument first: SASRoot sits at 1, SASConfig at 0.
    DispatchCall nullRoot({Of(VT_NULL), String(L"")});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, nullRoot.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(1u, nullRoot.argumentError);
    DispatchCall objectConfig({String(L""), Object(runner.get(), VT_UNKNOWN)});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, objectConfig.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(0u, objectConfig.argumentError);

    EXPECT_TRUE(GetSwitch(runner.get(), &_CodeRunner::get_CleanOutput));
    EXPECT_EQ(L"", Get(runner.get(), &_CodeRunner::get_Log));
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, ReferencesThatLeadNowhereAreRefused) {
    // A reference to a reference, and references with no target.
    VARIANT inner = String(L"inner");
    VARIANT middle = Reference(&inner);
    VARIANT outer = Reference(&middle);
    VARIANT nowhereText = Of(VT_BYREF | VT_BSTR);
    V_BSTRREF(&nowhereText) = nullptr;
    for (const VARIANT& value : {outer, nowhereText, Reference(nullptr)}) {
        DispatchCall call({value}, {DISPID_PROPERTYPUT});
        EXPECT_EQ(DISP_E_TYPEMISMATCH, dispatch->Invoke(SASCodeId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                                        call.Params(), nullptr, nullptr, &call.argumentError))
            << V_VT(&value);
        EXPECT_EQ(0u, call.argumentError);
    }
    VariantClear(&inner);
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, IndexesBeyondSixteenBitsOverflowAndEdgeIndexesFailWith5) {
    for (const VARIANT& value : {Long(32768), Long(-32769), Double(1e300)}) {
        DispatchCall call({value});
        EXPECT_EQ(DISP_E_OVERFLOW, call.On(dispatch.get(), PutFileId, ScriptGet));
        EXPECT_EQ(0u, call.argumentError);
    }
    for (const VARIANT& value : {Short(-32768), Short(32767), Long(0), Long(-1)}) {
        DispatchCall call({value});
        EXPECT_EQ(DISP_E_EXCEPTION, call.On(dispatch.get(), PutFileId, ScriptGet));
        EXPECT_EQ(RaisedError(5), call.exception.scode);
        EXPECT_EQ(L"Invalid procedure call or argument", comtest::Text(call.exception.bstrDescription));
    }
    for (const short index : {short(-32768), short(32767), short(0), short(-1)}) {
        BSTR value = nullptr;
        EXPECT_EQ(RaisedError(5), runner->get_PutFile(index, VARIANT_TRUE, &value));
        EXPECT_EQ(nullptr, value);
        TakeErrorInfo();
    }
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, TooManyArgumentsAreRefusedBeforeTheMemberRuns) {
    DispatchCall twoValues({String(L"reset?"), String(L"x")}, {DISPID_PROPERTYPUT, 0});
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, twoValues.On(dispatch.get(), SASCodeId, DISPATCH_PROPERTYPUT));
    for (const DISPID id : {LogId, LstId, DebugInfoId, CleanOutputId, SASCodeId}) {
        DispatchCall one({Short(1)});
        EXPECT_EQ(DISP_E_BADPARAMCOUNT, one.On(dispatch.get(), id, DISPATCH_PROPERTYGET)) << std::hex << id;
    }
    DispatchCall resetWithOne({Short(1)});
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, resetWithOne.On(dispatch.get(), ResetId, DISPATCH_METHOD));
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, NamesThatNameNoParameterAreParamNotFoundAtTheirPosition) {
    DispatchCall unknown({Short(1), String(L"x")}, {0, 2});
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, unknown.On(dispatch.get(), PutFileId, ScriptGet));
    EXPECT_EQ(1u, unknown.argumentError);
    DispatchCall negative({Short(1)}, {-7});
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, negative.On(dispatch.get(), PutFileId, ScriptGet));
    EXPECT_EQ(0u, negative.argumentError);
    DispatchCall twice({String(L""), String(L"")}, {0, 0});
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, twice.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(1u, twice.argumentError);
    DispatchCall putName({String(L"")}, {DISPID_PROPERTYPUT});
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, putName.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    DispatchCall valueByPosition({String(L"x")}, {0});
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, valueByPosition.On(dispatch.get(), SASCodeId, DISPATCH_PROPERTYPUT));
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, MalformedArgumentListsAreInvalidArguments) {
    VARIANT value = String(L"x");
    DISPID names[2] = {DISPID_PROPERTYPUT, 0};
    const auto invoke = [&](DISPPARAMS* params) {
        return dispatch->Invoke(SASCodeId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, params, nullptr,
                                nullptr, nullptr);
    };
    DISPPARAMS moreNamesThanArguments{&value, names, 1, 2};
    EXPECT_EQ(E_INVALIDARG, invoke(&moreNamesThanArguments));
    DISPPARAMS noArgumentArray{nullptr, names, 1, 1};
    EXPECT_EQ(E_INVALIDARG, invoke(&noArgumentArray));
    DISPPARAMS noNameArray{&value, nullptr, 1, 1};
    EXPECT_EQ(E_INVALIDARG, invoke(&noNameArray));
    EXPECT_EQ(E_INVALIDARG, invoke(nullptr));
    VariantClear(&value);
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, NullTextsAreEmptyTexts) {
    EXPECT_EQ(S_OK, runner->put_SASCode(nullptr));
    DispatchCall nullCode({String(nullptr)}, {DISPID_PROPERTYPUT});
    EXPECT_EQ(S_OK, nullCode.On(dispatch.get(), SASCodeId, DISPATCH_PROPERTYPUT));
    EXPECT_EQ(L"%put before;\r\n", Get(runner.get(), &_CodeRunner::get_SASCode));

    // Null root and configuration: the search of the standard folders.
    std::wstring status;
    EXPECT_EQ(S_OK, Execute(runner.get(), nullptr, nullptr, status));
    EXPECT_EQ(L"OK", status);
    DispatchCall nullArguments({String(nullptr), String(nullptr)});
    EXPECT_EQ(S_OK, nullArguments.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(VT_BSTR, V_VT(&nullArguments.result.get()));
    EXPECT_EQ(L"OK", nullArguments.ResultText());

    DispatchCall nullIndex({String(nullptr)});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, nullIndex.On(dispatch.get(), PutFileId, ScriptGet));
    ExpectUnchangedAndWorking();
}

TEST_F(DispatchFaults, TextsHoldingNulArriveWhole) {
    const std::wstring code(L"%put a\0b;", 9);
    ASSERT_EQ(S_OK, runner->Reset());
    ASSERT_EQ(S_OK, SetCode(runner.get(), code));
    EXPECT_EQ(code + L"\r\n", Get(runner.get(), &_CodeRunner::get_SASCode));

    // As a program file name it names no file, not the file of its first part.
    tamberlo::test::WriteFile(temp / "program", "%put the wrong file;");
    const std::wstring name = WindowsPath(temp / "program") + std::wstring(L"\0.sas", 5);
    EXPECT_EQ(RaisedError(1), SetCode(runner.get(), name));
    const ErrorInformation info = TakeErrorInfo();
    EXPECT_EQ(L"SASCode method", info.source);
    // The platform's error information keeps a description up to its first NUL.
    EXPECT_EQ(L"The file '" + WindowsPath(temp / "program"), info.description);
    EXPECT_EQ(code + L"\r\n", Get(runner.get(), &_CodeRunner::get_SASCode));
    std::filesystem::remove(temp / "program");

    ASSERT_EQ(S_OK, runner->Reset());
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put before;"));
    ExpectUnchangedAndWorking();
}
