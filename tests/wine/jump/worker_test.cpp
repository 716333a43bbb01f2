// The jump worker on a real window: a real THideThread moves a minimised window of this test,
// with a user-interface thread of the test pumping messages and running the worker's refreshes
// through the program's own channel. Four placements, then a stop: the target is restored,
// given exactly the size each refresh handed out, hidden and shown again in the second half of
// each cycle only, left visible and normal, and left alone once the worker has ended. Which
// sizes the fields give, and what a bad field or a closing does, the host tests check.
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
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
using jumper::WindowSize;
using jumptest::TargetWindow;
using jumptest::WindowEvent;

namespace {

// The pause is under 5 s; a placement and a refresh take a little on top.
constexpr double kLongestGap = 5.5;
// A stopped worker finishes its cycle: two pauses at most, about 10 s.
constexpr auto kStopBound = 15s;
constexpr int kPlacements = 4;  // two whole cycles
// The sizes the refreshes hand out in turn; the start's comes first.
constexpr std::array<WindowSize, 5> kSizes{
    {{150, 120}, {300, 300}, {101, 299}, {222, 111}, {280, 140}}};

// The test's user-interface thread: it owns the channel the worker's refreshes come through,
// and pumps messages; the test's own tasks come through the same channel.
class TestUi {
public:
    TestUi() {
        std::promise<void> ready;
        thread_ = std::thread([this, &ready] {
            thread_id_ = ::GetCurrentThreadId();
            calls_ = std::make_shared<platform::WindowUiThread>();
            ready.set_value();
            MSG message{};
            while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
        });
        ready.get_future().wait();
    }
    // Left running: a worker that failed to end may still call in.
    ~TestUi() { thread_.detach(); }
    TestUi(const TestUi&) = delete;
    TestUi& operator=(const TestUi&) = delete;

    // Runs task on the user-interface thread and waits for it.
    void Run(const std::function<void()>& task) const {
        platform::SyncCall call(task);
        if (!Check(calls_->Send(call), "the user-interface thread takes the test's call")) return;
        try {
            call.RethrowError();
        } catch (...) {
            Check(false, "a task on the user-interface thread raised an error");
        }
    }
    std::shared_ptr<platform::WindowUiThread> Calls() const { return calls_; }
    DWORD ThreadId() const { return thread_id_; }

private:
    std::thread thread_;
    DWORD thread_id_ = 0;
    std::shared_ptr<platform::WindowUiThread> calls_;
};

// One refresh of the worker as the host saw it, and the target as the refresh found it,
// that is, as the placement before it left it.
struct Refresh {
    Clock::time_point time;
    DWORD thread = 0;
    WindowSize size{};  // handed out for the next placement
    bool running = false;
    bool visible = false;
    bool iconic = false;
    UINT show_command = 0;
    RECT rect{};
};

// The user-interface side of the worker: hands out the sizes, records each refresh and the
// end. Its callbacks run on the user-interface thread; the test reads the records.
class RecordingHost final : public jumper::HideThreadHost {
public:
    explicit RecordingHost(HWND target) : target_(target) {}

    WindowSize NextSize() override {
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
        const std::lock_guard lock(mutex_);
        refresh.size = kSizes[(refreshes_.size() + 1) % kSizes.size()];
        refreshes_.push_back(refresh);
        return refresh.size;
    }
    void ShowRunState(const jumper::THideThread&, bool running) override {
        {
            const std::lock_guard lock(mutex_);
            refreshes_.back().running = running;
        }
        changed_.notify_all();
    }
    void WorkerEnded(const jumper::THideThread&) override {
        {
            const std::lock_guard lock(mutex_);
            ++end_count_;
            end_time_ = Clock::now();
            end_thread_ = ::GetCurrentThreadId();
        }
        changed_.notify_all();
    }

    std::vector<Refresh> Refreshes() const {
        const std::lock_guard lock(mutex_);
        return refreshes_;
    }
    bool WaitFor(const std::function<bool()>& done, std::chrono::seconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, done);
    }
    std::size_t RefreshCount() const { return refreshes_.size(); }  // with the lock held
    int EndCount() const { return end_count_; }                        // with the lock held
    Clock::time_point EndTime() const {
        const std::lock_guard lock(mutex_);
        return end_time_;
    }
    DWORD EndThread() const {
        const std::lock_guard lock(mutex_);
        return end_thread_;
    }

private:
    HWND target_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Refresh> refreshes_;
    int end_count_ = 0;
    Clock::time_point end_time_;
    DWORD end_thread_ = 0;
};

}  // namespace

