// CodeRunner called through the vtable of _CodeRunner, as an early-bound
// client calls it: behaviour, text conversion and errors at the boundary.

#include "ComClient.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using namespace comtest;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const std::wstring FreshReport =
    L"-----------------\r\nDebug Information\r\n-----------------\r\n\r\n"
    L"Last Execute Return Value\r\n-------------------------\r\n\r\n\r\n"
    L"SASCode\r\n-------\r\n\r\n\r\n"
    L"Log\r\n---\r\n\r\n\r\n"
    L"Lst\r\n---\r\n\r\n\r\n"
    L"# PutFiles\r\n----------\r\n0\r\n\r\n"
    L"CleanOutput\r\n-----------\r\nTrue\r\n\r\n"
    L"SafeFormChar (options formchar='|-++++++++++=|-/|<>*';)\r\n"
    L"-------------------------------------------------------\r\nTrue\r\n\r\n";

const std::wstring NoCommand = L"ERROR: No command supplied.";

// Each test gets a temporary folder of its own as the system's, so that what
// a run leaves behind can be listed.
class CodeRunnerObject : public testing::Test {
protected:
    tamberlo::test::TempFolder temp;
    tamberlo::test::ScopedTempDirectory scopedTemp{temp.Path()};
    ComPtr<_CodeRunner> runner = NewRunner();

    std::wstring SASCode() { return Get(runner.get(), &_CodeRunner::get_SASCode); }
    std::wstring Log() { return Get(runner.get(), &_CodeRunner::get_Log); }
    std::wstring Lst() { return Get(runner.get(), &_CodeRunner::get_Lst); }
    std::wstring DebugInfo() { return Get(runner.get(), &_CodeRunner::get_DebugInfo); }
    HRESULT PutFile(short index, VARIANT_BOOL returnPath, std::wstring& text) {
        UniqueBstr value;
        const HRESULT hr = runner->get_PutFile(index, returnPath, value.put());
        text = Text(value.get());
        return hr;
    }
    std::wstring RunStandIn(const std::wstring& program) {
        EXPECT_EQ(S_OK, SetCode(runner.get(), program));
        std::wstring status;
        EXPECT_EQ(S_OK, Execute(runner.get(), StandInRoot().c_str(), nullptr, status));
        return status;
    }
    std::vector<std::string> FilesLeft() const { return tamberlo::test::ListFolder(temp.Path()); }
};

// A raw call through vtable slot `slot`, independent of the generated header.
template <class... Args>
HRESULT CallSlot(_CodeRunner* runner, int slot, Args... args) {
    using Method = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
    void** table = *reinterpret_cast<void***>(runner);
    return reinterpret_cast<Method>(table[slot])(runner, args...);
}

}  // namespace

TEST_F(CodeRunnerObject, NewObjectReadsEmptyWithBothSwitchesOn) {
    EXPECT_EQ(L"", SASCode());
    EXPECT_EQ(L"", Log());
    EXPECT_EQ(L"", Lst());
    EXPECT_TRUE(GetSwitch(runner.get(), &_CodeRunner::get_CleanOutput));
    EXPECT_TRUE(GetSwitch(runner.get(), &_CodeRunner::get_SafeFormChar));
    EXPECT_EQ(FreshReport, DebugInfo());
}

TEST_F(CodeRunnerObject, SlotsFollowTheFixedOrder) {
    UniqueBstr code = Bstr(L"data x; run;");
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 17, code.get()));  // SASCode put
    UniqueBstr text;
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 18, text.put()));  // SASCode get
    EXPECT_EQ(L"data x; run;\r\n", Text(text.get()));

    VARIANT_BOOL value = VARIANT_TRUE;
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 7, VARIANT_BOOL(VARIANT_FALSE)));  // CleanOutput put
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 8, &value));                       // CleanOutput get
    EXPECT_EQ(VARIANT_FALSE, value);
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 15, VARIANT_BOOL(VARIANT_FALSE)));  // SafeFormChar put
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 16, &value));                       // SafeFormChar get
    EXPECT_EQ(VARIANT_FALSE, value);
    EXPECT_FALSE(GetSwitch(runner.get(), &_CodeRunner::get_CleanOutput));

    ASSERT_EQ(S_OK, CallSlot(runner.get(), 9, text.put()));  // DebugInfo
    EXPECT_THAT(Text(text.get()), StartsWith(L"-----------------\r\nDebug Information"));
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 11, text.put()));  // Log
    EXPECT_EQ(L"", Text(text.get()));
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 12, text.put()));  // Lst
    EXPECT_EQ(L"", Text(text.get()));
    EXPECT_EQ(RaisedError(5),
              CallSlot(runner.get(), 13, short(1), VARIANT_BOOL(VARIANT_FALSE), text.put()));  // PutFile
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 14));                                               // Reset
    EXPECT_EQ(L"", SASCode());
    BSTR none = nullptr;
    ASSERT_EQ(S_OK, CallSlot(runner.get(), 10, none, none, text.put()));  // Execute
    EXPECT_EQ(NoCommand, Text(text.get()));
}

