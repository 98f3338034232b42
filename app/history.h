// The images the show has gone through, for the keys that step back and
// forth: file paths as the Playlist spelled them, so that they outlive its
// rebuilds.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

// How many images are remembered, the current one included.
constexpr size_t rememberedImages = 100;

// Shown before the current image, the most recent last.
extern std::deque<std::string> imagesBefore;
// To come after the current image, the next one last: the images that were
// current before steps back, then the one taken from the Playlist.
// nextSlide holds the last one, except while a step back fades in.
extern std::vector<std::string> imagesAfter;

// Starts over with the images of the start-up: nothing before the current
// one, and nextSlide's image after it.
void StartHistory();

// After TakeNextSlide: the image that was current, `leaving` (empty for
// none), is one shown before, and the one that came in is no longer to come.
void RecordStepForward(const std::string& leaving);

// After SwapSlides has completed a step back: the image shown before is the
// current one, and the one that was current comes next.
void RecordStepBack();

// Loads into nextSlide the image that comes after the current one: the
// next of imagesAfter, else the next of the Playlist. Files that can no longer
// be loaded are passed over and forgotten.
void LoadFollowingSlide();

// Loads into nextSlide the most recent image shown before the current one,
// passing over and forgetting files that can no longer be loaded. False, with
// nextSlide unchanged, when there is none.
bool LoadPreviousSlide();
