// The jump worker on real windows: a real THideThread moves a window of this test, with a
// user-interface thread of the test pumping messages and running the worker's refreshes.
// Several runs go at once, each with its own target, host and worker:
//   cycle                the long run: restore, sizes and places within the field limits as
//                        the fields change, hide-and-show pairs, pauses, then a stop
//   stop-in-first-pause  a stop before the first pause still lets the second half-cycle run
//   refresh-error-once   a refresh that fails ends the loop; the last refresh says "Random"
//   refresh-error        a field that stays bad ends the worker all the same
//   close-during-hide    closing the gate while the target is hidden lets the showing finish
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "jumper/hide_thread.h"
#include "jumper/placement_gate.h"
#include "platform/win32.h"
#include "target_window.h"

using namespace std::chrono_literals;
using check::Check;
using check::Clock;
using check::Print;
using check::Seconds;
using jumper::SizeField;
using jumptest::TargetWindow;
using jumptest::WindowEvent;

namespace {

// The pause is under 5 s; a placement and a refresh take a little on top.
constexpr double kLongestGap = 5.5;
// A stopped worker finishes its cycle: two pauses at most, about 10 s.
constexpr auto kStopBound = 15s;

// The test's user-interface thread: a window that runs the worker's refreshes and the
// test's own tasks, and a message loop.
class TestUi {
public:
    TestUi() {
        ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = ::CreateThread(nullptr, 0, &TestUi::Main, this, 0, &thread_id_);
        ::WaitForSingleObject(ready_, 10000);
    }
    TestUi(const TestUi&) = delete;
    TestUi& operator=(const TestUi&) = delete;

    // Runs task on the user-interface thread and waits for it.
    void Run(const std::function<void()>& task) const {
        ::SendMessageW(hwnd_, kTaskMessage, 0, reinterpret_cast<LPARAM>(&task));
    }
    std::shared_ptr<platform::WindowUiThread> Calls() const { return calls_; }
    DWORD ThreadId() const { return thread_id_; }

private:
    static constexpr UINT kTaskMessage = WM_APP + 1;

    static DWORD WINAPI Main(void* param) {
        auto* const self = static_cast<TestUi*>(param);
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &TestUi::WndProc;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"JumpTestUi";
        ::RegisterClassExW(&window_class);
        self->hwnd_ = ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, window_class.hInstance, self);
        self->calls_ = std::make_shared<platform::WindowUiThread>(self->hwnd_);
        ::SetEvent(self->ready_);
        MSG message{};
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        return 0;
    }

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(
                                    reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
        }
        auto* const self = reinterpret_cast<TestUi*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && self->calls_ && message == platform::WindowUiThread::Message()) {
            return self->calls_->Deliver(lparam);
        }
        if (message == kTaskMessage) {
            try {
                (*reinterpret_cast<const std::function<void()>*>(lparam))();
            } catch (...) {
                Check(false, "a task on the user-interface thread raised an error");
            }
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }

    HWND hwnd_ = nullptr;
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    DWORD thread_id_ = 0;
    std::shared_ptr<platform::WindowUiThread> calls_;
};

using FieldTexts = std::array<std::wstring, 4>;  // indexed by SizeField

std::size_t Slot(SizeField field) { return static_cast<std::size_t>(field); }

// The sizes a pair of fields allows: from the smaller bound to one less than the larger,
// or the bound itself when both are equal.
struct Range {
    long lo;
    long hi;
};
Range Allowed(const std::wstring& min_text, const std::wstring& max_text) {
    const long a = std::wcstol(min_text.c_str(), nullptr, 10);
    const long b = std::wcstol(max_text.c_str(), nullptr, 10);
    if (a == b) return {a, a};
    return {std::min(a, b), std::max(a, b) - 1};
}

// One refresh of the worker as the host saw it. It begins with the first field read; it
// is complete when the run state was reported (a bad field ends it before that).
struct Refresh {
    Clock::time_point time;
    DWORD thread = 0;
    FieldTexts texts;  // what the host handed out
    bool completed = false;
    bool running = false;
    // The target as the refresh found it, that is, as the placement before it left it.
    bool visible = false;
    bool iconic = false;
    UINT show_command = 0;
    RECT rect{};
};

