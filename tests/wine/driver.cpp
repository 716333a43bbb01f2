#include "driver.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include <psapi.h>
#include <tlhelp32.h>

#include "ui/form1_layout.h"  // the control identifiers only

namespace driver {

// ---- Text ---------------------------------------------------------------------------------

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(),
                          size);
    return result;
}

// ---- Waiting and time ---------------------------------------------------------------------

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        ::Sleep(10);
    }
}

// ---- Windows of any process ---------------------------------------------------------------

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

RECT ClientRect(HWND window) {
    RECT rect{};
    ::GetClientRect(window, &rect);
    return rect;
}

RECT WindowRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

RECT RectInParent(HWND child) {
    RECT rect = WindowRect(child);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

std::vector<HWND> TopLevelWindows(DWORD process_id) {
    struct Context {
        DWORD process_id;
        std::vector<HWND> windows;
    } context{process_id, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) CALLBACK -> BOOL {
            auto& found = *reinterpret_cast<Context*>(param);
            DWORD owner_process = 0;
            ::GetWindowThreadProcessId(window, &owner_process);
            if (found.process_id == 0 || owner_process == found.process_id) {
                found.windows.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
    return context.windows;
}

void Click(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }

void PostClick(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

void TypeChars(HWND window, std::wstring_view text) {
    for (const wchar_t c : text) ::SendMessageW(window, WM_CHAR, c, 1);
}

void SetText(HWND window, std::wstring_view text) {
    const std::wstring copy(text);
    ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

namespace {

INPUT KeyInput(WORD virtual_key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

bool Send(std::vector<INPUT>& inputs) {
    const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    ::Sleep(50);  // let the target's thread take the input from its queue
    return sent == inputs.size();
}

}  // namespace

bool PressKey(WORD virtual_key, bool shift) {
    std::vector<INPUT> inputs;
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(virtual_key, false));
    inputs.push_back(KeyInput(virtual_key, true));
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
    return Send(inputs);
}

bool TypeText(std::wstring_view text) {
    std::vector<INPUT> inputs;
    for (const wchar_t c : text) {
        for (const bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    return Send(inputs);
}

bool MakeForeground(HWND window) {
    return WaitFor(
        [&] {
            if (::GetForegroundWindow() == window) return true;
            ::SetForegroundWindow(window);
            return false;
        },
        3000);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}


int ComboCount(HWND combo) { return static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0)); }

int ComboSelection(HWND combo) {
    return static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

std::wstring ComboItem(HWND combo, int index) {
    const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    const int count = ComboCount(combo);
    for (int i = 0; i < count; ++i) items.push_back(ComboItem(combo, i));
    return items;
}

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& title) {
    const auto found = std::find(items.begin(), items.end(), title);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

HWND ComboEdit(HWND combo) { return ::FindWindowExW(combo, nullptr, L"Edit", nullptr); }

Selection EditSelection(HWND window) {
    // The packed result, so that no pointer has to cross into the other process.
    const UINT message = ClassName(window) == L"ComboBox" ? CB_GETEDITSEL : EM_GETSEL;
    const auto packed = static_cast<DWORD>(::SendMessageW(window, message, 0, 0));
    return {LOWORD(packed), HIWORD(packed)};
}

bool Responds(HWND window, UINT timeout_ms) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &result) !=
           0;
}

// ---- The error message box ----------------------------------------------------------------

namespace {

HWND FindDialog(DWORD thread_id) {
    for (const HWND window : TopLevelWindows()) {
        if (::GetWindowThreadProcessId(window, nullptr) == thread_id &&
            ClassName(window) == L"#32770" && ::IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD thread_id, DWORD timeout_ms) {
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FindDialog(thread_id)) != nullptr; }, timeout_ms)) {
        return std::nullopt;
    }
    MessageBoxInfo box;
    box.window = dialog;
    box.owner = ::GetWindow(dialog, GW_OWNER);
    box.title = WindowText(dialog);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        const std::wstring name = ClassName(child);
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE));
        if (name == L"Button") {
            box.buttons.push_back(WindowText(child));
        } else if (name == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            box.has_icon = true;
        } else if (name == L"Static") {
            const std::wstring text = WindowText(child);
            if (!text.empty()) box.text = text;
        }
    }
    return box;
}

bool DismissMessageBox(const MessageBoxInfo& box, DWORD timeout_ms) {
    HWND button = ::GetDlgItem(box.window, IDOK);
    if (!button) button = ::FindWindowExW(box.window, nullptr, L"Button", nullptr);
    ::PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
    return WaitFor([&] { return !::IsWindow(box.window); }, timeout_ms);
}

// ---- The program under test ---------------------------------------------------------------

int CountThreads(DWORD process_id) {
    const HANDLE made = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (made == INVALID_HANDLE_VALUE) return -1;
    const platform::unique_handle snapshot(made);
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == process_id) ++count;
        entry.dwSize = sizeof(entry);
    }
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


