#include "target_window.h"

#include <cstdio>

namespace jumptest {

namespace {

constexpr wchar_t kClassName[] = L"JumpTestTarget";
constexpr UINT kBlockMessage = WM_APP + 40;
constexpr UINT kRunMessage = WM_APP + 41;

void RegisterTargetClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        window_class.lpszClassName = kClassName;
        return ::RegisterClassExW(&window_class) != 0;
    }();
    (void)registered;
}

// A modal loop: handles every message, sent or posted, for the given time.
void PumpMessages(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (DWORD spent = 0; spent < milliseconds; spent = ::GetTickCount() - start) {
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - spent, QS_ALLINPUT);
    }
}

}  // namespace

std::string Describe(const RECT& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "%ld,%ld %ldx%ld", rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
    return text;
}

TargetWindow::TargetWindow(Options options)
    : options_(std::move(options)),
      ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      held_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      blocking_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    RegisterTargetClass(&TargetWindow::WndProc);
    thread_.reset(::CreateThread(nullptr, 0, &TargetWindow::ThreadMain, this, 0, &thread_id_));
    ::WaitForSingleObject(ready_.get(), 10000);
}

TargetWindow::~TargetWindow() {
    if (hwnd_ && ::IsWindow(hwnd_)) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    ::PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
    // A thread that has been told to block may still be sleeping: it is not waited for long.
    ::WaitForSingleObject(thread_.get(), 20000);
}

