#include "jumper/placement_gate.h"

#include <algorithm>

namespace jumper {

bool PlacementGate::HeldUp(const THideThread& worker, std::uint64_t now) const {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(under_way_.begin(), under_way_.end(),
                                    [&](const Placement& p) { return p.worker == &worker; });
    // Added, not subtracted: now may have been read just before the placement began.
    return found != under_way_.end() && now > found->began + platform::kAnswerTimeoutMs;
}

std::vector<platform::WindowHandle> PlacementGate::Close(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    closed_ = true;
    idle_.wait_for(lock, timeout, [this] { return under_way_.empty(); });
    std::vector<platform::WindowHandle> targets;
    targets.reserve(under_way_.size());
    for (const Placement& placement : under_way_) targets.push_back(placement.target);
    return targets;
}

void PlacementGate::EndPlacements(platform::Desktop& desktop, std::chrono::milliseconds grace) {
    for (const platform::WindowHandle target : Close(grace)) {
        desktop.ShowWindowAsync(target, platform::kSwShowNa);
    }
}

bool PlacementGate::Enter(const Placement& placement) {
    const std::lock_guard lock(mutex_);
    if (closed_) return false;
    under_way_.push_back(placement);
    return true;
}

void PlacementGate::Leave(const THideThread& worker) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(under_way_.begin(), under_way_.end(),
                                    [&](const Placement& p) { return p.worker == &worker; });
    if (found != under_way_.end()) under_way_.erase(found);
    if (under_way_.empty()) idle_.notify_all();
}

}  // namespace jumper