std::wstring WindowsPath(const std::string& path) {
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    if (!wide.empty() && wide[0] == L'\\') wide = L"Z:" + wide;
    return wide;
}

bool Program::Start(const std::wstring& executable) {
    std::wstring command_line = L"\"" + executable + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Wine now and then fails a start with ERROR_INTERNAL_ERROR while a process that just
    // ended is still being cleared away (seen once in a few hundred starts): the start is
    // tried again, and only a start that keeps failing fails the test.
    for (int attempt = 1;; ++attempt) {
        started_ = Clock::now();
        if (::CreateProcessW(executable.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &startup, &info)) {
            break;
        }
        const DWORD error = ::GetLastError();
        check::Print("CreateProcess failed for %s: error %lu", check::Narrow(executable).c_str(),
                     error);
        if (error != ERROR_INTERNAL_ERROR || attempt == 3) return false;
        ::Sleep(500);
    }
    process_.reset(info.hProcess);
    thread_.reset(info.hThread);
    process_id_ = info.dwProcessId;
    return true;
}

bool Program::WaitForMainWindow(int min_items, DWORD timeout_ms) {
    const bool shown = WaitFor(
        [&] {
            if (!Running()) return true;
            for (const HWND window : TopLevelWindows(process_id_)) {
                if (ClassName(window) != L"TForm1" || !::IsWindowVisible(window)) continue;
                const HWND combo = ::GetDlgItem(window, ui::IdComboBox1);
                if (combo && ComboCount(combo) >= min_items) {
                    window_ = window;
                    return true;
                }
            }
            return false;
        },
        timeout_ms);
    if (!shown || !window_) return false;
    startup_ms_ = MillisecondsSince(started_);
    ui_thread_id_ = ::GetWindowThreadProcessId(window_, nullptr);
    return true;
}

bool Program::Running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::wstring Program::Caption() const { return WindowText(Control(ui::IdButton2)); }

bool Program::CaptionIs(std::wstring_view caption) const { return Caption() == caption; }

void Program::Refresh() const { Click(Control(ui::IdButton1)); }

bool Program::Select(const std::wstring& title) const {
    Refresh();
    const HWND combo = Control(ui::IdComboBox1);
    const int index = IndexOf(ComboItems(combo), title);
    if (index < 0) return false;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(window_, WM_COMMAND, MAKEWPARAM(ui::IdComboBox1, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    return ComboSelection(combo) == index;
}

void Program::SetFields(std::wstring_view min_width, std::wstring_view min_height,
                        std::wstring_view max_width, std::wstring_view max_height) const {
    SetText(Control(ui::IdEdit1), min_width);
    SetText(Control(ui::IdEdit2), min_height);
    SetText(Control(ui::IdEdit3), max_width);
    SetText(Control(ui::IdEdit4), max_height);
}

void Program::Press() const { Click(Control(ui::IdButton2)); }

std::optional<MessageBoxInfo> Program::PressForError(DWORD timeout_ms) const {
    PostClick(Control(ui::IdButton2));
    auto box = WaitForMessageBox(ui_thread_id_, timeout_ms);
    if (box) DismissMessageBox(*box);
    return box;
}

std::optional<double> Program::WaitForCaption(std::wstring_view caption,
                                              DWORD timeout_ms) const {
    const auto start = Clock::now();
    if (!WaitFor([&] { return CaptionIs(caption); }, timeout_ms)) return std::nullopt;
    return check::Seconds(start, Clock::now());
}

int Program::WaitForThreads(int limit, DWORD timeout_ms) const {
    int count = Threads();
    WaitFor(
        [&] {
            count = Threads();
            return count <= limit;
        },
        timeout_ms);
    return count;
}

bool Program::WaitForPosted(DWORD timeout_ms) const {
    // A message posted after them is handled after them: the wide button's pushed look,
    // posted and then read back, marks the moment, and is taken off again at once.
    const HWND button = Control(ui::IdButton2);
    ::SendMessageW(button, BM_SETSTATE, FALSE, 0);
    if (!::PostMessageW(button, BM_SETSTATE, TRUE, 0)) return false;
    const bool handled = WaitFor(
        [&] { return (::SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; },
        timeout_ms);
    ::SendMessageW(button, BM_SETSTATE, FALSE, 0);
    return handled;
}

bool Program::ShowsDialog() const { return WaitForMessageBox(ui_thread_id_, 0).has_value(); }

std::optional<double> Program::CloseAndCheckExit(DWORD timeout_ms) {
    if (closed_) return *closed_;
    const auto closing = Clock::now();
    if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    const bool ended = process_ && ::WaitForSingleObject(process_.get(), timeout_ms) ==
                                       WAIT_OBJECT_0;
    const double seconds = check::Seconds(closing, Clock::now());
    DWORD code = STILL_ACTIVE;
    if (ended) ::GetExitCodeProcess(process_.get(), &code);
    const bool ok = check::Check(check::Loss::Crash, ended && code == 0,
                                 "jumper.exe ends with exit code 0 when closed (%s, code %lu)",
                                 ended ? "ended" : "still running", code);
    closed_ = ok ? std::optional<double>(seconds) : std::nullopt;
    return *closed_;
}

std::optional<std::wstring> Program::ReadInProcess(const std::wstring& probe_dll,
                                                   const std::wstring& request,
                                                   DWORD timeout_ms) const {
    constexpr DWORD kBytes = 32768 * sizeof(wchar_t);
    const std::wstring suffix = std::to_wstring(process_id_);
    const platform::unique_handle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                     0, kBytes,
                                                     (L"Local\\JumperTestProbe." + suffix).c_str()));
    const platform::unique_handle done(
        ::CreateEventW(nullptr, TRUE, FALSE, (L"Local\\JumperTestProbeDone." + suffix).c_str()));
    if (!mapping || !done || !Running()) return std::nullopt;
    if (auto* view = static_cast<wchar_t*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0))) {
        request.copy(view, std::min<std::size_t>(request.size(), 1024));
        view[std::min<std::size_t>(request.size(), 1024)] = L'\0';
        ::UnmapViewOfFile(view);
    }

    // LoadLibraryW in the other process, with the path copied into it.
    const std::size_t path_bytes = (probe_dll.size() + 1) * sizeof(wchar_t);
    void* const remote_path = ::VirtualAllocEx(process_.get(), nullptr, path_bytes,
                                               MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote_path) return std::nullopt;
    std::optional<std::wstring> result;
    if (::WriteProcessMemory(process_.get(), remote_path, probe_dll.c_str(), path_bytes, nullptr)) {
        const auto load_library = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"),
                                                     "LoadLibraryW")));
        const platform::unique_handle thread(::CreateRemoteThread(process_.get(), nullptr, 0, load_library,
                                                        remote_path, 0, nullptr));
        if (thread && ::WaitForSingleObject(done.get(), timeout_ms) == WAIT_OBJECT_0) {
            if (const auto* view = static_cast<const wchar_t*>(
                    ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0))) {
                result = std::wstring(view);
                ::UnmapViewOfFile(view);
            }
        }
        if (thread) ::WaitForSingleObject(thread.get(), timeout_ms);
    }
    ::VirtualFreeEx(process_.get(), remote_path, 0, MEM_RELEASE);
    return result;
}

