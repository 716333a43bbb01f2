// The main window at 96, 120, 144 and 192 dpi: the client area, every control's rectangle
// and the font scaled from their 96-dpi figures, the texts unclipped, the window aware of
// its DPI; at 144 dpi a jump that still gives the target the typed size in pixels, and a
// DPI change that rescales the window into the rectangle it is offered.
// dpi_test.sh sets the DPI and starts Wine afresh for each run: this program checks that the
// window system runs at the DPI it is given, then works jumper.exe.
// Usage: dpi_test <dpi> <jumper.exe> <window_probe.dll>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "driver.h"
#include "expected_layout.h"

using namespace check;
using namespace driver;

namespace {

int Scaled(int pixels, int dpi) { return ::MulDiv(pixels, dpi, 96); }

// The probe's report from inside the program, after its request if there is one.
std::optional<ProbeLines> ReadProbe(const Program& program, const std::wstring& probe,
                                    const std::wstring& request = L"") {
    const auto report = program.ReadInProcess(probe, request);
    if (!CHECK(report.has_value())) return std::nullopt;
    return ParseProbeReport(*report);
}

void CheckFrame(const Program& program, int dpi) {
    const HWND window = program.Window();
    const RECT client = ClientRect(window);
    CHECK_EQ(Width(client), Scaled(kExpectedClientWidth, dpi));
    CHECK_EQ(Height(client), Scaled(kExpectedClientHeight, dpi));
    const RECT frame = WindowRect(window);
    CHECK(std::abs(frame.left - (::GetSystemMetrics(SM_CXSCREEN) - Width(frame)) / 2) <= 1);
    CHECK(std::abs(frame.top - (::GetSystemMetrics(SM_CYSCREEN) - Height(frame)) / 2) <= 1);
}

// What only the program's own process can read: its DPI, fonts and icons, for dpi.
void CheckInside(const ProbeLines& lines, int screen_dpi, int dpi) {
    // Drawn at the screen's DPI itself (per-monitor aware), not stretched from 96 dpi.
    CHECK_EQ(ProbeLine(lines, L"dpi window"), std::to_wstring(screen_dpi) + L" 2");

    // Tahoma at 8 points.
    const std::wstring font = std::to_wstring(-::MulDiv(8, dpi, 72)) + L" 400 0 Tahoma";
    for (const ExpectedControl& expected : kExpected) {
        CHECK_EQ(ProbeLine(lines, L"font " + std::to_wstring(expected.id)), font);
    }

    // The icons the system uses at this DPI.
    using MetricForDpiFn = int(WINAPI*)(int, UINT);
    const auto metric = reinterpret_cast<MetricForDpiFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    if (CHECK(metric != nullptr)) {
        const auto size = [&](int index) {
            const int pixels = metric(index, static_cast<UINT>(dpi));
            return std::to_wstring(pixels) + L" " + std::to_wstring(pixels);
        };
        CHECK_EQ(ProbeLine(lines, L"icon big"), size(SM_CXICON));
        CHECK_EQ(ProbeLine(lines, L"icon small"), size(SM_CXSMICON));
    }
}

// A setting of the executable's manifest as the loader reads it, through an activation
// context made from the manifest resource.
std::wstring ManifestSetting(const std::wstring& executable, const wchar_t* name_space,
                             const wchar_t* name) {
    ACTCTXW context_info{};
    context_info.cbSize = sizeof(context_info);
    context_info.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context_info.lpSource = executable.c_str();
    context_info.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE context = ::CreateActCtxW(&context_info);
    if (context == INVALID_HANDLE_VALUE) return L"(no manifest)";
    wchar_t value[256] = {};
    SIZE_T written = 0;
    const bool found =
        ::QueryActCtxSettingsW(0, context, name_space, name, value, 256, &written) != FALSE;
    ::ReleaseActCtx(context);
    return found ? value : L"(not set)";
}

// Wine draws every program as if it were DPI aware, so what Windows will do is read from
// the manifest: per-monitor v2, falling back to per-monitor on Windows 8.1.
void CheckManifest(const std::wstring& jumper) {
    Section("the manifest asks for per-monitor DPI awareness");
    CHECK_EQ(ManifestSetting(jumper, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                             L"dpiAwareness"),
             L"PerMonitorV2, PerMonitor");
    CHECK_EQ(ManifestSetting(jumper, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                             L"dpiAware"),
             L"true/pm");
}

// The sizes the user types are pixels on the screen, whatever the DPI.
void CheckJumpInPixels(const Program& program, TargetWindows& targets) {
    Section("a jump gives the typed size in pixels");
    const HWND target = targets.Create(L"Quokka Target");
    Click(program.Control(ui::IdButton1));
    const HWND combo = program.Control(ui::IdComboBox1);
    int index = -1;
    const std::vector<std::wstring> items = ComboItems(combo);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == L"Quokka Target") index = static_cast<int>(i);
    }
    if (!CHECK(index >= 0)) return;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SetText(program.Control(ui::IdEdit1), L"333");  // Min Width
    SetText(program.Control(ui::IdEdit2), L"177");  // Min Height
    SetText(program.Control(ui::IdEdit3), L"333");  // Max Width
    SetText(program.Control(ui::IdEdit4), L"177");  // Max Height
    Click(program.Control(ui::IdButton2));
    const bool sized = WaitFor(
        [&] {
            const RECT rect = WindowRect(target);
            return Width(rect) == 333 && Height(rect) == 177;
        },
        8000);
    const RECT rect = WindowRect(target);
    std::printf("target %dx%d at %ld,%ld\n", Width(rect), Height(rect), rect.left, rect.top);
    CHECK(sized);
    // The top-left corner is a point of the screen in pixels (the window may reach past its
    // right and bottom edges).
    CHECK(rect.left >= 0 && rect.left < ::GetSystemMetrics(SM_CXSCREEN));
    CHECK(rect.top >= 0 && rect.top < ::GetSystemMetrics(SM_CYSCREEN));
    Click(program.Control(ui::IdButton2));  // Stop
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
    CHECK_EQ(now.left, offered.left);
    CHECK_EQ(now.top, offered.top);
    CHECK_EQ(Width(now), Width(offered));
    CHECK_EQ(Height(now), Height(offered));
    std::printf("client %dx%d -> %dx%d\n", Width(client), Height(client),
                Width(ClientRect(program.Window())), Height(ClientRect(program.Window())));
    CheckLayout(program, *lines, to);
    // Only the message is made up: the window system still has the window at from.
    CheckInside(*lines, from, to);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: dpi_test <dpi> <jumper.exe> <window_probe.dll>\n");
        return 2;
    }
    const int dpi = std::atoi(argv[1]);
    const std::wstring jumper = WindowsPath(argv[2]);
    const std::wstring probe = WindowsPath(argv[3]);
    const std::string heading = "at " + std::to_string(dpi) + " dpi";
    Section(heading.c_str());
    CHECK(MakeDpiAware());
    if (const HDC screen = ::GetDC(nullptr)) {
        CHECK_EQ(::GetDeviceCaps(screen, LOGPIXELSY), dpi);
        ::ReleaseDC(nullptr, screen);
    }

    if (dpi == 96) CheckManifest(jumper);

    TargetWindows targets;
    Program program;
    if (!CHECK(program.Start(jumper))) return Report("wine_dpi");
    if (!CHECK(program.WaitForMainWindow(0, 30000))) return Report("wine_dpi");
    CheckFrame(program, dpi);
    if (const auto lines = ReadProbe(program, probe)) {
        CheckLayout(program, *lines, dpi);
        CheckInside(*lines, dpi, dpi);
    }
    if (dpi == 144) {
        CheckJumpInPixels(program, targets);
        CheckDpiChange(program, probe, 144, 192);
    }
    program.Close();
    const auto exit_code = program.WaitForExit(15000);
    if (CHECK(exit_code.has_value())) CHECK_EQ(*exit_code, 0ul);
    return Report("wine_dpi");
}
