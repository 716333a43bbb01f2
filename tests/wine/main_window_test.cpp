// The main window as another program sees it: caption, frame, position, icons, the twelve
// controls with their texts, places and font, the labels that name the fields, the tab
// order, the list's autocomplete, and closing it.
// Usage: main_window_test <jumper.exe> <window_probe.dll>
#include <cstdio>
#include <cwctype>
#include <utility>

#include "driver.h"
#include "expected_layout.h"

using namespace check;
using namespace driver;

namespace {

// Focus order with Tab, starting from the list.
const int kTabOrder[] = {ui::IdComboBox1, ui::IdButton1, ui::IdButton2, ui::IdEdit1,
                         ui::IdEdit2,     ui::IdEdit3,   ui::IdEdit4};

const std::wstring kCyrillic = L"\u041f\u0440\u0438\u0432\u0435\u0442 target";  // Privet

bool HasStyle(LONG_PTR styles, DWORD bits) { return (static_cast<DWORD>(styles) & bits) == bits; }

void CheckFrame(const Program& program) {
    Section("caption, frame and position");
    const HWND window = program.Window();
    CHECK_EQ(ClassName(window), L"TForm1");
    CHECK_EQ(WindowText(window), L"Window Jumper");
    const RECT client = ClientRect(window);
    CHECK_EQ(Width(client), kExpectedClientWidth);
    CHECK_EQ(Height(client), kExpectedClientHeight);

    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    CHECK(HasStyle(style, WS_CAPTION));
    CHECK(HasStyle(style, WS_SYSMENU));
    CHECK(!HasStyle(style, WS_THICKFRAME));
    CHECK(!HasStyle(style, WS_MINIMIZEBOX));
    CHECK(!HasStyle(style, WS_MAXIMIZEBOX));
    CHECK(!HasStyle(style, WS_CHILD));

    // The taskbar button belongs to the main window itself: a top-level window that nobody
    // owns and that is no tool window.
    const LONG_PTR ex_style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    CHECK(::GetWindow(window, GW_OWNER) == nullptr);
    CHECK(::GetAncestor(window, GA_PARENT) == ::GetDesktopWindow());
    CHECK(!HasStyle(ex_style, WS_EX_TOOLWINDOW));

    // Centred on the 1024 x 768 desktop that the tests run in.
    CHECK_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024);
    CHECK_EQ(::GetSystemMetrics(SM_CYSCREEN), 768);
    const RECT frame = WindowRect(window);
    std::printf("window at %ld,%ld size %dx%d\n", frame.left, frame.top, Width(frame),
                Height(frame));
    CHECK(std::abs(frame.left - (1024 - Width(frame)) / 2) <= 1);
    CHECK(std::abs(frame.top - (768 - Height(frame)) / 2) <= 1);
}

void CheckIconsAndFonts(const ProbeLines& lines) {
    Section("icons and fonts (read inside the program)");
    const std::wstring big = std::to_wstring(::GetSystemMetrics(SM_CXICON)) + L" " +
                             std::to_wstring(::GetSystemMetrics(SM_CYICON));
    const std::wstring small = std::to_wstring(::GetSystemMetrics(SM_CXSMICON)) + L" " +
                               std::to_wstring(::GetSystemMetrics(SM_CYSMICON));
    CHECK_EQ(ProbeLine(lines, L"icon big"), big);
    CHECK_EQ(ProbeLine(lines, L"icon small"), small);

    for (const ExpectedControl& control : kExpected) {
        // height, weight, italic, face
        CHECK_EQ(ProbeLine(lines, L"font " + std::to_wstring(control.id)), L"-11 400 0 Tahoma");
    }
}

