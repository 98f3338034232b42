// The slide clock: elapsed seconds, the smootherstep fade and the advance.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "app/clock.h"

namespace {

// A nanosecond counter, as the POSIX layer's, started far from zero.
constexpr int64_t ticksPerSecond = 1000000000;
constexpr int64_t start = 123456789012345;

int64_t At(double seconds) {
    return start + static_cast<int64_t>(seconds * ticksPerSecond);
}

SlideClock StartedClock() {
    SlideClock clock;
    clock.frequency = ticksPerSecond;
    clock.slideStart = start;
    return clock;
}

TEST(ClockTest, ElapsedSeconds) {
    SlideClock clock = StartedClock();
    EXPECT_EQ(ElapsedSeconds(clock, At(9.75)), 9.75f);
    EXPECT_EQ(ElapsedSeconds(clock, start), 0.0f);
    EXPECT_EQ(ElapsedSeconds(clock, At(-2.0)), -2.0f);
    // A Windows counter of 10 MHz.
    clock.frequency = 10000000;
    EXPECT_EQ(ElapsedSeconds(clock, start + 120000000), 12.0f);
    // The difference is taken in integers: far from zero no precision is lost.
    clock.slideStart = std::numeric_limits<int64_t>::max() - 5;
    EXPECT_EQ(ElapsedSeconds(clock, std::numeric_limits<int64_t>::max()), 5e-7f);
    for (int64_t frequency : {int64_t{0}, int64_t{-1}}) {
        clock.frequency = frequency;
        EXPECT_EQ(ElapsedSeconds(clock, start + 1000), 0.0f);
    }
}

TEST(ClockTest, DefaultsFollowTheCurve) {
    struct Case {
        double seconds;
        float fadeFactor;
    };
    const Case cases[] = {
        {0.0, 0.0f},  {5.0, 0.0f},           {9.0, 0.0f},  {9.75, 0.103515625f},
        {10.5, 0.5f}, {11.25, 0.896484375f}, {12.0, 1.0f},
    };
    for (const Case& c : cases) {
        SlideClock clock = StartedClock();
        const ClockStep step = StepSlideClock(clock, At(c.seconds), 12.0f, 3.0f);
        EXPECT_EQ(step.fadeFactor, c.fadeFactor) << c.seconds;
        EXPECT_FALSE(step.advance) << c.seconds;
        EXPECT_EQ(clock.slideStart, start);
    }
    // Just past 9 s the fade has begun, barely.
    SlideClock clock = StartedClock();
    const float justAfter = StepSlideClock(clock, At(9.001), 12.0f, 3.0f).fadeFactor;
    EXPECT_GT(justAfter, 0.0f);
    EXPECT_LT(justAfter, 1e-6f);
}

TEST(ClockTest, FirstPassPastTheTimeAdvancesOnce) {
    SlideClock clock = StartedClock();
    const int64_t reading = At(12.0) + 1000;
    ClockStep step = StepSlideClock(clock, reading, 12.0f, 3.0f);
    EXPECT_TRUE(step.advance);
    EXPECT_EQ(step.fadeFactor, 0.0f);
    EXPECT_EQ(clock.slideStart, reading);

    // The new slide runs from that reading.
    step = StepSlideClock(clock, reading + 16000000, 12.0f, 3.0f);
    EXPECT_FALSE(step.advance);
    EXPECT_EQ(step.fadeFactor, 0.0f);
    EXPECT_NEAR(step.elapsed, 0.016f, 1e-6f);

    // A stall of many slide times gives one advance, then a fresh slide.
    const int64_t afterStall = reading + 100 * ticksPerSecond;
    step = StepSlideClock(clock, afterStall, 12.0f, 3.0f);
    EXPECT_TRUE(step.advance);
    EXPECT_EQ(step.fadeFactor, 0.0f);
    EXPECT_EQ(clock.slideStart, afterStall);
    step = StepSlideClock(clock, afterStall + 1, 12.0f, 3.0f);
    EXPECT_FALSE(step.advance);
}

TEST(ClockTest, FadeAsLongAsTheSlide) {
    // time 5 with fade 8, after the fade rule: the curve of elapsed / 5.
    SlideClock clock = StartedClock();
    EXPECT_EQ(StepSlideClock(clock, At(2.5), 5.0f, 5.0f).fadeFactor, 0.5f);
    EXPECT_EQ(StepSlideClock(clock, At(1.25), 5.0f, 5.0f).fadeFactor, 0.103515625f);
    EXPECT_GT(StepSlideClock(clock, At(0.001), 5.0f, 5.0f).fadeFactor, 0.0f);
}

TEST(ClockTest, FadeOfZeroOrLessCutsHard) {
    // Division by zero or an invalid operation would stop the test here.
    feenableexcept(FE_DIVBYZERO | FE_INVALID);
    for (float fade : {0.0f, -0.0f, -2.0f}) {
        for (double seconds : {0.0, 6.0, 11.999, 12.0, 12.001, 30.0}) {
            SlideClock clock = StartedClock();
            const ClockStep step = StepSlideClock(clock, At(seconds), 12.0f, fade);
            EXPECT_EQ(step.fadeFactor, 0.0f) << fade << " " << seconds;
            EXPECT_EQ(step.advance, seconds > 12.0) << fade << " " << seconds;
        }
    }
    fedisableexcept(FE_DIVBYZERO | FE_INVALID);
}

TEST(ClockTest, TimeZeroAdvancesWheneverTheCounterMoved) {
    SlideClock clock = StartedClock();
    EXPECT_FALSE(StepSlideClock(clock, start, 0.0f, 0.0f).advance);
    EXPECT_TRUE(StepSlideClock(clock, start + 1, 0.0f, 0.0f).advance);
    EXPECT_EQ(clock.slideStart, start + 1);
    EXPECT_FALSE(StepSlideClock(clock, start + 1, 0.0f, 0.0f).advance);
    EXPECT_TRUE(StepSlideClock(clock, start + 2, 0.0f, 0.0f).advance);
}

TEST(ClockTest, NotANumberNeverFadesOrAdvances) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    SlideClock clock = StartedClock();
    for (const auto& [time, fade] : {std::pair{nan, 3.0f}, std::pair{12.0f, nan}}) {
        const ClockStep step = StepSlideClock(clock, At(11.0), time, fade);
        EXPECT_EQ(step.fadeFactor, 0.0f);
        EXPECT_FALSE(step.advance);
    }
    // A NaN fade still lets the slide end when its time is over.
    EXPECT_TRUE(StepSlideClock(clock, At(13.0), 12.0f, nan).advance);
}

