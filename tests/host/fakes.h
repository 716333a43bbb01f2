// Stand-ins for the host tests: a simulated desktop that records what is asked of it, a
// user-interface thread that the test itself pumps, and fakes for the worker's host, the
// drop-down list and the main window's controls.
//
// Every fake of one test shares one World: one lock, one wake-up and one event log, so that
// a wait can watch all of them at once and the log holds one total order of events.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "jumper/hide_thread.h"
#include "platform/desktop.h"
#include "platform/exception.h"
#include "platform/ui_thread.h"
#include "jumper/jump_control.h"
#include "lcg.h"

namespace fakes {

using jumper::SizeField;
using platform::WindowHandle;

// How long a wait may take; reached only when a test fails.
inline constexpr std::chrono::seconds kPatience{10};

using reference::Lcg;

inline const char* Name(SizeField field) {
    switch (field) {
        case SizeField::MinWidth: return "MinWidth";
        case SizeField::MinHeight: return "MinHeight";
        case SizeField::MaxWidth: return "MaxWidth";
        case SizeField::MaxHeight: return "MaxHeight";
    }
    return "?";
}

// Event texts, as the fakes record them.
inline std::string ShowEvent(WindowHandle window, int command) {
    return "show " + std::to_string(window) + " " + std::to_string(command);
}
// ShowWindowAsync: queued, not waited for.
inline std::string QueuedShowEvent(WindowHandle window, int command) {
    return "queued-show " + std::to_string(window) + " " + std::to_string(command);
}
inline std::string TerminateEvent(std::uint32_t thread_id) {
    return "terminate " + std::to_string(thread_id);
}
inline std::string WaitToBeEndedEvent(std::uint32_t thread_id) {
    return "waits to be ended " + std::to_string(thread_id);
}
inline std::string PosEvent(WindowHandle window, WindowHandle after, int x, int y, int width,
                            int height, unsigned flags) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%#x", flags);
    return "pos " + std::to_string(window) + " after=" + std::to_string(after) +
           " x=" + std::to_string(x) + " y=" + std::to_string(y) + " w=" + std::to_string(width) +
           " h=" + std::to_string(height) + " flags=" + hex;
}
inline std::string MetricEvent(int index) { return "metric " + std::to_string(index); }
inline std::string SleepEvent(std::uint32_t ms) { return "sleep " + std::to_string(ms); }
inline std::string FieldEvent(SizeField field) { return std::string("field ") + Name(field); }
inline std::string StateEvent(bool running) { return running ? "state 1" : "state 0"; }

class World {
public:
    void Record(std::string event) {
        const std::lock_guard lock(mutex);
        log_.push_back(std::move(event));
        wake.notify_all();
    }
    std::vector<std::string> Log() {
        const std::lock_guard lock(mutex);
        return log_;
    }
    // The events whose text begins with one of the prefixes, in order.
    std::vector<std::string> Events(std::initializer_list<std::string_view> prefixes) {
        const std::lock_guard lock(mutex);
        std::vector<std::string> picked;
        for (const auto& event : log_) {
            for (const auto prefix : prefixes) {
                if (std::string_view(event).substr(0, prefix.size()) == prefix) {
                    picked.push_back(event);
                    break;
                }
            }
        }
        return picked;
    }

    // Recursive, so that a wait's predicate may call the fakes' accessors.
    std::recursive_mutex mutex;
    std::condition_variable_any wake;

private:
    std::vector<std::string> log_;
};

struct Placement {
    WindowHandle window;
    WindowHandle insert_after;
    int x, y, width, height;
    unsigned flags;
};

// A desktop of windows in z-order, top first, each made by an owner of its own unless the
// test says otherwise. The placement calls are recorded; the pauses return at once unless the
// test holds them; Freeze stops every worker-side call at its start. Threads are numbered
// from 1 in the order they first ask for their id; a thread that TerminateThread has ended
// makes no call any more: the fake throws it out of the call it is in, and out of every
// later one.
class SimDesktop final : public platform::Desktop {
public:
    explicit SimDesktop(std::shared_ptr<World> world = std::make_shared<World>())
        : world_(std::move(world)) {}

    World& world() { return *world_; }

