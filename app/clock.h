// The slide clock: counter readings in, the weight of the next slide and the
// advance decision out. Pure arithmetic in single precision, so the same
// readings give the same frames on every platform.
#pragma once

#include <cstdint>

// What one pass of the main loop does with a counter reading.
struct ClockStep {
    float elapsed = 0.0f;    // seconds since slideStart
    float fadeFactor = 0.0f; // weight of the next slide in this pass's frame, 0..1
    bool advance = false;    // the current slide's time is over: advance now
};

struct SlideClock {
    int64_t frequency = 0;  // counter ticks per second
    int64_t slideStart = 0; // counter reading at which the current slide began
    // The step of the last pass and its reading: what a pause keeps on
    // screen, and the moment from which a resume goes on.
    ClockStep held;
    int64_t heldReading = 0;
    bool paused = false;
    // A crossfade asked for by a key, in place of the slide's own: from
    // quickStart over quickFade seconds, then the advance.
    bool quick = false;
    int64_t quickStart = 0;
    float quickFade = 0.0f;
};

// Seconds between `slideStart` and `reading`, single precision; 0 when the
// frequency is not positive.
float ElapsedSeconds(const SlideClock& clock, int64_t reading);

// The smootherstep curve 6t^5 - 15t^4 + 10t^3, evaluated in single precision in
// the order (t*t*t) * ((t*6 - 15)*t + 10).
float Smootherstep(float t);

// One pass: works out elapsed and fadeFactor for `reading`; when the slide's
// `time` (or a key's crossfade) is over, sets advance, sets fadeFactor back to
// 0 and restarts the clock at `reading`. `time` and `fade` are seconds. While
// paused it gives the held step again, never advancing.
ClockStep StepSlideClock(SlideClock& clock, int64_t reading, float time, float fade);

// Holds the clock at the last pass's reading; the picture of that pass stays.
void PauseSlideClock(SlideClock& clock);
// Goes on at `reading` from where the pause held, with the time that was left.
void ResumeSlideClock(SlideClock& clock, int64_t reading);
// A crossfade of `seconds` into the next slide from `reading` on, then the
// advance; 0 or less advances at the next step.
void StartQuickFade(SlideClock& clock, int64_t reading, float seconds);
// A new slide shown from `reading` with its full time and no crossfade; when
// paused, it is what the pause holds.
void RestartSlide(SlideClock& clock, int64_t reading);

// Seconds of the crossfade of a key's step: the fade setting up to half a
// second; 0 (a hard cut) for a fade of 0 or less.
float StepFadeSeconds(float fade);

// Converts a float to a 32-bit integer, truncating toward zero; NaN gives 0
// and values beyond the range give its nearest end. Defined for every input.
int32_t TruncateToInt32(float value);
