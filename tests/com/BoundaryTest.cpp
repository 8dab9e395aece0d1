// The boundary helpers on their own: how a caught exception becomes a status
// code and error information, and how text crosses between automation
// strings and 8-bit text.

#include "ComClient.h"

#include "automation/com/AnsiText.h"
#include "automation/com/ComError.h"
#include "host/ControlChars.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace comtest;
using tamberlo::com::ComFailure;
using tamberlo::com::ResultFromCaughtException;
using tamberlo::com::Sealed;

namespace {

template <class E>
HRESULT MapThrown(const E& thrown) {
    return Sealed([&] { throw thrown; });
}

// Leaves error information behind, so that clearing it can be seen.
void LeaveErrorInfo() { EXPECT_EQ(RaisedError(1), MapThrown(tamberlo::Error(1, "earlier", "earlier failure"))); }

}  // namespace

TEST(ErrorMapping, RaisedErrorBecomesFacilityControlStatusWithItsText) {
    EXPECT_EQ(static_cast<HRESULT>(0x800A0001), MapThrown(tamberlo::Error(1, "SASCode method", "described")));
    const auto info = TakeErrorInfo();
    ASSERT_TRUE(info.present);
    EXPECT_EQ(IID__CodeRunner, info.guid);
    EXPECT_EQ(L"SASCode method", info.source);
    EXPECT_EQ(L"described", info.description);

    EXPECT_EQ(static_cast<HRESULT>(0x800A01C9), MapThrown(tamberlo::Error(457, "Tamberlo", "duplicate")));
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFF), MapThrown(tamberlo::Error(65535, "s", "d")));
    TakeErrorInfo();
}

TEST(ErrorMapping, NumbersOutsideTheRangeKeepTheirText) {
    // A number that already is a failure status passes unchanged.
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), MapThrown(tamberlo::Error(static_cast<long>(0x80070002), "s", "d")));
    EXPECT_EQ(E_FAIL, MapThrown(tamberlo::Error(65536, "source", "too big")));
    EXPECT_EQ(L"too big", TakeErrorInfo().description);
    EXPECT_EQ(E_FAIL, MapThrown(tamberlo::Error(0, "source", "no number")));
    EXPECT_EQ(L"no number", TakeErrorInfo().description);
}

TEST(ErrorMapping, OtherExceptionsMapToPlatformStatusesAndClearTheErrorInfo) {
    LeaveErrorInfo();
    EXPECT_EQ(E_OUTOFMEMORY, MapThrown(std::bad_alloc()));
    EXPECT_FALSE(TakeErrorInfo().present);

    LeaveErrorInfo();
    EXPECT_EQ(E_FAIL, MapThrown(std::runtime_error("anything")));
    EXPECT_FALSE(TakeErrorInfo().present);

    LeaveErrorInfo();
    EXPECT_EQ(E_FAIL, MapThrown(42));
    EXPECT_FALSE(TakeErrorInfo().present);

    LeaveErrorInfo();
    EXPECT_EQ(E_ACCESSDENIED, MapThrown(ComFailure(E_ACCESSDENIED)));
    EXPECT_FALSE(TakeErrorInfo().present);
}

TEST(ErrorMapping, SuccessReturnsOkAndLeavesErrorInfoAlone) {
    EXPECT_EQ(S_OK, Sealed([] {}));
    EXPECT_FALSE(TakeErrorInfo().present);
}

TEST(AnsiText, NullAndEmptyStringsAreTheEmptyText) {
    EXPECT_EQ("", tamberlo::com::ToAnsi(nullptr));
    UniqueBstr empty(SysAllocString(L""));
    EXPECT_EQ("", tamberlo::com::ToAnsi(empty.get()));
    // The empty text comes back as an allocated empty string, not a null one.
    UniqueBstr back = tamberlo::com::ToBstr("");
    ASSERT_NE(nullptr, back.get());
    EXPECT_EQ(0u, SysStringLen(back.get()));
}

TEST(AnsiText, KeepsEveryCharacterIncludingNulsAndLineBreaks) {
    const std::string text("a\0b\r\nc\td", 8);
    UniqueBstr wide = tamberlo::com::ToBstr(text);
    ASSERT_EQ(8u, SysStringLen(wide.get()));
    EXPECT_EQ(std::wstring(L"a\0b\r\nc\td", 8), Text(wide.get()));
    EXPECT_EQ(text, tamberlo::com::ToAnsi(wide.get()));
}

TEST(AnsiText, UsesTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << GetACP();
    EXPECT_EQ(L"\u00E9\u20AC", Text(tamberlo::com::ToBstr("\xE9\x80").get()));
    UniqueBstr wide(SysAllocString(L"\u00E9\u20AC\u0416"));
    EXPECT_EQ("\xE9\x80?", tamberlo::com::ToAnsi(wide.get()));
}

TEST(AnsiText, CleanedConversionEqualsCleaningThenConvertingAcrossPieces) {
    // Longer than a piece (64 KiB), with lines of every length, control
    // characters at piece ends, a stretch without line feeds and high
    // characters of the code page.
    std::string text;
    for (int line = 0; text.size() < 300 * 1024; ++line) {
        text.append(static_cast<std::size_t>(line % 97), static_cast<char>('a' + line % 26));
        text += line % 5 == 0 ? "\t\x0c\xE9" : "\x80";
        text += line % 7 == 0 ? "\n" : "\r\n";
    }
    text.append(100 * 1024, 'x');
    text += "\x1f\x01";
    for (const std::string& sample : {text, std::string("no control characters\r\n"), std::string()}) {
        UniqueBstr expected = tamberlo::com::ToBstr(tamberlo::CleanControlChars(sample));
        UniqueBstr cleaned = tamberlo::com::ToCleanedBstr(sample);
        ASSERT_EQ(SysStringLen(expected.get()), SysStringLen(cleaned.get()));
        EXPECT_EQ(Text(expected.get()), Text(cleaned.get())) << "length " << sample.size();
        // The same in session encodings, where the bytes above are partly
        // not valid (UTF-8) or lead bytes (Shift-JIS).
        for (const char* name : {"WLATIN1", "UTF-8", "SHIFT-JIS"}) {
            const tamberlo::SessionEncoding encoding = *tamberlo::SessionEncoding::FromName(name);
            expected = tamberlo::com::ToBstr(tamberlo::CleanControlChars(sample), encoding);
            cleaned = tamberlo::com::ToCleanedBstr(sample, encoding);
            ASSERT_EQ(SysStringLen(expected.get()), SysStringLen(cleaned.get())) << name;
            EXPECT_EQ(Text(expected.get()), Text(cleaned.get())) << name << ", length " << sample.size();
        }
    }
}