// The user-interface side of a worker: hands out the field texts, records each refresh and
// the end. Its callbacks run on the user-interface thread; the test reads the records.
class RecordingHost final : public jumper::HideThreadHost {
public:
    explicit RecordingHost(HWND target) : target_(target) {}

    void SetFields(const wchar_t* min_width, const wchar_t* min_height, const wchar_t* max_width,
                   const wchar_t* max_height) {
        const std::lock_guard lock(mutex_);
        fields_[Slot(SizeField::MinWidth)] = min_width;
        fields_[Slot(SizeField::MinHeight)] = min_height;
        fields_[Slot(SizeField::MaxWidth)] = max_width;
        fields_[Slot(SizeField::MaxHeight)] = max_height;
    }
    void SetField(SizeField field, const wchar_t* text) {
        const std::lock_guard lock(mutex_);
        fields_[Slot(field)] = text;
    }
    // The next read of field gives text that is no integer; later reads are normal again.
    void SpoilNextRead(SizeField field) {
        const std::lock_guard lock(mutex_);
        spoiled_ = field;
    }
    FieldTexts Fields() const {
        const std::lock_guard lock(mutex_);
        return fields_;
    }
    // From now on every field read counts as part of a worker's refresh.
    void StartRecording() {
        const std::lock_guard lock(mutex_);
        recording_ = true;
    }
    // Called on the user-interface thread after each completed refresh, with its number
    // (1 for the first).
    void OnRefresh(std::function<void(int)> hook) { on_refresh_ = std::move(hook); }

    std::vector<Refresh> Refreshes() const {
        const std::lock_guard lock(mutex_);
        return refreshes_;
    }
    int CompletedRefreshes() const {
        const std::lock_guard lock(mutex_);
        return completed_;
    }
    bool WaitForRefreshes(int count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return completed_ >= count || ended_; });
    }
    bool WaitForEnd(std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return ended_; });
    }
    std::optional<Clock::time_point> EndTime() const {
        const std::lock_guard lock(mutex_);
        if (!ended_) return std::nullopt;
        return end_time_;
    }
    int EndCount() const {
        const std::lock_guard lock(mutex_);
        return end_count_;
    }
    DWORD EndThread() const {
        const std::lock_guard lock(mutex_);
        return end_thread_;
    }

    std::wstring FieldText(SizeField field) override {
        std::unique_lock lock(mutex_);
        std::wstring text = fields_[Slot(field)];
        if (spoiled_ == field) {
            text = L"abc";
            spoiled_.reset();
        }
        if (recording_) {
            // Max Width is read first in every refresh.
            if (field == SizeField::MaxWidth || refreshes_.empty()) BeginRefresh();
            refreshes_.back().texts[Slot(field)] = text;
        }
        return text;
    }

    void ShowRunState(const jumper::THideThread&, bool running) override {
        int number = 0;
        {
            const std::lock_guard lock(mutex_);
            if (!refreshes_.empty()) {
                refreshes_.back().completed = true;
                refreshes_.back().running = running;
            }
            number = ++completed_;
        }
        changed_.notify_all();
        if (on_refresh_) on_refresh_(number);
    }

    void WorkerEnded(const jumper::THideThread&) override {
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
            ++end_count_;
            end_time_ = Clock::now();
            end_thread_ = ::GetCurrentThreadId();
        }
        changed_.notify_all();
    }

private:
    void BeginRefresh() {
        TargetWindow::Settle(target_);  // so that the refresh sees the placement done
        Refresh refresh;
        refresh.time = Clock::now();
        refresh.thread = ::GetCurrentThreadId();
        refresh.visible = ::IsWindowVisible(target_) != FALSE;
        refresh.iconic = ::IsIconic(target_) != FALSE;
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        if (::GetWindowPlacement(target_, &placement)) refresh.show_command = placement.showCmd;
        ::GetWindowRect(target_, &refresh.rect);
        refreshes_.push_back(refresh);
    }

    HWND target_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    FieldTexts fields_{L"100", L"100", L"300", L"300"};
    std::optional<SizeField> spoiled_;
    bool recording_ = false;
    std::vector<Refresh> refreshes_;
    int completed_ = 0;
    bool ended_ = false;
    int end_count_ = 0;
    Clock::time_point end_time_;
    DWORD end_thread_ = 0;
    std::function<void(int)> on_refresh_;
};

