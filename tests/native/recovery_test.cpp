#include "portable/webview/recovery.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(RecoveryBudget, AllowsTheLimitWithinTheWindowAndForgetsOlderOnes) {
    RecoveryBudget reloads(kPageReloads, kPageReloadWindowMs);
    // Three crashes in quick succession are reloaded, the fourth within the minute is not, and
    // a refused one does not count against later ones.
    EXPECT_TRUE(reloads.Take(1'000));
    EXPECT_TRUE(reloads.Take(2'000));
    EXPECT_TRUE(reloads.Take(30'000));
    EXPECT_FALSE(reloads.Take(60'999));
    // A minute after the first, one place is free again; then none until the second expires.
    EXPECT_TRUE(reloads.Take(61'000));
    EXPECT_FALSE(reloads.Take(61'500));
    EXPECT_TRUE(reloads.Take(62'000));

    RecoveryBudget restarts(kBrowserRestarts, std::nullopt);
    EXPECT_TRUE(restarts.Take(0));
    EXPECT_TRUE(restarts.Take(1'000'000));
    EXPECT_FALSE(restarts.Take(100'000'000));  // the run's two are spent for good
}

TEST(HangWatch, AsksOnceAfterThirtySecondsOfReportsAndStartsOverAfterAGap) {
    struct Step {
        uint64_t at;
        bool asks;
    };
    HangWatch watch;
    // Reports every five seconds: the one at 30 s asks, later ones of the same hang do not.
    for (const Step& step :
         {Step{0, false}, Step{5'000, false}, Step{10'000, false}, Step{20'000, false},
          Step{29'999, false}, Step{30'000, true}, Step{35'000, false}, Step{40'000, false}}) {
        EXPECT_EQ(watch.Report(step.at), step.asks) << step.at;
    }
    // Quiet for the gap: the next report starts a new hang, which asks again after 30 s.
    const uint64_t next = 40'000 + HangWatch::kReportGapMs;
    EXPECT_FALSE(watch.Report(next));
    EXPECT_FALSE(watch.Report(next + 10'000));
    EXPECT_FALSE(watch.Report(next + 20'000));
    EXPECT_TRUE(watch.Report(next + 30'000));

    // A reload ends the hang.
    HangWatch reloaded;
    EXPECT_FALSE(reloaded.Report(0));
    EXPECT_FALSE(reloaded.Report(10'000));
    reloaded.Reset();
    EXPECT_FALSE(reloaded.Report(30'000));
    EXPECT_FALSE(reloaded.Report(40'000));
    EXPECT_FALSE(reloaded.Report(50'000));
    EXPECT_TRUE(reloaded.Report(60'000));
}

}  // namespace
}  // namespace vandrel
