// The images before and after the current one, and their loads.
#include "app/history.h"

#include "render/slides.h"

std::deque<std::string> imagesBefore;
std::vector<std::string> imagesAfter;

void StartHistory() {
    imagesBefore.clear();
    imagesAfter.clear();
    if (nextSlide.loaded) {
        imagesAfter.push_back(nextSlide.path);
    }
}

void RecordStepForward(const std::string& leaving) {
    if (!leaving.empty()) {
        imagesBefore.push_back(leaving);
        while (imagesBefore.size() > rememberedImages - 1) {
            imagesBefore.pop_front();
        }
    }
    if (currentSlide.loaded && !imagesAfter.empty()) {
        imagesAfter.pop_back();
    }
}

void RecordStepBack() {
    if (!imagesBefore.empty()) {
        imagesBefore.pop_back();
    }
    if (nextSlide.loaded) {
        imagesAfter.push_back(nextSlide.path);
    }
}

void LoadFollowingSlide() {
    while (!imagesAfter.empty()) {
        if (LoadSlideFromFile(imagesAfter.back())) {
            return;
        }
        imagesAfter.pop_back();
    }
    // The walk fills an empty nextSlide; a step back may have left one of the
    // earlier images in it.
    ReleaseNextSlide();
    LoadNextSlide();
    if (nextSlide.loaded) {
        imagesAfter.push_back(nextSlide.path);
    }
}

bool LoadPreviousSlide() {
    while (!imagesBefore.empty()) {
        if (LoadSlideFromFile(imagesBefore.back())) {
            return true;
        }
        imagesBefore.pop_back();
    }
    return false;
}
