#include "jumper/placement_gate.h"

namespace jumper {

PlacementGate::Pass::Pass(PlacementGate& gate, std::uint32_t thread_id,
                          platform::WindowHandle target) noexcept
    : gate_(gate), thread_id_(thread_id), target_(target) {
    const platform::Lock::Guard guard(gate_.lock_);
    if (gate_.closed_) return;
    next_ = gate_.under_way_;
    gate_.under_way_ = this;
    open_ = true;
}

PlacementGate::Pass::~Pass() {
    if (!open_) return;
    const platform::Lock::Guard guard(gate_.lock_);
    for (Pass** link = &gate_.under_way_; *link; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
    gate_.idle_.WakeAll();
}

void PlacementGate::EndPlacements(platform::Desktop& desktop,
                                  std::chrono::milliseconds wait) noexcept {
    platform::Lock::Guard guard(lock_);
    closed_ = true;
    idle_.WaitFor(guard, wait, [this] { return under_way_ == nullptr; });
    // The lock stays held: a worker whose call returns now waits to leave, so each pass below
    // still belongs to a thread inside its placement. Ending a thread from outside is safe
    // here, and only here: the process ends next, and the thread is inside a system call
    // (its target's ShowWindow or SetWindowPos), holding none of the program's locks and no
    // heap memory in the making, since a placement neither allocates nor takes any lock
    // between entering and leaving. A thread ended by the system frees its stack, and the
    // pass with it: each is read before its thread is ended.
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
