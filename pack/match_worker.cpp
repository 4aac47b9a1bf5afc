#include "pack/match_worker.h"

#include <system_error>

namespace qarn {

bool MatchWorker::start() {
    if (running()) return true;
    quit_.store(false);
    posted_.store(0);
    finished_.store(0);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void MatchWorker::stop() {
    if (!running()) return;
    wait_idle();
    quit_.store(true, std::memory_order_release);
    posted_.fetch_add(1, std::memory_order_release);  // wakes the worker, which sees quit_
    posted_.notify_all();
    thread_.join();
}

void MatchWorker::post(const FindJob& job) {
    const uint32_t n = posted_.load(std::memory_order_relaxed);
    // Room in the queue of two: the job two before this one has finished.
    for (uint32_t done = finished_.load(std::memory_order_acquire); n - done >= 2;
         done = finished_.load(std::memory_order_acquire)) {
        finished_.wait(done, std::memory_order_acquire);
    }
    job.out->ready.store(0, std::memory_order_relaxed);
    jobs_[n & 1] = job;
    posted_.store(n + 1, std::memory_order_release);
    posted_.notify_all();
}

void MatchWorker::wait_idle() {
    const uint32_t n = posted_.load(std::memory_order_relaxed);
    for (uint32_t done = finished_.load(std::memory_order_acquire); done != n;
         done = finished_.load(std::memory_order_acquire)) {
        finished_.wait(done, std::memory_order_acquire);
    }
}

void MatchWorker::run() {
    uint32_t next = 0;
    for (;;) {
        for (uint32_t n = posted_.load(std::memory_order_acquire); n == next;
             n = posted_.load(std::memory_order_acquire)) {
            posted_.wait(n, std::memory_order_acquire);
        }
        if (quit_.load(std::memory_order_acquire)) return;
        find_stretch_matches(jobs_[next & 1], found_);
        ++next;
        finished_.store(next, std::memory_order_release);
        finished_.notify_all();
    }
}

uint32_t wait_for_matches(const std::atomic<uint32_t>& ready, uint32_t need) {
    uint32_t have = ready.load(std::memory_order_acquire);
    for (int spin = 0; have < need && spin < 256; ++spin) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        have = ready.load(std::memory_order_acquire);
    }
    while (have < need) {
        ready.wait(have, std::memory_order_acquire);
        have = ready.load(std::memory_order_acquire);
    }
    return have;
}

}  // namespace qarn
