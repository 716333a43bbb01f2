// The window-system and kernel calls that the catalogue and the worker make, as one
// interface: Win32Desktop implements it over user32, the tests over a simulated desktop.
// The names and argument values are Win32's own.
#pragma once

#include <cstdint>

namespace platform {

// A top-level window's handle as the program keeps it: 32 bits, 0 meaning none.
// 64-bit Windows keeps window handles in 32 bits and widens them by sign extension.
using WindowHandle = std::uint32_t;

// Who made a window: its thread and process. A handle is an index with a 16-bit reuse count,
// so a program that keeps making windows can bring a closed window's value back for another
// window; the owner tells the two apart. Both zero for a handle that names no window.
struct WindowOwner {
    std::uint32_t thread = 0;
    std::uint32_t process = 0;
    friend bool operator==(const WindowOwner&, const WindowOwner&) = default;
};

// Called from inside the window system, which no error may cross.
using EnumWindowsCallback = bool (*)(WindowHandle window, std::intptr_t context) noexcept;

inline constexpr int kSwHide = 0;                     // SW_HIDE
inline constexpr int kSwShowNormal = 1;               // SW_SHOWNORMAL
inline constexpr int kSwShowNa = 8;                   // SW_SHOWNA
inline constexpr WindowHandle kHwndTop = 0;           // HWND_TOP
inline constexpr unsigned kSwpShowWindow = 0x0040;    // SWP_SHOWWINDOW
inline constexpr int kSmCxScreen = 0;                 // SM_CXSCREEN
inline constexpr int kSmCyScreen = 1;                 // SM_CYSCREEN
inline constexpr unsigned kCpUtf8 = 65001;            // CP_UTF8
inline constexpr unsigned kDwmwaCloaked = 14;         // DWMWA_CLOAKED

class Desktop {
public:
    virtual ~Desktop() = default;

    // Window catalogue.
    // Calls callback for each top-level window, top of the z-order first, until it returns false.
    virtual void EnumWindows(EnumWindowsCallback callback, std::intptr_t context) = 0;
    // Copies at most capacity - 1 bytes of the ANSI title and a terminator; returns the length.
    virtual int GetWindowTextA(WindowHandle window, char* buffer, int capacity) = 0;
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // The process's ANSI code page: the one the 8-bit titles are in.
    virtual unsigned GetACP() = 0;
    // The window manager's answer about a window, an HRESULT: negative where it cannot be
    // asked (no window manager, or an attribute the system does not have).
    virtual std::int32_t DwmGetWindowAttribute(WindowHandle window, unsigned attribute,
                                               void* value, unsigned size) = 0;
    // GetWindowThreadProcessId: both zero when the handle names no window.
    virtual WindowOwner GetWindowOwner(WindowHandle window) = 0;

    // Jump worker. ShowWindow and SetWindowPos wait for a window of another thread to carry
    // them out; IsHungAppWindow never waits: whether the system finds the window's thread not
    // answering (no message taken for five seconds).
    virtual bool IsHungAppWindow(WindowHandle window) = 0;
    virtual void ShowWindow(WindowHandle window, int command) = 0;
    virtual void SetWindowPos(WindowHandle window, WindowHandle insert_after, int x, int y,
                              int width, int height, unsigned flags) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;

    // The end of the process. ShowWindowAsync queues the call to the window's own thread and
    // returns at once. TerminateThread ends a thread of this process and waits for its end;
    // WaitToBeEnded waits for that on the calling thread, in a wait of the system's own.
    virtual std::uint32_t GetCurrentThreadId() = 0;
    virtual void TerminateThread(std::uint32_t thread_id) = 0;
    virtual void WaitToBeEnded() = 0;
    virtual void ShowWindowAsync(WindowHandle window, int command) = 0;

protected:
    Desktop() = default;
    Desktop(const Desktop&) = default;
    Desktop& operator=(const Desktop&) = default;
};

}  // namespace platform