// One worker on one target.
struct Run {
    Run(const TestUi& ui_thread, const char* run_name, TargetWindow::Options options)
        : ui(ui_thread), name(run_name), target(std::move(options)), host(target.Handle()) {}

    const TestUi& ui;
    const char* name;
    TargetWindow target;
    RecordingHost host;
    std::shared_ptr<jumper::PlacementGate> gate = std::make_shared<jumper::PlacementGate>();
    std::shared_ptr<jumper::THideThread> worker;
    FieldTexts first_texts;  // the fields the first size was drawn from
    Clock::time_point started;
    std::optional<Clock::time_point> stop_requested;
    bool was_iconic = false;

    // As the start request does it: a worker created suspended on the user-interface
    // thread, given its target and a first size drawn from the fields, and resumed.
    void Start() {
        was_iconic = ::IsIconic(target.Handle()) != FALSE;
        ui.Run([this] {
            worker = std::make_shared<jumper::THideThread>(
                std::make_shared<platform::Win32Desktop>(), ui.Calls(), host, gate);
            const auto handle = platform::HandleOf(target.Handle());
            worker->SetTarget(handle, platform::Win32Desktop().GetWindowOwner(handle));
            worker->wdth = jumper::DrawSize(host, SizeField::MinWidth, SizeField::MaxWidth);
            worker->hght = jumper::DrawSize(host, SizeField::MinHeight, SizeField::MaxHeight);
            first_texts = host.Fields();
            host.StartRecording();
            started = Clock::now();
            worker->Resume();
        });
    }

    // As "Stop" does it, on the user-interface thread.
    void Stop() {
        ui.Run([this] {
            stop_requested = Clock::now();
            worker->runningthread = false;
        });
    }
};

// One placement: the target's events between two refreshes, and the state it left.
struct Placement {
    std::vector<WindowEvent> events;
    Refresh after;          // the refresh that followed it
    FieldTexts governing;   // the fields its size was drawn from
};

