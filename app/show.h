// The show as the main loop runs it, one pass per frame, and what its keys
// ask of it: pause, the next image, the image before.
#pragma once

#include <cstdint>
#include <deque>

#include "app/clock.h"

enum class ShowCommand { pause, next, previous };

// Commands in the order the keys were pressed; the window procedure queues
// them between frames, and the passes take them.
extern std::deque<ShowCommand> showCommands;
// The clock of the show's slides and of the keys' crossfades.
extern SlideClock showClock;

// Queues `command`; `repeat` for a key held down. A repeat of next or
// previous is dropped while an earlier step still waits, so that a held key
// moves no faster than images load; a held pause key toggles once.
void QueueShowCommand(ShowCommand command, bool repeat);

// After the first two images are loaded: the first slide's time begins at
// `reading` on a counter of `frequency` ticks per second.
void StartShow(int64_t frequency, int64_t reading);

// One pass at counter `reading`: takes the waiting pause commands and at
// most one step, works out the fade, advances when a slide's time or a key's
// crossfade is over, and draws the frame. At most one image is loaded.
void RunShowPass(int64_t reading);
