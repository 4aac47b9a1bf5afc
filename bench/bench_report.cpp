#include "bench/bench_report.h"

#include <algorithm>
#include <cstdio>

namespace qarn::bench {
namespace {

std::string key_line;
std::vector<std::string> missed_targets;

}  // namespace

std::string num(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string num(uint64_t v) { return std::to_string(v); }

void key(const std::string& name, const std::string& value) {
    if (!key_line.empty()) key_line += ' ';
    key_line += name + "=" + value;
}

const std::string& keys() { return key_line; }

void check(bool ok, const std::string& what) {
    if (!ok) missed_targets.push_back(what);
}

const std::vector<std::string>& missed() { return missed_targets; }

void target(const std::string& what, const std::string& name, double value, double bound,
            bool at_least, int decimals) {
    const bool met = at_least ? value >= bound : value <= bound;
    std::printf("  %-44s %9.*f  (%s %.*f)  %s\n", what.c_str(), decimals, value,
                at_least ? "at least" : "at most", decimals, bound, met ? "met" : "MISSED");
    if (!name.empty()) key(name, num(value, decimals));
    check(met, what);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double median_seconds(int runs, const std::function<void()>& work, double (*clock)()) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t0 = clock();
        work();
        times.push_back(clock() - t0);
    }
    return median(times);
}

}  // namespace qarn::bench
