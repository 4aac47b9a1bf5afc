// The counter the compressor's two threads wait on: handed back and forth many times, no
// wake-up may be lost (a lost one leaves both threads asleep). A watchdog turns a hang into
// a failure within a minute instead of the test driver's much longer timeout.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "pack/progress_counter.h"

namespace qarn::test {
namespace {

void wait_until_at_least(const ProgressCounter& counter, uint32_t need) {
    counter.wait_until([need](uint32_t v) { return v >= need; });
}

TEST(ProgressCounter, TwoThreadsHandTheCountBackAndForthWithoutLosingAWakeUp) {
    constexpr uint32_t kRounds = 20000;
    std::packaged_task<uint32_t()> ping_pong([] {
        ProgressCounter there;
        ProgressCounter back;
        std::thread other([&] {
            for (uint32_t n = 1; n <= kRounds; ++n) {
                wait_until_at_least(there, n);
                back.store(n);
            }
        });
        for (uint32_t n = 1; n <= kRounds; ++n) {
            there.store(n);
            wait_until_at_least(back, n);
        }
        other.join();
        return back.load();
    });
    std::future<uint32_t> result = ping_pong.get_future();
    std::thread runner(std::move(ping_pong));
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "ProgressCounter: both threads still waiting after 60 s\n");
        std::abort();  // the sleeping threads cannot be joined
    }
    runner.join();
    EXPECT_EQ(result.get(), kRounds);
}

}  // namespace
}  // namespace qarn::test