int main() {
    const TestUi ui;
    const int screen_width = ::GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = ::GetSystemMetrics(SM_CYSCREEN);
    TargetWindow::Options options;
    options.title = L"Jump worker target";
    options.minimised = true;
    // Left allocated: a worker that failed to end may still reach its host.
    auto* const target = new TargetWindow(options);
    auto* const host = new RecordingHost(target->Handle());
    const auto gate = std::make_shared<jumper::PlacementGate>();
    std::shared_ptr<jumper::THideThread> worker;
    if (!check::SetUp(::IsIconic(target->Handle()) != FALSE, "the target is minimised")) {
        return check::Report("jump_worker");
    }

    // As the start request does it: created suspended on the user-interface thread, given its
    // target and a first size, and resumed.
    const auto started = Clock::now();
    ui.Run([&] {
        worker = std::make_shared<jumper::THideThread>(std::make_shared<platform::Win32Desktop>(),
                                                       ui.Calls(), *host, gate);
        const auto handle = platform::HandleOf(target->Handle());
        worker->SetTarget(handle, platform::Win32Desktop().GetWindowOwner(handle));
        worker->SetSize(kSizes[0]);
        worker->Resume();
    });
    Check(host->WaitFor([&] { return host->RefreshCount() >= kPlacements; }, 40s),
          "%d refreshes", kPlacements);
    Clock::time_point stop_requested;
    ui.Run([&] {  // as "Stop" does it
        stop_requested = Clock::now();
        worker->runningthread = false;
    });
    if (!Check(host->WaitFor([&] { return host->EndCount() > 0; }, kStopBound),
               "the worker ends within 15 s of the stop")) {
        return check::Report("jump_worker");
    }
    Print("stop to end: %.3f s", Seconds(stop_requested, host->EndTime()));
    std::this_thread::sleep_for(2s);
    Check(host->WaitFor([&] { return host->EndCount() == 1; }, 0s),
          "the worker reports its end once");
    Check(host->EndThread() == ui.ThreadId(), "the end is reported on the user-interface thread");
    const auto late = target->EventsSince(host->EndTime());
    Check(late.empty(), "the target is left alone after the end (%zu events)", late.size());
    Check(::IsWindowVisible(target->Handle()) != FALSE, "the target is visible at the end");

    // Every refresh but the last follows a placement; the last follows none.
    const std::vector<Refresh> refreshes = host->Refreshes();
    const std::vector<WindowEvent> events = target->Events();
    Clock::time_point from = started;
    Clock::time_point last_placed{};
    std::size_t after_stop = 0;
    for (std::size_t i = 0; i < refreshes.size(); ++i) {
        const Refresh& state = refreshes[i];
        const std::size_t number = i + 1;
        std::vector<WindowEvent> placement;
        std::copy_if(events.begin(), events.end(), std::back_inserter(placement),
                     [&](const WindowEvent& e) { return e.time > from && e.time <= state.time; });
        from = state.time;
        Check(state.thread == ui.ThreadId(), "refresh %zu runs on the user-interface thread",
              number);
        const bool before_stop = state.time < stop_requested;
        after_stop += before_stop ? 0 : 1;
        Check(state.running == before_stop, "refresh %zu reads \"%s\"", number,
              before_stop ? "Stop" : "Random");
        if (number == refreshes.size()) {
            Check(placement.empty(), "nothing is placed before the last refresh (%zu events)",
                  placement.size());
            break;
        }

        Check(std::any_of(placement.begin(), placement.end(),
                          [](const WindowEvent& e) { return e.IsMoveOrSize(); }),
              "placement %zu moves or sizes the target", number);
        // Hidden and shown again in the second half of each cycle only, never left hidden.
        const bool second_half = number % 2 == 0;
        const auto last_hide = std::find_if(placement.rbegin(), placement.rend(),
                                            [](const WindowEvent& e) { return e.IsHide(); });
        const bool hidden = last_hide != placement.rend();
        Check(hidden == second_half, "placement %zu %s the target", number,
              second_half ? "hides and re-shows" : "does not hide");
        if (hidden) {
            Check(std::any_of(placement.rbegin(), last_hide,
                              [](const WindowEvent& e) { return e.IsShow() && e.visible; }),
                  "placement %zu shows the target again after hiding it", number);
        }
        Check(state.visible && !state.iconic && state.show_command == SW_SHOWNORMAL,
              "the target is a visible normal window after placement %zu (visible %d, iconic "
              "%d, show %u)",
              number, state.visible, state.iconic, state.show_command);
        const WindowSize given = i == 0 ? kSizes[0] : refreshes[i - 1].size;
        const long width = state.rect.right - state.rect.left;
        const long height = state.rect.bottom - state.rect.top;
        Check(width == static_cast<long>(given.width) && height == static_cast<long>(given.height),
              "placement %zu is %ldx%ld, handed out %ux%u", number, width, height, given.width,
              given.height);
        Check(state.rect.left >= 0 && state.rect.left < screen_width && state.rect.top >= 0 &&
                  state.rect.top < screen_height,
              "placement %zu top-left %ld,%ld on the %dx%d screen", number, state.rect.left,
              state.rect.top, screen_width, screen_height);
        if (!placement.empty()) {
            if (i > 0) {
                const double gap = Seconds(last_placed, placement.front().time);
                Check(gap < kLongestGap, "the pause before placement %zu is %.3f s", number, gap);
            }
            last_placed = placement.back().time;
        }
        Print("placement %zu: %s%s", number, jumptest::Describe(state.rect).c_str(),
              hidden ? " (hidden, shown)" : "");
    }
    // The cycle under way finishes: at most its two refreshes and the last one.
    Check(after_stop >= 1 && after_stop <= 3, "%zu refreshes after the stop", after_stop);

    const int code = check::Report("jump_worker");
    std::fflush(stdout);
    ::ExitProcess(static_cast<UINT>(code));
}
