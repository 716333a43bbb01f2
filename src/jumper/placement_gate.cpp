#include "jumper/placement_gate.h"

namespace jumper {

void PlacementGate::Close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
}

}  // namespace jumper
