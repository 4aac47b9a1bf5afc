// A second thread for the optimal parser's match searches: while the parser works through a
// stretch, the worker searches the stretch's positions a little ahead of it, and then the
// next stretch. The searches run exactly as on one thread, in the same order and on the
// same finder, so the output does not depend on whether the worker runs.
//
// The finder belongs to the worker from post() until wait_idle() returns; the caller must
// not touch it in between, nor change the bytes the jobs search.
#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "pack/progress_counter.h"
#include "pack/stretch_matches.h"

namespace qarn {

class MatchWorker {
public:
    MatchWorker() = default;
    MatchWorker(const MatchWorker&) = delete;
    MatchWorker& operator=(const MatchWorker&) = delete;
    ~MatchWorker() { stop(); }

    // Starts the thread; false when the system gives none (the caller then searches itself).
    bool start();
    void stop();
    bool running() const { return thread_.joinable(); }

    // Queues a search; at most two may be waiting or running. The job's stretch buffer must
    // be free: its ready count is reset here.
    void post(const FindJob& job);
    // Returns once every queued search has finished.
    void wait_idle();

private:
    void run();

    std::thread thread_;
    FindJob jobs_[2]{};
    ProgressCounter posted_;    // jobs queued so far
    ProgressCounter finished_;  // jobs finished so far
    std::atomic<bool> quit_{false};
    Match found_[kMaxMatchesPerPosition];
};

// Waits until `ready` is at least `need` and returns it: a short spin first, since the
// worker is usually only a few positions ahead, then a wait that yields the processor.
uint32_t wait_for_matches(const ProgressCounter& ready, uint32_t need);

}  // namespace qarn
