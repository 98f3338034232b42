// The program's entry and only driver: start-up in a fixed order, the main
// loop with the slide clock, and the shutdown.
#include <ctime>

#include "app/settings.h"
#include "app/show.h"
#include "platform/win32.h"
#include "playlist/playlist.h"
#include "playlist/random.h"
#include "render/crossfade.h"
#include "render/device.h"
#include "render/slides.h"
#include "window/window.h"

namespace {

int64_t ReadCounter() {
    LARGE_INTEGER reading;
    reading.QuadPart = 0;
    QueryPerformanceCounter(&reading);
    return reading.QuadPart;
}

// Ends a start-up that cannot go on: what was made is released and the
// settings freed, and the exit status tells the caller it failed.
int AbandonStartUp() {
    ReleaseGraphics();
    FreeSettings();
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    ParseCommandLine(commandLine);

    CreateMainWindow(instance, showCommand);
    if (mainWindow == nullptr) {
        MessageBoxA(nullptr, "Vimbora could not create its window.", "Error", MB_OK | MB_ICONERROR);
        return AbandonStartUp();
    }
    if (!CreateGraphicsDevice()) {
        return AbandonStartUp();
    }
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);

    BuildPlaylist();
    LoadNextSlide();
    AdvanceSlide();

    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    StartShow(frequency.QuadPart, ReadCounter());

    SetCrossfadeStates();
    ApplyFadeRule(settings);

    // One pass per frame; Present paces the loop to the display. The keys'
    // commands, queued by the window procedure, reach the show between
    // passes.
    bool running = PumpMessages();
    while (running) {
        RunShowPass(ReadCounter());
        running = PumpMessages();
    }

    ReleaseGraphics();
    FreeSettings();
    return 0;
}
