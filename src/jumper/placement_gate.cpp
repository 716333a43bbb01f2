#include "jumper/placement_gate.h"

namespace jumper {

PlacementGate::Pass::Pass(PlacementGate& gate, platform::Desktop& desktop,
                          platform::WindowHandle target) noexcept
    : gate_(gate), desktop_(desktop), thread_id_(desktop.GetCurrentThreadId()), target_(target) {
    const platform::Lock::Guard guard(gate_.lock_);
    if (gate_.closed_) return;
    next_ = gate_.under_way_;
    gate_.under_way_ = this;
    open_ = true;
}

PlacementGate::Pass::~Pass() {
    if (!open_) return;
    {
        const platform::Lock::Guard guard(gate_.lock_);
        if (!ending_) {
            for (Pass** link = &gate_.under_way_; *link; link = &(*link)->next_) {
                if (*link == this) {
                    *link = next_;
                    break;
                }
            }
            gate_.idle_.WakeAll();
            return;
        }
    }
    // The process is ending and will end this thread from outside: it stays here, its pass
    // still listed, holding no lock and in no wait of the program's.
    desktop_.WaitToBeEnded();
}

void PlacementGate::EndPlacements(platform::Desktop& desktop,
                                  std::chrono::milliseconds wait) noexcept {
    {
        platform::Lock::Guard guard(lock_);
        closed_ = true;
        idle_.WaitFor(guard, wait, [this] { return under_way_ == nullptr; });
        for (Pass* pass = under_way_; pass; pass = pass->next_) pass->ending_ = true;
    }
    // The list is fixed now: no pass is added once the gate has closed, and none left marked
    // leaves it. Each belongs to a thread that is still inside its placement (its target has
    // stopped answering) or waits to be ended at its end. Ending such a thread from outside is
    // safe here, and only here: the process ends next, and between entering and leaving a
    // placement a worker only makes system calls (on its target) and draws from the random
    // source, with no allocation and no lock or wait of the program's, so it holds nothing that
    // the end of the process needs. The system frees an ended thread's stack, and the pass on
    // it: each pass is read before its thread is ended.
    for (Pass* pass = under_way_; pass;) {
        Pass* const next = pass->next_;
        const std::uint32_t thread_id = pass->thread_id_;
        const platform::WindowHandle target = pass->target_;
        desktop.TerminateThread(thread_id);
        desktop.ShowWindowAsync(target, platform::kSwShowNa);
        pass = next;
    }
}

}  // namespace jumper
