// The slide clock: how long the current slide has been shown, how far the next
// one has faded in, and when to advance. Single precision throughout, one
// rounding per operation, so every platform draws the same frames.
#include "app/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Seconds from reading `from` to reading `to` of a counter of `frequency`
// ticks per second, single precision; 0 when the frequency is not positive.
float SecondsBetween(int64_t frequency, int64_t from, int64_t to) {
    if (frequency <= 0) {
        return 0.0f;
    }
    // The difference wraps instead of overflowing for readings far apart.
    const auto ticks =
        static_cast<int64_t>(static_cast<uint64_t>(to) - static_cast<uint64_t>(from));
    return static_cast<float>(static_cast<double>(ticks) / static_cast<double>(frequency));
}

// The advance: once per pass however far the slide has overrun; the frame
// of this pass shows the image that was faded in at full weight, and the new
// slide's time counts from this reading, its image load included.
void Advance(SlideClock& clock, int64_t reading, ClockStep& step) {
    step.fadeFactor = 0.0f;
    step.advance = true;
    clock.slideStart = reading;
    clock.quick = false;
}

ClockStep RunningStep(SlideClock& clock, int64_t reading, float time, float fade) {
    ClockStep step;
    step.elapsed = ElapsedSeconds(clock, reading);
    if (clock.quick) {
        // Written so that a fade of 0 or NaN seconds advances at once.
        const float seconds = SecondsBetween(clock.frequency, clock.quickStart, reading);
        if (!(seconds < clock.quickFade)) {
            Advance(clock, reading, step);
        } else {
            step.fadeFactor = Smootherstep(seconds / clock.quickFade);
        }
        return step;
    }
    if (step.elapsed > time) {
        Advance(clock, reading, step);
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

} // namespace

float ElapsedSeconds(const SlideClock& clock, int64_t reading) {
    return SecondsBetween(clock.frequency, clock.slideStart, reading);
}

float Smootherstep(float t) {
    const float cube = t * t * t;
    const float polynomial = (t * 6.0f - 15.0f) * t + 10.0f;
    return cube * polynomial;
}

ClockStep StepSlideClock(SlideClock& clock, int64_t reading, float time, float fade) {
    if (clock.paused) {
        ClockStep held = clock.held;
        held.advance = false;
        return held;
    }
    clock.held = RunningStep(clock, reading, time, fade);
    clock.heldReading = reading;
    return clock.held;
}

void PauseSlideClock(SlideClock& clock) {
    clock.paused = true;
}

void ResumeSlideClock(SlideClock& clock, int64_t reading) {
    if (!clock.paused) {
        return;
    }
    // Both starts move on by the time spent paused, so the next step at
    // `reading` finds the slide and a key's crossfade where the pause left
    // them.
    const auto pause = static_cast<uint64_t>(reading) - static_cast<uint64_t>(clock.heldReading);
    clock.slideStart = static_cast<int64_t>(static_cast<uint64_t>(clock.slideStart) + pause);
    clock.quickStart = static_cast<int64_t>(static_cast<uint64_t>(clock.quickStart) + pause);
    clock.heldReading = reading;
    clock.paused = false;
}

void StartQuickFade(SlideClock& clock, int64_t reading, float seconds) {
    clock.quick = true;
    clock.quickStart = reading;
    clock.quickFade = seconds;
}

void RestartSlide(SlideClock& clock, int64_t reading) {
    clock.slideStart = reading;
    clock.quick = false;
    clock.held = ClockStep{};
    clock.heldReading = reading;
}

float StepFadeSeconds(float fade) {
    return fade > 0.0f ? std::min(0.5f, fade) : 0.0f;
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
