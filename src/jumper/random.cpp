#include "jumper/random.h"

namespace jumper {

std::atomic<std::uint32_t> RandSeed{0};

namespace {

constexpr std::uint32_t kMultiplier = 0x08088405;  // 134775813

std::int32_t Wrap(std::uint32_t value) { return static_cast<std::int32_t>(value); }
std::uint32_t Bits(std::int32_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

void Randomize(platform::SeedClock& clock) {
    std::int64_t count = 0;
    const std::uint32_t seed = clock.QueryPerformanceCounter(&count)
                                   ? static_cast<std::uint32_t>(count)
                                   : clock.GetTickCount();
    RandSeed.store(seed, std::memory_order_relaxed);
}

std::int32_t Random(std::int32_t range) {
    // One compare-exchange per draw: two threads drawing at once each get their own step.
    std::uint32_t state = RandSeed.load(std::memory_order_relaxed);
    std::uint32_t next = 0;
    do {
        next = state * kMultiplier + 1;
    } while (!RandSeed.compare_exchange_weak(state, next, std::memory_order_relaxed));
    return Wrap(static_cast<std::uint32_t>((static_cast<std::uint64_t>(next) * Bits(range)) >> 32));
}

std::int32_t RandomRange(std::int32_t from, std::int32_t to) {
    if (to < from) return Wrap(Bits(Random(Wrap(Bits(from) - Bits(to)))) + Bits(to));
    return Wrap(Bits(Random(Wrap(Bits(to) - Bits(from)))) + Bits(from));
}

}  // namespace jumper
