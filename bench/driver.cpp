// The bench driver: a console program that runs under Wine beside jumper.exe and the minimal
// program, works them from outside and prints what it measures as lines of
// "figure program value" for scripts/bench.sh to gather:
//
//   driver startup JUMPER MINIMAL RUNS      start-up time and memory, RUNS of each, interleaved
//   driver refresh JUMPER MINIMAL WINDOWS REPS  a synchronous Refresh with WINDOWS windows of
//                                           ours, against the bare enumeration of them and
//                                           against what the catalogue asks of each
//   driver cpu JUMPER MINIMAL SECONDS       CPU time idle and while jumping one of our windows
//   driver enumerate                        (internal) the enumeration, timed in a process
//                                           that owns none of the windows: once for each byte
//                                           read from stdin (which calls, see Calls), writing
//                                           the milliseconds (a double) to stdout
#include <windows.h>

#include <dwmapi.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ui/form1_layout.h"  // the controls' identifiers

namespace {

constexpr DWORD kTimeoutMs = 30000;

double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1000.0 / frequency;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Print(const char* figure, const char* program, double value) {
    std::printf("%s %s %.4f\n", figure, program, value);
    std::fflush(stdout);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "driver: %s (error %lu)\n", what, ::GetLastError());
    std::fflush(stderr);
    std::exit(2);
}

// Handles the messages that our own windows get (the jump target is moved by another
// process, which posts to us) for up to milliseconds.
void Pump(double milliseconds) {
    const double end = NowMs() + milliseconds;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        const double left = end - NowMs();
        if (left <= 0) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    }
}

// --- our own windows: the ones the catalogue lists, and the jump target ----------------------

int placements = 0;  // size or position changes of the jump target

LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_WINDOWPOSCHANGED) {
        const auto* position = reinterpret_cast<const WINDOWPOS*>(lparam);
        if ((position->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
            ++placements;
        }
    }
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void RegisterOwnClass() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &OwnWindowProc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = L"BenchOwnWindow";
    if (!::RegisterClassExW(&window_class)) Fail("cannot register the window class");
}

// Small, visible, titled popups that take no activation: what the catalogue lists.
std::vector<HWND> CreateListedWindows(int count) {
    std::vector<HWND> windows;
    windows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        wchar_t title[32];
        std::swprintf(title, 32, L"Bench window %05d", i);
        const HWND window = ::CreateWindowExW(
            WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"BenchOwnWindow", title, WS_POPUP,
            (i * 7) % 600, (i * 5) % 400, 8, 8, nullptr, nullptr, ::GetModuleHandleW(nullptr),
            nullptr);
        if (!window) Fail("cannot create a listed window");
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        windows.push_back(window);
    }
    Pump(50);
    return windows;
}

// --- the enumeration, as the catalogue does it -----------------------------------------------

// What is asked about each window: the bare enumeration's three calls, or those and what the
// catalogue also asks about each window that passes them, in its order: whether the window
// manager keeps it off the screen (cloaked), then who owns it.
enum class Calls : char { kBare = 1, kCloaked, kCloakedOwner };

// DwmGetWindowAttribute as jumper.exe reaches it (src/platform/win32.cpp): dwmapi.dll loaded
// from System32 on first use and the function looked up, null where there is none.
bool IsCloaked(HWND window) {
    using GetWindowAttributeFn = decltype(&::DwmGetWindowAttribute);
    static const GetWindowAttributeFn get_window_attribute = [] {
        const HMODULE module =
            ::LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return module ? reinterpret_cast<GetWindowAttributeFn>(reinterpret_cast<void (*)()>(
                            ::GetProcAddress(module, "DwmGetWindowAttribute")))
                      : nullptr;
    }();
    DWORD cloaked = 0;
    return get_window_attribute &&
           SUCCEEDED(get_window_attribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) &&
           cloaked != 0;
}

struct Counting {
    Calls calls;
    int listed;
};

BOOL CALLBACK CountListed(HWND window, LPARAM param) {
    auto& counting = *reinterpret_cast<Counting*>(param);
    char title[255] = {};
    ::GetWindowTextA(window, title, static_cast<int>(sizeof title));
    if (strnlen(title, sizeof title) <= 2 || !::IsWindowVisible(window)) return TRUE;
    if (counting.calls != Calls::kBare && IsCloaked(window)) return TRUE;
    if (counting.calls == Calls::kCloakedOwner) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
    }
    ++counting.listed;
    return TRUE;
}

