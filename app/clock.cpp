// The slide clock: how long the current slide has been shown, how far the next
// one has faded in, and when to advance. Single precision throughout, one
// rounding per operation, so every platform draws the same frames.
#include "app/clock.h"

#include <cmath>
#include <cstdint>
#include <limits>

float ElapsedSeconds(const SlideClock& clock, int64_t reading) {
    if (clock.frequency <= 0) {
        return 0.0f;
    }
    // The difference wraps instead of overflowing for readings far apart.
    const auto ticks = static_cast<int64_t>(static_cast<uint64_t>(reading) -
                                            static_cast<uint64_t>(clock.slideStart));
    return static_cast<float>(static_cast<double>(ticks) / static_cast<double>(clock.frequency));
}

float Smootherstep(float t) {
    const float cube = t * t * t;
    const float polynomial = (t * 6.0f - 15.0f) * t + 10.0f;
    return cube * polynomial;
}

ClockStep StepSlideClock(SlideClock& clock, int64_t reading, float time, float fade) {
    ClockStep step;
    step.elapsed = ElapsedSeconds(clock, reading);
    if (step.elapsed > time) {
        // Once per pass however far the slide has overrun; the frame of this
        // pass shows the image that was faded in at full weight, and the new
        // slide's time counts from this reading, its image load included.
        step.fadeFactor = 0.0f;
        step.advance = true;
        clock.slideStart = reading;
        return step;
    }
    // Only reached with elapsed <= time, so elapsed > time - fade implies
    // fade > 0: a fade of 0 or less never divides here and gives hard cuts.
    const float fadeStart = time - fade;
    if (step.elapsed > fadeStart) {
        const float t = (step.elapsed - fadeStart) / fade;
        step.fadeFactor = Smootherstep(t);
    }
    return step;
}

int32_t TruncateToInt32(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    // Both ends are exact in float, and every float strictly between them
    // truncates into the range.
    if (value >= 2147483648.0f) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= -2147483648.0f) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}
