// Fuzz target: Random and RandomRange against a 64-bit reference of the generator.
//
// The input is a starting state (4 bytes) and then a run of draws of 9 bytes each: a kind
// (RandomRange or Random) and two 32-bit arguments. Each draw must give the reference's
// result and leave the reference's state; a RandomRange result must also lie from the
// smaller bound to one below the larger (the bound itself when they are equal), and a Random
// result below its range taken as unsigned.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jumper/random.h"
#include "lcg.h"

namespace {

constexpr std::uint64_t kMask32 = 0xFFFFFFFFu;

std::uint32_t Read32(const std::uint8_t* data) {
    std::uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// One step of the generator and the high half of state * range, in 64-bit arithmetic.
struct Draw {
    std::uint64_t state;
    std::uint64_t value;
};

Draw ReferenceRandom(std::uint64_t state, std::uint64_t range) {
    const std::uint64_t next = reference::Lcg{static_cast<std::uint32_t>(state)}.Step();
    return {next, (next * (range & kMask32)) >> 32};
}

std::int64_t AsSigned32(std::uint64_t bits) {
    bits &= kMask32;
    return bits >= 0x80000000u ? static_cast<std::int64_t>(bits) - (std::int64_t{1} << 32)
                               : static_cast<std::int64_t>(bits);
}

[[noreturn]] void Fail(const char* what, std::uint32_t state, std::int32_t a, std::int32_t b,
                       long long expected, long long actual) {
    std::fprintf(stderr, "%s(%d, %d) from state %u: expected %lld, got %lld\n", what, a, b,
                 state, expected, actual);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return -1;
    std::uint64_t state = Read32(data);
    jumper::RandSeed.store(static_cast<std::uint32_t>(state));
    for (std::size_t at = 4; at + 9 <= size && at < 4 + 9 * 64; at += 9) {
        const bool range_draw = (data[at] & 1) == 0;
        const auto a = static_cast<std::int32_t>(Read32(data + at + 1));
        const auto b = static_cast<std::int32_t>(Read32(data + at + 5));
        const auto before = static_cast<std::uint32_t>(state);

        long long expected = 0;
        long long actual = 0;
        if (range_draw) {
            // The difference of the bounds is exact in 64 bits and fits in 32 unsigned ones.
            const std::int64_t low = std::min<std::int64_t>(a, b);
            const std::int64_t high = std::max<std::int64_t>(a, b);
            const Draw draw = ReferenceRandom(state, static_cast<std::uint64_t>(high - low));
            state = draw.state;
            expected = AsSigned32(static_cast<std::uint64_t>(low) + draw.value);
            actual = jumper::RandomRange(a, b);
            if (actual != expected) Fail("RandomRange", before, a, b, expected, actual);
            const std::int64_t top = high == low ? low : high - 1;
            if (actual < low || actual > top) Fail("RandomRange bounds", before, a, b, low, actual);
        } else {
            const Draw draw = ReferenceRandom(state, static_cast<std::uint32_t>(a));
            state = draw.state;
            expected = AsSigned32(draw.value);
            actual = jumper::Random(a);
            if (actual != expected) Fail("Random", before, a, 0, expected, actual);
            const auto range = static_cast<std::uint32_t>(a);
            const auto unsigned_result = static_cast<std::uint32_t>(actual);
            if (range == 0 ? unsigned_result != 0 : unsigned_result >= range) {
                Fail("Random bounds", before, a, 0, range, actual);
            }
        }
        const std::uint32_t now = jumper::RandSeed.load();
        if (now != static_cast<std::uint32_t>(state)) {
            Fail(range_draw ? "RandomRange state" : "Random state", before, a, b,
                 static_cast<long long>(state), now);
        }
    }
    return 0;
}
