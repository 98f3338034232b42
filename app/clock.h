// The slide clock: counter readings in, the weight of the next slide and the
// advance decision out. Pure arithmetic in single precision, so the same
// readings give the same frames on every platform.
#pragma once

#include <cstdint>

struct SlideClock {
    int64_t frequency = 0;  // counter ticks per second
    int64_t slideStart = 0; // counter reading at which the current slide began
};

// What one pass of the main loop does with a counter reading.
struct ClockStep {
    float elapsed = 0.0f;    // seconds since slideStart
    float fadeFactor = 0.0f; // weight of the next slide in this pass's frame, 0..1
    bool advance = false;    // the current slide's time is over: advance now
};

// Seconds between `slideStart` and `reading`, single precision; 0 when the
// frequency is not positive.
float ElapsedSeconds(const SlideClock& clock, int64_t reading);

// The smootherstep curve 6t^5 - 15t^4 + 10t^3, evaluated in single precision in
// the order (t*t*t) * ((t*6 - 15)*t + 10).
float Smootherstep(float t);

// One pass: works out elapsed and fadeFactor for `reading`; when the slide's
// `time` is over, sets advance, sets fadeFactor back to 0 and restarts the
// clock at `reading`. `time` and `fade` are seconds.
ClockStep StepSlideClock(SlideClock& clock, int64_t reading, float time, float fade);

// Converts a float to a 32-bit integer, truncating toward zero; NaN gives 0
// and values beyond the range give its nearest end. Defined for every input.
int32_t TruncateToInt32(float value);
