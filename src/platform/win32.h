// The thin layer over user32 and kernel32: the desktop, the seed clock, and the way a
// worker reaches the user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"
#include "platform/lock.h"
#include "platform/seed_clock.h"
#include "platform/ui_thread.h"
#include "platform/unique_handle.h"

namespace platform {

// 64-bit Windows keeps window handles in 32 bits; widening sign-extends them.
inline WindowHandle HandleOf(HWND window) {
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}
inline HWND HwndOf(WindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(window)));
}

std::wstring WindowText(HWND window);

// Keeps later DLL loads to System32 (on every Windows 7, loader update or not).
void RestrictDllSearch();

// Lower-cases text as the system does for the user's language.
std::wstring LowerCase(std::wstring_view text);

// The system's text for an error code, without its line end.
std::wstring SystemMessage(DWORD error);

// Per-monitor DPI. Windows 10 1607 has the calls for it; an older system draws every window
// at the system DPI, which these then return.
UINT DpiOf(HWND window);
// The outer size of a window whose client area is client, at dpi.
SIZE FrameSizeFor(SIZE client, DWORD style, DWORD ex_style, UINT dpi);
int SystemMetricForDpi(int index, UINT dpi);

class Win32Desktop final : public Desktop {
public:
    void EnumWindows(EnumWindowsCallback callback, std::intptr_t context) override;
    int GetWindowTextA(WindowHandle window, char* buffer, int capacity) override;
    bool IsWindowVisible(WindowHandle window) override;
    unsigned GetACP() override;
    std::int32_t DwmGetWindowAttribute(WindowHandle window, unsigned attribute, void* value,
                                       unsigned size) override;
    WindowOwner GetWindowOwner(WindowHandle window) override;
    bool IsHungAppWindow(WindowHandle window) override;
    void ShowWindow(WindowHandle window, int command) override;
    void SetWindowPos(WindowHandle window, WindowHandle insert_after, int x, int y, int width,
                      int height, unsigned flags) override;
    int GetSystemMetrics(int index) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t GetCurrentThreadId() override;
    void TerminateThread(std::uint32_t thread_id) override;
    [[noreturn]] void WaitToBeEnded() override;
    void ShowWindowAsync(WindowHandle window, int command) override;
};

class Win32SeedClock final : public SeedClock {
public:
    bool QueryPerformanceCounter(std::int64_t* count) override;
    std::uint32_t GetTickCount() override;
};

// Runs the workers' calls on the thread that made it, through a message-only window of its
// own. Only calls sent through this object are run: a stray message with a made-up pointer
// is ignored.
class WindowUiThread final : public UiThread {
public:
    // On the user-interface thread. Raises platform::Exception when the window cannot be made.
    WindowUiThread();
    WindowUiThread(const WindowUiThread&) = delete;
    WindowUiThread& operator=(const WindowUiThread&) = delete;
    ~WindowUiThread() override;

    void StartThread(std::function<void()> body) override;
    bool Send(SyncCall& call) override;
    // Takes no more calls: Send returns false from now on. On the user-interface thread.
    void Close() noexcept;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Deliver(LPARAM call);

    Lock lock_;
    unique_hwnd window_;  // guarded by lock_
    std::vector<SyncCall*> pending_;
};

}  // namespace platform
