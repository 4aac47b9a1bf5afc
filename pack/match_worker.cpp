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
    posted_.store(posted_.load() + 1);  // wakes the worker, which sees quit_
    thread_.join();
}

void MatchWorker::post(const FindJob& job) {
    const uint32_t n = posted_.load();
    // Room in the queue of two: the job two before this one has finished.
    finished_.wait_until([n](uint32_t done) { return n - done < 2; });
    job.out->ready.store(0);
    jobs_[n & 1] = job;
    posted_.store(n + 1);
}

void MatchWorker::wait_idle() {
    const uint32_t n = posted_.load();
    finished_.wait_until([n](uint32_t done) { return done == n; });
}

void MatchWorker::run() {
    uint32_t next = 0;
    for (;;) {
        posted_.wait_until([next](uint32_t n) { return n != next; });
        if (quit_.load(std::memory_order_acquire)) return;
        find_stretch_matches(jobs_[next & 1], found_);
        ++next;
        finished_.store(next);
    }
}

uint32_t wait_for_matches(const ProgressCounter& ready, uint32_t need) {
    uint32_t have = ready.load();
    for (int spin = 0; have < need && spin < 256; ++spin) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        have = ready.load();
    }
    return ready.wait_until([need](uint32_t v) { return v >= need; });
}

}  // namespace qarn
