// The one record of the placements under way: which worker places which target since when.
// It tells whether a worker is held up, and lets the process end only between placements,
// so that a window that a worker has hidden is shown again before the process goes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/desktop.h"

namespace jumper {

class THideThread;

class PlacementGate {
public:
    // Held by a worker for the length of one placement of target, begun at began (the
    // desktop's tick count); false when the gate has closed.
    class Pass {
    public:
        Pass(PlacementGate& gate, const THideThread& worker, platform::WindowHandle target,
             std::uint64_t began)
            : gate_(gate), worker_(worker), open_(gate.Enter({&worker, target, began})) {}
        ~Pass() {
            if (open_) gate_.Leave(worker_);
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const noexcept { return open_; }

    private:
        PlacementGate& gate_;
        const THideThread& worker_;
        bool open_;
    };

    // Whether, at now (the desktop's tick count), the worker is held up in a placement: one
    // that has lasted longer than the hang probe may, so that its target stopped answering
    // during a call and no refresh comes until it answers again.
    bool HeldUp(const THideThread& worker, std::uint64_t now) const;

    // Refuses new placements and waits up to timeout for those under way. Returns the targets
    // of those that have still not finished: a target that does not answer can hold one up.
    std::vector<platform::WindowHandle> Close(std::chrono::milliseconds timeout);

    // Ends the jumping as the process ends: no placement starts any more, and one under way
    // gets up to grace to finish. A target whose placement has still not finished is shown
    // again without waiting for it, behind the hide already sent to it, so that no window is
    // left hidden when the process is gone.
    void EndPlacements(platform::Desktop& desktop, std::chrono::milliseconds grace);

private:
    struct Placement {
        const THideThread* worker;  // a worker makes one placement at a time
        platform::WindowHandle target;
        std::uint64_t began;
    };

    bool Enter(const Placement& placement);
    void Leave(const THideThread& worker);

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<Placement> under_way_;
    bool closed_ = false;
};

}  // namespace jumper
