// CodeRunner driven late-bound through IDispatch, as script hosts drive it:
// names, member ids, argument conversion, omitted arguments and exceptions.

#include "ComClient.h"
#include "DispatchCall.h"
#include "TestSupport.h"
#include "Variants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>

using namespace comtest;
using namespace tamberlo::test;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

class Dispatch : public testing::Test {
protected:
    tamberlo::test::TempFolder temp;
    tamberlo::test::ScopedTempDirectory scopedTemp{temp.Path()};
    ComPtr<_CodeRunner> runner = NewRunner();
    ComPtr<IDispatch> dispatch = runner.query<IDispatch>();

    void Put(DISPID id, VARIANT value) {
        DispatchCall put({value}, {DISPID_PROPERTYPUT});
        EXPECT_EQ(S_OK, put.On(dispatch.get(), id, DISPATCH_PROPERTYPUT));
    }
    std::wstring GetText(DISPID id) {
        DispatchCall get;
        EXPECT_EQ(S_OK, get.On(dispatch.get(), id, DISPATCH_PROPERTYGET));
        return get.ResultText();
    }
};

constexpr WORD ScriptGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace

TEST_F(Dispatch, NamesMapToTheFixedIdsRegardlessOfCase) {
    const std::pair<const wchar_t*, DISPID> names[] = {{L"cleanoutput", CleanOutputId},
                                                       {L"DEBUGINFO", DebugInfoId},
                                                       {L"eXeCuTe", ExecuteId},
                                                       {L"log", LogId},
                                                       {L"LST", LstId},
                                                       {L"putFILE", PutFileId},
                                                       {L"ReSeT", ResetId},
                                                       {L"safeformCHAR", SafeFormCharId},
                                                       {L"sascode", SASCodeId},
                                                       {L"SASCode", SASCodeId},
                                                       {L"CleanOutput", CleanOutputId},
                                                       {L"Execute", ExecuteId}};
    for (const auto& [name, id] : names) {
        LPOLESTR text = const_cast<LPOLESTR>(name);
        DISPID found = 0;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &found)) << name;
        EXPECT_EQ(id, found) << name;
    }
}

TEST_F(Dispatch, ArgumentNamesMapToTheirPositions) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"execute"), const_cast<LPOLESTR>(L"sasconfig"),
                        const_cast<LPOLESTR>(L"SASRoot")};
    DISPID ids[3] = {};
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(ExecuteId, ids[0]);
    EXPECT_EQ(1, ids[1]);
    EXPECT_EQ(0, ids[2]);
    LPOLESTR putFile[] = {const_cast<LPOLESTR>(L"PutFile"), const_cast<LPOLESTR>(L"returnpath")};
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, putFile, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(1, ids[1]);
}

TEST_F(Dispatch, UnknownNamesAndForeignInterfacesAreRefused) {
    LPOLESTR name = const_cast<LPOLESTR>(L"Run");
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    // Internal classes have no name on the interface.
    for (const wchar_t* internal : {L"Engine", L"Command", L"Output", L"PutFiles", L"Preamble"}) {
        name = const_cast<LPOLESTR>(internal);
        EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    }
    name = const_cast<LPOLESTR>(L"Log");
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->GetIDsOfNames(IID_IDispatch, &name, 1, LOCALE_USER_DEFAULT, &id));
    DispatchCall none;
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->Invoke(LogId, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                                        none.Params(), nullptr, nullptr, nullptr));
}

TEST_F(Dispatch, TypeInformationIsThatOfTheInterface) {
    UINT count = 0;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_EQ(IID__CodeRunner, attr->guid);
    info->ReleaseTypeAttr(attr);
    ComPtr<ITypeInfo> none;
    EXPECT_EQ(DISP_E_BADINDEX, dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, none.put()));
}

