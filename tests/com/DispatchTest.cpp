// CodeRunner driven late-bound through IDispatch, as script hosts drive it:
// names, member ids, argument conversion, omitted arguments and exceptions.

#include "ComClient.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using namespace comtest;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

// An argument list in the caller's order, stored last to first as
// DISPPARAMS wants it.
class Arguments {
public:
    Arguments() = default;
    Arguments& Text(const std::wstring& value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        return Add(v);
    }
    Arguments& Short(short value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I2;
        V_I2(&v) = value;
        return Add(v);
    }
    Arguments& Long(long value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return Add(v);
    }
    Arguments& Bool(bool value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
        return Add(v);
    }
    Arguments& Missing() {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
        return Add(v);
    }
    Arguments& Variant(const VARIANT& v) { return Add(v); }
    // Names the arguments given so far, first to last, by these ids.
    Arguments& Named(std::initializer_list<DISPID> ids) {
        named_.assign(ids.begin(), ids.end());
        return *this;
    }
    ~Arguments() {
        for (auto& v : values_) VariantClear(&v);
    }
    DISPPARAMS* Params() {
        // Positional arguments are held last to first; named ones in the
        // order of their ids.
        if (named_.empty())
            rgvarg_.assign(values_.rbegin(), values_.rend());
        else
            rgvarg_.assign(values_.begin(), values_.end());
        params_.rgvarg = rgvarg_.empty() ? nullptr : rgvarg_.data();
        params_.cArgs = static_cast<UINT>(rgvarg_.size());
        params_.rgdispidNamedArgs = named_.empty() ? nullptr : named_.data();
        params_.cNamedArgs = static_cast<UINT>(named_.size());
        return &params_;
    }

private:
    Arguments& Add(const VARIANT& v) {
        values_.push_back(v);
        return *this;
    }
    std::vector<VARIANT> values_;
    std::vector<VARIANT> rgvarg_;
    std::vector<DISPID> named_;
    DISPPARAMS params_{};
};

struct Outcome {
    HRESULT hr = E_UNEXPECTED;
    UniqueVariant result;
    EXCEPINFO exception{};
    UINT argumentError = 0xFFFF;
    ~Outcome() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    std::wstring Text() const { return V_VT(&result.get()) == VT_BSTR ? comtest::Text(V_BSTR(&result.get())) : L"<not text>"; }
};

class Dispatch : public testing::Test {
protected:
    tamberlo::test::TempFolder temp;
    tamberlo::test::ScopedTempDirectory scopedTemp{temp.Path()};
    ComPtr<_CodeRunner> runner = NewRunner();
    ComPtr<IDispatch> dispatch = runner.query<IDispatch>();

    void Invoke(Outcome& out, DISPID id, WORD flags, Arguments& args) {
        out.hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, args.Params(), out.result.put(),
                                  &out.exception, &out.argumentError);
    }
    void Invoke(Outcome& out, DISPID id, WORD flags) {
        Arguments none;
        Invoke(out, id, flags, none);
    }
    void Put(DISPID id, Arguments& value) {
        Outcome out;
        value.Named({DISPID_PROPERTYPUT});
        Invoke(out, id, DISPATCH_PROPERTYPUT, value);
        EXPECT_EQ(S_OK, out.hr);
    }
    std::wstring GetText(DISPID id) {
        Outcome out;
        Invoke(out, id, DISPATCH_PROPERTYGET);
        EXPECT_EQ(S_OK, out.hr);
        return out.Text();
    }
};

constexpr WORD ScriptGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace

TEST_F(Dispatch, NamesMapToTheFixedIdsRegardlessOfCase) {
    const std::pair<const wchar_t*, DISPID> names[] = {
        {L"cleanoutput", CleanOutputId}, {L"DEBUGINFO", DebugInfoId},       {L"eXeCuTe", ExecuteId},
        {L"log", LogId},                 {L"LST", LstId},                   {L"putFILE", PutFileId},
        {L"ReSeT", ResetId},             {L"safeformCHAR", SafeFormCharId}, {L"sascode", SASCodeId},
        {L"SASCode", SASCodeId},         {L"CleanOutput", CleanOutputId},   {L"Execute", ExecuteId}};
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
    Arguments none;
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->Invoke(LogId, IID_IDispatch, LOCALE_USER_DEFAULT,
                                                        DISPATCH_PROPERTYGET, none.Params(), nullptr, nullptr,
                                                        nullptr));
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
    Outcome empty;
    Invoke(empty, ExecuteId, DISPATCH_METHOD);
    ASSERT_EQ(S_OK, empty.hr);
    EXPECT_EQ(L"ERROR: No command supplied.", empty.Text());

    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put late bound;"));
    Outcome run;
    Invoke(run, ExecuteId, ScriptGet);  // as VBScript asks: s = r.Execute
    ASSERT_EQ(S_OK, run.hr);
    EXPECT_EQ(L"OK", run.Text());
    EXPECT_THAT(GetText(LogId), HasSubstr(L"\r\nlate bound\r\n"));
}

