// The system's own lock and condition variable: on Windows a slim reader/writer lock taken
// exclusively and a condition variable (both since Vista, so on every Windows 7), on the host
// where the unit tests run their POSIX counterparts. Neither brings anything of the C++
// library's thread support into the program, and neither can fail once made.
#pragma once

#include <chrono>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <time.h>
#endif

namespace platform {

class Lock {
public:
    Lock() noexcept = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
#ifdef _WIN32
    ~Lock() = default;  // a slim lock holds nothing to release
#else
    ~Lock() { pthread_mutex_destroy(&lock_); }
#endif

    // Holds the lock for its own lifetime.
    class Guard {
    public:
        explicit Guard(Lock& lock) noexcept : lock_(lock) { lock_.Acquire(); }
        ~Guard() { lock_.Release(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        friend class ConditionVariable;
        Lock& lock_;
    };

private:
    friend class ConditionVariable;
#ifdef _WIN32
    void Acquire() noexcept { ::AcquireSRWLockExclusive(&lock_); }
    void Release() noexcept { ::ReleaseSRWLockExclusive(&lock_); }
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    void Acquire() noexcept { pthread_mutex_lock(&lock_); }
    void Release() noexcept { pthread_mutex_unlock(&lock_); }
    pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

class ConditionVariable {
public:
#ifdef _WIN32
    ConditionVariable() noexcept = default;
    ~ConditionVariable() = default;  // holds nothing to release
#else
    ConditionVariable() noexcept {
        pthread_condattr_t attributes;
        pthread_condattr_init(&attributes);
        pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        pthread_cond_init(&condition_, &attributes);
        pthread_condattr_destroy(&attributes);
    }
    ~ConditionVariable() { pthread_cond_destroy(&condition_); }
#endif
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;

    // Wakes every thread waiting; the caller need not hold the lock.
#ifdef _WIN32
    void WakeAll() noexcept { ::WakeAllConditionVariable(&condition_); }
#else
    void WakeAll() noexcept { pthread_cond_broadcast(&condition_); }
#endif

    // Waits, with guard's lock held and given up while waiting, until done() holds or timeout
    // has passed; whether done() holds at the end.
    template <typename Predicate>
    bool WaitFor(Lock::Guard& guard, std::chrono::milliseconds timeout, Predicate done) noexcept {
        const std::uint64_t deadline = NowMs() + static_cast<std::uint64_t>(timeout.count());
        while (!done()) {
            const std::uint64_t now = NowMs();
            if (now >= deadline) return false;
            Sleep(guard.lock_, static_cast<std::uint32_t>(deadline - now));
        }
        return true;
    }

private:
    // Sleep returns when woken, after timeout_ms, or at random: the caller tests its
    // condition again. NowMs counts milliseconds on a clock that a change of the date does not
    // move.
#ifdef _WIN32
    static std::uint64_t NowMs() noexcept { return ::GetTickCount64(); }
    void Sleep(Lock& lock, std::uint32_t timeout_ms) noexcept {
        ::SleepConditionVariableSRW(&condition_, &lock.lock_, timeout_ms, 0);
    }
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
#else
    static std::uint64_t NowMs() noexcept {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
               static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
    }
    void Sleep(Lock& lock, std::uint32_t timeout_ms) noexcept {
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        const long long nanoseconds = static_cast<long long>(timeout_ms) * 1000000 + until.tv_nsec;
        until.tv_sec += static_cast<time_t>(nanoseconds / 1000000000);
        until.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
        pthread_cond_timedwait(&condition_, &lock.lock_, &until);
    }
    pthread_cond_t condition_{};
#endif
};

}  // namespace platform
