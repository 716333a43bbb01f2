#include "jumper/error_text.h"

#include <gtest/gtest.h>

#include <string>

#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace {

using jumper::ApplicationTitle;
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

TEST(ApplicationTitle, FileNameCutAtItsFirstDotWithTheRestLowerCased) {
    EXPECT_EQ(ApplicationTitle(L"C:\\dir\\My Tool.EXE"), L"My tool");
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
