// The progress calls over the gauge model, seen through the recording host.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "resources/string_ids.h"
#include "resources/strings.h"
#include "base/progress.h"
#include "base/testing/test_progress_host.h"

namespace {

TEST(Progress, EqualEndsGiveOneStepWithoutDivisionByZero) {
    TestProgressHost host;
    BeginProgressWithCaption(IDS_ROTATING, 7, 7);
    EXPECT_EQ(host.minimum, 7u);
    EXPECT_EQ(host.maximum, 8u);
    StepProgress(8);
    ASSERT_EQ(host.updates.size(), 1u);
    EXPECT_EQ(host.updates[0].percent, 100u);
    EndProgress();

    // At the top of the 16-bit range the one step lies below it.
    BeginProgressWithCaption(IDS_ROTATING, 0xFFFF, 0xFFFF);
    EXPECT_EQ(host.minimum, 0xFFFEu);
    EXPECT_EQ(host.maximum, 0xFFFFu);
    EndProgress();
}

TEST(Progress, ReversedRangeTakesTheSmallerEndAsMinimumAndStartsAtFirst) {
    TestProgressHost host;
    BeginProgressWithCaption(IDS_ROTATING, 200, 100);
    EXPECT_EQ(host.minimum, 100u);
    EXPECT_EQ(host.maximum, 200u);
    EXPECT_EQ(GetProgressGauge().position, 200u);
    ASSERT_EQ(host.updates.size(), 1u);  // the host shows where the gauge starts
    EXPECT_EQ(host.updates[0].percent, 100u);
    EXPECT_EQ(host.takes, 0);            // beginning takes no key press
    StepProgress(150);
    EXPECT_EQ(GetProgressGauge().percent, 50u);
    EndProgress();

    // A range in order starts at its minimum with nothing to show yet.
    host.Reset();
    BeginProgressWithCaption(IDS_ROTATING, 100, 200);
    EXPECT_EQ(GetProgressGauge().position, 100u);
    EXPECT_TRUE(host.updates.empty());
    EndProgress();
}

TEST(Progress, PercentageAndChangeFlag) {
    TestProgressHost host;
    BeginProgressWithCaption(IDS_ROTATING, 100, 400);
    StepProgress(101);   // 1/300: still 0 %
    StepProgress(103);   // 3/300: 1 %
    StepProgress(104);   // 4/300: still 1 %
    StepProgress(104);   // unchanged position: no update
    StepProgress(400);   // 100 %
    ASSERT_EQ(host.updates.size(), 4u);
    EXPECT_EQ(host.updates[0].percent, 0u);
    EXPECT_FALSE(host.updates[0].percentChanged);
    EXPECT_EQ(host.updates[1].percent, 1u);
    EXPECT_TRUE(host.updates[1].percentChanged);
    EXPECT_FALSE(host.updates[2].percentChanged);
    EXPECT_EQ(host.updates[3].percent, 100u);
    EXPECT_TRUE(host.updates[3].percentChanged);
    EXPECT_EQ(host.takes, 5);  // a key press is taken on every step, moved or not
    EndProgress();
}

TEST(Progress, PositionsClampToTheRangeAndTo16Bits) {
    TestProgressHost host;
    BeginProgressWithCaption(IDS_ROTATING, 10, 20);
    StepProgress(5);
    EXPECT_TRUE(host.updates.empty());  // clamped to the minimum, where it stands
    StepProgress(25);
    EXPECT_EQ(GetProgressGauge().position, 20u);
    EndProgress();

    // Values beyond 16 bits do not wrap around to small ones.
    BeginProgressWithCaption(IDS_ROTATING, 0, 70000);
    EXPECT_EQ(host.maximum, 0xFFFFu);
    StepProgress(65536 + 10);
    EXPECT_EQ(GetProgressGauge().position, 0xFFFFu);
    EXPECT_EQ(GetProgressGauge().percent, 100u);
    EndProgress();
}

TEST(Progress, EscapeOnAChosenStepIsTakenOnce) {
    TestProgressHost host;
    host.escapeAtCall = 3;
    BeginProgressWithCaption(IDS_MIRRORING, 0, 100);
    EXPECT_FALSE(StepProgress(16));
    EXPECT_FALSE(StepProgress(32));
    EXPECT_TRUE(StepProgress(48));
    EXPECT_FALSE(StepProgress(64));
    EndProgress();
    EXPECT_TRUE(host.escapeTaken);
    EXPECT_EQ(host.ends, 1);

    host.Reset();
    host.escapeAtCall = 0;
    host.escapeFromCall = 2;
    BeginProgressWithCaption(IDS_MIRRORING, 0, 100);
    EXPECT_FALSE(StepProgress(1));
    EXPECT_TRUE(StepProgress(2));
    EXPECT_TRUE(StepProgress(3));
    EndProgress();
}

// A step that answered stop is remembered past the end (a library that
// gave up is asked why afterwards), and forgotten at the next begin.
TEST(Progress, AStopIsRememberedUntilTheNextBegin) {
    TestProgressHost host;
    host.escapeAtCall = 2;
    BeginProgressWithCaption(IDS_MIRRORING, 0, 100);
    EXPECT_FALSE(StepProgress(10));
    EXPECT_FALSE(CurrentProgress().Stopped());
    EXPECT_TRUE(StepProgress(20));
    EXPECT_FALSE(StepProgress(30));  // the key was taken once
    EndProgress();
    EXPECT_TRUE(CurrentProgress().Stopped());
    BeginProgressWithCaption(IDS_MIRRORING, 0, 100);
    EXPECT_FALSE(CurrentProgress().Stopped());
    EndProgress();

    Progress cancelled;
    ProgressScope scope(&cancelled);
    BeginProgress(0, 10);
    cancelled.Cancel();
    EXPECT_TRUE(StepProgress(1));
    EndProgress();
    EXPECT_TRUE(cancelled.Stopped());
}

TEST(Progress, CaptionIsTheFirstLineAndAtMost19Characters) {
    TestProgressHost host;
    BeginProgressWithCaption(IDS_TWAIN_DRIVER_FAILED, 0, 10);
    ASSERT_EQ(host.captions.size(), 1u);
    EXPECT_EQ(host.captions[0], std::string(LoadStringById(IDS_TWAIN_DRIVER_FAILED)).substr(0, 19));
    EndProgress();

    // The stored caption of BeginProgress is not cut to 19 characters.
    SetProgressCaption(IDS_TWAIN_DRIVER_FAILED);
    BeginProgress(0, 10);
    EXPECT_EQ(host.captions[1], LoadStringById(IDS_TWAIN_DRIVER_FAILED));
    EndProgress();

    // Id 0 does nothing at all.
    BeginProgressWithCaption(0, 0, 10);
    EXPECT_EQ(host.begins, 2);
    EXPECT_FALSE(GetProgressGauge().inProgress);
}

TEST(Progress, WithoutHostStateIsKeptAndEscapeNeverAnswered) {
    ASSERT_EQ(GetProgressHost(), nullptr);
    SetProgressCaption(IDS_LOADING_IMAGE);
    EXPECT_EQ(GetProgressCaptionId(), IDS_LOADING_IMAGE);
    BeginProgress(0, 200);
    EXPECT_TRUE(GetProgressGauge().inProgress);
    EXPECT_FALSE(StepProgress(50));
    EXPECT_EQ(GetProgressGauge().position, 50u);
    EXPECT_EQ(GetProgressGauge().percent, 25u);
    EndProgress();
    EXPECT_FALSE(GetProgressGauge().inProgress);
    EXPECT_EQ(GetProgressGauge().position, 200u);
}

TEST(Progress, TestHostRestoresThePreviousHost) {
    TestProgressHost outer;
    {
        TestProgressHost inner;
        EXPECT_EQ(GetProgressHost(), &inner);
    }
    EXPECT_EQ(GetProgressHost(), &outer);
}

}  // namespace

