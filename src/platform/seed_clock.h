// Where the random source's seed comes from: the high-resolution counter, else the
// millisecond tick count. Win32SeedClock implements it over kernel32, the tests over fakes.
#pragma once

#include <cstdint>

namespace platform {

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

}  // namespace platform
