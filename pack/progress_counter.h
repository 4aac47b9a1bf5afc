// A counter one thread advances and another waits on. The waiting goes through a mutex and
// a condition variable, not std::atomic::wait: where the system has no futex (Windows),
// the C++ library of our MinGW toolchain (GCC 12) can lose a wake-up in atomic waits and
// leave the waiter asleep for good. A store takes the lock only when somebody waits, so a
// counter advanced often and seldom waited on stays cheap.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qarn {

class ProgressCounter {
public:
    ProgressCounter() = default;
    ProgressCounter(const ProgressCounter&) = delete;
    ProgressCounter& operator=(const ProgressCounter&) = delete;

    uint32_t load() const { return value_.load(std::memory_order_acquire); }

    void store(uint32_t value) {
        // Sequentially consistent on both sides: either the waiter, after counting itself
        // in, reads the new value, or this store sees it counted and wakes it under the lock.
        value_.store(value, std::memory_order_seq_cst);
        if (waiters_.load(std::memory_order_seq_cst) != 0) {
            { const std::lock_guard<std::mutex> lock(mutex_); }
            changed_.notify_all();
        }
    }

    // Waits until `done` holds for the value and returns that value.
    template <typename Done>
    uint32_t wait_until(Done done) const {
        for (uint32_t value = load();; value = wait_while(value)) {
            if (done(value)) return value;
        }
    }

    // Waits until the value is no longer `seen` and returns it.
    uint32_t wait_while(uint32_t seen) const {
        uint32_t value = load();
        if (value != seen) return value;
        std::unique_lock<std::mutex> lock(mutex_);
        waiters_.fetch_add(1, std::memory_order_seq_cst);
        while ((value = value_.load(std::memory_order_seq_cst)) == seen) changed_.wait(lock);
        waiters_.fetch_sub(1, std::memory_order_relaxed);
        return value;
    }

private:
    std::atomic<uint32_t> value_{0};
    // Waiting changes none of the counter's value: the waiting's own state is mutable.
    mutable std::atomic<uint32_t> waiters_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
};

}  // namespace qarn
