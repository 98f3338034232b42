// The show's passes with the keys' commands: the pause, the steps forward and
// back, and the images remembered for them.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "app/history.h"
#include "app/show.h"
#include "render/crossfade.h"
#include "render_test.h"

namespace {

using enum ShowCommand;
constexpr int64_t second = 1000000000; // counter ticks

// What a frame showed: the two slides' files and the next one's weight.
struct Picture {
    std::string current, next;
    DWORD nextColour;
    bool operator==(const Picture&) const = default;
};

DWORD Weight(float fadeFactor) {
    return CrossfadeColorsFor(fadeFactor).next;
}

class ShowTest : public RenderTest {
  protected:
    void TearDown() override {
        showCommands.clear();
        RenderTest::TearDown();
    }
    void Begin(int images) {
        for (char name = 'a'; name < 'a' + images; ++name) {
            AddFile(std::string("good_") + name + ".jpg");
        }
        StartShow();
        ::StartShow(second, 0);
        fake::calls.clear();
    }
    // One pass at `seconds`, after the given presses; it loads one image at most.
    Picture Pass(double seconds, std::initializer_list<ShowCommand> presses = {}) {
        for (ShowCommand command : presses) {
            QueueShowCommand(command, false);
        }
        const int before = Loads();
        RunShowPass(static_cast<int64_t>(seconds * second));
        EXPECT_LE(Loads() - before, 1) << seconds;
        DWORD colour = 0;
        std::memcpy(&colour, fake::BytesOf(nextSlide.vertexBuffer) + offsetof(SlideVertex, diffuse),
                    sizeof colour);
        return {fake::FileOf(currentSlide.texture), fake::FileOf(nextSlide.texture), colour};
    }
    static int Loads() { return fake::Count("D3DXCreateTextureFromFileExA"); }
};

TEST_F(ShowTest, PauseHoldsTheClockAndThePicture) {
    Begin(3);
    const Picture fading = Pass(10.5);
    ASSERT_EQ(fading.nextColour, Weight(0.5f));
    EXPECT_EQ(Pass(10.6, {pause}), fading);
    QueueShowCommand(pause, true); // Space held down toggles once
    EXPECT_EQ(Pass(300.0), fading);
    EXPECT_EQ(Pass(301.0, {pause}), fading);
    EXPECT_EQ(Pass(301.75).nextColour, Weight(0.896484375f));
    EXPECT_EQ(Loads(), 0);
    EXPECT_EQ(Pass(302.6).current, fading.next);
}

// Images I0, I1, ... in the order the Playlist gives them.
TEST_F(ShowTest, NextAndPreviousLoadTheImagesInTheOrderShown) {
    Begin(5);
    const Picture p0 = Pass(1.0); // I0, I1 next
    // Right: I1 crossfades in over half a second and has a full time; I2 loads.
    EXPECT_EQ(Pass(2.0, {next}), p0);
    EXPECT_EQ(Pass(2.25).nextColour, Weight(0.5f));
    EXPECT_EQ(Loads(), 0);
    const Picture p1 = Pass(2.5);
    EXPECT_EQ(p1.current, p0.next);
    EXPECT_EQ(Pass(11.5).nextColour, Weight(0.0f));

    // Left, within the show's crossfade: I0 comes back, I1 is next again.
    Pass(11.9, {previous});
    EXPECT_EQ(Pass(12.4), (Picture{p0.current, p1.current, Weight(0.0f)}));
    Pass(13.0, {previous}); // nothing before I0
    EXPECT_EQ(Pass(13.1).current, p0.current);
    EXPECT_EQ(Loads(), 2);

    // A second Right within a key's crossfade completes it and starts its
    // own; I2 is loaded again, by its path.
    Pass(14.0, {next});
    EXPECT_EQ(Pass(14.1, {next}), p1);
    EXPECT_EQ(Pass(14.6).current, p1.next);

    // Paused, steps show at once; Left against a step forward stops it.
    EXPECT_EQ(Pass(15.0, {pause, previous}), p1);
    EXPECT_EQ(Pass(100.0), p1);
    const Picture p2 = Pass(100.1, {next});
    EXPECT_EQ(p2.current, p1.next);
    Pass(101.0, {pause});
    Pass(102.0, {next});
    const int loads = Loads();
    EXPECT_EQ(Pass(102.1, {previous}), p2);
    EXPECT_EQ(Pass(103.0), p2);
    EXPECT_EQ(Loads(), loads);
    // Right within the show's crossfade completes it.
    Pass(112.0);
    EXPECT_EQ(Pass(112.1, {next}).current, p2.next);
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

// Remembered across the Playlist's rebuilds, up to 100 images with the
// current one; files that have gone are passed over.
TEST_F(ShowTest, HistoryOutlivesRebuildsAndSkipsGoneFiles) {
    Begin(3);
    settings.fade = 0.0f;
    std::vector<std::string> shown = {Pass(0.0).current};
    for (int i = 1; i <= 120; ++i) {
        shown.push_back(Pass(12.5 * i).current);
    }
    double seconds = 1500.0;
    for (size_t back = 1; back <= rememberedImages; ++back) {
        const size_t expected = shown.size() - 1 - std::min(back, rememberedImages - 1);
        ASSERT_EQ(Pass(seconds += 0.1, {previous}).current, shown[expected]) << back;
    }
    for (size_t forward = rememberedImages - 1; forward > 0; --forward) {
        ASSERT_EQ(Pass(seconds += 0.1, {next}).current, shown[shown.size() - forward]);
    }
    const std::string gone = shown[shown.size() - 2];
    RemoveFile(gone);
    size_t expected = shown.size() - 2;
    while (shown[expected] == gone) {
        --expected;
    }
    EXPECT_EQ(Pass(seconds + 0.1, {previous}).current, shown[expected]);
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

} // namespace