namespace {

TEST(Progress, ScopedProgressEndsOnEveryWayOut) {
    TestProgressHost host;
    host.escapeAtCall = 2;
    auto run = [](bool on) {
        ScopedProgress gauge(on, IDS_MIRRORING, 0, 100);
        for (unsigned y = 0; y <= 100; y += 10)
            if (gauge.Step(y)) return false;  // early return on Escape
        return true;
    };
    EXPECT_FALSE(run(true));
    EXPECT_EQ(host.begins, 1);
    EXPECT_EQ(host.ends, 1);
    EXPECT_FALSE(GetProgressGauge().inProgress);

    // Off: no host call at all, no Escape.
    host.Reset();
    EXPECT_TRUE(run(false));
    EXPECT_EQ(host.begins + host.ends + host.takes, 0);

    // Caption 0 begins nothing, so it ends nothing either.
    {
        ScopedProgress none(true, 0, 0, 10);
        EXPECT_FALSE(none.Running());
    }
    EXPECT_EQ(host.ends, 0);
}

}  // namespace

namespace {

// Two operations on two threads each report to their own Progress: the
// worker's steps move its gauge only (the window's thread reads it), and a
// cancel set from the window's thread stops the worker's loop at its next
// step, without touching the calling thread's own progress or host.
TEST(Progress, EachThreadReportsToItsOwnProgressAndCancelCrossesThreads) {
    TestProgressHost host;  // the calling thread's sink
    Progress work;          // the worker's, without a sink
    std::atomic<int> reached{-1};
    std::atomic<bool> halfway{false};
    std::thread worker([&] {
        ProgressScope scope(&work);
        ScopedProgress gauge(true, IDS_ROTATING, 0, 1000);
        for (int i = 0; i <= 1000; ++i) {
            if (i == 500) halfway = true;
            if (gauge.Step(unsigned(i))) {
                reached = i;
                return;
            }
            if (halfway) std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    while (!halfway) std::this_thread::yield();
    const ProgressGauge seen = work.Gauge();
    EXPECT_TRUE(seen.inProgress);
    EXPECT_GE(seen.position, 499u);
    EXPECT_EQ(work.Caption(), "Rotating");
    work.Cancel();
    worker.join();
    EXPECT_GE(reached.load(), 500);
    EXPECT_LT(reached.load(), 1000);
    EXPECT_FALSE(work.Gauge().inProgress);  // the scope ended it
    // Nothing reached this thread's progress.
    EXPECT_EQ(host.begins, 0);
    EXPECT_FALSE(GetProgressGauge().inProgress);
    EXPECT_FALSE(CurrentProgress().Cancelled());

    // Off, a cancelled operation still stops (no display, but a Progress).
    Progress quiet;
    quiet.Cancel();
    ProgressScope scope(&quiet);
    ScopedProgress off(false, IDS_ROTATING, 0, 10);
    EXPECT_TRUE(off.Step(1));
    EXPECT_EQ(host.takes, 0);
}

}  // namespace
