// jumper.exe as the start and stop tests work it: choose a target in the list, fill in the
// four fields, press the wide button, read its caption and the error box, count threads.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"
#include "target_window.h"

namespace jumptest {

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

class JumperApp {
public:
    // Starts the program from the path CTest passes and waits for its main window.
    explicit JumperApp(const std::string& executable);
    bool Ready() const { return ready_; }
    driver::Program& Program() { return program_; }
    const driver::Program& Program() const { return program_; }
    HWND Control(int id) const { return program_.Control(id); }
    DWORD ProcessId() const { return program_.ProcessId(); }

    std::wstring Caption() const;
    void Refresh() const;  // "Refresh"
    // Refreshes the list, then selects the item with title as the user would; false when
    // the list has no such item.
    bool Select(const std::wstring& title) const;
    // The four fields: Min Width, Min Height, Max Width, Max Height.
    void SetFields(std::wstring_view min_width, std::wstring_view min_height,
                   std::wstring_view max_width, std::wstring_view max_height) const;
    // Presses the wide button and returns when its handler has run.
    void Press() const;
    // Presses the wide button when its handler is expected to fail: the error box's text,
    // after dismissing it, or nothing when no box came.
    std::optional<std::wstring> PressForError() const;
    // Waits until the wide button reads caption; the seconds it took, or nothing on timeout.
    std::optional<double> WaitForCaption(std::wstring_view caption, DWORD timeout_ms) const;
    int Threads() const { return CountThreads(program_.ProcessId()); }
    Usage UsageNow() const { return UsageOf(program_.Process()); }
    // Whether the program shows a dialog box (an error box) on its user-interface thread.
    bool ShowsDialog() const;

private:
    driver::Program program_;
    bool ready_ = false;
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

}  // namespace jumptest
