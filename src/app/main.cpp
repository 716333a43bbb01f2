// Program entry: seeds the random source, creates the main window and runs its message loop.
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <exception>
#include <memory>

#include "jumper/placement_gate.h"
#include "jumper/random.h"
#include "platform/win32.h"
#include "ui/form1.h"

namespace {

// How long the end of the process waits for a placement under way: only a target that does
// not answer takes longer.
constexpr std::chrono::milliseconds kPlacementWait{1000};

// Before any other start-up code, the stack protector's among them, whose set-up asks the
// system's cryptographic provider for random bytes and so loads the provider's DLL by name:
// that and every later load by name (common controls, themes) come from System32, never from
// the program's folder or the current one. Priority 101 is the earliest a program may take.
[[gnu::constructor(101)]] void RestrictDllSearchFirst() { platform::RestrictDllSearch(); }

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
    // One desktop and one gate for the whole program; the workers hold them too.
    std::shared_ptr<platform::Win32Desktop> desktop;
    std::shared_ptr<jumper::PlacementGate> gate;
    int exit_code = 1;
    try {
        desktop = std::make_shared<platform::Win32Desktop>();
        gate = std::make_shared<jumper::PlacementGate>();
        platform::Win32SeedClock clock;
        jumper::Randomize(clock);

        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);

        const auto form = ui::TForm1::Create(instance, desktop, gate);
        ::ShowWindow(form->Handle(), show_command);
        exit_code = RunMessageLoop(form->Handle());
    } catch (...) {
        ui::ShowError(nullptr, std::current_exception());  // and the exit code says so
        exit_code = 1;
    }

    // The process ends within about a second, whatever a worker or its target is doing, and
    // leaves no target hidden.
    if (gate) gate->EndPlacements(*desktop, kPlacementWait);
    // Ended here, with no exit-time code at all: nothing is left to flush, and a worker may
    // be killed in the middle of a throw (the refused placement, the failed refresh) holding
    // the heap's or the unwinder's lock, on which the runtime's and the DLLs' detach code,
    // run by ExitProcess or a return, could then wait for ever.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exit_code));
    return exit_code;  // not reached: the call ends the calling process at once
}