TEST_F(Dispatch, ExecuteWithNoArgumentsRunsLikeAnEarlyBoundCallWithEmptyTexts) {
    DispatchCall empty;
    ASSERT_EQ(S_OK, empty.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(L"ERROR: No command supplied.", empty.ResultText());

    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put late bound;"));
    DispatchCall run;
    ASSERT_EQ(S_OK, run.On(dispatch.get(), ExecuteId, ScriptGet));  // as VBScript asks: s = r.Execute
    EXPECT_EQ(L"OK", run.ResultText());
    EXPECT_THAT(GetText(LogId), HasSubstr(L"\r\nlate bound\r\n"));
}

TEST_F(Dispatch, ExecuteTakesOneArgumentOrMarkedMissingOnes) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put with root;"));
    DispatchCall one({String(StandInRoot().c_str())});
    ASSERT_EQ(S_OK, one.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(L"OK", one.ResultText());

    ASSERT_EQ(S_OK, runner->Reset());
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put both missing;"));
    DispatchCall missing({Missing(), Missing()});
    ASSERT_EQ(S_OK, missing.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(L"OK", missing.ResultText());

    // Named: only the configuration, which is wrong, so the root was found.
    DispatchCall named({String(L"Z:\\no\\such.cfg")}, {1});
    ASSERT_EQ(DISP_E_EXCEPTION, named.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    EXPECT_EQ(
        std::wstring(L"The SAS config file 'Z:\\no\\such.cfg' does not exist.  Did you specify the correct SASConfig?"),
        Text(named.exception.bstrDescription));
}

TEST_F(Dispatch, PutFileWithOneArgumentReturnsTheText) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"data _null_; file _PUT1; put 'put text'; run;"));
    std::wstring status;
    ASSERT_EQ(S_OK, Execute(runner.get(), StandInRoot().c_str(), nullptr, status));

    DispatchCall text({Short(1)});
    ASSERT_EQ(S_OK, text.On(dispatch.get(), PutFileId, DISPATCH_PROPERTYGET));
    EXPECT_EQ(L"put text\r\n", text.ResultText());

    // JScript reads it as a call: r.PutFile(1, true); numbers arrive as VT_I4.
    DispatchCall path({Long(1), Bool(true)});
    ASSERT_EQ(S_OK, path.On(dispatch.get(), PutFileId, DISPATCH_METHOD));
    EXPECT_THAT(FileName(path.ResultText()), StartsWith(L"tmpPutFile_PUT1_"));

    DispatchCall named({Bool(true), String(L"1")}, {1, 0});
    ASSERT_EQ(S_OK, named.On(dispatch.get(), PutFileId, DISPATCH_PROPERTYGET));
    EXPECT_EQ(path.ResultText(), named.ResultText());
}

TEST_F(Dispatch, ArgumentsThatDoNotFitAreRefusedBeforeTheMemberRuns) {
    DispatchCall none;
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, none.On(dispatch.get(), PutFileId, DISPATCH_PROPERTYGET));

    DispatchCall tooMany({Short(1), Bool(false), Bool(false)});
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, tooMany.On(dispatch.get(), PutFileId, DISPATCH_PROPERTYGET));

    DispatchCall notANumber({String(L"one")});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, notANumber.On(dispatch.get(), PutFileId, DISPATCH_PROPERTYGET));
    EXPECT_EQ(0u, notANumber.argumentError);

    DispatchCall tooBig({Long(40000), Bool(false)});
    EXPECT_EQ(DISP_E_OVERFLOW, tooBig.On(dispatch.get(), PutFileId, DISPATCH_PROPERTYGET));
    EXPECT_EQ(1u, tooBig.argumentError);  // rgvarg holds the index last

    DispatchCall wrongName({Bool(true)}, {7});
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, wrongName.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));

    DispatchCall oneTooMany({String(L""), String(L""), String(L"")});
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, oneTooMany.On(dispatch.get(), ExecuteId, DISPATCH_METHOD));
    // Execute never ran: it would have stored the status of an empty program.
    EXPECT_THAT(Get(runner.get(), &_CodeRunner::get_DebugInfo),
                HasSubstr(L"-------------------------\r\n\r\n\r\nSASCode"));
}

