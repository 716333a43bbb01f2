#include "jumper/error_text.h"

#include <gtest/gtest.h>

#include <string>

#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace {

using jumper::ErrorBoxText;

TEST(ErrorBoxText, AppendsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorBoxText(L"x"), L"x.");
    EXPECT_EQ(ErrorBoxText(L"5"), L"5.");
    EXPECT_EQ(ErrorBoxText(L"a/"), L"a/.");  // '/' is the character just above '.'
    EXPECT_EQ(ErrorBoxText(L"Unable to insert a line"), L"Unable to insert a line.");
    EXPECT_EQ(ErrorBoxText(L"caf\u00E9"), L"caf\u00E9.");
}

TEST(ErrorBoxText, LeavesTextEndingAtOrBelowAFullStop) {
    EXPECT_EQ(ErrorBoxText(L""), L"");
    EXPECT_EQ(ErrorBoxText(L"x."), L"x.");
    EXPECT_EQ(ErrorBoxText(L"x!"), L"x!");
    EXPECT_EQ(ErrorBoxText(L"a-"), L"a-");  // '-' is the character just below '.'
    EXPECT_EQ(ErrorBoxText(L"a,"), L"a,");
    EXPECT_EQ(ErrorBoxText(L"a "), L"a ");
    EXPECT_EQ(ErrorBoxText(L"Choose a window from the list first."),
              L"Choose a window from the list first.");
}

TEST(ErrorBoxText, TheIntegerErrorGetsAFullStop) {
    try {
        jumper::StrToInt(L"abc");
        FAIL() << "accepted";
    } catch (const platform::EConvertError& error) {
        EXPECT_EQ(ErrorBoxText(error.Message()), L"''abc'' is not a valid integer value.");
    }
}

// The system's lower-casing, as far as these names need it: ASCII and two letters beyond it.
std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c == L'\u00C9') c = L'\u00E9';  // É
        if (c == L'\u0414') c = L'\u0434';  // Д
    }
    return lower;
}

std::wstring ApplicationTitle(std::wstring_view exe_path) {
    return jumper::ApplicationTitle(exe_path, &Lower);
}

TEST(ApplicationTitle, FileNameCutAtItsFirstDotWithTheRestLowerCased) {
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\My Tool.EXE"), L"My tool");
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\\u00C9D\u00C9.exe"), L"\u00C9d\u00E9");
    // A character made of two UTF-16 units first.
    EXPECT_EQ(ApplicationTitle(L"\xD83D\xDE00\u0414.exe"), L"\xD83D\xDE00\u0434");
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\JUMPER.EXE"), L"Jumper");
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\jumper.exe"), L"jumper");  // the first stays as it is
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\ABC.DEF.EXE"), L"Abc");
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\a.b.exe"), L"a");
    EXPECT_EQ(ApplicationTitle(L"C:\\my.dir\\APP.EXE"), L"App");  // dots in folders do not count
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\NOEXT"), L"Noext");
    EXPECT_EQ(ApplicationTitle(L"X.EXE"), L"X");
    EXPECT_EQ(ApplicationTitle(L"Tool.exe"), L"Tool");
    EXPECT_EQ(ApplicationTitle(L"TOOL"), L"Tool");
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\.hidden"), L"");
}

}  // namespace
