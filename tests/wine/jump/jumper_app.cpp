#include "jumper_app.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "ui/form1_layout.h"  // the control identifiers

namespace jumptest {

int CountThreads(DWORD process_id) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == process_id) ++count;
        entry.dwSize = sizeof(entry);
    }
    ::CloseHandle(snapshot);
    return count;
}

namespace {

// The process's entries in the system's handle table (SystemExtendedHandleInformation), for
// where GetProcessHandleCount reports none, as Wine's does. 0 when the table cannot be read.
int HandlesInSystemTable(DWORD process_id) {
    struct Entry {
        void* object;
        ULONG_PTR process_id;
        ULONG_PTR handle;
        ULONG access;
        USHORT creator_back_trace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<ULONG_PTR> buffer(1 << 16);  // aligned for the table's entries
    LONG status = 0;
    for (;;) {
        ULONG length = 0;
        status = query(kExtendedHandleInformation, buffer.data(),
                       static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)), &length);
        if (status != kInfoLengthMismatch || buffer.size() >= (1u << 24)) break;
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return 0;
    const auto* const table = reinterpret_cast<const Table*>(buffer.data());
    int count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) {
        if (table->entries[i].process_id == process_id) ++count;
    }
    return count;
}

}  // namespace

Usage UsageOf(HANDLE process) {
    Usage usage;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof(memory))) {
        // The two are the same commit charge; Wine fills in only the older one.
        usage.private_bytes = static_cast<double>(
            memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage);
    }
    DWORD handles = 0;
    if (::GetProcessHandleCount(process, &handles) && handles != 0) {
        usage.handles = handles;
    } else {
        usage.handles = HandlesInSystemTable(::GetProcessId(process));
    }
    usage.gdi_objects = ::GetGuiResources(process, GR_GDIOBJECTS);
    usage.user_objects = ::GetGuiResources(process, GR_USEROBJECTS);
    return usage;
}

void PrintUsage(const char* what, const Usage& usage) {
    const std::string prefix(what);
    check::Figure((prefix + "_private_bytes").c_str(), usage.private_bytes);
    check::Figure((prefix + "_handles").c_str(), usage.handles);
    check::Figure((prefix + "_gdi_objects").c_str(), usage.gdi_objects);
    check::Figure((prefix + "_user_objects").c_str(), usage.user_objects);
}

JumperApp::JumperApp(const std::string& executable) {
    ready_ = program_.Start(driver::WindowsPath(executable)) &&
             program_.WaitForMainWindow(1, 30000);
}

bool JumperApp::ShowsDialog() const {
    return driver::WaitForMessageBox(program_.ThreadId(), 0).has_value();
}

std::wstring JumperApp::Caption() const {
    return driver::WindowText(program_.Control(ui::IdButton2));
}

void JumperApp::Refresh() const { driver::Click(program_.Control(ui::IdButton1)); }

bool JumperApp::Select(const std::wstring& title) const {
    Refresh();
    const HWND combo = program_.Control(ui::IdComboBox1);
    const std::vector<std::wstring> items = driver::ComboItems(combo);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] != title) continue;
        ::SendMessageW(combo, CB_SETCURSEL, i, 0);
        ::SendMessageW(program_.Window(), WM_COMMAND,
                       MAKEWPARAM(ui::IdComboBox1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        return driver::ComboSelection(combo) == static_cast<int>(i);
    }
    return false;
}

void JumperApp::SetFields(std::wstring_view min_width, std::wstring_view min_height,
                          std::wstring_view max_width, std::wstring_view max_height) const {
    driver::SetText(program_.Control(ui::IdEdit1), min_width);
    driver::SetText(program_.Control(ui::IdEdit2), min_height);
    driver::SetText(program_.Control(ui::IdEdit3), max_width);
    driver::SetText(program_.Control(ui::IdEdit4), max_height);
}

void JumperApp::Press() const { driver::Click(program_.Control(ui::IdButton2)); }

std::optional<std::wstring> JumperApp::PressForError() const {
    driver::PostClick(program_.Control(ui::IdButton2));
    const auto box = driver::WaitForMessageBox(program_.ThreadId(), 5000);
    if (!box) return std::nullopt;
    driver::DismissMessageBox(*box);
    return box->text;
}

std::optional<double> JumperApp::WaitForCaption(std::wstring_view caption,
                                                DWORD timeout_ms) const {
    const auto start = Clock::now();
    if (!driver::WaitFor([&] { return Caption() == caption; }, timeout_ms)) return std::nullopt;
    return check::Seconds(start, Clock::now());
}

std::vector<Moved> Placements(const std::vector<WindowEvent>& events) {
    std::vector<Moved> moved;
    for (const WindowEvent& event : events) {
        if (event.IsMoveOrSize() && event.visible && !event.iconic) {
            moved.push_back({event.time, event.rect});
        }
    }
    return moved;
}

std::vector<Moved> WaitForPlacements(const TargetWindow& target, Clock::time_point since,
                                     std::size_t count, DWORD timeout_ms) {
    std::vector<Moved> moved;
    driver::WaitFor(
        [&] {
            moved = Placements(target.EventsSince(since));
            return moved.size() >= count;
        },
        timeout_ms);
    return moved;
}

bool LeftHidden(const std::vector<WindowEvent>& events) {
    bool hidden = false;
    for (const WindowEvent& event : events) {
        if (event.IsHide()) hidden = true;
        if (event.IsShow() && event.visible) hidden = false;
    }
    return hidden;
}

}  // namespace jumptest
