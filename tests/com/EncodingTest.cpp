// A compiled client of sessions in UTF-8, WLATIN1 and Shift-JIS, chosen as a
// client chooses them: HKCU\Software\Tamberlo\Encoding, read at every
// Execute. The object is made by its ProgID and called through its dual
// interface; the program must reach SAS in the session's bytes and its texts
// come back as the same characters.

#include "ComClient.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace comtest;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

// The listing's first page as the object shows it, its form feed made visible.
const std::wstring PageOne =
    L"%12" + std::wstring(33, L' ') + L"The SAS System" + std::wstring(33, L' ') + L"1\r\n\r\n";

// HKCU\Software\Tamberlo\Encoding for the life of the object; the value,
// and the key when this made it, are deleted again on every way out.
class EncodingSetting {
public:
    explicit EncodingSetting(const std::wstring& name) {
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tamberlo", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_,
                            &disposition) != ERROR_SUCCESS)
            throw std::runtime_error("cannot open HKCU\\Software\\Tamberlo");
        created_ = disposition == REG_CREATED_NEW_KEY;
        const auto bytes = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key_, L"Encoding", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()), bytes) !=
            ERROR_SUCCESS) {
            Remove();
            throw std::runtime_error("cannot set the encoding");
        }
    }
    EncodingSetting(const EncodingSetting&) = delete;
    EncodingSetting& operator=(const EncodingSetting&) = delete;
    ~EncodingSetting() { Remove(); }

private:
    void Remove() noexcept {
        RegDeleteValueW(key_, L"Encoding");
        RegCloseKey(key_);
        if (created_) RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tamberlo");
    }

    HKEY key_ = nullptr;
    bool created_ = false;
};

// The module registered while the test lasts, runs in a temporary folder of
// their own, and the stand-in recording the program it read.
class SessionEncoding : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer()); }
    void TearDown() override { EXPECT_EQ(S_OK, ServerModule::Get().UnregisterServer()); }

    static ComPtr<_CodeRunner> CreateByProgId() {
        CLSID clsid{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(L"Tamberlo.CodeRunner", &clsid));
        ComPtr<_CodeRunner> runner;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__CodeRunner, runner.put_void()));
        if (!runner) throw std::runtime_error("no Tamberlo.CodeRunner");
        return runner;
    }
    static std::wstring PutFile(_CodeRunner* runner, VARIANT_BOOL returnPath) {
        UniqueBstr value;
        EXPECT_EQ(S_OK, runner->get_PutFile(1, returnPath, value.put()));
        return Text(value.get());
    }

    tamberlo::test::TempFolder temp;
    tamberlo::test::TempFolder work;
    tamberlo::test::ScopedTempDirectory scopedTemp{temp.Path()};
    const std::string record = work / "commandline.txt";
    tamberlo::test::ScopedEnvironment recording{"TAMBERLO_STANDIN_RECORD", record};
};

}  // namespace

TEST_F(SessionEncoding, TextsReachSASInTheSessionsBytesAndComeBackAsTheSameCharacters) {
    struct Case {
        const wchar_t* encoding;
        std::wstring text;
        std::string bytes;  // as the session writes it
    };
    const Case cases[] = {
        {L"UTF-8", L"Gr\u00FC\u00DFe, \u20AC and \u65E5\u672C\u8A9E",
         "Gr\xC3\xBC\xC3\x9F"
         "e, \xE2\x82\xAC and \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {L"WLATIN1", L"Gr\u00FC\u00DFe, \u20AC",
         "Gr\xFC\xDF"
         "e, \x80"},
        {L"SHIFT-JIS", L"\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NarrowPath(c.encoding));
        const EncodingSetting setting(c.encoding);
        auto runner = CreateByProgId();
        const std::wstring code =
            L"data _null_; file print; put '" + c.text + L"';\r\nfile _put1; put '" + c.text + L"'; run;\r\n";
        ASSERT_EQ(S_OK, SetCode(runner.get(), code.substr(0, code.size() - 2)));
        std::wstring status;
        ASSERT_EQ(S_OK, Execute(runner.get(), StandInRoot().c_str(), nullptr, status));
        ASSERT_EQ(L"OK", status);

        const std::wstring path = PutFile(runner.get(), VARIANT_TRUE);
        EXPECT_EQ("options formchar='|-++++++++++=|-/|<>*';\r\nfilename _PUT1 '" + NarrowPath(path) +
                      "' mod;\r\n\r\ndata _null_; file print; put '" + c.bytes + "';\r\nfile _put1; put '" + c.bytes +
                      "'; run;\r\n",
                  tamberlo::test::ReadFile(record + ".program"));
        EXPECT_EQ(c.bytes + "\r\n", tamberlo::test::ReadFile(NarrowPath(path)));
        EXPECT_EQ(c.text + L"\r\n", PutFile(runner.get(), VARIANT_FALSE));
        const std::wstring log = Get(runner.get(), &_CodeRunner::get_Log);
        EXPECT_THAT(log, HasSubstr(L"\r\n4          data _null_; file print; put '" + c.text +
                                   L"';\r\n5          file _put1; put '" + c.text + L"'; run;\r\n"));
        EXPECT_THAT(log, Not(HasSubstr(L"WARNING")));
        EXPECT_EQ(PageOne + c.text + L"\r\n", Get(runner.get(), &_CodeRunner::get_Lst));
        const std::wstring report = Get(runner.get(), &_CodeRunner::get_DebugInfo);
        EXPECT_THAT(report, HasSubstr(L"SASCode\r\n-------\r\n" + code + L"\r\n"));
        EXPECT_THAT(report, HasSubstr(L"_PUT1 (" + path + L")\r\n-----\r\n" + c.text + L"\r\n"));
        runner.reset();
        EXPECT_THAT(tamberlo::test::ListFolder(temp.Path()), IsEmpty());
    }
}

TEST_F(SessionEncoding, ACharacterTheSessionCannotHoldFailsTheRunAndLeavesNothingBehind) {
    struct Case {
        const wchar_t* encoding;
        std::wstring program;
        std::wstring description;
    };
    const Case cases[] = {
        {L"LATIN1", L"data _null_; file _put1; put '\u20AC'; run;",
         L"The program cannot be written in the SAS session encoding LATIN1: the character U+20AC in line 1 has no "
         L"place in it."},
        {L"WLATIN1", L"data _null_; file _put1;\r\nput '\u65E5'; run;",
         L"The program cannot be written in the SAS session encoding WLATIN1: the character U+65E5 in line 2 has no "
         L"place in it."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NarrowPath(c.encoding));
        const EncodingSetting setting(c.encoding);
        auto runner = CreateByProgId();
        ASSERT_EQ(S_OK, SetCode(runner.get(), c.program));
        std::wstring status;
        EXPECT_EQ(RaisedError(1), Execute(runner.get(), StandInRoot().c_str(), nullptr, status));
        const ErrorInformation info = TakeErrorInfo();
        EXPECT_EQ(L"Execute method", info.source);
        EXPECT_EQ(c.description, info.description);
        UniqueBstr put;
        EXPECT_EQ(RaisedError(5), runner->get_PutFile(1, VARIANT_FALSE, put.put()));
        EXPECT_FALSE(tamberlo::test::Exists(record));  // SAS never started
        EXPECT_THAT(tamberlo::test::ListFolder(temp.Path()), IsEmpty());
    }
}
