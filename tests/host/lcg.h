// The generator the program is meant to have, written out on its own as the tests' reference:
// the host tests predict draws with it, and the fuzz target compares every draw against it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace reference {

struct Lcg {
    std::uint32_t state;

    std::uint32_t Step() { return state = state * 134775813u + 1u; }
    // Random(range) for a range taken as unsigned.
    std::int32_t Random(std::uint32_t range) {
        const std::uint64_t high = (std::uint64_t{Step()} * range) >> 32;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(high));
    }
    // RandomRange(a, b): from the smaller bound up to one less than the larger, in 64 bits.
    std::int32_t Range(std::int32_t a, std::int32_t b) {
        const std::int64_t low = std::min(a, b);
        const std::int64_t high = std::max(a, b);
        const auto span = static_cast<std::uint64_t>(high - low);
        return static_cast<std::int32_t>(low + static_cast<std::int64_t>((Step() * span) >> 32));
    }
};

}  // namespace reference
