// The one record of the placements under way: which worker thread is placing which target.
// It lets the process end only between placements, so that a window that a worker has hidden
// is shown again before the process goes, and never holds a worker up while it places.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/desktop.h"
#include "platform/lock.h"

namespace jumper {

class PlacementGate {
public:
    PlacementGate() = default;
    PlacementGate(const PlacementGate&) = delete;
    PlacementGate& operator=(const PlacementGate&) = delete;

    // Held by a worker for the length of one placement of target, on the calling thread;
    // false when the gate has closed. The lock is taken only to enter and to leave: a worker
    // that its target holds up holds up no other. A pass left after the process has begun to
    // end does not return: its thread waits there to be ended.
    class Pass {
    public:
        Pass(PlacementGate& gate, platform::Desktop& desktop,
             platform::WindowHandle target) noexcept;
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const noexcept { return open_; }

    private:
        friend class PlacementGate;
        PlacementGate& gate_;
        platform::Desktop& desktop_;
        std::uint32_t thread_id_;
        platform::WindowHandle target_;
        Pass* next_ = nullptr;  // the placements under way, linked through the passes
        bool open_ = false;
        bool ending_ = false;  // under the gate's lock: the thread is to be ended
    };

    // Ends the jumping as the process ends: no placement starts from now on, and those under
    // way get up to wait to finish. A worker still inside one then has a target that stopped
    // answering in the middle of it: that worker is ended first, and only then is its target
    // shown again, queued, so that no hide of that worker can come after the show.
    void EndPlacements(platform::Desktop& desktop, std::chrono::milliseconds wait) noexcept;

private:
    platform::Lock lock_;
    platform::ConditionVariable idle_;  // woken as a placement ends
    Pass* under_way_ = nullptr;         // under lock_
    bool closed_ = false;               // under lock_
};

}  // namespace jumper
