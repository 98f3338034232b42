// The show's passes with the keys' commands: the pause, the steps forward and
// back with their short crossfades, and the images remembered for them.
#include <cstddef>
#include <cstring>

#include "app/history.h"
#include "app/show.h"
#include "render/crossfade.h"
#include "render_test.h"

namespace {

constexpr int64_t ticksPerSecond = 1000000000;
constexpr int64_t start = 5000000000000;

int64_t At(double seconds) {
    return start + static_cast<int64_t>(seconds * ticksPerSecond);
}

// What the last frame showed: the two slides' images and the next one's
// weight as its vertex colour.
struct Picture {
    std::string current;
    std::string next;
    DWORD nextColour;
    bool operator==(const Picture&) const = default;
};

void PrintTo(const Picture& picture, std::ostream* out) {
    *out << picture.current << " + " << picture.next << " x" << std::hex << picture.nextColour;
}

DWORD NextColour() {
    DWORD colour = 0;
    std::memcpy(&colour, fake::BytesOf(nextSlide.vertexBuffer) + offsetof(SlideVertex, diffuse),
                sizeof colour);
    return colour;
}

DWORD ColourOfWeight(float fadeFactor) {
    return CrossfadeColorsFor(fadeFactor).next;
}

class ShowTest : public RenderTest {
  protected:
    void TearDown() override {
        showCommands.clear();
        RenderTest::TearDown();
    }

    // Start-up with the given image files, and the show's clock at 0 s.
    void Begin(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            AddFile(name);
        }
        StartShow();
        ::StartShow(ticksPerSecond, At(0.0));
    }

    // One pass at `seconds`, after the given commands; no pass loads more
    // than one image. Returns the frame.
    Picture Pass(double seconds, std::initializer_list<ShowCommand> commands = {}) {
        for (ShowCommand command : commands) {
            QueueShowCommand(command, false);
        }
        const int before = Loads();
        RunShowPass(At(seconds));
        EXPECT_LE(Loads() - before, 1) << "at " << seconds << " s";
        return Shown();
    }

    Picture Shown() const {
        return {fake::FileOf(currentSlide.texture), fake::FileOf(nextSlide.texture), NextColour()};
    }

    static int Loads() { return fake::Count("D3DXCreateTextureFromFileExA"); }
    // The files decoded since the log was last cleared, in order.
    static std::vector<std::string> Decoded() {
        std::vector<std::string> names;
        for (const std::string& call : fake::Matching("D3DXCreateTextureFromFileExA")) {
            const size_t first = call.find(',') + 1;
            names.push_back(call.substr(first, call.find(',', first) - first));
        }
        return names;
    }
};

// The picture of the last pass stays, the fade included, and nothing loads,
// however long the pause; the resume goes on with the time that was left.
TEST_F(ShowTest, PauseHoldsTheClockAndThePicture) {
    Begin({"good_a.jpg", "good_b.jpg", "good_c.jpg"});
    const Picture fading = Pass(10.5);
    EXPECT_EQ(fading.nextColour, ColourOfWeight(0.5f));
    fake::calls.clear();
    EXPECT_EQ(Pass(10.6, {ShowCommand::pause}), fading);
    for (double seconds : {12.5, 300.0}) {
        QueueShowCommand(ShowCommand::pause, true); // Space held down
        EXPECT_EQ(Pass(seconds), fading) << seconds;
    }
    EXPECT_EQ(Loads(), 0);
    EXPECT_EQ(Pass(301.0, {ShowCommand::pause}), fading);
    EXPECT_EQ(Pass(301.75).nextColour, ColourOfWeight(0.896484375f));
    EXPECT_EQ(Loads(), 0);
    const Picture advanced = Pass(302.6);
    EXPECT_EQ(advanced.current, fading.next);
    EXPECT_EQ(Loads(), 1);
}

