// The process-wide random source: a 32-bit linear congruential generator shared by the
// user-interface thread and the worker.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/seed_clock.h"

namespace jumper {

// The generator's whole state; 0 until Randomize seeds it.
extern std::atomic<std::uint32_t> RandSeed;

// Seeds the generator from the clock's counter, else its tick count.
void Randomize(platform::SeedClock& clock);

// Advances the state one step and returns a value in 0 .. range - 1 (0 for a range of 0);
// range is taken as unsigned, so a negative one reaches up to 2^32 - 1.
std::int32_t Random(std::int32_t range);

// One Random draw: from the smaller bound up to one less than the larger, or the bound
// itself when they are equal. Differences and sums wrap modulo 2^32.
std::int32_t RandomRange(std::int32_t from, std::int32_t to);

}  // namespace jumper