    void AddWindow(WindowHandle handle, std::string title, bool visible = true) {
        const std::lock_guard lock(world_->mutex);
        windows_.push_back({handle, std::move(title), visible, OwnerOf(handle)});
    }
    // The window is closed and its handle made again for another program's window.
    void ReuseHandle(WindowHandle handle, platform::WindowOwner owner) {
        const std::lock_guard lock(world_->mutex);
        for (auto& window : windows_) {
            if (window.handle == handle) window.owner = owner;
        }
    }
    static platform::WindowOwner OwnerOf(WindowHandle handle) { return {handle + 1, 4000}; }
    void SetCodePage(unsigned code_page) {
        const std::lock_guard lock(world_->mutex);
        code_page_ = code_page;
    }
    void SetScreen(int width, int height) {
        const std::lock_guard lock(world_->mutex);
        screen_width_ = width;
        screen_height_ = height;
    }
    // The window manager keeps the window off the screen, for reason (DWM_CLOAKED_*).
    void Cloak(WindowHandle handle, std::uint32_t reason) {
        const std::lock_guard lock(world_->mutex);
        for (auto& window : windows_) {
            if (window.handle == handle) window.cloaked = reason;
        }
    }
    // The window manager cannot be asked about the window, as on Windows 7.
    void FailAttributesOf(WindowHandle handle) {
        const std::lock_guard lock(world_->mutex);
        failing_attributes_ = handle;
    }
    // Reading the window's title fails with an error that is not the program's own.
    void FailTitleOf(WindowHandle handle) {
        const std::lock_guard lock(world_->mutex);
        failing_title_ = handle;
    }
    // The system finds the window's program not answering, or answering again.
    void SetHung(WindowHandle handle, bool hung) {
        const std::lock_guard lock(world_->mutex);
        for (auto& window : windows_) {
            if (window.handle == handle) window.hung = hung;
        }
    }
    // Every pause from now on fails with an error that is not the program's own.
    void FailPauses() {
        const std::lock_guard lock(world_->mutex);
        fail_pauses_ = true;
    }

    // Pauses from now on wait until released, in the order they began.
    void HoldSleeps() {
        const std::lock_guard lock(world_->mutex);
        sleeps_allowed_ = sleeps_entered_;
    }
    void ReleaseSleeps(std::size_t count) {
        const std::lock_guard lock(world_->mutex);
        if (sleeps_allowed_ != kNoLimit) sleeps_allowed_ += count;
        world_->wake.notify_all();
    }
    void HoldTerminations() {
        const std::lock_guard lock(world_->mutex);
        terminations_held_ = true;
    }
    void ReleaseTerminations() {
        const std::lock_guard lock(world_->mutex);
        terminations_held_ = false;
        world_->wake.notify_all();
    }
    std::size_t TerminationsAsked() {
        const std::lock_guard lock(world_->mutex);
        return terminations_asked_;
    }
    void Freeze() {
        const std::lock_guard lock(world_->mutex);
        frozen_ = true;
    }
    void Thaw() {
        const std::lock_guard lock(world_->mutex);
        frozen_ = false;
        world_->wake.notify_all();
    }
    // Thaws and lets every pause, present and future, end at once.
    void ReleaseAll() {
        const std::lock_guard lock(world_->mutex);
        frozen_ = false;
        sleeps_allowed_ = kNoLimit;
        world_->wake.notify_all();
    }

    std::size_t SleepsEntered() {
        const std::lock_guard lock(world_->mutex);
        return sleeps_entered_;
    }
    std::size_t FrozenWaiters() {
        const std::lock_guard lock(world_->mutex);
        return frozen_waiters_;
    }
    std::vector<Placement> Placements() {
        const std::lock_guard lock(world_->mutex);
        return placements_;
    }
    std::set<std::thread::id> WorkerThreads() {
        const std::lock_guard lock(world_->mutex);
        return worker_threads_;
    }
    std::size_t Visited() {
        const std::lock_guard lock(world_->mutex);
        return visited_;
    }
    std::size_t AttributeQueries() {
        const std::lock_guard lock(world_->mutex);
        return attribute_queries_;
    }

