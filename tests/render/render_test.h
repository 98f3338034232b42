// Fixture for the rendering tests: fresh fakes, the program's graphics state
// back to its start values, and a temp folder of image files.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "fake_graphics.h"
#include "playlist/playlist.h"
#include "render/device.h"
#include "render/slides.h"
#include "window/window.h"

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        direct3d = nullptr;
        device = nullptr;
        currentSlide = Slide{};
        nextSlide = Slide{};
        Playlist.clear();
        playlistCursor = 0;
        mainWindow = fake::window;
        clientSize = {600, 400};
        settings = Settings{};

        char pattern[] = "/tmp/vimbora-render-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        settings.path = folder.c_str();
    }

    void TearDown() override {
        settings = Settings{};
        std::filesystem::remove_all(folder);
    }

    // An empty file in the folder; what it holds is told by its name.
    void AddFile(const std::string& name) { std::ofstream(folder + "/" + name).put('\0'); }
    void RemoveFile(const std::string& name) { std::filesystem::remove(folder + "/" + name); }
    // The path of a file of the folder as the playlist spells it.
    std::string PathOf(const std::string& name) const { return folder + "\\" + name; }

    // The start-up of the driver, from the device to the first advance.
    void StartShow() {
        ASSERT_TRUE(CreateGraphicsDevice());
        CreateSlideQuad(currentSlide);
        CreateSlideQuad(nextSlide);
        BuildPlaylist();
        LoadNextSlide();
        AdvanceSlide();
    }

    // Every fake object has been released exactly down to zero, once.
    void ExpectAllReleasedOnce() {
        for (const auto& object : fake::objects) {
            EXPECT_EQ(object->refs, 0) << object->name;
            EXPECT_EQ(object->timesReachedZero, 1) << object->name;
        }
        EXPECT_TRUE(fake::faults.empty()) << ::testing::PrintToString(fake::faults);
    }

    std::string folder;
};
