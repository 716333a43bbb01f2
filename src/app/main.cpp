// Program entry: seeds the random source, creates the main window and runs its message loop.
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <memory>

#include "jumper/placement_gate.h"
#include "jumper/random.h"
#include "platform/exception.h"
#include "platform/win32.h"
#include "ui/form1.h"

namespace {

// A worker that is placing its target when the window closes gets this long to finish, so
// the target is not left hidden; only a target that does not answer takes that long.
constexpr std::chrono::milliseconds kPlacementGrace{1000};

int RunMessageLoop(HWND main_window) {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(main_window, &message)) continue;  // Tab and Shift+Tab
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    // Later loads (common controls, themes) come from System32, never the current folder.
    platform::RestrictDllSearch();

    platform::Win32SeedClock clock;
    jumper::Randomize(clock);

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    // One desktop and one gate for the whole program; the workers hold them too.
    const auto desktop = std::make_shared<platform::Win32Desktop>();
    const auto gate = std::make_shared<jumper::PlacementGate>();
    int exit_code = 0;
    try {
        const auto form = ui::TForm1::Create(instance, desktop, gate);
        ::ShowWindow(form->Handle(), show_command);
        exit_code = RunMessageLoop(form->Handle());
    } catch (const platform::Exception& error) {
        ui::ShowErrorBox(nullptr, error.Message());
        exit_code = 1;
    }

    // The process ends at once, whatever a worker is doing, and never leaves its target
    // hidden.
    gate->EndPlacements(*desktop, kPlacementGrace);
    // Ended here, with no exit-time code at all: nothing is left to flush, and a worker may
    // be killed in the middle of a throw (the refused placement, the failed refresh) holding
    // the heap's or the unwinder's lock, on which the runtime's and the DLLs' detach code,
    // run by ExitProcess or a return, could then wait for ever.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exit_code));
    return exit_code;  // not reached: the call ends the calling process at once
}