double TimeEnumeration(Calls calls, int* listed) {
    Counting counting{calls, 0};
    const double start = NowMs();
    ::EnumWindows(&CountListed, reinterpret_cast<LPARAM>(&counting));
    const double elapsed = NowMs() - start;
    if (listed) *listed = counting.listed;
    return elapsed;
}

// --- the programs under test ------------------------------------------------------------------

struct Program {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

std::wstring Widen(const char* text) {
    std::wstring wide(std::strlen(text), L'\0');
    wide.resize(std::mbstowcs(wide.data(), text, wide.size()));
    return wide;
}

Program Launch(const std::wstring& executable, const std::wstring& arguments = L"") {
    Program program;
    std::wstring command = L"\"" + executable + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!::CreateProcessW(executable.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &program.process)) {
        Fail("cannot start a program");
    }
    return program;
}

struct FindMain {
    DWORD process_id;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<FindMain*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search.process_id && ::GetDlgItem(window, ui::IdComboBox1)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

int ItemCount(HWND window) {
    return static_cast<int>(::SendMessageW(::GetDlgItem(window, ui::IdComboBox1), CB_GETCOUNT, 0, 0));
}

// Waits until the program's main window is visible with at least min_items in its list;
// returns the milliseconds from start, the moment before the process was created.
double WaitUntilReady(Program& program, int min_items, double start) {
    ::WaitForInputIdle(program.process.hProcess, kTimeoutMs);
    for (;;) {
        if (!program.window) {
            FindMain search{program.process.dwProcessId, nullptr};
            ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&search));
            program.window = search.found;
        }
        if (program.window && ::IsWindowVisible(program.window) &&
            ItemCount(program.window) >= min_items) {
            return NowMs() - start;
        }
        if (NowMs() - start > kTimeoutMs) Fail("the program did not become ready");
        Pump(1);
    }
}

void Close(Program& program) {
    if (program.window) ::PostMessageW(program.window, WM_CLOSE, 0, 0);
    const double start = NowMs();
    while (::WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT) {
        if (NowMs() - start > 10000) {
            ::TerminateProcess(program.process.hProcess, 1);
            break;
        }
        Pump(5);
    }
    ::CloseHandle(program.process.hThread);
    ::CloseHandle(program.process.hProcess);
    program = Program{};
}

