// Target windows of the test's own: a plain top-level window on a thread of its own that
// pumps messages and records every show, hide, move and resize it is given; more windows,
// not recorded, can be made on the same thread (the catalogue's desktop full of windows).
// Every window is shown without activation, so that a test beside it keeps the foreground.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "check.h"
#include "platform/unique_handle.h"

namespace jumptest {

using check::Clock;

struct WindowEvent {
    Clock::time_point time;
    UINT message = 0;    // WM_SHOWWINDOW or WM_WINDOWPOSCHANGED
    bool shown = false;  // WM_SHOWWINDOW: shown (true) or hidden
    UINT flags = 0;      // WM_WINDOWPOSCHANGED: the WINDOWPOS flags
    RECT rect{};         // WM_WINDOWPOSCHANGED: the new window rectangle
    bool visible = false;  // IsWindowVisible as the message is handled
    bool iconic = false;

    bool IsHide() const {
        return (message == WM_SHOWWINDOW && !shown) ||
               (message == WM_WINDOWPOSCHANGED && (flags & SWP_HIDEWINDOW) != 0);
    }
    bool IsShow() const {
        return (message == WM_SHOWWINDOW && shown) ||
               (message == WM_WINDOWPOSCHANGED && (flags & SWP_SHOWWINDOW) != 0);
    }
    bool IsMoveOrSize() const {
        return message == WM_WINDOWPOSCHANGED &&
               (flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE);
    }
};

class TargetWindow {
public:
    struct Options {
        std::wstring title;
        bool minimised = false;
        bool visible = true;
    };

    explicit TargetWindow(Options options);
    ~TargetWindow();
    TargetWindow(const TargetWindow&) = delete;
    TargetWindow& operator=(const TargetWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    DWORD ThreadId() const { return thread_id_; }
    std::wstring Title() const { return options_.title; }

    std::vector<WindowEvent> Events() const;
    std::vector<WindowEvent> EventsSince(Clock::time_point since) const;

    // Destroys the window (WM_CLOSE on its own thread) and waits for it to be gone.
    void Close();
    // The window's thread stops pumping messages for the given time, a message waiting.
    // Returns once it has stopped (or after 5 s).
    void Block(std::chrono::milliseconds time);
    // The next hiding of the window is held for the given time before it returns, so that
    // the test can act between the hiding and the showing of a placement.
    void HoldNextHide(std::chrono::milliseconds time);
    // Every hiding from now on runs a modal message loop for the given time inside its
    // WM_SHOWWINDOW, as a program does that shows a dialog or makes a COM call there: what
    // reaches the window meanwhile is handled inside the hide. 0 ends it.
    void PumpInHides(std::chrono::milliseconds time);
    // Waits until a held or pumping hiding has begun since the last HoldNextHide or
    // PumpInHides; false on timeout.
    bool WaitForHeldHide(std::chrono::milliseconds timeout) const;
    // Returns once the window has worked through every call queued to it before (the jump
    // worker's are queued), or after 5 s.
    void Settle() const { Settle(hwnd_); }
    static void Settle(HWND window);

    // More plain windows on the same thread, not recorded: visible ones go to the top of the
    // z-order.
    HWND Add(const std::wstring& title, bool visible = true);
    // Many small visible windows titled prefix + number, off the screen and with no taskbar
    // buttons, in creation order (the last one on top).
    std::vector<HWND> AddMany(const std::wstring& prefix, int count);
    void Destroy(HWND window);
    // Runs work on the windows' thread and waits for it.
    void Run(const std::function<void()>& work);

private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void Record(const WindowEvent& event);

    Options options_;
    HWND hwnd_ = nullptr;
    DWORD thread_id_ = 0;
    platform::unique_handle thread_;
    platform::unique_handle ready_;
    platform::unique_handle held_;  // set once a held hiding has begun
    platform::unique_handle blocking_;  // set once a block has begun
    std::atomic<DWORD> hold_ms_{0};  // how long the next hiding is held
    std::atomic<DWORD> pump_ms_{0};  // how long every hiding pumps messages

    mutable std::mutex mutex_;
    std::vector<WindowEvent> events_;
};

// One placement of a target as the window saw it: a move or resize that left it visible
// and normal.
struct Moved {
    Clock::time_point time;
    RECT rect;
};
std::vector<Moved> Placements(const std::vector<WindowEvent>& events);

// Waits until the target has been placed count times after since; the placements.
std::vector<Moved> WaitForPlacements(const TargetWindow& target, Clock::time_point since,
                                     std::size_t count, DWORD timeout_ms);

// Whether the target was hidden and not shown again afterwards.
bool LeftHidden(const std::vector<WindowEvent>& events);

// Formats a rectangle as "x,y wxh".
std::string Describe(const RECT& rect);

}  // namespace jumptest
