#include "platform/Worker.h"
#include "platform/Errors.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace qmk {
namespace {

TEST(WorkerTest, PausesGoToThePacerInstalledOnTheThread) {
    InstantPacer p;
    {
        ScopedPacer guard(p);
        Pause(250);
        YieldNow();
        Pause(500);
    }
    EXPECT_EQ(p.pauses(), (std::vector<int>{250, 500}));
    EXPECT_EQ(p.yields.load(), 1);
}

TEST(WorkerTest, StoppingTheRealPacerWakesASleepingWorkerAtOnce) {
    RealPacer p;
    bool cancelled = false;
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        ScopedPacer guard(p);
        try {
            Pause(60000);
        } catch (const ConversionCancelled&) {
            cancelled = true;
        }
    });
    p.Stop();
    worker.join();
    EXPECT_TRUE(cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ScopedPacer guard(p);
    EXPECT_THROW(YieldNow(), ConversionCancelled);
}

} // namespace
} // namespace qmk
