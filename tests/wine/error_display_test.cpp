// How an error in a handler reaches the user: a modal box owned by the main window, titled
// after the executable's file name, with the message, an error icon and one OK button; the
// program goes on afterwards. A field that holds no number gives such an error on "Random".
// Usage: error_display_test <jumper.exe>
#include <cstdio>

#include "driver.h"
#include "ui/form1_layout.h"  // control identifiers only

using namespace check;
using namespace driver;

namespace {

// Runs the executable, makes it fail on "Random" with the text in Min Width, and checks the
// box it shows against the title that its file name gives.
void CheckErrorBox(const std::wstring& executable, const std::wstring& expected_title) {
    std::printf("executable %s\n", Narrow(executable).c_str());
    Program program;
    if (!CHECK(program.Start(executable)) || !CHECK(program.WaitForMainWindow(1, 30000))) return;

    // A chosen window, so that only the field is at fault.
    const HWND combo = program.Control(ui::IdComboBox1);
    const std::vector<std::wstring> items = ComboItems(combo);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == L"Error test target") ::SendMessageW(combo, CB_SETCURSEL, i, 0);
    }
    if (!CHECK(ComboSelection(combo) >= 0)) return;
    SetText(program.Control(ui::IdEdit1), L"abc");
    PostClick(program.Control(ui::IdButton2));
    const auto box = WaitForMessageBox(program.ThreadId(), 10000);
    if (CHECK(box.has_value())) {
        CHECK_EQ(box->title, expected_title);
        CHECK_EQ(box->text, L"''abc'' is not a valid integer value.");
        CHECK(box->has_icon);
        CHECK_EQ(box->buttons.size(), 1u);
        if (!box->buttons.empty()) CHECK_EQ(box->buttons[0], L"OK");
        CHECK(box->owner == program.Window());
        CHECK(!::IsWindowEnabled(program.Window()));  // modal
        CHECK(DismissMessageBox(*box));
    }

    // The handler was abandoned and the program goes on.
    CHECK(WaitFor([&] { return ::IsWindowEnabled(program.Window()) != FALSE; }, 5000));
    CHECK(Responds(program.Window()));
    CHECK_EQ(WindowText(program.Control(ui::IdButton2)), L"Random");
    CHECK_EQ(WindowText(program.Control(ui::IdEdit1)), L"abc");

    // The same error again gives the same box.
    PostClick(program.Control(ui::IdButton2));
    const auto again = WaitForMessageBox(program.ThreadId(), 10000);
    if (CHECK(again.has_value())) {
        CHECK_EQ(again->title, expected_title);
        CHECK(DismissMessageBox(*again));
    }

    program.Close();
    const auto code = program.WaitForExit(10000);
    if (CHECK(code.has_value())) CHECK_EQ(*code, 0ul);
}

// A copy of the executable under another name, removed again at the end.
class RenamedCopy {
public:
    RenamedCopy(const std::wstring& source, const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"jumper-error-test-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        path_ = folder_ + L"\\" + name;
        copied_ = ::CopyFileW(source.c_str(), path_.c_str(), FALSE) != FALSE;
    }
    ~RenamedCopy() {
        ::DeleteFileW(path_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    RenamedCopy(const RenamedCopy&) = delete;
    RenamedCopy& operator=(const RenamedCopy&) = delete;

    bool Copied() const { return copied_; }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring folder_;
    std::wstring path_;
    bool copied_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: error_display_test <jumper.exe>\n");
        return 2;
    }
    const std::wstring jumper = WindowsPath(argv[1]);
    TargetWindows targets;
    targets.Create(L"Error test target");

    Section("the program as built");
    CheckErrorBox(jumper, L"jumper");  // the first letter is kept as it is

    Section("a copy named My Tool.EXE");
    const RenamedCopy copy(jumper, L"My Tool.EXE");
    if (CHECK(copy.Copied())) CheckErrorBox(copy.Path(), L"My tool");

    Section("a copy named with a dot in the middle");
    const RenamedCopy dotted(jumper, L"WINDOW.jumper.v2.exe");
    if (CHECK(dotted.Copied())) CheckErrorBox(dotted.Path(), L"Window");
    return Report("wine_error_display");
}
