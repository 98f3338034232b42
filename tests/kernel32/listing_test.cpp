// Searches that follow each other closely share one read of the folder's
// names; whatever changes in the folder after a search is seen by the next.
#include "platform/kernel32/kernel32.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> Names(const std::string& search) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(search.c_str(), &data);
    if (handle != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(data.cFileName);
        } while (FindNextFileA(handle, &data));
        FindClose(handle);
    }
    return names;
}

TEST(FolderListing, ChangesRightAfterASearchAreSeen) {
    TempFolder folder;
    folder.AddFile("a.jpg");
    folder.AddFile("b.png");
    // A folder left alone for a while: its read is kept for the searches
    // that follow.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::string jpg = folder.Path() + "/*.jpg";
    const std::string png = folder.Path() + "/*.png";
    EXPECT_EQ(Names(jpg), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(Names(png), std::vector<std::string>{"b.png"});

    // Changes within the same moment, each searched for at once.
    folder.AddFile("c.jpg");
    EXPECT_EQ(Names(jpg), (std::vector<std::string>{"a.jpg", "c.jpg"}));
    std::remove((folder / "a.jpg").c_str());
    EXPECT_EQ(Names(jpg), std::vector<std::string>{"c.jpg"});
    std::rename((folder / "b.png").c_str(), (folder / "d.jpg").c_str());
    EXPECT_EQ(Names(jpg), (std::vector<std::string>{"c.jpg", "d.jpg"}));
    EXPECT_TRUE(Names(png).empty());
    folder.AddFile("e.png");
    EXPECT_EQ(Names(png), std::vector<std::string>{"e.png"});

    // Another folder with the same entries is read for itself.
    TempFolder other;
    other.AddFile("z.jpg");
    EXPECT_EQ(Names(other.Path() + "/*.jpg"), std::vector<std::string>{"z.jpg"});
    EXPECT_EQ(Names(jpg), (std::vector<std::string>{"c.jpg", "d.jpg"}));
}

} // namespace
