// A small Win32 driver for the end-to-end tests: starts jumper.exe, finds its window and
// controls, reads and types into them, and runs a test's session with it. Its checks are
// check.h's; target windows are target_window.h's.
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
#include "platform/unique_handle.h"

namespace driver {

std::wstring Widen(std::string_view utf8);  // from UTF-8

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

// Combo boxes.
int ComboCount(HWND combo);
int ComboSelection(HWND combo);  // CB_ERR (-1) when nothing is selected
std::wstring ComboItem(HWND combo, int index);
std::vector<std::wstring> ComboItems(HWND combo);
// The index of the first item that is title, or -1.
int IndexOf(const std::vector<std::wstring>& items, const std::wstring& title);
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

// The threads of a process, counted in a system snapshot.
int CountThreads(DWORD process_id);

// What a process holds: private bytes, kernel handles, GDI and USER objects. A figure the
// system does not report is 0 (Wine reports no GDI or USER objects).
struct Usage {
    double private_bytes = 0;
    double handles = 0;
    double gdi_objects = 0;
    double user_objects = 0;
};
Usage UsageOf(HANDLE process);
// Prints the usage as figures named <what>_private_bytes, <what>_handles, and so on.
void PrintUsage(const char* what, const Usage& usage);

// jumper.exe, worked from outside as the user would.
class Program {
public:
    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();  // ends the process if it still runs

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

    // The wide button's caption, and whether it reads caption (out of line: GCC 14 and 16
    // warn wrongly about a temporary caption compared in place with a constant one).
    std::wstring Caption() const;
    bool CaptionIs(std::wstring_view caption) const;
    void Refresh() const;  // "Refresh"
    // Refreshes the list, then selects the item with title as the user would; false when
    // the list has no such item.
    bool Select(const std::wstring& title) const;
    // The four fields: Min Width, Min Height, Max Width, Max Height.
    void SetFields(std::wstring_view min_width, std::wstring_view min_height,
                   std::wstring_view max_width, std::wstring_view max_height) const;
    // Presses the wide button and returns when its handler has run.
    void Press() const;
    // Presses the wide button when its handler is expected to fail: the error box, after
    // dismissing it, or nothing when no box came within timeout_ms.
    std::optional<MessageBoxInfo> PressForError(DWORD timeout_ms = 5000) const;
    // Waits until the wide button reads caption; the seconds it took, or nothing on timeout.
    std::optional<double> WaitForCaption(std::wstring_view caption, DWORD timeout_ms) const;
    int Threads() const { return CountThreads(process_id_); }
    // Waits until the process has at most limit threads; the count it ended with.
    int WaitForThreads(int limit, DWORD timeout_ms) const;
    // Returns once the user-interface thread has handled every message posted to it before
    // (PostClick's presses); false on timeout.
    bool WaitForPosted(DWORD timeout_ms = 10000) const;
    Usage UsageNow() const { return UsageOf(process_.get()); }
    // Whether the program shows a dialog box (an error box) on its user-interface thread.
    bool ShowsDialog() const;

    // Whether the process is still running.
    bool Running() const;
    // Closes the main window and checks that the process ends within timeout_ms with exit
    // code 0 (a crash otherwise); the seconds it took, or nothing when it failed. Only the
    // first call closes and checks: later ones return its result.
    std::optional<double> CloseAndCheckExit(DWORD timeout_ms = 15000);
    // Loads the probe DLL (window_probe.dll) into the process and returns the text it reports
    // about the main window's DPI, icons and its controls' fonts, which only the window's own
    // process can read. The probe first carries out request, if there is one (see
    // window_probe.cpp).
    std::optional<std::wstring> ReadInProcess(const std::wstring& probe_dll,
                                              const std::wstring& request = L"",
                                              DWORD timeout_ms = 10000) const;
    // Ends the process if it still runs (for a test that gives up).
    void Kill();

private:
    platform::unique_handle process_;
    platform::unique_handle thread_;
    DWORD process_id_ = 0;
    DWORD ui_thread_id_ = 0;
    HWND window_ = nullptr;
    Clock::time_point started_{};
    double startup_ms_ = 0;
    std::optional<std::optional<double>> closed_;  // CloseAndCheckExit's result, once called
};

// Starts executable, waits for its main window with at least min_items listed, runs body,
// then closes the program and checks its exit code 0. False when it did not start.
bool RunProgram(const std::wstring& executable, const std::function<void(Program&)>& body,
                int min_items = 1);
// A test's whole session with jumper.exe (the path CTest passes): RunProgram, then the
// report under name; the exit code for main.
int Session(const char* name, const std::string& executable,
            const std::function<void(Program&)>& body, int min_items = 1);

// The lines of a probe report by their first two words ("icon big", "font 201"), each
// holding the rest of its line.
std::map<std::wstring, std::wstring> ParseProbeReport(const std::wstring& report);

// Makes the driver per-monitor DPI aware, so that it reads and sets every window's
// rectangle in real pixels whatever the DPI; false where the system cannot.
bool MakeDpiAware();

}  // namespace driver
