#include "bench/bench_measure.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace qarn::bench {
namespace {

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 when unknown.
uint64_t status_bytes(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return 0;
    char line[256];
    uint64_t kb = 0;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            unsigned long long v = 0;
            if (std::sscanf(line + n + 1, "%llu", &v) == 1) kb = v;
            break;
        }
    }
    std::fclose(f);
    return kb * 1024;
}

// Resets the kernel's peak of resident memory to the current level (Linux 4.0 and later).
bool reset_peak() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f == nullptr) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double wall_seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

MemoryPeak measure_memory(const std::function<void()>& work) {
    const bool exact = reset_peak();
    const uint64_t before = status_bytes("VmRSS");
    work();
    const uint64_t peak = status_bytes("VmHWM");
    return {exact, peak > before ? peak - before : 0};
}

double best_seconds(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double t0 = thread_seconds();
        work();
        const double t = thread_seconds() - t0;
        if (t < best) best = t;
    }
    return best;
}

}  // namespace qarn::bench
