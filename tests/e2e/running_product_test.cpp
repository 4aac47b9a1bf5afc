// A running copy of the product is closed before the dialog shows; a window that will not go
// cannot keep the setup from starting.
#include <atomic>
#include <thread>

#include "tests/e2e/scenario.h"

namespace qarn::e2e {
namespace {

using RunningProduct = Scenario;

TEST_F(RunningProduct, ARunningProductIsClosedBeforeTheDialogShows) {
    std::string command = "\"" + product_dir() + "\\QARN.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ChildProcess product;
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &product.info));
    ASSERT_TRUE(wait_until([] { return FindWindowA("QARN", nullptr) != nullptr; }, 20000));

    SetupRun run;
    ASSERT_TRUE(run.start());
    // By the time the dialog shows, the product's window is gone, and the product ends
    // (through its WM_DESTROY).
    EXPECT_EQ(FindWindowA("QARN", nullptr), nullptr);
    EXPECT_EQ(WaitForSingleObject(product.info.hProcess, 5000), WAIT_OBJECT_0);
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

// A window of class "QARN" on a thread of this program: one that shrugs WM_DESTROY off, or
// one whose thread stops answering altogether.
class ProductImpostor {
public:
    explicit ProductImpostor(bool answers) : answers_(answers) {
        thread_ = std::thread([this] { run(); });
        wait_until([this] { return window_ != nullptr; }, 10000);
    }
    ~ProductImpostor() {
        stop_ = true;
        if (window_ != nullptr) PostMessageA(window_.load(), WM_CLOSE, 0, 0);
        thread_.join();
    }
    ProductImpostor(const ProductImpostor&) = delete;
    ProductImpostor& operator=(const ProductImpostor&) = delete;
    int destroys() const { return destroys_; }

private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ProductImpostor*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (m == WM_DESTROY && self != nullptr && !self->stop_) {
            ++self->destroys_;  // noted, and otherwise ignored: the window stays
            return 0;
        }
        if (m == WM_CLOSE) {
            DestroyWindow(w);
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    void run() {
        WNDCLASSA c = {};
        c.lpfnWndProc = proc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "QARN";
        RegisterClassA(&c);
        HWND w = CreateWindowA("QARN", "impostor", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, c.hInstance, nullptr);
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = w;
        if (!answers_) {
            // Hung: no messages are taken until the test ends.
            while (!stop_) Sleep(20);
        }
        MSG m;
        while (!stop_ && GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
        if (IsWindow(w)) DestroyWindow(w);
        UnregisterClassA("QARN", c.hInstance);
    }

    bool answers_;
    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> stop_{false};
    std::atomic<int> destroys_{0};
};

TEST_F(RunningProduct, AWindowThatIgnoresTheRequestDelaysTheDialogOnlyAFewSeconds) {
    ProductImpostor stubborn(true);
    SetupRun run;
    ASSERT_TRUE(run.start(30000));
    std::printf("  dialog after %lu ms\n", static_cast<unsigned long>(run.milliseconds_to_dialog()));
    EXPECT_GE(stubborn.destroys(), 1);
    EXPECT_LT(run.milliseconds_to_dialog(), 15000u);
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(RunningProduct, AWindowThatDoesNotAnswerDelaysTheDialogOnlyAFewSeconds) {
    ProductImpostor hung(false);
    SetupRun run;
    ASSERT_TRUE(run.start(30000));
    std::printf("  dialog after %lu ms\n", static_cast<unsigned long>(run.milliseconds_to_dialog()));
    EXPECT_LT(run.milliseconds_to_dialog(), 15000u);
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

}  // namespace
}  // namespace qarn::e2e