DWORD WINAPI TargetWindow::ThreadMain(void* param) {
    auto* const self = static_cast<TargetWindow*>(param);
    // Its normal rectangle lies well outside every size the tests allow, so a placement
    // that did not happen cannot pass for one.
    const HWND hwnd = ::CreateWindowExW(0, kClassName, self->options_.title.c_str(),
                                        WS_OVERLAPPEDWINDOW, 20, 20, 60, 40, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), self);
    self->hwnd_ = hwnd;
    if (hwnd && self->options_.visible) {
        ::ShowWindow(hwnd, self->options_.minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    }
    ::SetEvent(self->ready_.get());
    if (!hwnd) return 1;

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

LRESULT CALLBACK TargetWindow::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        ::SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    }
    auto* const self = reinterpret_cast<TargetWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, message, wparam, lparam);

    switch (message) {
    case WM_GETMINMAXINFO: {
        // No frame limits: the window takes exactly the size it is given.
        auto* const info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize = {1, 1};
        info->ptMaxTrackSize = {100000, 100000};
        return 0;
    }
    case WM_SHOWWINDOW: {
        WindowEvent event;
        event.message = message;
        event.shown = wparam != 0;
        event.visible = ::IsWindowVisible(hwnd) != FALSE;
        event.iconic = ::IsIconic(hwnd) != FALSE;
        self->Record(event);
        if (const DWORD pump = self->pump_ms_; pump != 0 && wparam == 0) {
            ::SetEvent(self->held_.get());
            PumpMessages(pump);
        }
        break;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* const pos = reinterpret_cast<const WINDOWPOS*>(lparam);
        WindowEvent event;
        event.message = message;
        event.flags = pos->flags;
        event.rect = {pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy};
        event.visible = ::IsWindowVisible(hwnd) != FALSE;
        event.iconic = ::IsIconic(hwnd) != FALSE;
        self->Record(event);
        if ((pos->flags & SWP_HIDEWINDOW) != 0) {
            if (const DWORD hold = self->hold_ms_.exchange(0)) {
                ::SetEvent(self->held_.get());
                ::Sleep(hold);
            }
        }
        break;
    }
    case kRunMessage:
        (*reinterpret_cast<const std::function<void()>*>(lparam))();
        return 0;
    case kBlockMessage:
        ::SetEvent(self->blocking_.get());
        ::Sleep(static_cast<DWORD>(wparam));
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void TargetWindow::Record(const WindowEvent& event) {
    WindowEvent stamped = event;
    stamped.time = Clock::now();
    const std::lock_guard lock(mutex_);
    events_.push_back(stamped);
}

std::vector<WindowEvent> TargetWindow::Events() const {
    const std::lock_guard lock(mutex_);
    return events_;
}

std::vector<WindowEvent> TargetWindow::EventsSince(Clock::time_point since) const {
    const std::lock_guard lock(mutex_);
    std::vector<WindowEvent> later;
    for (const WindowEvent& event : events_) {
        if (event.time > since) later.push_back(event);
    }
    return later;
}

void TargetWindow::Close() {
    if (!hwnd_) return;
    ::SendMessageTimeoutW(hwnd_, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, nullptr);
    ::WaitForSingleObject(thread_.get(), 10000);
}

void TargetWindow::Block(std::chrono::milliseconds time) {
    ::ResetEvent(blocking_.get());
    ::PostMessageW(hwnd_, kBlockMessage, static_cast<WPARAM>(time.count()), 0);
    // A message waits behind the block, as input does for a program that hangs: some window
    // systems find a thread not answering only while a message waits for it.
    ::PostMessageW(hwnd_, WM_NULL, 0, 0);
    // Until the thread takes the block, the system may still go by its last idle spell.
    ::WaitForSingleObject(blocking_.get(), 5000);
}

void TargetWindow::Settle(HWND window) {
    // A message sent after the queued calls is handled after them.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

void TargetWindow::HoldNextHide(std::chrono::milliseconds time) {
    ::ResetEvent(held_.get());
    hold_ms_ = static_cast<DWORD>(time.count());
}

void TargetWindow::PumpInHides(std::chrono::milliseconds time) {
    ::ResetEvent(held_.get());
    pump_ms_ = static_cast<DWORD>(time.count());
}

bool TargetWindow::WaitForHeldHide(std::chrono::milliseconds timeout) const {
    return ::WaitForSingleObject(held_.get(), static_cast<DWORD>(timeout.count())) ==
           WAIT_OBJECT_0;
}

void TargetWindow::Run(const std::function<void()>& work) {
    ::SendMessageW(hwnd_, kRunMessage, 0, reinterpret_cast<LPARAM>(&work));
}

namespace {

void ShowOnTop(HWND window) {
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace

HWND TargetWindow::Add(const std::wstring& title, bool visible) {
    HWND window = nullptr;
    Run([&] {
        // No creation parameter: the window's messages are not recorded.
        window = ::CreateWindowExW(WS_EX_NOACTIVATE, kClassName, title.c_str(),
                                   WS_OVERLAPPEDWINDOW, 20, 20, 200, 120, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        if (window && visible) ShowOnTop(window);
    });
    return window;
}

std::vector<HWND> TargetWindow::AddMany(const std::wstring& prefix, int count) {
    std::vector<HWND> created;
    created.reserve(static_cast<std::size_t>(count));
    Run([&] {
        for (int i = 0; i < count; ++i) {
            // Small tool windows: no taskbar buttons, no activation. Left of the screen, where
            // Wine shows them without mapping an X window: nothing to paint or restack, so
            // thousands are shown and settle in a fraction of the time.
            const HWND window = ::CreateWindowExW(
                WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName,
                (prefix + std::to_wstring(i)).c_str(), WS_POPUP, -200, 0, 24, 24, nullptr,
                nullptr, ::GetModuleHandleW(nullptr), nullptr);
            if (!window) break;
            ShowOnTop(window);
            created.push_back(window);
        }
    });
    return created;
}

void TargetWindow::Destroy(HWND window) {
    Run([&] { ::DestroyWindow(window); });
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
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::vector<Moved> moved = Placements(target.EventsSince(since));
    while (moved.size() < count && Clock::now() < deadline) {
        ::Sleep(10);
        moved = Placements(target.EventsSince(since));
    }
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
