// The passes of the main loop, with the pause and the steps of the keys.
#include "app/show.h"

#include <algorithm>
#include <string>

#include "app/history.h"
#include "app/settings.h"
#include "render/crossfade.h"
#include "render/slides.h"

std::deque<ShowCommand> showCommands;
SlideClock showClock;

namespace {

// What the end of the crossfade under way does: a step forward (the show's
// own or a key's), or a key's step back to the image shown before.
enum class Completion { forward, back };
Completion completion = Completion::forward;

// The image faded in becomes the current one, and its slide's full time
// begins at `reading`. A step forward loads the image to follow it; a step
// back keeps the image it leaves as the next one, so it loads nothing.
void CompleteCrossfade(int64_t reading) {
    if (completion == Completion::back) {
        SwapSlides();
        RecordStepBack();
    } else {
        const std::string leaving = currentSlide.path;
        TakeNextSlide();
        RecordStepForward(leaving);
        LoadFollowingSlide();
    }
    completion = Completion::forward;
    RestartSlide(showClock, reading);
}

// A key's crossfade into nextSlide's image. While paused the new image shows
// at once, and the pause holds it.
void BeginStep(Completion kind, int64_t reading) {
    completion = kind;
    const float seconds = showClock.paused ? 0.0f : StepFadeSeconds(settings.fade);
    if (seconds > 0.0f) {
        StartQuickFade(showClock, reading, seconds);
    } else {
        CompleteCrossfade(reading);
    }
}

// Stops a key's crossfade halfway: the image it was leaving stays, with its
// full time from `reading`.
void CancelStep(int64_t reading) {
    if (completion == Completion::back) {
        // nextSlide holds the image from before; the one to follow returns.
        LoadFollowingSlide();
    }
    completion = Completion::forward;
    RestartSlide(showClock, reading);
}

void StepForward(int64_t reading) {
    if (showClock.quick) {
        if (completion == Completion::back) {
            CancelStep(reading);
            return;
        }
        // The image of an earlier press arrives at once, and this press's
        // crossfade follows; paused, the one load is spent on the first.
        CompleteCrossfade(reading);
        if (showClock.paused) {
            return;
        }
    } else if (showClock.held.fadeFactor > 0.0f) {
        // Within the show's own crossfade the image coming in is the next
        // one: it is completed.
        CompleteCrossfade(reading);
        return;
    }
    if (nextSlide.loaded) {
        BeginStep(Completion::forward, reading);
    }
}

void StepBack(int64_t reading) {
    if (showClock.quick) {
        if (completion == Completion::forward) {
            CancelStep(reading);
            return;
        }
        CompleteCrossfade(reading);
        if (showClock.paused) {
            return;
        }
    }
    // The image before replaces the one that was fading in, if any; that
    // one stays among the images to come.
    if (LoadPreviousSlide()) {
        BeginStep(Completion::back, reading);
    }
}

} // namespace

void QueueShowCommand(ShowCommand command, bool repeat) {
    if (repeat) {
        const bool stepWaiting = std::any_of(showCommands.begin(), showCommands.end(),
                                             [](ShowCommand c) { return c != ShowCommand::pause; });
        if (command == ShowCommand::pause || stepWaiting) {
            return;
        }
    }
    showCommands.push_back(command);
}

void StartShow(int64_t frequency, int64_t reading) {
    showClock = SlideClock{};
    showClock.frequency = frequency;
    RestartSlide(showClock, reading);
    showCommands.clear();
    completion = Completion::forward;
    StartHistory();
}

void RunShowPass(int64_t reading) {
    // Every pause waiting, but one step per pass: a press loads at most one
    // image, and frames are drawn between the loads.
    while (!showCommands.empty()) {
        const ShowCommand command = showCommands.front();
        showCommands.pop_front();
        if (command == ShowCommand::pause) {
            if (showClock.paused) {
                ResumeSlideClock(showClock, reading);
            } else {
                PauseSlideClock(showClock);
            }
            continue;
        }
        if (command == ShowCommand::next) {
            StepForward(reading);
        } else {
            StepBack(reading);
        }
        break;
    }

    const ClockStep step = StepSlideClock(showClock, reading, settings.time, settings.fade);
    if (step.advance) {
        CompleteCrossfade(reading);
    }
    DrawCrossfadeFrame(step.fadeFactor);
}