// What every run must show, however it ended. Returns the placements for further checks.
std::vector<Placement> CheckRun(Run& run, int screen_width, int screen_height) {
    const char* const name = run.name;
    const std::vector<Refresh> refreshes = run.host.Refreshes();
    const std::vector<WindowEvent> events = run.target.Events();
    std::vector<Placement> placements;

    Check(run.was_iconic, "%s: the target is minimised before the start", name);
    Check(run.host.EndCount() == 1, "%s: the worker reports its end once (%d)", name,
          run.host.EndCount());
    Check(run.host.EndThread() == run.ui.ThreadId(),
          "%s: the end is reported on the user-interface thread", name);
    Check(!run.worker->runningthread, "%s: an ended worker does not count as running", name);
    if (!Check(refreshes.size() >= 2, "%s: at least one placement and the last refresh (%zu)",
               name, refreshes.size())) {
        return placements;
    }
    for (std::size_t i = 0; i < refreshes.size(); ++i) {
        Check(refreshes[i].thread == run.ui.ThreadId(),
              "%s: refresh %zu runs on the user-interface thread", name, i + 1);
    }

    // Every refresh but the last follows a placement; the last follows none.
    Clock::time_point from = run.started;
    for (std::size_t i = 0; i < refreshes.size(); ++i) {
        Placement placement;
        for (const WindowEvent& event : events) {
            if (event.time > from && event.time <= refreshes[i].time) {
                placement.events.push_back(event);
            }
        }
        placement.after = refreshes[i];
        placement.governing = i == 0 ? run.first_texts : refreshes[i - 1].texts;
        from = refreshes[i].time;
        if (i + 1 == refreshes.size()) {
            Check(placement.events.empty(),
                  "%s: nothing is placed between the last two refreshes (%zu events)", name,
                  placement.events.size());
        } else {
            placements.push_back(placement);
        }
    }

    for (std::size_t i = 0; i < placements.size(); ++i) {
        const Placement& placement = placements[i];
        const std::size_t number = i + 1;
        const Refresh& state = placement.after;
        const bool second_half = number % 2 == 0;
        const long width = state.rect.right - state.rect.left;
        const long height = state.rect.bottom - state.rect.top;

        const auto moved = std::count_if(placement.events.begin(), placement.events.end(),
                                         [](const WindowEvent& e) { return e.IsMoveOrSize(); });
        Check(moved > 0, "%s: placement %zu moves or sizes the target", name, number);

        // Hidden and shown again in the second half of each cycle only, and never left hidden.
        const auto last_hide =
            std::find_if(placement.events.rbegin(), placement.events.rend(),
                         [](const WindowEvent& e) { return e.IsHide(); });
        const bool hidden = last_hide != placement.events.rend();
        Check(hidden == second_half, "%s: placement %zu %s the target", name, number,
              second_half ? "hides and re-shows" : "does not hide");
        if (hidden) {
            const bool shown_after =
                std::any_of(placement.events.rbegin(), last_hide,
                            [](const WindowEvent& e) { return e.IsShow() && e.visible; });
            Check(shown_after, "%s: placement %zu shows the target again after hiding it", name,
                  number);
        }
        Check(state.visible, "%s: the target is visible after placement %zu", name, number);
        Check(!state.iconic && state.show_command == SW_SHOWNORMAL,
              "%s: the target is a normal window after placement %zu (iconic %d, show %u)", name,
              number, state.iconic, state.show_command);

        const Range widths = Allowed(placement.governing[Slot(SizeField::MinWidth)],
                                     placement.governing[Slot(SizeField::MaxWidth)]);
        const Range heights = Allowed(placement.governing[Slot(SizeField::MinHeight)],
                                      placement.governing[Slot(SizeField::MaxHeight)]);
        Check(width >= widths.lo && width <= widths.hi && height >= heights.lo &&
                  height <= heights.hi,
              "%s: placement %zu size %ldx%ld within %ld..%ld x %ld..%ld", name, number, width,
              height, widths.lo, widths.hi, heights.lo, heights.hi);
        Check(state.rect.left >= 0 && state.rect.left < screen_width && state.rect.top >= 0 &&
                  state.rect.top < screen_height,
              "%s: placement %zu top-left %ld,%ld on the %dx%d screen", name, number,
              state.rect.left, state.rect.top, screen_width, screen_height);
        Print("%s: placement %zu at %.2f s: %s%s", name, number,
              Seconds(run.started, placement.events.empty() ? state.time
                                                            : placement.events.front().time),
              jumptest::Describe(state.rect).c_str(), hidden ? " (hidden, shown)" : "");
    }

    // The pause between two placements is under 5 s.
    for (std::size_t i = 1; i < placements.size(); ++i) {
        if (placements[i - 1].events.empty() || placements[i].events.empty()) continue;
        const double gap =
            Seconds(placements[i - 1].events.back().time, placements[i].events.front().time);
        Print("%s: pause before placement %zu: %.3f s", name, i + 1, gap);
        Check(gap < kLongestGap, "%s: pause before placement %zu is %.3f s", name, i + 1, gap);
    }

    // Nothing moves once the worker has ended.
    if (const auto end = run.host.EndTime()) {
        std::this_thread::sleep_for(2s);
        const auto late = run.target.EventsSince(*end);
        Check(late.empty(), "%s: the target is left alone after the end (%zu events)", name,
              late.size());
        Check(::IsWindowVisible(run.target.Handle()) != FALSE,
              "%s: the target is visible at the end", name);
    }
    return placements;
}

bool WaitForEnd(Run& run) {
    const bool ended = run.host.WaitForEnd(kStopBound);
    if (const auto end = run.host.EndTime(); end && run.stop_requested) {
        Print("%s: stop to end: %.3f s", run.name, Seconds(*run.stop_requested, *end));
    }
    return Check(ended, "%s: the worker ends within %lld s", run.name,
                 static_cast<long long>(kStopBound.count()));
}

TargetWindow::Options Minimised(const wchar_t* title) {
    TargetWindow::Options options;
    options.title = title;
    options.minimised = true;
    return options;
}