void CheckControls(const Program& program, const ProbeLines& lines) {
    Section("controls");
    int children = 0;
    for (HWND child = ::GetWindow(program.Window(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        ++children;
    }
    CHECK_EQ(children, 12);

    for (const ExpectedControl& expected : kExpected) {
        const HWND control = program.Control(expected.id);
        std::printf("control %d\n", expected.id);
        if (!CHECK(control != nullptr)) continue;
        CHECK_EQ(ClassName(control), expected.class_name);
        CHECK_EQ(WindowText(control), expected.text);
        CHECK(::IsWindowVisible(control));
        CHECK(::IsWindowEnabled(control));
    }
    CheckLayout(program, lines, 96);

    // An editable drop-down list, in the order the catalogue fills it.
    const auto combo_style = static_cast<DWORD>(
        ::GetWindowLongPtrW(program.Control(ui::IdComboBox1), GWL_STYLE));
    CHECK_EQ(combo_style & 3u, static_cast<DWORD>(CBS_DROPDOWN));
    CHECK((combo_style & CBS_SORT) == 0);
    CHECK(ComboEdit(program.Control(ui::IdComboBox1)) != nullptr);
    // Labels take no focus, and each sits just before the field it names in the z-order,
    // where a screen reader looks for a field's name.
    const std::pair<int, int> kFieldLabels[] = {{ui::IdComboBox1, ui::IdLabel3},
                                                {ui::IdEdit1, ui::IdLabel1},
                                                {ui::IdEdit2, ui::IdLabel2},
                                                {ui::IdEdit3, ui::IdLabel4},
                                                {ui::IdEdit4, ui::IdLabel5}};
    for (const auto& [field, label] : kFieldLabels) {
        CHECK(!HasStyle(::GetWindowLongPtrW(program.Control(label), GWL_STYLE), WS_TABSTOP));
        CHECK_EQ(::GetDlgCtrlID(::GetWindow(program.Control(field), GW_HWNDPREV)), label);
    }
}

// The control that has the focus, counting the list's edit part as the list.
int FocusedId(const Program& program) {
    HWND focus = FocusOf(program.Window());
    if (focus && ::GetParent(focus) == program.Control(ui::IdComboBox1)) {
        focus = ::GetParent(focus);
    }
    return focus ? ::GetDlgCtrlID(focus) : 0;
}

// Tab through the program's own message loop: real key presses when the window has the
// foreground, else the key messages posted to the focused control.
bool real_input = false;

void Tab(const Program& program, bool shift) {
    if (real_input) {
        PressKey(VK_TAB, shift);
        return;
    }
    const HWND focus = FocusOf(program.Window());
    ::PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0);
    ::PostMessageW(focus, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001));
    Responds(program.Window());
}

void CheckTabOrder(const Program& program) {
    Section("tab order");
    real_input = MakeForeground(program.Window());
    std::printf("keyboard: %s\n", real_input ? "SendInput" : "posted WM_KEYDOWN");
    CHECK_EQ(FocusedId(program), static_cast<int>(ui::IdComboBox1));  // the list starts with it

    const int count = static_cast<int>(std::size(kTabOrder));
    for (int step = 1; step <= count; ++step) {
        Tab(program, false);
        std::printf("Tab %d\n", step);
        CHECK_EQ(FocusedId(program), kTabOrder[step % count]);  // and round to the list
    }
    for (int step = 1; step <= count; ++step) {
        Tab(program, true);
        std::printf("Shift+Tab %d\n", step);
        CHECK_EQ(FocusedId(program), kTabOrder[(count - step) % count]);
    }
}

// Types into the focused list as the user would.
void Type(const Program& program, std::wstring_view text) {
    if (real_input) {
        TypeText(text);
    } else {
        TypeChars(ComboEdit(program.Control(ui::IdComboBox1)), text);
    }
    Responds(program.Window());
}

void Backspace(const Program& program) {
    if (real_input) {
        PressKey(VK_BACK);
    } else {
        const HWND edit = ComboEdit(program.Control(ui::IdComboBox1));
        ::PostMessageW(edit, WM_KEYDOWN, VK_BACK, 1);
        ::PostMessageW(edit, WM_CHAR, L'\b', 1);
        ::PostMessageW(edit, WM_KEYUP, VK_BACK, static_cast<LPARAM>(0xC0000001));
    }
    Responds(program.Window());
}

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& title) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == title) return static_cast<int>(i);
    }
    return -1;
}

