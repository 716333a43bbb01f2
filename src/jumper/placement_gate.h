// Lets the process end only between placements. Each placement queues a hide or a restore
// and then a showing move to its target, and a process that ended between the two would
// leave the target hidden for good; the calls never wait for the target, so a placement
// is over in moments, whatever the target does.
#pragma once

#include <mutex>

namespace jumper {

class PlacementGate {
public:
    // Held by a worker for the length of one placement; false when the gate has closed.
    class Pass {
    public:
        explicit Pass(PlacementGate& gate) : lock_(gate.mutex_), open_(!gate.closed_) {}
        explicit operator bool() const noexcept { return open_; }

    private:
        std::lock_guard<std::mutex> lock_;
        bool open_;
    };

    // Waits for the placement under way, if any, and refuses every later one: once it has
    // returned, every target's queue ends with a showing call.
    void Close();

private:
    std::mutex mutex_;
    bool closed_ = false;  // under mutex_
};

}  // namespace jumper