// The long run: three placements each with the default fields, with both fields 300, and
// with the minimum above the maximum; then a stop from outside.
bool Cycle(Run& run, int screen_width, int screen_height) {
    run.host.OnRefresh([&run](int number) {
        // The new fields take effect from the next refresh's draw.
        if (number == 3) run.host.SetFields(L"300", L"300", L"300", L"300");
        if (number == 6) run.host.SetFields(L"300", L"300", L"100", L"100");
    });
    run.Start();
    Check(run.host.WaitForRefreshes(9, 60s), "%s: nine refreshes", run.name);
    run.Stop();
    if (!WaitForEnd(run)) return false;

    const auto placements = CheckRun(run, screen_width, screen_height);
    const auto refreshes = run.host.Refreshes();
    int exact = 0;
    int swapped = 0;
    for (const Placement& placement : placements) {
        if (placement.governing[Slot(SizeField::MaxWidth)] == L"300" &&
            placement.governing[Slot(SizeField::MinWidth)] == L"300") {
            ++exact;
            const RECT& r = placement.after.rect;
            Check(r.right - r.left == 300 && r.bottom - r.top == 300,
                  "%s: both fields 300 give 300x300 (%s)", run.name,
                  jumptest::Describe(r).c_str());
        }
        if (placement.governing[Slot(SizeField::MinWidth)] == L"300" &&
            placement.governing[Slot(SizeField::MaxWidth)] == L"100") {
            ++swapped;
        }
    }
    Check(exact >= 2 && swapped >= 2,
          "%s: placements with both fields 300 (%d) and with min above max (%d)", run.name, exact,
          swapped);

    // The caption follows the run flag: "Stop" while running, "Random" from the first refresh
    // after the stop.
    std::size_t after_stop = 0;
    for (std::size_t i = 0; i < refreshes.size(); ++i) {
        const Refresh& refresh = refreshes[i];
        Check(refresh.completed, "%s: refresh %zu completes", run.name, i + 1);
        const bool before_stop = refresh.time < *run.stop_requested;
        if (!before_stop) ++after_stop;
        Check(refresh.running == before_stop, "%s: refresh %zu reads \"%s\"", run.name, i + 1,
              before_stop ? "Stop" : "Random");
    }
    // The cycle under way finishes: at most its two refreshes and the last one.
    Check(after_stop >= 1 && after_stop <= 3, "%s: %zu refreshes after the stop", run.name,
          after_stop);
    return true;
}

// A stop before the first pause: the second half-cycle still runs, then the worker ends.
bool StopInFirstPause(Run& run, int screen_width, int screen_height) {
    run.host.OnRefresh([&run](int number) {
        if (number == 1) {
            run.stop_requested = Clock::now();
            run.worker->runningthread = false;
        }
    });
    run.Start();
    if (!WaitForEnd(run)) return false;
    const auto placements = CheckRun(run, screen_width, screen_height);
    const auto refreshes = run.host.Refreshes();
    Check(placements.size() == 2, "%s: both half-cycles run (%zu placements)", run.name,
          placements.size());
    if (refreshes.size() == 3) {
        Check(refreshes[0].running && !refreshes[1].running && !refreshes[2].running,
              "%s: refreshes read Stop, Random, Random", run.name);
    } else {
        Check(false, "%s: three refreshes (%zu)", run.name, refreshes.size());
    }
    return true;
}

// A refresh that meets a bad field ends the loop; the refresh after it, with good fields
// again, reports the worker as no longer running.
bool RefreshErrorOnce(Run& run, int screen_width, int screen_height) {
    run.host.OnRefresh([&run](int number) {
        if (number == 1) run.host.SpoilNextRead(SizeField::MaxWidth);
    });
    run.Start();
    if (!WaitForEnd(run)) return false;
    const auto placements = CheckRun(run, screen_width, screen_height);
    const auto refreshes = run.host.Refreshes();
    Check(placements.size() == 2, "%s: the loop ends at the failing refresh (%zu placements)",
          run.name, placements.size());
    if (Check(refreshes.size() == 3, "%s: three refreshes (%zu)", run.name, refreshes.size())) {
        Check(refreshes[0].completed && refreshes[0].running, "%s: refresh 1 reads Stop",
              run.name);
        Check(!refreshes[1].completed && refreshes[1].texts[Slot(SizeField::MaxWidth)] == L"abc",
              "%s: refresh 2 fails on the bad field", run.name);
        Check(refreshes[2].completed && !refreshes[2].running,
              "%s: the last refresh reads Random", run.name);
    }
    return true;
}