// A key's crossfade runs the curve over its own seconds (the fade, at most
// half a second), goes on after a pause where it was, then advances.
TEST(ClockTest, AKeysCrossfade) {
    SlideClock clock = StartedClock();
    for (const auto& [seconds, fadeFactor] :
         {std::pair{0.0, 0.0f}, std::pair{0.125, 0.103515625f}, std::pair{0.375, 0.896484375f}}) {
        StartQuickFade(clock, At(4.0), 0.5f);
        EXPECT_EQ(StepSlideClock(clock, At(4.0 + seconds), 12.0f, 3.0f).fadeFactor, fadeFactor);
    }
    PauseSlideClock(clock);
    ResumeSlideClock(clock, At(9.0));
    EXPECT_FALSE(StepSlideClock(clock, At(9.1), 12.0f, 3.0f).advance);
    EXPECT_TRUE(StepSlideClock(clock, At(9.125), 12.0f, 3.0f).advance);
    EXPECT_EQ(clock.slideStart, At(9.125));
    StartQuickFade(clock, At(10.0), StepFadeSeconds(0.0f));
    EXPECT_TRUE(StepSlideClock(clock, At(10.0), 12.0f, 3.0f).advance);
    EXPECT_EQ(StepFadeSeconds(3.0f), 0.5f);
    EXPECT_EQ(StepFadeSeconds(0.2f), 0.2f);
    EXPECT_EQ(StepFadeSeconds(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(ClockTest, Smootherstep) {
    EXPECT_EQ(Smootherstep(0.0f), 0.0f);
    EXPECT_EQ(Smootherstep(0.25f), 0.103515625f);
    EXPECT_EQ(Smootherstep(0.5f), 0.5f);
    EXPECT_EQ(Smootherstep(1.0f), 1.0f);
    // Every step rounded to float, in the order (t*t*t) * ((t*6 - 15)*t + 10):
    // evaluating in double and rounding once gives 0x1.4d0862p-20 here.
    EXPECT_EQ(Smootherstep(0.005f), 0x1.4d0864p-20f);
    EXPECT_EQ(Smootherstep(0.001f), 0x1.57151p-27f);
}

TEST(ClockTest, TruncateToInt32) {
    const float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        int32_t expected;
    };
    const Case cases[] = {
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {infinity, std::numeric_limits<int32_t>::max()},
        {-infinity, std::numeric_limits<int32_t>::min()},
        {1e20f, std::numeric_limits<int32_t>::max()},
        {-1e20f, std::numeric_limits<int32_t>::min()},
        {2147483648.0f, std::numeric_limits<int32_t>::max()},
        {-2147483648.0f, std::numeric_limits<int32_t>::min()},
        {2147483520.0f, 2147483520},
        {-2147483520.0f, -2147483520},
        {1.9f, 1},
        {-1.9f, -1},
        {-0.5f, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TruncateToInt32(c.value), c.expected) << c.value;
    }
}

} // namespace
