// How an error in a handler reaches the user: a modal box owned by the main window, titled
// after the executable's file name, with the message, an error icon and one OK button; the
// program goes on afterwards. A field that holds no number gives such an error on "Random".
// Usage: error_display_test <jumper.exe>
#include "driver.h"
#include "target_window.h"
#include "ui/form1_layout.h"  // control identifiers only

using namespace check;
using namespace driver;

namespace {

constexpr wchar_t kTarget[] = L"Error test target";

// Runs the executable, makes it fail on "Random" with the text in Min Width, and checks the
// box it shows against the title that its file name gives.
void CheckErrorBox(const std::wstring& executable, const std::wstring& expected_title) {
    RunProgram(executable, [&](Program& program) {
        // A chosen window, so that only the field is at fault.
        if (!SetUp(program.Select(kTarget), "the list holds the test's target")) return;
        SetText(program.Control(ui::IdEdit1), L"abc");
        PostClick(program.Control(ui::IdButton2));  // the box holds the click's handler
        if (const auto box = WaitForMessageBox(program.ThreadId(), 10000);
            Check(box.has_value(), "Random with Min Width \"abc\" shows an error box")) {
            Equal(box->title, expected_title, "the box's title");
            Equal(box->text, std::wstring(L"''abc'' is not a valid integer value."),
                  "the box's message");
            Check(box->has_icon, "the box shows an icon");
            Check(box->buttons == std::vector<std::wstring>{L"OK"},
                  "the box has one button, OK (%zu buttons, the first %s)", box->buttons.size(),
                  box->buttons.empty() ? "none" : Describe(box->buttons[0]).c_str());
            Check(box->owner == program.Window(), "the main window owns the box");
            Check(!::IsWindowEnabled(program.Window()), "the box is modal");
            Check(DismissMessageBox(*box), "OK closes the box");
        }

        // The handler was abandoned and the program goes on.
        Check(WaitFor([&] { return ::IsWindowEnabled(program.Window()) != FALSE; }, 5000),
              "the main window is enabled again");
        Check(Responds(program.Window()), "the program answers after the box");
        Equal(program.Caption(), std::wstring(L"Random"), "the wide button's caption");
        Equal(WindowText(program.Control(ui::IdEdit1)), std::wstring(L"abc"),
              "Min Width keeps its text");

        // The same error again gives the same box.
        const auto again = program.PressForError(10000);
        if (Check(again.has_value(), "a second Random shows the box again")) {
            Equal(again->title, expected_title, "the second box's title");
        }
    });
}

// A copy of the executable under another name in a folder of its own, removed again at the
// end.
class RenamedCopy {
public:
    RenamedCopy(const std::wstring& source, const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = temp + std::wstring(L"jumper-error-test-") +
                  std::to_wstring(::GetCurrentProcessId());
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
        Print("usage: error_display_test <jumper.exe>");
        return 2;
    }
    const std::wstring jumper = WindowsPath(argv[1]);
    const jumptest::TargetWindow target({kTarget});

    Section("the program as built");
    CheckErrorBox(jumper, L"jumper");  // the first letter is kept as it is

    // Every character after the first lower-cased as the system does, beyond ASCII too.
    const struct {
        const wchar_t* name;
        const wchar_t* title;
    } copies[] = {{L"My Tool.EXE", L"My tool"},
                  {L"WINDOW.jumper.v2.exe", L"Window"},
                  {L"D\u00C9J\u00C0 Vu.exe", L"D\u00E9j\u00E0 vu"},
                  {L"\u0414\u0415\u041C\u041E.exe", L"\u0414\u0435\u043C\u043E"}};
    for (const auto& [name, title] : copies) {
        Section(("a copy named " + Narrow(name)).c_str());
        const RenamedCopy copy(jumper, name);
        if (SetUp(copy.Copied(), "copied jumper.exe to %s", Narrow(copy.Path()).c_str())) {
            CheckErrorBox(copy.Path(), title);
        }
    }
    return Report("wine_error_display");
}