void CheckAutocomplete(const Program& program) {
    Section("autocomplete");
    const HWND combo = program.Control(ui::IdComboBox1);
    const std::vector<std::wstring> items = ComboItems(combo);
    const int upper = IndexOf(items, L"Quokka Upper");  // made last: higher in the z-order
    const int lower = IndexOf(items, L"Quokka Lower");
    if (!CHECK(upper >= 0 && lower > upper)) return;

    if (real_input) {
        MakeForeground(program.Window());
    }
    CHECK_EQ(FocusedId(program), static_cast<int>(ui::IdComboBox1));
    SetText(combo, L"");

    // A lower-case prefix finds the first item that begins with it and fills in the rest.
    Type(program, L"quok");
    CHECK_EQ(ComboSelection(combo), upper);
    CHECK_EQ(WindowText(combo), L"Quokka Upper");
    Selection selection = EditSelection(combo);
    CHECK_EQ(selection.start, 4u);
    CHECK_EQ(selection.end, 12u);

    // Typing on replaces the completed part and can reach a later item.
    Type(program, L"ka l");
    CHECK_EQ(ComboSelection(combo), lower);
    CHECK_EQ(WindowText(combo), L"Quokka Lower");
    selection = EditSelection(combo);
    CHECK_EQ(selection.start, 8u);
    CHECK_EQ(selection.end, 12u);

    // Backspace removes the completed part and completes nothing again.
    Backspace(program);
    CHECK_EQ(WindowText(combo), L"Quokka L");
    selection = EditSelection(combo);
    CHECK_EQ(selection.start, 8u);
    CHECK_EQ(selection.end, 8u);
    Backspace(program);
    CHECK_EQ(WindowText(combo), L"Quokka ");
    selection = EditSelection(combo);
    CHECK_EQ(selection.start, 7u);
    CHECK_EQ(selection.end, 7u);

    // In any script, the title having reached the list through the program's 8-bit code
    // page. Typed as written: Wine's prefix search ignores the case of ASCII letters only.
    const int cyrillic = IndexOf(items, kCyrillic);
    if (!CHECK(cyrillic >= 0)) return;
    SetText(combo, L"");
    Type(program, L"\u041f\u0440\u0438");
    CHECK_EQ(ComboSelection(combo), cyrillic);
    CHECK_EQ(WindowText(combo), kCyrillic);

    // A prefix that no title has leaves the text as typed.
    SetText(combo, L"");
    Type(program, L"zzq");
    CHECK_EQ(WindowText(combo), L"zzq");
    CHECK_EQ(EditSelection(combo).start, 3u);
}

void CheckClose(Program& program) {
    Section("closing");
    program.Close();
    const auto exit_code = program.WaitForExit(10000);
    if (CHECK(exit_code.has_value())) CHECK_EQ(*exit_code, 0ul);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: main_window_test <jumper.exe> <window_probe.dll>\n");
        return 2;
    }
    const std::wstring jumper = WindowsPath(argv[1]);
    const std::wstring probe = WindowsPath(argv[2]);

    TargetWindows targets;
    targets.Create(L"Quokka Lower");
    targets.Create(L"Quokka Upper");
    targets.Create(kCyrillic);

    Program program;
    if (!CHECK(program.Start(jumper))) return Report("wine_main_window");
    if (!CHECK(program.WaitForMainWindow(3, 30000))) return Report("wine_main_window");
    std::printf("start-up: %.0f ms\n", program.StartupMilliseconds());

    CheckFrame(program);
    const auto report = program.ReadInProcess(probe);
    if (!CHECK(report.has_value())) return Report("wine_main_window");
    const ProbeLines lines = ParseProbeReport(*report);
    CheckControls(program, lines);
    CheckIconsAndFonts(lines);
    CheckTabOrder(program);
    CheckAutocomplete(program);
    CheckClose(program);
    return Report("wine_main_window");
}
