// The process-wide random source: a 32-bit linear congruential generator shared by the
// user-interface thread and the worker.
#pragma once

#include <atomic>
#include <cstdint>

namespace jumper {

// The generator's whole state; 0 until Randomize seeds it.
extern std::atomic<std::uint32_t> RandSeed;

// Where the seed comes from: the high-resolution counter, else the millisecond tick count.
class SeedClock {
public:
    virtual ~SeedClock() = default;
    virtual bool QueryPerformanceCounter(std::int64_t* count) = 0;
    virtual std::uint32_t GetTickCount() = 0;

protected:
    SeedClock() = default;
    SeedClock(const SeedClock&) = default;
    SeedClock& operator=(const SeedClock&) = default;
};

void Randomize(SeedClock& clock);

// Advances the state one step and returns a value in 0 .. range - 1 (0 for a range of 0);
// range is taken as unsigned, so a negative one reaches up to 2^32 - 1.
std::int32_t Random(std::int32_t range);

// One Random draw: from the smaller bound up to one less than the larger, or the bound
// itself when they are equal. Differences and sums wrap modulo 2^32.
std::int32_t RandomRange(std::int32_t from, std::int32_t to);

}  // namespace jumper