// A field that stays bad: the failing refresh ends the loop and the last one fails too; the
// worker still ends and reports it.
bool RefreshError(Run& run, int screen_width, int screen_height) {
    run.host.OnRefresh([&run](int number) {
        if (number == 1) run.host.SetField(SizeField::MaxWidth, L"abc");
    });
    run.Start();
    if (!WaitForEnd(run)) return false;
    const auto placements = CheckRun(run, screen_width, screen_height);
    const auto refreshes = run.host.Refreshes();
    Check(placements.size() == 2, "%s: the loop ends at the failing refresh (%zu placements)",
          run.name, placements.size());
    Check(run.host.CompletedRefreshes() == 1, "%s: only the first refresh completes (%d)",
          run.name, run.host.CompletedRefreshes());
    Check(refreshes.size() == 3, "%s: three refreshes (%zu)", run.name, refreshes.size());
    return true;
}

// Closing the gate while the target is held in its hide: the close does not wait for the
// target, the show is already queued behind the hide, and no placement starts after it.
bool CloseDuringHide(Run& run, int screen_width, int screen_height) {
    run.target.HoldNextHide(300ms);  // so that the close comes in between
    run.Start();
    if (!Check(run.target.WaitForHeldHide(15s), "%s: the target is hidden", run.name)) {
        return false;
    }
    const auto closing = Clock::now();
    run.gate->Close();
    const auto closed_at = Clock::now();
    Print("%s: the gate closed after %.3f s", run.name, Seconds(closing, closed_at));
    Check(Seconds(closing, closed_at) < 0.2, "%s: the close does not wait for the target",
          run.name);
    Check(::IsWindowVisible(run.target.Handle()) == FALSE, "%s: the target is still in its hide",
          run.name);
    run.target.Settle();
    const auto settled = Clock::now();
    Check(::IsWindowVisible(run.target.Handle()) != FALSE,
          "%s: the target is shown again once it has worked through its hide", run.name);
    if (!WaitForEnd(run)) return false;
    const auto placements = CheckRun(run, screen_width, screen_height);
    Check(placements.size() == 2, "%s: no placement after the close (%zu placements)", run.name,
          placements.size());
    const auto refreshes = run.host.Refreshes();
    Check(!refreshes.empty() && refreshes.back().completed && !refreshes.back().running,
          "%s: the last refresh reads Random", run.name);
    const auto late = run.target.EventsSince(settled);
    Check(late.empty(), "%s: nothing moves after the close (%zu events)", run.name, late.size());
    return true;
}

}  // namespace

int main() {
    const TestUi ui;
    const int screen_width = ::GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = ::GetSystemMetrics(SM_CYSCREEN);
    Print("screen %dx%d", screen_width, screen_height);

    // The runs are left allocated: a worker that failed to end may still reach its host.
    auto* const cycle = new Run(ui, "cycle", Minimised(L"Jump worker target: cycle"));
    auto* const first_pause =
        new Run(ui, "stop-in-first-pause", Minimised(L"Jump worker target: first pause"));
    auto* const error_once =
        new Run(ui, "refresh-error-once", Minimised(L"Jump worker target: error once"));
    auto* const error = new Run(ui, "refresh-error", Minimised(L"Jump worker target: error"));

    auto* const close_hide =
        new Run(ui, "close-during-hide", Minimised(L"Jump worker target: close during hide"));

    std::vector<std::thread> runs;
    runs.emplace_back([&] { Cycle(*cycle, screen_width, screen_height); });
    runs.emplace_back([&] { StopInFirstPause(*first_pause, screen_width, screen_height); });
    runs.emplace_back([&] { RefreshErrorOnce(*error_once, screen_width, screen_height); });
    runs.emplace_back([&] { RefreshError(*error, screen_width, screen_height); });
    runs.emplace_back([&] { CloseDuringHide(*close_hide, screen_width, screen_height); });
    for (std::thread& run : runs) run.join();

    const int code = check::Report("jump_worker");
    std::fflush(stdout);
    ::ExitProcess(static_cast<UINT>(code));
}
