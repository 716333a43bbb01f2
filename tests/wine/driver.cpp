#include "driver.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

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

HWND ForegroundWindow() { return ::GetForegroundWindow(); }

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

void Program::Close() const {
    if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

std::optional<DWORD> Program::WaitForExit(DWORD timeout_ms) const {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::optional<std::wstring> Program::ReadInProcess(const std::wstring& probe_dll,
                                                   const std::wstring& request,
                                                   DWORD timeout_ms) const {
    constexpr DWORD kBytes = 32768 * sizeof(wchar_t);
    const std::wstring suffix = std::to_wstring(process_id_);
    const unique_handle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                     0, kBytes,
                                                     (L"Local\\JumperTestProbe." + suffix).c_str()));
    const unique_handle done(
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
        const unique_handle thread(::CreateRemoteThread(process_.get(), nullptr, 0, load_library,
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

// ---- Target windows of the driver's own ---------------------------------------------------

namespace {

constexpr wchar_t kTargetClass[] = L"JumperTestTarget";
constexpr UINT kRunMessage = WM_APP + 1;
constexpr UINT kQuitMessage = WM_APP + 2;

}  // namespace

TargetWindows::TargetWindows() : ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &TargetWindows::Proc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kTargetClass;
    ::RegisterClassExW(&window_class);  // fails harmlessly when a second instance registers it
    thread_ = std::thread([this] { Loop(); });
    ::WaitForSingleObject(ready_.get(), INFINITE);
}

TargetWindows::~TargetWindows() {
    DestroyAll();
    ::PostMessageW(control_, kQuitMessage, 0, 0);
    thread_.join();
}

LRESULT CALLBACK TargetWindows::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lparam))();
        return 0;
    }
    if (message == kQuitMessage) {
        ::DestroyWindow(window);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

void TargetWindows::Loop() {
    control_ = ::CreateWindowExW(0, kTargetClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ::SetEvent(ready_.get());
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void TargetWindows::Run(const std::function<void()>& work) {
    ::SendMessageW(control_, kRunMessage, 0, reinterpret_cast<LPARAM>(&work));
}

HWND TargetWindows::Create(const std::wstring& title, bool visible) {
    HWND window = nullptr;
    Run([&] {
        window = ::CreateWindowExW(WS_EX_NOACTIVATE, kTargetClass, title.c_str(),
                                   WS_OVERLAPPEDWINDOW, 20, 20, 200, 120, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        if (window && visible) {
            ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                           SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
        }
    });
    if (window) windows_.push_back(window);
    return window;
}

std::vector<HWND> TargetWindows::CreateMany(const std::wstring& prefix, int count, int first) {
    std::vector<HWND> created;
    created.reserve(static_cast<std::size_t>(count));
    Run([&] {
        for (int i = 0; i < count; ++i) {
            const std::wstring title = prefix + std::to_wstring(first + i);
            // Small tool windows: no taskbar buttons, no activation, little to paint.
            const HWND window = ::CreateWindowExW(
                WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kTargetClass, title.c_str(), WS_POPUP,
                (i % 30) * 30, (i / 30) % 20 * 30, 24, 24, nullptr, nullptr,
                ::GetModuleHandleW(nullptr), nullptr);
            if (!window) break;
            ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                           SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
            created.push_back(window);
        }
    });
    windows_.insert(windows_.end(), created.begin(), created.end());
    return created;
}

void TargetWindows::Destroy(HWND window) {
    Run([&] { ::DestroyWindow(window); });
    std::erase(windows_, window);
}

void TargetWindows::DestroyAll() {
    Run([&] {
        for (const HWND window : windows_) ::DestroyWindow(window);
    });
    windows_.clear();
}

void TargetWindows::BringToTop(HWND window) {
    Run([&] {
        ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    });
}

}  // namespace driver
