// mksetup build DIR -o OUT [--stub FILE] [--level N] [--uninstall-list NAME] [--order O]: packs a
// product folder into a setup file, shows its progress on a terminal, and prints a summary.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/setup_builder.h"

namespace qarn::tools {
namespace {

// A one-line progress bar on stderr, redrawn at most ten times a second; only on a terminal,
// so that logs and pipes get the summary alone.
class ProgressBar final : public BuildProgress {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    void on_start(uint64_t total, size_t) override {
        total_ = total;
        start_ = std::chrono::steady_clock::now();
    }
    void on_entry(const std::string& name) override {
        name_ = name;
        draw(false);
    }
    void on_bytes(uint64_t done) override {
        done_ = done;
        draw(false);
    }
    void on_finish() override {
        if (enabled_ && drawn_) std::fprintf(stderr, "\r%*s\r", 79, "");
    }

private:
    void draw(bool force) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        drawn_ = true;
        const double fraction =
            total_ != 0 ? static_cast<double>(done_) / static_cast<double>(total_) : 1.0;
        const int filled = static_cast<int>(fraction * 30);
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double speed = seconds > 0 ? static_cast<double>(done_) / seconds / 1e6 : 0;
        std::string shown = name_.size() > 28 ? "..." + name_.substr(name_.size() - 25) : name_;
        std::fprintf(stderr, "\r[%.*s%.*s] %3d%% %6.1f MB/s %-28s", filled,
                     "##############################", 30 - filled,
                     "..............................", static_cast<int>(fraction * 100), speed,
                     shown.c_str());
        std::fflush(stderr);
    }

    bool enabled_;
    bool drawn_ = false;
    uint64_t total_ = 0;
    uint64_t done_ = 0;
    std::string name_;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace

int run_build(const std::string& folder, const std::string& output, const std::string& stub,
              int level, const std::string& uninstall_list, std::optional<SolidOrder> order) {
    BuildRequest request{folder, output, std::nullopt, level};
    if (!stub.empty()) request.stub = stub;
    request.uninstall_list = uninstall_list;
    request.order = order;
    ProgressBar bar(platform::is_terminal(stderr));
    BuildResult result;
    const bool ok = build_setup(request, &bar, result);
    for (const std::string& w : result.warnings)
        std::fprintf(stderr, "mksetup: warning: %s\n", w.c_str());
    if (!ok) {
        for (const std::string& e : result.errors) std::fprintf(stderr, "mksetup: %s\n", e.c_str());
        std::fprintf(stderr, "mksetup: %s not written\n", output.c_str());
        return result.input_problem ? kExitCannotRead : kExitBuildFailed;
    }
    const uint64_t archive = result.output_bytes - result.stub_bytes;
    const double ratio = result.input_bytes != 0 ? 100.0 * static_cast<double>(archive) /
                                                       static_cast<double>(result.input_bytes)
                                                 : 0.0;
    const double speed =
        result.seconds > 0 ? static_cast<double>(result.input_bytes) / result.seconds / 1e6 : 0.0;
    std::printf(
        "%s: %zu entries (%zu stored), %llu bytes packed into %llu (%.1f%%), level %d, "
        "%.1f s, %.1f MB/s; setup file %llu bytes, tested OK\n",
        output.c_str(), result.entries, result.stored,
        static_cast<unsigned long long>(result.input_bytes),
        static_cast<unsigned long long>(archive), ratio, level, result.seconds, speed,
        static_cast<unsigned long long>(result.output_bytes));
    return kExitOk;
}

}  // namespace qarn::tools