double CpuMs(const Program& program) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(program.process.hProcess, &created, &exited, &kernel, &user)) {
        Fail("GetProcessTimes");
    }
    const auto ticks = [](FILETIME time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

HWND Control(const Program& program, int id) { return ::GetDlgItem(program.window, id); }

void Click(const Program& program, int id) {
    ::SendMessageW(Control(program, id), BM_CLICK, 0, 0);
}

// --- the figures ------------------------------------------------------------------------------

int Startup(const std::wstring& jumper, const std::wstring& minimal, int runs) {
    RegisterOwnClass();
    const int listed = 50;  // so that the jumper's list has something to fill it
    const auto windows = CreateListedWindows(listed);
    struct Subject {
        const char* name;
        const std::wstring* executable;
        int min_items;
    } subjects[] = {{"jumper", &jumper, listed}, {"minimal", &minimal, 3}};

    for (int run = -1; run < runs; ++run) {  // run -1 warms the caches and is not reported
        for (int k = 0; k < 2; ++k) {
            const Subject& subject = subjects[(run + k + 2) % 2];  // alternate who goes first
            const double start = NowMs();
            Program program = Launch(*subject.executable);
            const double ready = WaitUntilReady(program, subject.min_items, start);
            Pump(500);  // let it settle before reading its memory
            PROCESS_MEMORY_COUNTERS_EX memory{};
            memory.cb = sizeof(memory);
            if (!::GetProcessMemoryInfo(program.process.hProcess,
                                        reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                        sizeof(memory))) {
                Fail("GetProcessMemoryInfo");
            }
            if (run >= 0) {
                Print("startup_ms", subject.name, ready);
                Print("working_set_kib", subject.name, static_cast<double>(memory.WorkingSetSize) / 1024);
                // Wine reports no PrivateUsage for another process; its PagefileUsage is the
                // process's anonymous memory (resident and swapped), which is what Windows
                // counts as private bytes too.
                const SIZE_T private_bytes =
                    memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
                Print("private_kib", subject.name, static_cast<double>(private_bytes) / 1024);
            }
            Close(program);
        }
    }
    return 0;
}

// A process that owns none of the windows, as jumper.exe is, and enumerates them on request.
// It stays running, so that each enumeration is timed warm and right after the Refresh it is
// compared with: both see the same load on a shared machine.
class OtherProcess {
public:
    explicit OtherProcess(const std::wstring& self) {
        SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
        HANDLE child_in = nullptr;
        HANDLE child_out = nullptr;
        if (!::CreatePipe(&child_in, &to_child_, &inheritable, 0) ||
            !::CreatePipe(&from_child_, &child_out, &inheritable, 0)) {
            Fail("cannot make the pipes");
        }
        ::SetHandleInformation(to_child_, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(from_child_, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = L"\"" + self + L"\" enumerate";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = child_in;
        startup.hStdOutput = child_out;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        if (!::CreateProcessW(self.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              nullptr, &startup, &process_)) {
            Fail("cannot start the enumerating process");
        }
        ::CloseHandle(child_in);
        ::CloseHandle(child_out);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    ~OtherProcess() {
        ::CloseHandle(to_child_);  // the end of its input ends it
        ::WaitForSingleObject(process_.hProcess, kTimeoutMs);
        ::CloseHandle(from_child_);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }

    double TimeEnumeration(Calls calls) {
        const char request = static_cast<char>(calls);
        DWORD done = 0;
        double milliseconds = 0;
        if (!::WriteFile(to_child_, &request, 1, &done, nullptr) ||
            !::ReadFile(from_child_, &milliseconds, sizeof(milliseconds), &done, nullptr) ||
            done != sizeof(milliseconds)) {
            Fail("the enumerating process did not answer");
        }
        return milliseconds;
    }

private:
    HANDLE to_child_ = nullptr;
    HANDLE from_child_ = nullptr;
    PROCESS_INFORMATION process_{};
};

int Refresh(const std::wstring& jumper, const std::wstring& minimal, const std::wstring& self,
            int count, int reps) {
    RegisterOwnClass();
    const auto windows = CreateListedWindows(count);
    int listed = 0;
    TimeEnumeration(Calls::kBare, &listed);
    if (listed < count) Fail("the windows are not all listed");

    Program program = Launch(jumper);
    WaitUntilReady(program, count, NowMs());
    OtherProcess other(self);
    std::vector<double> clicks, raw, from_other, other_cloaked, other_owner;
    for (int rep = -1; rep < reps; ++rep) {  // rep -1 warms up
        const double start = NowMs();
        Click(program, ui::IdButton1);
        const double click = NowMs() - start;
        if (ItemCount(program.window) < count) Fail("the refresh did not list the windows");
        const double bare = TimeEnumeration(Calls::kBare, nullptr);
        const double other_bare = other.TimeEnumeration(Calls::kBare);
        const double cloaked = other.TimeEnumeration(Calls::kCloaked);
        const double owner = other.TimeEnumeration(Calls::kCloakedOwner);
        if (rep >= 0) {
            clicks.push_back(click);
            raw.push_back(bare);
            from_other.push_back(other_bare);
            other_cloaked.push_back(cloaked);
            other_owner.push_back(owner);
        }
    }
    // What a synchronous click costs by itself: the minimal program's button does nothing.
    Program baseline = Launch(minimal);
    WaitUntilReady(baseline, 3, NowMs());
    std::vector<double> idle_clicks;
    for (int rep = -1; rep < reps; ++rep) {
        const double start = NowMs();
        Click(baseline, ui::IdButton1);
        if (rep >= 0) idle_clicks.push_back(NowMs() - start);
    }
    Close(baseline);

    // Filling a drop-down list of our own with as many titles, the other half of a Refresh.
    const HWND parent = ::CreateWindowExW(0, L"BenchOwnWindow", L"", WS_OVERLAPPED, 0, 0, 300,
                                          200, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                          nullptr);
    const HWND list = ::CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN |
                                        CBS_AUTOHSCROLL | WS_VSCROLL, 0, 0, 267, 21, parent,
                                        nullptr, ::GetModuleHandleW(nullptr), nullptr);
    std::vector<double> fills;
    for (int rep = -1; rep < reps; ++rep) {
        const double start = NowMs();
        ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < count; ++i) {
            char title[32];
            std::snprintf(title, sizeof title, "Bench window %05d", i);
            wchar_t text[32];
            ::MultiByteToWideChar(CP_ACP, 0, title, -1, text, 32);
            ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
        if (rep >= 0) fills.push_back(NowMs() - start);
    }
    ::DestroyWindow(parent);

    const std::string suffix = std::to_string(count);
    Print(("refresh_ms_" + suffix).c_str(), "jumper", Median(clicks));
    Print(("refresh_ms_" + suffix).c_str(), "raw", Median(raw));
    Print(("refresh_ms_" + suffix).c_str(), "raw_other_process", Median(from_other));
    Print(("refresh_ms_" + suffix).c_str(), "other_cloaked", Median(other_cloaked));
    Print(("refresh_ms_" + suffix).c_str(), "other_cloaked_owner", Median(other_owner));
    Print(("refresh_ms_" + suffix).c_str(), "click_minimal", Median(idle_clicks));
    Print(("refresh_ms_" + suffix).c_str(), "fill_list", Median(fills));
    Print(("refresh_ms_" + suffix).c_str(), "other_cloaked_owner_fill",
          Median(other_owner) + Median(fills));
    Print(("refresh_items_" + suffix).c_str(), "jumper", ItemCount(program.window));
    Close(program);
    return 0;
}

int Enumerate() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    TimeEnumeration(Calls::kCloakedOwner, nullptr);  // warms up, loads dwmapi.dll
    char request = 0;
    DWORD done = 0;
    while (::ReadFile(in, &request, 1, &done, nullptr) && done == 1) {
        const double milliseconds = TimeEnumeration(static_cast<Calls>(request), nullptr);
        if (!::WriteFile(out, &milliseconds, sizeof(milliseconds), &done, nullptr)) return 1;
    }
    return 0;
}

int Cpu(const std::wstring& jumper, const std::wstring& minimal, int seconds) {
    RegisterOwnClass();
    const wchar_t* title = L"Bench jump target";
    const HWND target = ::CreateWindowExW(0, L"BenchOwnWindow", title, WS_OVERLAPPEDWINDOW, 50, 50,
                                          200, 150, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                          nullptr);
    if (!target) Fail("cannot create the jump target");
    ::ShowWindow(target, SW_SHOWNORMAL);
    Pump(100);

    Program program = Launch(jumper);
    WaitUntilReady(program, 1, NowMs());
    Program baseline = Launch(minimal);
    WaitUntilReady(baseline, 3, NowMs());
    Pump(2000);
    Print("cpu_seconds", "bench", seconds);

    double jumper_before = CpuMs(program);
    double baseline_before = CpuMs(baseline);
    Pump(seconds * 1000.0);
    Print("cpu_idle_ms", "jumper", CpuMs(program) - jumper_before);
    Print("cpu_idle_ms", "minimal", CpuMs(baseline) - baseline_before);

    Click(program, ui::IdButton1);
    const HWND combo = Control(program, ui::IdComboBox1);
    const LRESULT index =
        ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(title));
    if (index == CB_ERR) Fail("the jump target is not in the list");
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Click(program, ui::IdButton2);
    Pump(200);

    placements = 0;
    jumper_before = CpuMs(program);
    baseline_before = CpuMs(baseline);
    Pump(seconds * 1000.0);
    Print("cpu_jumping_ms", "jumper", CpuMs(program) - jumper_before);
    Print("cpu_jumping_ms", "minimal", CpuMs(baseline) - baseline_before);
    Print("placements", "jumper", placements);
    if (placements == 0) Fail("the target did not move");

    Click(program, ui::IdButton2);  // Stop
    Close(program);
    Close(baseline);
    ::DestroyWindow(target);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (mode == "startup" && argc == 5) return Startup(Widen(argv[2]), Widen(argv[3]), std::atoi(argv[4]));
    if (mode == "refresh" && argc == 6) {
        return Refresh(Widen(argv[2]), Widen(argv[3]), self, std::atoi(argv[4]), std::atoi(argv[5]));
    }
    if (mode == "cpu" && argc == 5) return Cpu(Widen(argv[2]), Widen(argv[3]), std::atoi(argv[4]));
    if (mode == "enumerate" && argc == 2) return Enumerate();
    std::fprintf(stderr, "usage: driver startup|refresh|cpu ... (see driver.cpp)\n");
    return 2;
}