TEST_F(Dispatch, ExecuteTakesOneArgumentOrMarkedMissingOnes) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put with root;"));
    Outcome one;
    Arguments root;
    root.Text(StandInRoot());
    Invoke(one, ExecuteId, DISPATCH_METHOD, root);
    ASSERT_EQ(S_OK, one.hr);
    EXPECT_EQ(L"OK", one.Text());

    ASSERT_EQ(S_OK, runner->Reset());
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put both missing;"));
    Outcome missing;
    Arguments marked;
    marked.Missing().Missing();
    Invoke(missing, ExecuteId, DISPATCH_METHOD, marked);
    ASSERT_EQ(S_OK, missing.hr);
    EXPECT_EQ(L"OK", missing.Text());

    // Named: only the configuration, which is wrong, so the root was found.
    Outcome named;
    Arguments config;
    config.Text(L"Z:\\no\\such.cfg").Named({1});
    Invoke(named, ExecuteId, DISPATCH_METHOD, config);
    ASSERT_EQ(DISP_E_EXCEPTION, named.hr);
    EXPECT_EQ(std::wstring(L"The SAS config file 'Z:\\no\\such.cfg' does not exist.  Did you specify the correct SASConfig?"),
              Text(named.exception.bstrDescription));
}

TEST_F(Dispatch, PutFileWithOneArgumentReturnsTheText) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"data _null_; file _PUT1; put 'put text'; run;"));
    std::wstring status;
    ASSERT_EQ(S_OK, Execute(runner.get(), StandInRoot().c_str(), nullptr, status));

    Outcome text;
    Arguments index;
    index.Short(1);
    Invoke(text, PutFileId, DISPATCH_PROPERTYGET, index);
    ASSERT_EQ(S_OK, text.hr);
    EXPECT_EQ(L"put text\r\n", text.Text());

    // JScript reads it as a call: r.PutFile(1, true); numbers arrive as VT_I4.
    Outcome path;
    Arguments both;
    both.Long(1).Bool(true);
    Invoke(path, PutFileId, DISPATCH_METHOD, both);
    ASSERT_EQ(S_OK, path.hr);
    EXPECT_THAT(FileName(path.Text()), StartsWith(L"tmpPutFile_PUT1_"));

    Outcome named;
    Arguments byName;
    byName.Bool(true).Text(L"1").Named({1, 0});
    Invoke(named, PutFileId, DISPATCH_PROPERTYGET, byName);
    ASSERT_EQ(S_OK, named.hr);
    EXPECT_EQ(path.Text(), named.Text());
}

TEST_F(Dispatch, ArgumentsThatDoNotFitAreRefusedBeforeTheMemberRuns) {
    Outcome none;
    Invoke(none, PutFileId, DISPATCH_PROPERTYGET);
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, none.hr);

    Outcome tooMany;
    Arguments three;
    three.Short(1).Bool(false).Bool(false);
    Invoke(tooMany, PutFileId, DISPATCH_PROPERTYGET, three);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, tooMany.hr);

    Outcome notANumber;
    Arguments word;
    word.Text(L"one");
    Invoke(notANumber, PutFileId, DISPATCH_PROPERTYGET, word);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, notANumber.hr);
    EXPECT_EQ(0u, notANumber.argumentError);

    Outcome tooBig;
    Arguments big;
    big.Long(40000).Bool(false);
    Invoke(tooBig, PutFileId, DISPATCH_PROPERTYGET, big);
    EXPECT_EQ(DISP_E_OVERFLOW, tooBig.hr);
    EXPECT_EQ(1u, tooBig.argumentError);  // rgvarg holds the index last

    Outcome wrongName;
    Arguments named;
    named.Bool(true).Named({7});
    Invoke(wrongName, ExecuteId, DISPATCH_METHOD, named);
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, wrongName.hr);

    Outcome oneTooMany;
    Arguments three2;
    three2.Text(L"").Text(L"").Text(L"");
    Invoke(oneTooMany, ExecuteId, DISPATCH_METHOD, three2);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, oneTooMany.hr);
    // Execute never ran: it would have stored the status of an empty program.
    EXPECT_THAT(Get(runner.get(), &_CodeRunner::get_DebugInfo),
                HasSubstr(L"-------------------------\r\n\r\n\r\nSASCode"));
}