    // platform::Desktop
    void EnumWindows(platform::EnumWindowsCallback callback, std::intptr_t context) override {
        std::vector<WindowHandle> handles;
        {
            const std::lock_guard lock(world_->mutex);
            visited_ = 0;
            for (const auto& window : windows_) handles.push_back(window.handle);
        }
        for (const WindowHandle handle : handles) {
            {
                const std::lock_guard lock(world_->mutex);
                ++visited_;
            }
            if (!callback(handle, context)) break;
        }
        world_->Record("enum-done");
    }
    // Cuts a long title at the byte, as Windows may, even inside a character.
    int GetWindowTextA(WindowHandle window, char* buffer, int capacity) override {
        const std::lock_guard lock(world_->mutex);
        if (window == failing_title_) throw std::bad_alloc();
        const SimWindow* found = Find(window);
        const std::string title = found ? found->title : std::string();
        const auto length = std::min(title.size(), static_cast<std::size_t>(capacity - 1));
        std::copy_n(title.data(), length, buffer);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    bool IsWindowVisible(WindowHandle window) override {
        const std::lock_guard lock(world_->mutex);
        const SimWindow* found = Find(window);
        return found && found->visible;
    }
    unsigned GetACP() override {
        const std::lock_guard lock(world_->mutex);
        return code_page_;
    }
    // A failed call leaves the value written over, so that only its result tells.
    std::int32_t DwmGetWindowAttribute(WindowHandle window, unsigned attribute, void* value,
                                       unsigned size) override {
        const std::lock_guard lock(world_->mutex);
        ++attribute_queries_;
        std::uint32_t cloaked = 0xFFFFFFFFu;
        const SimWindow* found = Find(window);
        const bool answers = found && window != failing_attributes_ &&
                             attribute == platform::kDwmwaCloaked && size == sizeof cloaked;
        if (answers) cloaked = found->cloaked;
        std::memcpy(value, &cloaked, std::min<std::size_t>(size, sizeof cloaked));
        return answers ? 0 : kEInvalidArg;
    }
    platform::WindowOwner GetWindowOwner(WindowHandle window) override {  // the list asks too
        const std::lock_guard lock(world_->mutex);
        const SimWindow* found = Find(window);
        return found ? found->owner : platform::WindowOwner{};
    }
    bool IsHungAppWindow(WindowHandle window) override {
        const std::lock_guard lock(world_->mutex);
        const SimWindow* found = Find(window);
        return found && found->hung;
    }
    void ShowWindow(WindowHandle window, int command) override {
        std::unique_lock lock(world_->mutex);
        Enter(lock);
        Log(ShowEvent(window, command));
    }
    void SetWindowPos(WindowHandle window, WindowHandle insert_after, int x, int y, int width,
                      int height, unsigned flags) override {
        std::unique_lock lock(world_->mutex);
        Enter(lock);
        placements_.push_back({window, insert_after, x, y, width, height, flags});
        Log(PosEvent(window, insert_after, x, y, width, height, flags));
    }
    int GetSystemMetrics(int index) override {
        std::unique_lock lock(world_->mutex);
        Enter(lock);
        Log(MetricEvent(index));
        if (index == platform::kSmCxScreen) return screen_width_;
        if (index == platform::kSmCyScreen) return screen_height_;
        return 0;
    }
    void Sleep(std::uint32_t milliseconds) override {
        std::unique_lock lock(world_->mutex);
        Enter(lock);
        Log(SleepEvent(milliseconds));
        if (fail_pauses_) throw std::system_error(std::make_error_code(std::errc::interrupted));
        const std::size_t index = sleeps_entered_++;
        world_->wake.notify_all();
        world_->wake.wait(lock, [&] { return index < sleeps_allowed_; });
    }
    std::uint32_t GetCurrentThreadId() override {
        const std::lock_guard lock(world_->mutex);
        return IdOf(std::this_thread::get_id());
    }
    // Returns once the thread has left the call it was frozen in. Held, it first waits for
    // ReleaseTerminations.
    void TerminateThread(std::uint32_t thread_id) override {
        std::unique_lock lock(world_->mutex);
        ++terminations_asked_;
        world_->wake.notify_all();
        world_->wake.wait(lock, [&] { return !terminations_held_; });
        Log(TerminateEvent(thread_id));
        terminated_.insert(thread_id);
        world_->wake.notify_all();
        world_->wake.wait(lock, [&] { return frozen_threads_.count(thread_id) == 0; });
    }
    // Returns once the thread has been ended, which in the fake runs on.
    void WaitToBeEnded() override {
        std::unique_lock lock(world_->mutex);
        const std::uint32_t self = IdOf(std::this_thread::get_id());
        Log(WaitToBeEndedEvent(self));
        world_->wake.wait(lock, [&] { return terminated_.count(self) != 0; });
    }
    void ShowWindowAsync(WindowHandle window, int command) override {
        const std::lock_guard lock(world_->mutex);
        Log(QueuedShowEvent(window, command));
    }

private:
    static constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();
    static constexpr std::int32_t kEInvalidArg = -2147024809;  // E_INVALIDARG, 0x80070057

    struct SimWindow {
        WindowHandle handle;
        std::string title;
        bool visible;
        platform::WindowOwner owner;
        std::uint32_t cloaked = 0;
        bool hung = false;
    };
    struct Terminated {};  // thrown through a thread that TerminateThread ended

    const SimWindow* Find(WindowHandle handle) const {
        for (const auto& window : windows_) {
            if (window.handle == handle) return &window;
        }
        return nullptr;
    }
    std::uint32_t IdOf(std::thread::id thread) {  // lock held
        const auto next = static_cast<std::uint32_t>(thread_ids_.size() + 1);
        return thread_ids_.try_emplace(thread, next).first->second;
    }
    // Every worker-side call starts here: notes the thread and waits out a freeze.
    void Enter(std::unique_lock<std::recursive_mutex>& lock) {
        worker_threads_.insert(std::this_thread::get_id());
        const std::uint32_t self = IdOf(std::this_thread::get_id());
        if (terminated_.count(self) != 0) throw Terminated{};
        if (!frozen_) return;
        ++frozen_waiters_;
        frozen_threads_.insert(self);
        world_->wake.notify_all();
        world_->wake.wait(lock, [&] { return !frozen_ || terminated_.count(self) != 0; });
        --frozen_waiters_;
        frozen_threads_.erase(self);
        world_->wake.notify_all();
        if (terminated_.count(self) != 0) throw Terminated{};
    }
    void Log(std::string event) { world_->Record(std::move(event)); }  // lock held, recursive

    std::shared_ptr<World> world_;
    std::vector<SimWindow> windows_;
    unsigned code_page_ = platform::kCpUtf8;  // as the program's manifest asks
    int screen_width_ = 1024;
    int screen_height_ = 768;
    std::size_t sleeps_entered_ = 0;
    std::size_t sleeps_allowed_ = kNoLimit;
    bool frozen_ = false;
    std::size_t frozen_waiters_ = 0;
    std::size_t visited_ = 0;
    WindowHandle failing_title_ = 0;
    WindowHandle failing_attributes_ = 0;
    std::size_t attribute_queries_ = 0;
    bool fail_pauses_ = false;
    std::vector<Placement> placements_;
    std::set<std::thread::id> worker_threads_;
    std::map<std::thread::id, std::uint32_t> thread_ids_;
    std::set<std::uint32_t> frozen_threads_;
    std::set<std::uint32_t> terminated_;
    bool terminations_held_ = false;
    std::size_t terminations_asked_ = 0;
};

// The user-interface thread is the test's own: a worker's call waits in Send until the test
// pumps, so nothing the worker asks of the user-interface side runs behind the test's back.
class PumpUi final : public platform::UiThread {
public:
    explicit PumpUi(std::shared_ptr<World> world) : world_(std::move(world)) {}