void Program::Kill() {
    if (Running()) {
        ::TerminateProcess(process_.get(), 99);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

Program::~Program() { Kill(); }

bool RunProgram(const std::wstring& executable, const std::function<void(Program&)>& body,
                int min_items) {
    Program program;
    if (!check::Check(program.Start(executable) && program.WaitForMainWindow(min_items, 60000),
                      "%s starts and shows its main window", check::Narrow(executable).c_str())) {
        return false;
    }
    body(program);
    program.CloseAndCheckExit();
    return true;
}

int Session(const char* name, const std::string& executable,
            const std::function<void(Program&)>& body, int min_items) {
    RunProgram(WindowsPath(executable), body, min_items);
    return check::Report(name);
}

std::map<std::wstring, std::wstring> ParseProbeReport(const std::wstring& report) {
    std::map<std::wstring, std::wstring> lines;
    std::wistringstream in(report);
    std::wstring line;
    while (std::getline(in, line)) {
        std::wistringstream words(line);
        std::wstring kind;
        std::wstring name;
        words >> kind >> name;
        std::wstring rest;
        std::getline(words, rest);
        if (!rest.empty() && rest[0] == L' ') rest.erase(0, 1);
        lines[kind + L" " + name] = rest;
    }
    return lines;
}

bool MakeDpiAware() {
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    const auto function = [user32](const char* name) {
        return reinterpret_cast<void (*)()>(::GetProcAddress(user32, name));
    };
    using SetAwarenessFn = BOOL(WINAPI*)(HANDLE);
    using GetContextFn = HANDLE(WINAPI*)();
    using AwarenessOfFn = int(WINAPI*)(HANDLE);
    const auto set_awareness = reinterpret_cast<SetAwarenessFn>(function("SetProcessDpiAwarenessContext"));
    const auto thread_context = reinterpret_cast<GetContextFn>(function("GetThreadDpiAwarenessContext"));
    const auto awareness_of = reinterpret_cast<AwarenessOfFn>(function("GetAwarenessFromDpiAwarenessContext"));
    if (!set_awareness || !thread_context || !awareness_of) return false;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2. It fails when the process is aware already,
    // which is how Wine starts a program without a manifest.
    set_awareness(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
    return awareness_of(thread_context()) == 2;  // DPI_AWARENESS_PER_MONITOR_AWARE
}

}  // namespace driver