TEST_F(CodeRunnerObject, SASCodeAppendsEachTextWithALineBreak) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"data a;"));
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"run;"));
    EXPECT_EQ(L"data a;\r\nrun;\r\n", SASCode());
    // The empty text and a null string change nothing.
    ASSERT_EQ(S_OK, SetCode(runner.get(), L""));
    ASSERT_EQ(S_OK, runner->put_SASCode(nullptr));
    EXPECT_EQ(L"data a;\r\nrun;\r\n", SASCode());
}

TEST_F(CodeRunnerObject, SASCodeAppendsAStoredProgramFileExactly) {
    tamberlo::test::WriteFile(temp / "stored.Sas", "data b;\r\nrun;");
    ASSERT_EQ(S_OK, SetCode(runner.get(), WindowsPath(temp / "stored.Sas")));
    EXPECT_EQ(L"data b;\r\nrun;", SASCode());
}

TEST_F(CodeRunnerObject, TextCrossesTheBoundaryInTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << GetACP();
    // 8-bit file content comes back as the same characters...
    tamberlo::test::WriteFile(temp / "accents.sas", "title 'caf\xE9 \x80';");
    ASSERT_EQ(S_OK, SetCode(runner.get(), WindowsPath(temp / "accents.sas")));
    EXPECT_EQ(L"title 'caf\u00E9 \u20AC';", SASCode());
    // ...and text is kept as given, one the code page lacks included: it is
    // written in the session encoding by the run (which fails rather than
    // put another character in its place).
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"\u00FC\u0416"));
    EXPECT_EQ(L"title 'caf\u00E9 \u20AC';\u00FC\u0416\r\n", SASCode());
}

TEST_F(CodeRunnerObject, MissingProgramFileRaisesTheSASCodeError) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"data a;"));
    const std::wstring missing = WindowsPath(temp / "missing.sas");
    EXPECT_EQ(RaisedError(1), SetCode(runner.get(), missing));
    const auto info = TakeErrorInfo();
    ASSERT_TRUE(info.present);
    EXPECT_EQ(IID__CodeRunner, info.guid);
    EXPECT_EQ(L"SASCode method", info.source);
    EXPECT_EQ(L"The file '" + missing + L"' does not exist.", info.description);
    EXPECT_EQ(L"data a;\r\n", SASCode());
}

TEST_F(CodeRunnerObject, ExecuteWithoutProgramReturnsTheNoCommandStatus) {
    std::wstring status;
    ASSERT_EQ(S_OK, Execute(runner.get(), nullptr, nullptr, status));
    EXPECT_EQ(NoCommand, status);
    EXPECT_THAT(DebugInfo(), HasSubstr(L"-------------------------\r\n" + NoCommand + L"\r\n\r\n"));
}

TEST_F(CodeRunnerObject, ExecuteWithAWrongRootRaisesTheExecuteError) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put x;"));
    const std::wstring root = WindowsPath(temp.Path()) + L"nowhere";
    std::wstring status = L"unchanged";
    EXPECT_EQ(RaisedError(1), Execute(runner.get(), root.c_str(), nullptr, status));
    EXPECT_EQ(L"", status);
    const auto info = TakeErrorInfo();
    EXPECT_EQ(L"Execute method", info.source);
    EXPECT_EQ(L"The SAS executable '" + root + L"\\SAS.EXE' does not exist.  Did you specify the correct SASRoot?",
              info.description);
    // No status is stored by a failed run.
    EXPECT_THAT(DebugInfo(), HasSubstr(L"Last Execute Return Value\r\n-------------------------\r\n\r\n\r\nSASCode"));
}