    // The system's message when it refuses the next threads; empty while it makes them.
    std::wstring refuse_threads;

    void StartThread(std::function<void()> body) override {
        if (!refuse_threads.empty()) throw platform::Exception(refuse_threads);
        std::thread(std::move(body)).detach();
    }

    bool Send(platform::SyncCall& call) override {
        std::unique_lock lock(world_->mutex);
        if (closed_) return false;
        Pending pending{&call};
        queue_.push_back(&pending);
        world_->wake.notify_all();
        world_->wake.wait(lock, [&] { return pending.done; });
        return pending.ran;
    }

    // Runs the calls sent here, on the calling thread, until done() holds. False when it still
    // does not after kPatience. done() runs under the world's lock; it may call any fake.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::unique_lock lock(world_->mutex);
        for (;;) {
            if (done()) return true;
            if (!queue_.empty()) {
                Pending* pending = queue_.front();
                queue_.pop_front();
                lock.unlock();
                pending->call->Run();
                lock.lock();
                pending->ran = pending->done = true;
                world_->wake.notify_all();
                continue;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            // Short slices: some conditions (a worker letting go of its object) wake nobody.
            world_->wake.wait_for(lock, std::chrono::milliseconds(2));
        }
    }

    // Takes no more calls; those still waiting are answered false, not run.
    void Close() {
        const std::lock_guard lock(world_->mutex);
        closed_ = true;
        for (Pending* pending : queue_) pending->done = true;
        queue_.clear();
        world_->wake.notify_all();
    }

private:
    struct Pending {
        platform::SyncCall* call;
        bool done = false;
        bool ran = false;
    };

