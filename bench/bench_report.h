// What the benchmark's sections share: the closing key=value line, the targets with their
// verdicts, and medians of repeated runs.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_measure.h"

namespace qarn::bench {

inline double mb(uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }
inline double rate(uint64_t bytes, double seconds) { return seconds > 0 ? mb(bytes) / seconds : 0; }

std::string num(double v, int decimals);
std::string num(uint64_t v);

// Adds name=value to the closing line.
void key(const std::string& name, const std::string& value);
const std::string& keys();

// Records a target missed when `ok` is false.
void check(bool ok, const std::string& what);
const std::vector<std::string>& missed();

// A figure with its target, printed and keyed (no key when `name` is empty); `at_least`
// says which side the target holds.
void target(const std::string& what, const std::string& name, double value, double bound,
            bool at_least, int decimals);

double median(std::vector<double> v);
double median_seconds(int runs, const std::function<void()>& work,
                      double (*clock)() = thread_seconds);

}  // namespace qarn::bench
