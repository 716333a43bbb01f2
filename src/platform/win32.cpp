#include "platform/win32.h"

#include <dwmapi.h>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <iterator>
#include <memory>
#include <tuple>
#include <utility>

#include "platform/exception.h"
#include "platform/unique_handle.h"

namespace platform {

namespace {

// A module's function, or null when there is no module or no such function.
template <typename FunctionPointer>
FunctionPointer FunctionOf(HMODULE module, const char* name) {
    // Through void (*)(), the one function pointer type that converts without a warning.
    return module ? reinterpret_cast<FunctionPointer>(
                        reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

// A system function that older systems lack, or null there: looked up rather than
// imported, so that the program still starts without it.
template <typename FunctionPointer>
FunctionPointer SystemFunction(const wchar_t* module_name, const char* name) {
    return FunctionOf<FunctionPointer>(::GetModuleHandleW(module_name), name);
}

template <typename FunctionPointer>
FunctionPointer User32Function(const char* name) {
    return SystemFunction<FunctionPointer>(L"user32.dll", name);
}

DWORD WINAPI RunThreadBody(void* param) noexcept {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(param));
    try {
        (*body)();
    } catch (...) {
        // Nothing crosses the thread's edge.
    }
    return 0;
}

// The window manager's library, loaded on first use and kept for the life of the process.
// Looked up rather than imported, and from System32 only: it is no known DLL, so an import
// would take a copy lying beside the program first. A Windows 7 without its loader update
// (KB2533623) refuses the flag; it cloaks no window either.
struct DwmApi {
    using GetWindowAttributeFn = decltype(&::DwmGetWindowAttribute);

    unique_hmodule module{::LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
    GetWindowAttributeFn get_window_attribute =
        FunctionOf<GetWindowAttributeFn>(module.get(), "DwmGetWindowAttribute");
};

UINT SystemDpi() {
    const unique_screen_dc screen(::GetDC(nullptr));
    return screen ? static_cast<UINT>(::GetDeviceCaps(screen.get(), LOGPIXELSY)) : 96;
}

}  // namespace

void RestrictDllSearch() {
    // Windows 7 has SetDefaultDllDirectories only with its 2011 loader update (KB2533623).
    // Without it, taking the current folder out of the search is what can be done.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto set_default_dll_directories =
        SystemFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (!set_default_dll_directories ||
        !set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        ::SetDllDirectoryW(L"");
    }
}

std::wstring LowerCase(std::wstring_view text) {
    // The user's language's own rules (Turkish has a dotless i), not the file system's.
    constexpr DWORD kFlags = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
    const int length = static_cast<int>(text.size());
    if (length == 0) return {};
    std::wstring lower(static_cast<std::size_t>(::LCMapStringEx(
                           LOCALE_NAME_USER_DEFAULT, kFlags, text.data(), length, nullptr, 0,
                           nullptr, nullptr, 0)),
                       L'\0');
    if (lower.empty() ||
        ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.data(), length, lower.data(),
                        static_cast<int>(lower.size()), nullptr, nullptr, 0) == 0) {
        return std::wstring(text);  // kept as it is rather than lost
    }
    return lower;
}

std::wstring SystemMessage(DWORD error) {
    wchar_t text[512] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, 0, text, static_cast<DWORD>(std::size(text)),
                                    nullptr);
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' ||
                          text[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) {
        // Not std::to_wstring, whose swprintf would bring all of MinGW's printf (over 20 KiB)
        // into the program for this one number.
        char digits[10];  // as many as a 32-bit value has
        char* const end = std::to_chars(std::begin(digits), std::end(digits), error).ptr;
        return L"System error " + std::wstring(digits, end);
    }
    return std::wstring(text, length);
}

UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get_dpi_for_window = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = get_dpi_for_window ? get_dpi_for_window(window) : 0;
    return dpi ? dpi : SystemDpi();
}

SIZE FrameSizeFor(SIZE client, DWORD style, DWORD ex_style, UINT dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust_for_dpi =
        User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, client.cx, client.cy};
    if (!adjust_for_dpi || !adjust_for_dpi(&frame, style, FALSE, ex_style, dpi)) {
        ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    return {frame.right - frame.left, frame.bottom - frame.top};
}

int SystemMetricForDpi(int index, UINT dpi) {
    using GetMetricForDpiFn = int(WINAPI*)(int, UINT);
    static const auto get_metric_for_dpi =
        User32Function<GetMetricForDpiFn>("GetSystemMetricsForDpi");
    return get_metric_for_dpi ? get_metric_for_dpi(index, dpi) : ::GetSystemMetrics(index);
}

static_assert(kSwHide == SW_HIDE && kSwShowNormal == SW_SHOWNORMAL && kSwShowNa == SW_SHOWNA);
static_assert(kSwpShowWindow == SWP_SHOWWINDOW);
static_assert(kSmCxScreen == SM_CXSCREEN && kSmCyScreen == SM_CYSCREEN);
static_assert(kCpUtf8 == CP_UTF8);
static_assert(kDwmwaCloaked == DWMWA_CLOAKED);
static_assert(sizeof(HRESULT) == sizeof(std::int32_t));

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Win32Desktop::EnumWindows(EnumWindowsCallback callback, std::intptr_t context) {
    struct Binding {
        EnumWindowsCallback callback;
        std::intptr_t context;
    } binding{callback, context};
    ::EnumWindows(
        [](HWND window, LPARAM param) CALLBACK -> BOOL {
            const auto& bound = *reinterpret_cast<const Binding*>(param);
            return bound.callback(HandleOf(window), bound.context) ? TRUE : FALSE;
        },
        reinterpret_cast<LPARAM>(&binding));
}