    std::shared_ptr<World> world_;
    std::deque<Pending*> queue_;
    bool closed_ = false;
};

// A worker's host, drawing each size from its fields as the program's does. Called only on the
// pumping thread, so its fields need no lock.
class RecordingHost final : public jumper::HideThreadHost, public jumper::SizeFields {
public:
    explicit RecordingHost(World& world) : world_(world) {}

    std::map<SizeField, std::wstring> fields{{SizeField::MinWidth, L"100"},
                                             {SizeField::MaxWidth, L"300"},
                                             {SizeField::MinHeight, L"400"},
                                             {SizeField::MaxHeight, L"700"}};
    // Texts a field gives before its own, one per read.
    std::map<SizeField, std::deque<std::wstring>> first_reads;
    std::vector<const jumper::THideThread*> reporters;  // every worker that called in

    jumper::WindowSize NextSize() override {
        return jumper::DrawSize(*this);
    }
    std::wstring FieldText(SizeField field) override {
        world_.Record(FieldEvent(field));
        auto& queued = first_reads[field];
        if (!queued.empty()) {
            std::wstring text = std::move(queued.front());
            queued.pop_front();
            return text;
        }
        return fields.at(field);
    }
    void ShowRunState(const jumper::THideThread& worker, bool running) override {
        reporters.push_back(&worker);
        world_.Record(StateEvent(running));
    }
    void WorkerEnded(const jumper::THideThread& worker) override {
        reporters.push_back(&worker);
        world_.Record("ended");
    }

private:
    World& world_;
};

// The drop-down list; refuses the item at position refuse_at, if set.
class FakeList final : public catalogue::ItemList {
public:
    explicit FakeList(World& world) : world_(world) {}

    std::vector<std::string> items;
    int refuse_at = -1;

    void BeginUpdate() override { world_.Record("begin-update"); }
    void EndUpdate() noexcept override { world_.Record("end-update"); }
    void Clear(int count, std::size_t bytes) override {
        items.clear();
        world_.Record("clear " + std::to_string(count) + " " + std::to_string(bytes));
    }
    bool Add(std::string_view title) override {
        if (static_cast<int>(items.size()) == refuse_at) return false;
        items.emplace_back(title);
        world_.Record("add " + std::string(title));
        return true;
    }

private:
    World& world_;
};

// The main window's button, four fields and list selection, without a window.
class FakePanel final : public jumper::JumpPanel {
public:
    std::wstring caption{jumper::kCaptionRandom};
    std::map<SizeField, std::wstring> fields{{SizeField::MinWidth, L"100"},
                                             {SizeField::MaxWidth, L"300"},
                                             {SizeField::MinHeight, L"100"},
                                             {SizeField::MaxHeight, L"300"}};
    int selected = -1;
    int caption_sets = 0;

    std::wstring ButtonCaption() override { return caption; }
    void SetButtonCaption(std::wstring_view text) override {
        caption = text;
        ++caption_sets;
    }
    std::wstring FieldText(SizeField field) override { return fields.at(field); }
    int SelectedIndex() override { return selected; }
};

// Whether a worker's thread has let go of its object, the test side holding `held` references:
// after that the worker touches nothing of the test's.
inline bool Released(const std::shared_ptr<jumper::THideThread>& worker, long held) {
    return worker.use_count() == held;
}

}  // namespace fakes
