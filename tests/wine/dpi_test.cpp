// The main window as another program sees it, at 96, 120, 144 and 192 dpi. At each DPI: the
// client area, the frame centred on the screen, every control's rectangle and font scaled from
// their 96-dpi figures, the texts unclipped, the icons the system uses at that DPI, the window
// drawn at the DPI itself, and closing it. At 96 dpi what no DPI changes: the manifest's DPI
// awareness, the caption, styles and owner, the twelve controls with their classes and texts,
// the labels that name the fields, the tab order and the list's autocomplete. At 144 dpi, a
// jump that still gives the target the typed size in pixels, and a DPI change that rescales
// the window into the rectangle it is offered.
// dpi_test.sh sets the DPI and starts Wine afresh for each run; this program is told the DPI
// the window system runs at.
// Usage: dpi_test <dpi> <jumper.exe> <window_probe.dll>
#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "driver.h"
#include "target_window.h"
#include "ui/form1_layout.h"  // control identifiers only

using namespace check;
using namespace driver;

namespace {

// ---- The main window as it is meant to look ---------------------------------------------

// At 96 dpi, in client coordinates: written out here again rather than taken from the
// program's own table, so that a change there shows.
constexpr int kClientWidth = 430;
constexpr int kClientHeight = 132;

struct ExpectedControl {
    int id;
    const wchar_t* class_name;
    int left;
    int top;
    int width;
    int height;
    const wchar_t* text;
};

// The edits a row of the window to a line, as they stand.
constexpr ExpectedControl kExpected[] = {
    {ui::IdLabel1, L"Static", 12, 38, 51, 13, L"Min Width:"},
    {ui::IdLabel2, L"Static", 9, 65, 54, 13, L"Min Height:"},
    {ui::IdLabel3, L"Static", 21, 10, 42, 13, L"Window:"},
    {ui::IdLabel4, L"Static", 188, 38, 55, 13, L"Max Width:"},
    {ui::IdLabel5, L"Static", 185, 65, 58, 13, L"Max Height:"},
    {ui::IdEdit1, L"Edit", 69, 35, 87, 21, L"100"}, {ui::IdEdit3, L"Edit", 249, 35, 87, 21, L"300"},
    {ui::IdEdit2, L"Edit", 69, 62, 87, 21, L"100"}, {ui::IdEdit4, L"Edit", 249, 62, 87, 21, L"300"},
    {ui::IdComboBox1, L"ComboBox", 69, 8, 267, 21, L""},
    {ui::IdButton1, L"Button", 342, 8, 85, 25, L"Refresh"},
    {ui::IdButton2, L"Button", 69, 89, 268, 25, L"Random"},
};

// Each field and the label that names it.
constexpr std::pair<int, int> kFieldLabels[] = {{ui::IdComboBox1, ui::IdLabel3},
                                                {ui::IdEdit1, ui::IdLabel1},
                                                {ui::IdEdit2, ui::IdLabel2},
                                                {ui::IdEdit3, ui::IdLabel4},
                                                {ui::IdEdit4, ui::IdLabel5}};

// Focus order with Tab, starting from the list.
constexpr int kTabOrder[] = {ui::IdComboBox1, ui::IdButton1, ui::IdButton2, ui::IdEdit1,
                             ui::IdEdit2,     ui::IdEdit3,   ui::IdEdit4};

const std::wstring kCyrillic = L"\u041f\u0440\u0438\u0432\u0435\u0442 target";  // Privet

int Scaled(int pixels, int dpi) { return ::MulDiv(pixels, dpi, 96); }

bool HasStyle(LONG_PTR styles, DWORD bits) { return (static_cast<DWORD>(styles) & bits) == bits; }

std::string ControlName(int id) { return "control " + std::to_string(id); }

// ---- What only the program's own process can read ----------------------------------------

// The probe's report, a line per key ("text 101" -> "51 13").
using ProbeLines = std::map<std::wstring, std::wstring>;

std::wstring ProbeLine(const ProbeLines& lines, const std::wstring& key) {
    const auto found = lines.find(key);
    return found == lines.end() ? std::wstring(L"(missing)") : found->second;
}

// The probe's report from inside the program, after its request if there is one.
std::optional<ProbeLines> ReadProbe(const Program& program, const std::wstring& probe,
                                    const std::wstring& request = L"") {
    const auto report = program.ReadInProcess(probe, request);
    if (!Check(report.has_value(), "the probe reports from inside the program")) {
        return std::nullopt;
    }
    return ParseProbeReport(*report);
}

// Drawn at the window system's DPI (per-monitor aware), not stretched from 96 dpi; fonts
// and icons for dpi.
void CheckInside(const ProbeLines& lines, int screen_dpi, int dpi) {
    Equal(ProbeLine(lines, L"dpi window"), std::to_wstring(screen_dpi) + L" 2",
          "the window's DPI and awareness");

    // Tahoma at 8 points: height, weight, italic, face.
    const std::wstring font = std::to_wstring(-::MulDiv(8, dpi, 72)) + L" 400 0 Tahoma";
    for (const ExpectedControl& expected : kExpected) {
        Equal(ProbeLine(lines, L"font " + std::to_wstring(expected.id)), font,
              ControlName(expected.id) + "'s font");
    }

    // The icons the system uses at this DPI.
    using MetricForDpiFn = int(WINAPI*)(int, UINT);
    const auto metric = reinterpret_cast<MetricForDpiFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    if (!SetUp(metric != nullptr, "user32 has GetSystemMetricsForDpi")) return;
    const auto size = [&](int width, int height) {
        return std::to_wstring(metric(width, static_cast<UINT>(dpi))) + L" " +
               std::to_wstring(metric(height, static_cast<UINT>(dpi)));
    };
    Equal(ProbeLine(lines, L"icon big"), size(SM_CXICON, SM_CYICON), "the big icon's size");
    Equal(ProbeLine(lines, L"icon small"), size(SM_CXSMICON, SM_CYSMICON),
          "the small icon's size");
}

// ---- At each DPI -------------------------------------------------------------------------

void CheckFrame(const Program& program, int dpi) {
    Section("client area and position");
    const HWND window = program.Window();
    const RECT client = ClientRect(window);
    Equal(Width(client), Scaled(kClientWidth, dpi), "the client area's width");
    Equal(Height(client), Scaled(kClientHeight, dpi), "the client area's height");
    const RECT frame = WindowRect(window);
    Print("window at %ld,%ld size %dx%d", frame.left, frame.top, Width(frame), Height(frame));
    Check(std::abs(frame.left - (::GetSystemMetrics(SM_CXSCREEN) - Width(frame)) / 2) <= 1,
          "the window is centred across the screen");
    Check(std::abs(frame.top - (::GetSystemMetrics(SM_CYSCREEN) - Height(frame)) / 2) <= 1,
          "the window is centred down the screen");
}

// Every control where the 96-dpi layout puts it, scaled to dpi. A label sizes itself to its
// text in the font the program really got: one that its text outgrows widens to the left,
// keeping its right edge by its field. No label or button text is clipped.
void CheckLayout(const Program& program, const ProbeLines& lines, int dpi) {
    for (const ExpectedControl& expected : kExpected) {
        const std::string name = ControlName(expected.id);
        const RECT rect = RectInParent(program.Control(expected.id));
        int text_width = -1;
        int text_height = -1;
        std::swscanf(ProbeLine(lines, L"text " + std::to_wstring(expected.id)).c_str(), L"%d %d",
                     &text_width, &text_height);
        const std::wstring kind = expected.class_name;
        const int left = Scaled(expected.left, dpi);
        const int width = Scaled(expected.width, dpi);
        if (kind == L"Static") {
            Equal(rect.right, static_cast<LONG>(left + width), name + "'s right edge");
            Equal(Width(rect), std::max(width, text_width), name + "'s width");
        } else {
            Equal(rect.left, static_cast<LONG>(left), name + "'s left edge");
            Equal(Width(rect), width, name + "'s width");
        }
        Equal(rect.top, static_cast<LONG>(Scaled(expected.top, dpi)), name + "'s top edge");
        // The closed height, for the list.
        Equal(Height(rect), Scaled(expected.height, dpi), name + "'s height");

        // Labels edge to edge, buttons inside their frame.
        const int frame = kind == L"Button" ? Scaled(4, dpi) : 0;
        if (kind == L"Static" || kind == L"Button") {
            Check(text_width > 0, "%s shows text", name.c_str());
            Check(text_width <= Width(rect) - 2 * frame && text_height <= Height(rect) - frame,
                  "%s's text (%dx%d) fits its %dx%d", name.c_str(), text_width, text_height,
                  Width(rect), Height(rect));
        }
    }
}

// ---- At 96 dpi only: what no DPI changes -------------------------------------------------

// A setting of the executable's manifest as the loader reads it, through an activation
// context made from the manifest resource.
struct ReleaseActCtxFn {
    void operator()(HANDLE context) const noexcept { ::ReleaseActCtx(context); }
};
using unique_actctx = platform::unique_any<HANDLE, ReleaseActCtxFn>;

std::wstring ManifestSetting(const std::wstring& executable, const wchar_t* name_space,
                             const wchar_t* name) {
    ACTCTXW context_info{};
    context_info.cbSize = sizeof(context_info);
    context_info.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context_info.lpSource = executable.c_str();
    context_info.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE made = ::CreateActCtxW(&context_info);
    if (made == INVALID_HANDLE_VALUE) return L"(no manifest)";
    const unique_actctx context(made);
    wchar_t value[256] = {};
    SIZE_T written = 0;
    const bool found = ::QueryActCtxSettingsW(0, context.get(), name_space, name, value, 256,
                                              &written) != FALSE;
    return found ? value : L"(not set)";
}

// Wine draws every program as if it were DPI aware, so what Windows will do is read from
// the manifest: per-monitor v2, falling back to per-monitor on Windows 8.1.
void CheckManifest(const std::wstring& jumper) {
    Section("the manifest asks for per-monitor DPI awareness");
    Equal(ManifestSetting(jumper, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                          L"dpiAwareness"),
          std::wstring(L"PerMonitorV2, PerMonitor"), "the manifest's dpiAwareness");
    Equal(ManifestSetting(jumper, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                          L"dpiAware"),
          std::wstring(L"true/pm"), "the manifest's dpiAware");
}

void CheckCaptionAndStyles(const Program& program) {
    Section("caption and frame");
    const HWND window = program.Window();
    Equal(ClassName(window), std::wstring(L"TForm1"), "the main window's class");
    Equal(WindowText(window), std::wstring(L"Window Jumper"), "the caption");
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    Check(HasStyle(style, WS_CAPTION), "the window has a caption");
    Check(HasStyle(style, WS_SYSMENU), "the window has a system menu");
    Check(!HasStyle(style, WS_THICKFRAME), "the window cannot be resized");
    Check(!HasStyle(style, WS_MINIMIZEBOX), "the window has no minimise box");
    Check(!HasStyle(style, WS_MAXIMIZEBOX), "the window has no maximise box");

    // The taskbar button belongs to the main window itself: a top-level window that nobody
    // owns and that is no tool window.
    Check(::GetWindow(window, GW_OWNER) == nullptr, "nobody owns the main window");
    Check(!HasStyle(::GetWindowLongPtrW(window, GWL_EXSTYLE), WS_EX_TOOLWINDOW),
          "the main window is no tool window");
}

void CheckControls(const Program& program) {
    Section("controls");
    int children = 0;
    for (HWND child = ::GetWindow(program.Window(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        ++children;
    }
    Equal(children, 12, "the main window's controls");

    for (const ExpectedControl& expected : kExpected) {
        const std::string name = ControlName(expected.id);
        const HWND control = program.Control(expected.id);
        if (!Check(control != nullptr, "%s is there", name.c_str())) continue;
        Equal(ClassName(control), std::wstring(expected.class_name), name + "'s class");
        Equal(WindowText(control), std::wstring(expected.text), name + "'s text");
        Check(::IsWindowVisible(control), "%s is visible", name.c_str());
        Check(::IsWindowEnabled(control), "%s is enabled", name.c_str());
    }

    // An editable drop-down list, in the order the catalogue fills it.
    const HWND combo = program.Control(ui::IdComboBox1);
    const auto combo_style = static_cast<DWORD>(::GetWindowLongPtrW(combo, GWL_STYLE));
    Equal(combo_style & 3u, static_cast<DWORD>(CBS_DROPDOWN), "the list's kind");
    Check((combo_style & CBS_SORT) == 0, "the list is not sorted");
    Check(ComboEdit(combo) != nullptr, "the list has an edit part");
    // Labels take no focus, and each sits just before the field it names in the z-order,
    // where a screen reader looks for a field's name.
    for (const auto& [field, label] : kFieldLabels) {
        Check(!HasStyle(::GetWindowLongPtrW(program.Control(label), GWL_STYLE), WS_TABSTOP),
              "label %d takes no focus", label);
        Equal(::GetDlgCtrlID(::GetWindow(program.Control(field), GW_HWNDPREV)), label,
              "the control before " + ControlName(field) + " in the z-order");
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

// Keys through the program's own message loop: real key presses when its window has the
// foreground, else the key messages posted to the focused control.
class Keyboard {
public:
    explicit Keyboard(const Program& program)
        : program_(program), real_(MakeForeground(program.Window())) {
        Print("keyboard: %s", real_ ? "SendInput" : "posted WM_KEYDOWN");
    }

    void Tab(bool shift) const {
        if (real_) {
            PressKey(VK_TAB, shift);
            return;
        }
        const HWND focus = FocusOf(program_.Window());
        ::PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0);
        ::PostMessageW(focus, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001));
        Responds(program_.Window());
    }

    // Types into the focused list as the user would.
    void Type(std::wstring_view text) const {
        if (real_) {
            TypeText(text);
        } else {
            TypeChars(ComboEdit(program_.Control(ui::IdComboBox1)), text);
        }
        Responds(program_.Window());
    }

    void Backspace() const {
        if (real_) {
            PressKey(VK_BACK);
        } else {
            const HWND edit = ComboEdit(program_.Control(ui::IdComboBox1));
            ::PostMessageW(edit, WM_KEYDOWN, VK_BACK, 1);
            ::PostMessageW(edit, WM_CHAR, L'\b', 1);
            ::PostMessageW(edit, WM_KEYUP, VK_BACK, static_cast<LPARAM>(0xC0000001));
        }
        Responds(program_.Window());
    }

    // Real keys go to the foreground window: it is made the program's again.
    void Refocus() const {
        if (real_) MakeForeground(program_.Window());
    }

private:
    const Program& program_;
    bool real_;
};

void CheckTabOrder(const Program& program, const Keyboard& keys) {
    Section("tab order");
    Equal(FocusedId(program), static_cast<int>(ui::IdComboBox1), "the focus at start");
    const int count = static_cast<int>(std::size(kTabOrder));
    for (int step = 1; step <= count; ++step) {
        keys.Tab(false);
        Equal(FocusedId(program), kTabOrder[step % count],  // and round to the list
              "the focus after Tab " + std::to_string(step));
    }
    for (int step = 1; step <= count; ++step) {
        keys.Tab(true);
        Equal(FocusedId(program), kTabOrder[(count - step) % count],
              "the focus after Shift+Tab " + std::to_string(step));
    }
}

void CheckAutocomplete(const Program& program, const Keyboard& keys) {
    Section("autocomplete");
    const HWND combo = program.Control(ui::IdComboBox1);
    const std::vector<std::wstring> items = ComboItems(combo);
    const int upper = IndexOf(items, L"Quokka Upper");  // made last: higher in the z-order
    const int lower = IndexOf(items, L"Quokka Lower");
    const int cyrillic = IndexOf(items, kCyrillic);
    keys.Refocus();
    if (!SetUp(upper >= 0 && lower > upper && cyrillic >= 0,
               "the list holds the test's windows, Quokka Upper first (at %d, %d, %d)", upper,
               lower, cyrillic) ||
        !SetUp(FocusedId(program) == ui::IdComboBox1, "the list has the focus")) {
        return;
    }
    // Real keys reach the program through its input queue, after any message sent to it:
    // the checks wait until the edit shows the text the keys lead to.
    const auto typed = [&](const std::wstring& text) {
        WaitFor([&] { return WindowText(combo) == text; }, 3000);
    };
    const auto check_selection = [&](DWORD start, DWORD end, const char* after) {
        const Selection selection = EditSelection(combo);
        Check(selection.start == start && selection.end == end,
              "the selection after %s: %lu-%lu, expected %lu-%lu", after, selection.start,
              selection.end, start, end);
    };

    // A lower-case prefix finds the first item that begins with it and fills in the rest.
    SetText(combo, L"");
    keys.Type(L"quok");
    typed(L"Quokka Upper");
    Equal(ComboSelection(combo), upper, "the item selected after \"quok\"");
    Equal(WindowText(combo), std::wstring(L"Quokka Upper"), "the text after \"quok\"");
    check_selection(4, 12, "\"quok\"");

    // Typing on replaces the completed part and can reach a later item.
    keys.Type(L"ka l");
    typed(L"Quokka Lower");
    Equal(ComboSelection(combo), lower, "the item selected after \"quokka l\"");
    Equal(WindowText(combo), std::wstring(L"Quokka Lower"), "the text after \"quokka l\"");
    check_selection(8, 12, "\"quokka l\"");

    // Backspace removes the completed part and completes nothing again.
    keys.Backspace();
    typed(L"Quokka L");
    Equal(WindowText(combo), std::wstring(L"Quokka L"), "the text after one Backspace");
    check_selection(8, 8, "one Backspace");
    keys.Backspace();
    typed(L"Quokka ");
    Equal(WindowText(combo), std::wstring(L"Quokka "), "the text after two Backspaces");
    check_selection(7, 7, "two Backspaces");

    // In any script, the title having reached the list through the program's 8-bit code
    // page. Typed as written: Wine's prefix search ignores the case of ASCII letters only.
    SetText(combo, L"");
    keys.Type(L"\u041f\u0440\u0438");
    typed(kCyrillic);
    Equal(ComboSelection(combo), cyrillic, "the item selected after a Cyrillic prefix");
    Equal(WindowText(combo), kCyrillic, "the text after a Cyrillic prefix");

    // A prefix that no title has leaves the text as typed.
    SetText(combo, L"");
    keys.Type(L"zzq");
    typed(L"zzq");
    Equal(WindowText(combo), std::wstring(L"zzq"), "the text after a prefix of no title");
    Equal(EditSelection(combo).start, 3ul, "the caret after a prefix of no title");
}

// ---- At 144 dpi only ---------------------------------------------------------------------

// The sizes the user types are pixels on the screen, whatever the DPI.
void CheckJumpInPixels(const Program& program, const jumptest::TargetWindow& target) {
    Section("a jump gives the typed size in pixels");
    if (!SetUp(program.Select(target.Title()), "the list holds the target")) return;
    program.SetFields(L"333", L"177", L"333", L"177");
    program.Press();  // Random
    const bool sized = WaitFor(
        [&] {
            const RECT rect = WindowRect(target.Handle());
            return Width(rect) == 333 && Height(rect) == 177;
        },
        8000);
    const RECT rect = WindowRect(target.Handle());
    Check(sized, "the target is given 333x177 pixels (%dx%d)", Width(rect), Height(rect));
    // The top-left corner is a point of the screen in pixels (the window may reach past its
    // right and bottom edges).
    Check(rect.left >= 0 && rect.left < ::GetSystemMetrics(SM_CXSCREEN) && rect.top >= 0 &&
              rect.top < ::GetSystemMetrics(SM_CYSCREEN),
          "the target's top-left corner %ld,%ld is on the screen", rect.left, rect.top);
    program.Press();  // Stop
}

// A move to a screen of another DPI: the window takes the offered rectangle and lays itself
// out again at the new DPI.
void CheckDpiChange(const Program& program, const std::wstring& probe, int from, int to) {
    Section("a DPI change rescales the window");
    const RECT frame = WindowRect(program.Window());
    const RECT client = ClientRect(program.Window());
    // The rectangle Windows offers: the window scaled about its top-left corner.
    const RECT offered{frame.left, frame.top, frame.left + ::MulDiv(Width(frame), to, from),
                       frame.top + ::MulDiv(Height(frame), to, from)};
    const std::wstring request = L"dpichanged " + std::to_wstring(to) + L" " +
                                 std::to_wstring(offered.left) + L" " +
                                 std::to_wstring(offered.top) + L" " +
                                 std::to_wstring(offered.right) + L" " +
                                 std::to_wstring(offered.bottom);
    const auto lines = ReadProbe(program, probe, request);
    if (!lines) return;
    const RECT now = WindowRect(program.Window());
    Check(EqualRect(&now, &offered) != FALSE, "the window takes the offered %s (it is at %s)",
          jumptest::Describe(offered).c_str(), jumptest::Describe(now).c_str());
    Print("client %dx%d -> %dx%d", Width(client), Height(client),
          Width(ClientRect(program.Window())), Height(ClientRect(program.Window())));
    CheckLayout(program, *lines, to);
    // Only the message is made up: the window system still has the window at from.
    CheckInside(*lines, from, to);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        Print("usage: dpi_test <dpi> <jumper.exe> <window_probe.dll>");
        return 2;
    }
    const int dpi = std::atoi(argv[1]);
    const std::wstring jumper = WindowsPath(argv[2]);
    const std::wstring probe = WindowsPath(argv[3]);
    const std::string heading = "at " + std::to_string(dpi) + " dpi";
    Section(heading.c_str());

    // The test reads every window in real pixels, on the 1024 x 768 desktop that the tests
    // run in, at the DPI dpi_test.sh set.
    if (!SetUp(MakeDpiAware(), "the test is per-monitor DPI aware")) return Report("wine_dpi");
    // Read once the test is aware: Wine 10 shows a process that is not aware 96 dpi.
    const platform::unique_screen_dc screen(::GetDC(nullptr));
    const int screen_dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    if (!SetUp(::GetSystemMetrics(SM_CXSCREEN) == 1024 && ::GetSystemMetrics(SM_CYSCREEN) == 768,
               "the screen is 1024x768 (%dx%d)", ::GetSystemMetrics(SM_CXSCREEN),
               ::GetSystemMetrics(SM_CYSCREEN)) ||
        !SetUp(screen_dpi == dpi, "the window system runs at %d dpi (%d)", dpi, screen_dpi)) {
        return Report("wine_dpi");
    }

    if (dpi == 96) CheckManifest(jumper);

    // Three windows for the list; the first is also the target of the jump.
    jumptest::TargetWindow target({.title = L"Quokka Lower"});
    target.Add(L"Quokka Upper");  // made last: higher in the z-order
    target.Add(kCyrillic);

    return Session(
        "wine_dpi", argv[2],
        [&](Program& program) {
            CheckFrame(program, dpi);
            if (dpi == 96) CheckCaptionAndStyles(program);
            if (const auto lines = ReadProbe(program, probe)) {
                Section("controls' places, fonts and icons");
                CheckLayout(program, *lines, dpi);
                CheckInside(*lines, dpi, dpi);
            }
            if (dpi == 96) {
                CheckControls(program);
                const Keyboard keys(program);
                CheckTabOrder(program, keys);
                CheckAutocomplete(program, keys);
            }
            if (dpi == 144) {
                CheckJumpInPixels(program, target);
                CheckDpiChange(program, probe, 144, 192);
            }
        },
        3);
}
