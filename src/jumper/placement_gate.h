// Lets the process end only between placements: a window that a worker has hidden is
// shown again before the process goes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace jumper {

class PlacementGate {
public:
    // Held for the length of one placement; false when the gate has closed.
    class Pass {
    public:
        explicit Pass(PlacementGate& gate) : gate_(gate), open_(gate.Enter()) {}
        ~Pass() {
            if (open_) gate_.Leave();
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const noexcept { return open_; }

    private:
        PlacementGate& gate_;
        bool open_;
    };

    // Refuses new placements and waits up to timeout for those under way. Returns whether
    // they all finished: a target that does not answer can hold one up.
    bool Close(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        closed_ = true;
        return idle_.wait_for(lock, timeout, [this] { return inside_ == 0; });
    }

private:
    bool Enter() {
        const std::lock_guard lock(mutex_);
        if (closed_) return false;
        ++inside_;
        return true;
    }
    void Leave() {
        const std::lock_guard lock(mutex_);
        if (--inside_ == 0) idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    int inside_ = 0;
    bool closed_ = false;
};

}  // namespace jumper