TEST_F(Dispatch, MembersAnswerOnlyTheirOwnKindOfCall) {
    DispatchCall out({String(L"x")}, {DISPID_PROPERTYPUT});
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, out.On(dispatch.get(), LogId, DISPATCH_PROPERTYPUT));  // read-only
    DispatchCall reset;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, reset.On(dispatch.get(), ResetId, DISPATCH_PROPERTYGET));
    // No default member, no enumerator, and the unused ids stay unused.
    for (DISPID id : std::initializer_list<DISPID>{DISPID_VALUE, DISPID_NEWENUM, 0x68030007, 0x60030008, 0x60030007}) {
        DispatchCall missing;
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, missing.On(dispatch.get(), id, ScriptGet)) << std::hex << id;
    }
}

TEST_F(Dispatch, PropertiesReadAndWriteByIdWithTheirTypes) {
    Put(SASCodeId, String(L"data c; run;"));
    EXPECT_EQ(L"data c; run;\r\n", GetText(SASCodeId));

    // Any number converts to a Boolean: 0 is False.
    Put(CleanOutputId, Long(0));
    DispatchCall clean;
    ASSERT_EQ(S_OK, clean.On(dispatch.get(), CleanOutputId, ScriptGet));
    EXPECT_EQ(VT_BOOL, V_VT(&clean.result.get()));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&clean.result.get()));

    DispatchCall safe;
    safe.On(dispatch.get(), SafeFormCharId, DISPATCH_PROPERTYGET);
    EXPECT_EQ(VT_BOOL, V_VT(&safe.result.get()));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&safe.result.get()));

    // A script variable arrives by reference.
    VARIANT inner = String(L"run;");
    Put(SASCodeId, Reference(&inner));
    EXPECT_EQ(L"data c; run;\r\nrun;\r\n", GetText(SASCodeId));
    VariantClear(&inner);

    DispatchCall reset;
    EXPECT_EQ(S_OK, reset.On(dispatch.get(), ResetId, DISPATCH_METHOD));
    EXPECT_EQ(VT_EMPTY, V_VT(&reset.result.get()));
    EXPECT_EQ(L"", GetText(SASCodeId));
}

TEST_F(Dispatch, RaisedErrorsArriveInTheExceptionInformation) {
    DispatchCall out({String(L"missing.sas")}, {DISPID_PROPERTYPUT});
    ASSERT_EQ(DISP_E_EXCEPTION, out.On(dispatch.get(), SASCodeId, DISPATCH_PROPERTYPUT));
    EXPECT_EQ(0, out.exception.wCode);
    EXPECT_EQ(RaisedError(1), out.exception.scode);
    EXPECT_EQ(L"SASCode method", Text(out.exception.bstrSource));
    EXPECT_EQ(L"The file 'missing.sas' does not exist.", Text(out.exception.bstrDescription));
    EXPECT_EQ(nullptr, out.exception.bstrHelpFile);

    DispatchCall lookup({Short(0)});
    ASSERT_EQ(DISP_E_EXCEPTION, lookup.On(dispatch.get(), PutFileId, ScriptGet));
    EXPECT_EQ(RaisedError(5), lookup.exception.scode);
    EXPECT_EQ(L"Tamberlo", Text(lookup.exception.bstrSource));
    EXPECT_EQ(L"Invalid procedure call or argument", Text(lookup.exception.bstrDescription));
}

TEST_F(Dispatch, WithoutExceptionInformationTheStatusAndErrorInfoTellTheError) {
    DispatchCall index({Short(2)});
    EXPECT_EQ(RaisedError(5), dispatch->Invoke(PutFileId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                               index.Params(), index.result.put(), nullptr, nullptr));
    EXPECT_EQ(L"Invalid procedure call or argument", TakeErrorInfo().description);
}

TEST_F(Dispatch, ResultsMayBeDiscarded) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"x"));
    DispatchCall none;
    EXPECT_EQ(S_OK, dispatch->Invoke(SASCodeId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, none.Params(),
                                     nullptr, nullptr, nullptr));
}