// Next: the next image crossfades in over half a second, then has its full
// time. Previous: the image before comes back the same way, with the one it
// replaces next; then the show goes on with the images as they came.
TEST_F(ShowTest, NextAndPreviousLoadTheImagesInTheOrderShown) {
    Begin({"good_a.jpg", "good_b.jpg", "good_c.jpg", "good_d.jpg", "good_e.jpg"});
    const Picture first = Pass(1.0);
    fake::calls.clear();

    EXPECT_EQ(Pass(2.0, {ShowCommand::next}), (Picture{first.current, first.next, 0xFF000000}));
    EXPECT_EQ(Pass(2.25).nextColour, ColourOfWeight(0.5f));
    EXPECT_EQ(Loads(), 0);
    const Picture second = Pass(2.5);
    EXPECT_EQ(second.current, first.next);
    EXPECT_EQ(second.nextColour, 0xFF000000);
    EXPECT_EQ(Decoded(), std::vector<std::string>{second.next});
    EXPECT_EQ(Pass(11.5).nextColour, 0xFF000000); // a full time from 2.5 s
    EXPECT_NE(Pass(11.9).nextColour, 0xFF000000);

    // Back to the first image, from within the show's own crossfade.
    fake::calls.clear();
    EXPECT_EQ(Pass(12.0, {ShowCommand::previous}),
              (Picture{second.current, first.current, 0xFF000000}));
    EXPECT_EQ(Decoded(), std::vector<std::string>{first.current});
    EXPECT_EQ(Pass(12.5), (Picture{first.current, second.current, 0xFF000000}));
    EXPECT_EQ(Loads(), 1);
    // Nothing is shown before the first image.
    const Picture unchanged = Pass(13.0, {ShowCommand::previous});
    EXPECT_EQ(Pass(13.5), unchanged);
    EXPECT_EQ(unchanged.current, first.current);
    EXPECT_EQ(Loads(), 1);

    // Forward again, through the image that was current, to the one that was
    // to come after it.
    fake::calls.clear();
    Pass(14.0, {ShowCommand::next});
    EXPECT_EQ(Pass(14.5), (Picture{second.current, second.next, 0xFF000000}));
    Pass(15.0, {ShowCommand::next});
    const Picture third = Pass(15.5);
    EXPECT_EQ(third.current, second.next);
    EXPECT_EQ(Decoded(), (std::vector<std::string>{second.next, third.next}));
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

// A press during the show's own crossfade completes it at once; a press in
// the direction of a key's crossfade completes it and starts its own; one
// against it stops it, and the image it was leaving stays.
TEST_F(ShowTest, PressesDuringCrossfades) {
    Begin({"good_a.jpg", "good_b.jpg", "good_c.jpg", "good_d.jpg"});
    const Picture first = Pass(10.5);
    const Picture completed = Pass(10.6, {ShowCommand::next});
    EXPECT_EQ(completed.current, first.next);
    EXPECT_EQ(completed.nextColour, 0xFF000000);

    Pass(11.0, {ShowCommand::next});
    const Picture onward = Pass(11.25, {ShowCommand::next});
    EXPECT_EQ(onward.current, completed.next);
    EXPECT_EQ(onward.nextColour, 0xFF000000);
    EXPECT_EQ(Pass(11.5).nextColour, ColourOfWeight(0.5f));

    // Against a step forward: no load, the same two images.
    fake::calls.clear();
    EXPECT_EQ(Pass(11.6, {ShowCommand::previous}),
              (Picture{onward.current, onward.next, 0xFF000000}));
    EXPECT_EQ(Pass(12.5).nextColour, 0xFF000000);
    EXPECT_EQ(Loads(), 0);

    // Against a step back: the image to come is loaded again.
    Pass(13.0, {ShowCommand::previous});
    EXPECT_EQ(Pass(13.25).next, completed.current);
    EXPECT_EQ(Pass(13.3, {ShowCommand::next}), (Picture{onward.current, onward.next, 0xFF000000}));
    EXPECT_EQ(Decoded(), (std::vector<std::string>{completed.current, onward.next}));
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

// While paused, next and previous show their image at once and the pause
// holds it; with a fade of 0 the steps are hard cuts.
TEST_F(ShowTest, StepsWhilePausedAndWithoutFadeAreCuts) {
    Begin({"good_a.jpg", "good_b.jpg", "good_c.jpg"});
    const Picture first = Pass(10.5, {ShowCommand::pause});
    const Picture next = Pass(11.0, {ShowCommand::next});
    EXPECT_EQ(next.current, first.next);
    EXPECT_EQ(next.nextColour, 0xFF000000);
    EXPECT_EQ(Pass(100.0), next);
    EXPECT_EQ(Pass(100.1, {ShowCommand::previous}),
              (Picture{first.current, first.next, 0xFF000000}));
    EXPECT_EQ(Pass(300.0, {ShowCommand::pause}).current, first.current);
    EXPECT_EQ(Pass(311.9).current, first.current); // resumed with a full time

    settings.fade = 0.0f;
    const Picture cut = Pass(320.0, {ShowCommand::next});
    EXPECT_EQ(cut.current, first.next);
    EXPECT_EQ(Pass(320.5, {ShowCommand::previous}).current, first.current);
}

// The images shown are remembered across the Playlist's rebuilds, up to 100
// with the current one; files that have gone are passed over.
TEST_F(ShowTest, HistoryOutlivesRebuildsAndSkipsGoneFiles) {
    Begin({"good_a.jpg", "good_b.jpg", "good_c.jpg"});
    settings.fade = 0.0f;
    std::vector<std::string> shown = {Shown().current};
    double seconds = 0.0;
    for (int i = 0; i < 120; ++i) {
        seconds += 12.5;
        shown.push_back(Pass(seconds).current);
    }
    EXPECT_EQ(imagesBefore.size(), rememberedImages - 1);
    for (size_t back = 1; back < rememberedImages; ++back) {
        seconds += 0.1;
        ASSERT_EQ(Pass(seconds, {ShowCommand::previous}).current, shown[shown.size() - 1 - back])
            << back;
    }
    fake::calls.clear();
    EXPECT_EQ(Pass(seconds + 0.1, {ShowCommand::previous}).current,
              shown[shown.size() - rememberedImages]);
    EXPECT_EQ(Loads(), 0);

    // Forward to the end again, then back over a file that has gone.
    for (size_t forward = 1; forward < rememberedImages; ++forward) {
        seconds += 0.1;
        ASSERT_EQ(Pass(seconds, {ShowCommand::next}).current,
                  shown[shown.size() - rememberedImages + forward])
            << forward;
    }
    const std::string gone = shown[shown.size() - 2];
    RemoveFile(gone);
    size_t expected = shown.size() - 2;
    while (shown[expected] == gone) {
        --expected;
    }
    EXPECT_EQ(Pass(seconds + 0.1, {ShowCommand::previous}).current, shown[expected]);
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

} // namespace
