// A small Win32 driver for the end-to-end tests: starts jumper.exe, finds its window and
// controls, reads and types into them, and makes target windows of its own. Its checks are
// check.h's.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "check.h"

namespace driver {

std::wstring Widen(std::string_view utf8);  // from UTF-8

// ---- Handles ------------------------------------------------------------------------------

struct CloseHandleFn {
    void operator()(HANDLE handle) const noexcept {
        if (handle && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }
};
using unique_handle = std::unique_ptr<void, CloseHandleFn>;

// ---- Waiting and time ---------------------------------------------------------------------

using check::Clock;
double MillisecondsSince(Clock::time_point start);

// Polls condition every few milliseconds until it holds or timeout_ms pass.
bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms);

// ---- Windows of any process ---------------------------------------------------------------

std::wstring WindowText(HWND window);  // WM_GETTEXT, so it also reads other processes' controls
std::wstring ClassName(HWND window);
RECT ClientRect(HWND window);
RECT WindowRect(HWND window);
// The rectangle of a child window in its parent's client coordinates.
RECT RectInParent(HWND child);
int Width(const RECT& rect);
int Height(const RECT& rect);

// The top-level windows, top of the z-order first, optionally only those of one process.
std::vector<HWND> TopLevelWindows(DWORD process_id = 0);

// Sends BM_CLICK and returns when the click's handler has run.
void Click(HWND button);
// Posts BM_CLICK and returns at once, for a handler that may block (a modal box).
void PostClick(HWND button);
// Sends WM_CHAR for each character of text to window, as typing into a focused edit does.
void TypeChars(HWND window, std::wstring_view text);
// Replaces an edit's (or a combo box's) text.
void SetText(HWND window, std::wstring_view text);

// Real keyboard input through the system's input queue (SendInput): one key press and
// release, with the modifiers held around it.
bool PressKey(WORD virtual_key, bool shift = false);
bool TypeText(std::wstring_view text);  // Unicode characters through SendInput
// Brings window to the foreground; true when it is.
bool MakeForeground(HWND window);
// The focused window of the thread that owns window (GetGUIThreadInfo), or null.
HWND FocusOf(HWND window);
HWND ForegroundWindow();

// Combo boxes.
int ComboCount(HWND combo);
int ComboSelection(HWND combo);  // CB_ERR (-1) when nothing is selected
std::wstring ComboItem(HWND combo, int index);
std::vector<std::wstring> ComboItems(HWND combo);
HWND ComboEdit(HWND combo);  // the edit part of an editable combo box
struct Selection {
    DWORD start;
    DWORD end;
};
Selection EditSelection(HWND combo_or_edit);  // CB_GETEDITSEL or EM_GETSEL

// Whether the window's thread answers a message within timeout_ms.
bool Responds(HWND window, UINT timeout_ms = 5000);

// ---- The error message box ----------------------------------------------------------------

struct MessageBoxInfo {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::wstring title;
    std::wstring text;                 // the message's static text
    std::vector<std::wstring> buttons;  // the captions of its buttons
    bool has_icon = false;             // a static showing an icon
};

// Waits for a dialog box (#32770) of the given UI thread and describes it.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD thread_id, DWORD timeout_ms);
// Presses the box's OK (IDOK, or its only button) and waits until it is gone.
bool DismissMessageBox(const MessageBoxInfo& box, DWORD timeout_ms = 5000);

// ---- The program under test ---------------------------------------------------------------

// Turns a Unix path (as CTest passes it) into a Windows path on Wine's Z: drive; a path that
// already looks like a Windows one is kept, with slashes turned round.
std::wstring WindowsPath(const std::string& path);

class Program {
public:
    // Starts the executable; false when CreateProcess fails.
    bool Start(const std::wstring& executable);
    // Waits until the process shows its main window (class TForm1) with at least min_items
    // items in its list. Returns false on timeout or when the process ends first.
    bool WaitForMainWindow(int min_items, DWORD timeout_ms);

    HWND Window() const { return window_; }
    DWORD ProcessId() const { return process_id_; }
    DWORD ThreadId() const { return ui_thread_id_; }
    HANDLE Process() const { return process_.get(); }
    HWND Control(int id) const { return ::GetDlgItem(window_, id); }
    // The time from CreateProcess to the main window shown with its list filled.
    double StartupMilliseconds() const { return startup_ms_; }

    // Whether the process is still running.
    bool Running() const;
    // Posts WM_CLOSE to the main window.
    void Close() const;
    // Waits for the process to end; its exit code, or nothing on timeout.
    std::optional<DWORD> WaitForExit(DWORD timeout_ms) const;
    // Loads the probe DLL (window_probe.dll) into the process and returns the text it reports
    // about the main window's DPI, icons and its controls' fonts, which only the window's own
    // process can read. The probe first carries out request, if there is one (see
    // window_probe.cpp).
    std::optional<std::wstring> ReadInProcess(const std::wstring& probe_dll,
                                              const std::wstring& request = L"",
                                              DWORD timeout_ms = 10000) const;
    // Ends the process if it still runs (for a test that gives up).
    void Kill();
    ~Program();

private:
    unique_handle process_;
    unique_handle thread_;
    DWORD process_id_ = 0;
    DWORD ui_thread_id_ = 0;
    HWND window_ = nullptr;
    Clock::time_point started_{};
    double startup_ms_ = 0;
};

// The lines of a probe report by their first two words ("icon big", "font 201"), each
// holding the rest of its line.
std::map<std::wstring, std::wstring> ParseProbeReport(const std::wstring& report);

// Makes the driver per-monitor DPI aware, so that it reads and sets every window's
// rectangle in real pixels whatever the DPI; false where the system cannot.
bool MakeDpiAware();

// ---- Target windows of the driver's own ---------------------------------------------------

// A thread of the driver that owns top-level windows and pumps their messages, so that they
// answer other processes (GetWindowText of another process's window sends it WM_GETTEXT).
class TargetWindows {
public:
    TargetWindows();
    ~TargetWindows();  // destroys the windows and ends the thread
    TargetWindows(const TargetWindows&) = delete;
    TargetWindows& operator=(const TargetWindows&) = delete;

    // A plain top-level window with the title; visible ones are shown without activation
    // and go to the top of the z-order.
    HWND Create(const std::wstring& title, bool visible = true);
    // Many small windows titled prefix + number (first, first+1, ...), visible, no taskbar
    // buttons. Returns them in creation order (the last one is on top).
    std::vector<HWND> CreateMany(const std::wstring& prefix, int count, int first = 0);
    void Destroy(HWND window);
    void DestroyAll();
    // Puts window at the top of the z-order without activating it.
    void BringToTop(HWND window);
    // Runs work on the windows' thread and waits for it.
    void Run(const std::function<void()>& work);
    std::size_t Count() const { return windows_.size(); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void Loop();

    std::thread thread_;
    HWND control_ = nullptr;  // message-only window that runs work on the thread
    std::vector<HWND> windows_;
    unique_handle ready_;
};

}  // namespace driver
