// Lets the process end only between placements: a window that a worker has hidden is
// shown again before the process goes.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/desktop.h"

namespace jumper {

class PlacementGate {
public:
    // Held for the length of one placement of target; false when the gate has closed.
    class Pass {
    public:
        Pass(PlacementGate& gate, platform::WindowHandle target)
            : gate_(gate), target_(target), open_(gate.Enter(target)) {}
        ~Pass() {
            if (open_) gate_.Leave(target_);
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const noexcept { return open_; }

    private:
        PlacementGate& gate_;
        platform::WindowHandle target_;
        bool open_;
    };

    // Refuses new placements and waits up to timeout for those under way. Returns the targets
    // of those that have still not finished: a target that does not answer can hold one up.
    std::vector<platform::WindowHandle> Close(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        closed_ = true;
        idle_.wait_for(lock, timeout, [this] { return inside_.empty(); });
        return inside_;
    }

private:
    bool Enter(platform::WindowHandle target) {
        const std::lock_guard lock(mutex_);
        if (closed_) return false;
        inside_.push_back(target);
        return true;
    }
    void Leave(platform::WindowHandle target) {
        const std::lock_guard lock(mutex_);
        inside_.erase(std::find(inside_.begin(), inside_.end(), target));
        if (inside_.empty()) idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<platform::WindowHandle> inside_;  // one entry per placement under way
    bool closed_ = false;
};

}  // namespace jumper