int Win32Desktop::GetWindowTextA(WindowHandle window, char* buffer, int capacity) {
    return ::GetWindowTextA(HwndOf(window), buffer, capacity);
}

bool Win32Desktop::IsWindowVisible(WindowHandle window) {
    return ::IsWindowVisible(HwndOf(window)) != FALSE;
}

unsigned Win32Desktop::GetACP() { return ::GetACP(); }

std::int32_t Win32Desktop::DwmGetWindowAttribute(WindowHandle window, unsigned attribute,
                                                 void* value, unsigned size) {
    static const DwmApi dwm;
    if (!dwm.get_window_attribute) return E_NOTIMPL;  // no window manager to ask
    return dwm.get_window_attribute(HwndOf(window), attribute, value, size);
}

WindowOwner Win32Desktop::GetWindowOwner(WindowHandle window) {
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(HwndOf(window), &process);
    return thread ? WindowOwner{thread, process} : WindowOwner{};
}

bool Win32Desktop::IsHungAppWindow(WindowHandle window) {
    return ::IsHungAppWindow(HwndOf(window)) != FALSE;
}

void Win32Desktop::ShowWindow(WindowHandle window, int command) {
    ::ShowWindow(HwndOf(window), command);
}

void Win32Desktop::SetWindowPos(WindowHandle window, WindowHandle insert_after, int x, int y,
                                int width, int height, unsigned flags) {
    ::SetWindowPos(HwndOf(window), HwndOf(insert_after), x, y, width, height, flags);
}

int Win32Desktop::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

void Win32Desktop::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint32_t Win32Desktop::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

void Win32Desktop::TerminateThread(std::uint32_t thread_id) {
    const unique_handle thread(::OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, thread_id));
    // The end is asked for, not waited for, by TerminateThread itself; a second at most here.
    if (thread && ::TerminateThread(thread.get(), 0)) ::WaitForSingleObject(thread.get(), 1000);
}

void Win32Desktop::WaitToBeEnded() {
    for (;;) ::Sleep(INFINITE);
}

void Win32Desktop::ShowWindowAsync(WindowHandle window, int command) {
    ::ShowWindowAsync(HwndOf(window), command);
}

bool Win32SeedClock::QueryPerformanceCounter(std::int64_t* count) {
    LARGE_INTEGER counter{};
    if (!::QueryPerformanceCounter(&counter)) return false;
    *count = counter.QuadPart;
    return true;
}

std::uint32_t Win32SeedClock::GetTickCount() { return ::GetTickCount(); }

namespace {

constexpr wchar_t kCallWindowClass[] = L"WindowJumper.Calls";
constexpr UINT kCallMessage = WM_APP;  // a class of our own: no one else gives it meaning

}  // namespace

WindowUiThread::WindowUiThread() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &WindowUiThread::WndProc;
        window_class.hInstance = instance;
        window_class.lpszClassName = kCallWindowClass;
        return ::RegisterClassExW(&window_class) != 0;
    }();
    if (registered) {
        window_.reset(::CreateWindowExW(0, kCallWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, instance, this));
    }
    if (!window_) throw Exception(SystemMessage(::GetLastError()));
}

WindowUiThread::~WindowUiThread() {
    // The window is bound to this object: it is closed on its own thread, at the main window's
    // WM_DESTROY, before the last holder lets go.
    assert(!window_);
}

LRESULT CALLBACK WindowUiThread::WndProc(HWND hwnd, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
    if (message == WM_NCCREATE) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(
                                reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams));
    }
    auto* const self = reinterpret_cast<WindowUiThread*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == kCallMessage) return self->Deliver(lparam);
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void WindowUiThread::StartThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const unique_handle thread(::CreateThread(nullptr, 0, &RunThreadBody, owned.get(), 0, nullptr));
    if (!thread) throw Exception(SystemMessage(::GetLastError()));
    std::ignore = owned.release();  // the thread owns it now
}

bool WindowUiThread::Send(SyncCall& call) {
    HWND window = nullptr;
    {
        const Lock::Guard guard(lock_);
        if (!window_) return false;
        window = window_.get();
        pending_.push_back(&call);
    }
    // A window destroyed meanwhile answers 0, as one that took no call.
    const LRESULT ran = ::SendMessageW(window, kCallMessage, 0, reinterpret_cast<LPARAM>(&call));
    const Lock::Guard guard(lock_);
    const auto left = std::find(pending_.begin(), pending_.end(), &call);
    if (left != pending_.end()) pending_.erase(left);  // never delivered
    return ran != 0;
}

LRESULT WindowUiThread::Deliver(LPARAM param) {
    auto* const call = reinterpret_cast<SyncCall*>(param);
    {
        const Lock::Guard guard(lock_);
        const auto found = std::find(pending_.begin(), pending_.end(), call);
        if (found == pending_.end()) return 0;
        pending_.erase(found);  // each call runs once
    }
    call->Run();
    return 1;
}

void WindowUiThread::Close() noexcept {
    unique_hwnd closing;
    {
        const Lock::Guard guard(lock_);
        closing = std::move(window_);
    }
    // Destroyed outside the lock, which a call being delivered may need.
}

}  // namespace platform