TEST_F(Dispatch, MembersAnswerOnlyTheirOwnKindOfCall) {
    Outcome out;
    Arguments value;
    value.Text(L"x").Named({DISPID_PROPERTYPUT});
    Invoke(out, LogId, DISPATCH_PROPERTYPUT, value);  // read-only
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, out.hr);
    Outcome reset;
    Invoke(reset, ResetId, DISPATCH_PROPERTYGET);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, reset.hr);
    // No default member, no enumerator, and the unused ids stay unused.
    for (DISPID id : std::initializer_list<DISPID>{DISPID_VALUE, DISPID_NEWENUM, 0x68030007, 0x60030008, 0x60030007}) {
        Outcome missing;
        Invoke(missing, id, ScriptGet);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, missing.hr) << std::hex << id;
    }
}

TEST_F(Dispatch, PropertiesReadAndWriteByIdWithTheirTypes) {
    Arguments code;
    code.Text(L"data c; run;");
    Put(SASCodeId, code);
    EXPECT_EQ(L"data c; run;\r\n", GetText(SASCodeId));

    // Any number converts to a Boolean: 0 is False.
    Arguments off;
    off.Long(0);
    Put(CleanOutputId, off);
    Outcome clean;
    Invoke(clean, CleanOutputId, ScriptGet);
    ASSERT_EQ(S_OK, clean.hr);
    EXPECT_EQ(VT_BOOL, V_VT(&clean.result.get()));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&clean.result.get()));

    Outcome safe;
    Invoke(safe, SafeFormCharId, DISPATCH_PROPERTYGET);
    EXPECT_EQ(VT_BOOL, V_VT(&safe.result.get()));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&safe.result.get()));

    // A script variable arrives by reference.
    VARIANT inner;
    VariantInit(&inner);
    V_VT(&inner) = VT_BSTR;
    V_BSTR(&inner) = SysAllocString(L"run;");
    VARIANT byRef;
    VariantInit(&byRef);
    V_VT(&byRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&byRef) = &inner;
    Arguments reference;
    reference.Variant(byRef);
    Outcome put;
    reference.Named({DISPID_PROPERTYPUT});
    Invoke(put, SASCodeId, DISPATCH_PROPERTYPUT, reference);
    EXPECT_EQ(S_OK, put.hr);
    EXPECT_EQ(L"data c; run;\r\nrun;\r\n", GetText(SASCodeId));
    VariantClear(&inner);

    Outcome reset;
    Invoke(reset, ResetId, DISPATCH_METHOD);
    EXPECT_EQ(S_OK, reset.hr);
    EXPECT_EQ(VT_EMPTY, V_VT(&reset.result.get()));
    EXPECT_EQ(L"", GetText(SASCodeId));
}

TEST_F(Dispatch, RaisedErrorsArriveInTheExceptionInformation) {
    Outcome out;
    Arguments missing;
    missing.Text(L"missing.sas").Named({DISPID_PROPERTYPUT});
    Invoke(out, SASCodeId, DISPATCH_PROPERTYPUT, missing);
    ASSERT_EQ(DISP_E_EXCEPTION, out.hr);
    EXPECT_EQ(0, out.exception.wCode);
    EXPECT_EQ(RaisedError(1), out.exception.scode);
    EXPECT_EQ(L"SASCode method", Text(out.exception.bstrSource));
    EXPECT_EQ(L"The file 'missing.sas' does not exist.", Text(out.exception.bstrDescription));
    EXPECT_EQ(nullptr, out.exception.bstrHelpFile);

    Outcome lookup;
    Arguments index;
    index.Short(0);
    Invoke(lookup, PutFileId, ScriptGet, index);
    ASSERT_EQ(DISP_E_EXCEPTION, lookup.hr);
    EXPECT_EQ(RaisedError(5), lookup.exception.scode);
    EXPECT_EQ(L"Tamberlo", Text(lookup.exception.bstrSource));
    EXPECT_EQ(L"Invalid procedure call or argument", Text(lookup.exception.bstrDescription));
}

TEST_F(Dispatch, WithoutExceptionInformationTheStatusAndErrorInfoTellTheError) {
    Arguments index;
    index.Short(2);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(RaisedError(5), dispatch->Invoke(PutFileId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                              index.Params(), &result, nullptr, nullptr));
    EXPECT_EQ(L"Invalid procedure call or argument", TakeErrorInfo().description);
    VariantClear(&result);
}

TEST_F(Dispatch, ResultsMayBeDiscarded) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"x"));
    Arguments none;
    EXPECT_EQ(S_OK, dispatch->Invoke(SASCodeId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, none.Params(),
                                     nullptr, nullptr, nullptr));
}