TEST_F(CodeRunnerObject, ExecuteWithAWrongConfigRaisesTheExecuteError) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put x;"));
    const std::wstring config = WindowsPath(temp.Path()) + L"none.cfg";
    std::wstring status;
    EXPECT_EQ(RaisedError(1), Execute(runner.get(), StandInRoot().c_str(), config.c_str(), status));
    EXPECT_EQ(L"The SAS config file '" + config + L"' does not exist.  Did you specify the correct SASConfig?",
              TakeErrorInfo().description);
}

TEST_F(CodeRunnerObject, RunReturnsLogListingAndPutFiles) {
    EXPECT_EQ(L"OK", RunStandIn(L"%put hello log;\r\n"
                                L"data _null_; file _PUT1; put 'one'; run;\r\n"
                                L"data _null_; file _PUT3; put 'three'; run;\r\n"
                                L"title 'Report';\r\ndata _null_; file print; put 'in the listing'; run;"));
    EXPECT_THAT(Log(), HasSubstr(L"\r\nhello log\r\n"));
    EXPECT_THAT(Lst(), StartsWith(L"%12"));  // the page's form feed, made visible
    EXPECT_THAT(Lst(), HasSubstr(L"in the listing"));

    std::wstring text;
    ASSERT_EQ(S_OK, PutFile(1, VARIANT_FALSE, text));
    EXPECT_EQ(L"one\r\n", text);
    ASSERT_EQ(S_OK, PutFile(3, VARIANT_FALSE, text));
    EXPECT_EQ(L"three\r\n", text);
    // Any non-zero ReturnPath asks for the path.
    std::wstring path;
    ASSERT_EQ(S_OK, PutFile(3, VARIANT_BOOL(1), path));
    EXPECT_EQ(WindowsPath(temp.Path()), path.substr(0, WindowsPath(temp.Path()).size()));
    EXPECT_THAT(FileName(path), StartsWith(L"tmpPutFile_PUT3_"));
    EXPECT_TRUE(tamberlo::test::Exists(NarrowPath(path)));

    // _PUT2 was never mentioned, though the collection holds two items.
    EXPECT_EQ(RaisedError(5), PutFile(2, VARIANT_FALSE, text));
    const auto info = TakeErrorInfo();
    EXPECT_EQ(L"Tamberlo", info.source);
    EXPECT_EQ(L"Invalid procedure call or argument", info.description);
    EXPECT_EQ(RaisedError(5), PutFile(0, VARIANT_FALSE, text));
    EXPECT_EQ(RaisedError(5), PutFile(-1, VARIANT_TRUE, text));
}

TEST_F(CodeRunnerObject, CleanOutputOffShowsTheListingRaw) {
    ASSERT_EQ(L"OK", RunStandIn(L"data _null_; file print; put 'x'; run;"));
    ASSERT_EQ(S_OK, runner->put_CleanOutput(VARIANT_FALSE));
    EXPECT_THAT(Lst(), StartsWith(L"\f"));
    EXPECT_THAT(DebugInfo(), HasSubstr(L"CleanOutput\r\n-----------\r\nFalse\r\n"));
}

TEST_F(CodeRunnerObject, SecondRunWithPutFilesRaisesDuplicateKeyAndKeepsTheStatus) {
    ASSERT_EQ(L"OK", RunStandIn(L"data _null_; file _PUT1; put 'a'; run;"));
    std::wstring status;
    EXPECT_EQ(RaisedError(457), Execute(runner.get(), StandInRoot().c_str(), nullptr, status));
    const auto info = TakeErrorInfo();
    EXPECT_EQ(L"This key is already associated with an element of this collection", info.description);
    EXPECT_THAT(DebugInfo(), HasSubstr(L"Last Execute Return Value\r\n-------------------------\r\nOK\r\n"));
}

