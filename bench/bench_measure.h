// Time and memory for the benchmark: the thread's own CPU time (other load on the machine
// disturbs it far less than wall time), and the resident memory an operation adds, from the
// kernel's peak of resident memory, which the benchmark resets before each measurement.
#pragma once
#include <cstdint>
#include <functional>

namespace qarn::bench {

double thread_seconds();
// Wall-clock time, for work spread over several threads.
double wall_seconds();

struct MemoryPeak {
    bool exact;      // the peak was reset before the operation (else: peak since start)
    uint64_t added;  // bytes of resident memory above the level before the operation
};

// Runs `work` and reports the resident memory it added at its peak.
MemoryPeak measure_memory(const std::function<void()>& work);

// Runs `work` `runs` times and returns the smallest CPU time.
double best_seconds(int runs, const std::function<void()>& work);

}  // namespace qarn::bench