TEST_F(CodeRunnerObject, ResetStartsOverAndDeletesThePutFiles) {
    ASSERT_EQ(L"OK", RunStandIn(L"data _null_; file _PUT1; put 'a'; run;"));
    ASSERT_EQ(S_OK, runner->put_SafeFormChar(VARIANT_FALSE));
    ASSERT_EQ(1u, FilesLeft().size());
    ASSERT_EQ(S_OK, runner->Reset());
    EXPECT_TRUE(FilesLeft().empty());
    EXPECT_EQ(FreshReport, DebugInfo());
    std::wstring text;
    EXPECT_EQ(RaisedError(5), PutFile(1, VARIANT_FALSE, text));
}

TEST_F(CodeRunnerObject, ReleasingTheObjectDeletesItsPutFiles) {
    ASSERT_EQ(L"OK", RunStandIn(L"data _null_; file _PUT1; put 'a'; run; data _null_; file _PUT2; run;"));
    EXPECT_EQ(2u, FilesLeft().size());
    runner.reset();
    EXPECT_TRUE(FilesLeft().empty());
}

TEST_F(CodeRunnerObject, ExecuteWithoutArgumentsFindsTheInstalledStandIn) {
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put found by the search;"));
    std::wstring status;
    ASSERT_EQ(S_OK, Execute(runner.get(), nullptr, nullptr, status));
    EXPECT_EQ(L"OK", status);
    EXPECT_THAT(Log(), HasSubstr(L"\r\nfound by the search\r\n"));
    // Empty texts are the same as null strings.
    ASSERT_EQ(S_OK, runner->Reset());
    ASSERT_EQ(S_OK, SetCode(runner.get(), L"%put again;"));
    ASSERT_EQ(S_OK, Execute(runner.get(), L"", L"", status));
    EXPECT_EQ(L"OK", status);
    // Nothing of the run stays in the temporary folder.
    EXPECT_TRUE(FilesLeft().empty());
}

TEST_F(CodeRunnerObject, ObjectsOnOneThreadShareTheSwitches) {
    ASSERT_EQ(S_OK, runner->put_SafeFormChar(VARIANT_FALSE));
    auto earlier = NewRunner();  // creation turns both back on for the thread
    EXPECT_TRUE(GetSwitch(runner.get(), &_CodeRunner::get_SafeFormChar));
    ASSERT_EQ(S_OK, runner->put_SafeFormChar(VARIANT_FALSE));
    EXPECT_FALSE(GetSwitch(earlier.get(), &_CodeRunner::get_SafeFormChar));
    ASSERT_EQ(S_OK, earlier->put_CleanOutput(VARIANT_FALSE));
    auto later = NewRunner();
    EXPECT_TRUE(GetSwitch(earlier.get(), &_CodeRunner::get_CleanOutput));
}

TEST_F(CodeRunnerObject, ObjectsOnAnotherThreadHaveTheirOwnSwitches) {
    ASSERT_EQ(S_OK, runner->put_CleanOutput(VARIANT_FALSE));
    bool otherCleanOutput = false;
    std::thread other([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            auto own = NewRunner();
            ASSERT_EQ(S_OK, own->put_SafeFormChar(VARIANT_FALSE));
            otherCleanOutput = GetSwitch(own.get(), &_CodeRunner::get_CleanOutput);
        }
        CoUninitialize();
    });
    other.join();
    EXPECT_TRUE(otherCleanOutput);
    EXPECT_FALSE(GetSwitch(runner.get(), &_CodeRunner::get_CleanOutput));
    EXPECT_TRUE(GetSwitch(runner.get(), &_CodeRunner::get_SafeFormChar));
}

TEST_F(CodeRunnerObject, NullResultPointersAreRefused) {
    EXPECT_EQ(E_POINTER, runner->get_SASCode(nullptr));
    EXPECT_EQ(E_POINTER, runner->get_CleanOutput(nullptr));
    EXPECT_EQ(E_POINTER, runner->Execute(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_POINTER, runner->get_PutFile(1, VARIANT_FALSE, nullptr));
    EXPECT_EQ(L"", SASCode());  // nothing ran
}

TEST_F(CodeRunnerObject, FailedCallsLeaveTheResultNull) {
    BSTR value = SysAllocString(L"stale");
    BSTR keep = value;
    EXPECT_EQ(RaisedError(5), runner->get_PutFile(1, VARIANT_FALSE, &value));
    EXPECT_EQ(nullptr, value);
    SysFreeString(keep);
}
