// BuildPlaylist and ScanDirectory over real folders and the platform's file
// search: which files make the list, the folder text they start with, and the
// order the seed gives.
#include "app/settings.h"
#include "playlist/playlist.h"
#include "playlist/random.h"
#include "reference.h"
#include "tests/kernel32/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace {

// The images of the folder "Me/Photos" in the order the nine patterns and the
// name-ordered search deliver them, before the shuffle.
const std::vector<std::string> scanOrder = {"c.bmp", "g.DDS", "a.jpg", "h.Jpg",
                                            "B.PNG", "r.ppm", "f.tga"};

class BuildPlaylistTest : public testing::Test {
  protected:
    void SetUp() override {
        photos = folder.AddFolder("Me/Photos");
        for (const std::string& name : scanOrder) {
            folder.AddFile("Me/Photos/" + name);
        }
        chmod((photos + "/r.ppm").c_str(), 0444);
        for (const char* name : {"d.gif", "notes.txt", "i.jpeg", ".e.jpg", "jpg"}) {
            folder.AddFile(std::string("Me/Photos/") + name);
        }
        folder.AddFolder("Me/Photos/sub.jpg");
        folder.AddFile("Me/Photos/sub.jpg/inner.png");
    }
    void TearDown() override {
        settings.path = "";
        playlistCursor = 0;
        Playlist.clear();
    }

    // Builds from `path` (kept alive here, as settingsMap keeps it).
    void Build(const std::string& path) {
        pathText = path;
        settings.path = pathText.c_str();
        BuildPlaylist();
    }
    static std::vector<std::string> Sorted(std::vector<std::string> list) {
        std::sort(list.begin(), list.end());
        return list;
    }
    static std::vector<std::string> Prefixed(const std::string& prefix,
                                             const std::vector<std::string>& names) {
        std::vector<std::string> list;
        for (const std::string& name : names) {
            list.push_back(prefix + name);
        }
        return list;
    }

    TempFolder folder;
    std::string photos;
    std::string pathText;
};

TEST_F(BuildPlaylistTest, ListsTheImagesInTheSeededOrder) {
    SeedRandom(7);
    playlistCursor = 3;
    Build(photos);
    ReferenceRandom reference{7};
    EXPECT_EQ(Playlist, ReferenceShuffle(Prefixed(photos + "\\", scanOrder), reference));
    EXPECT_EQ(NextRandom(), reference.Next()); // exactly six draws for seven entries
    EXPECT_EQ(playlistCursor, 3);
    EXPECT_STREQ(settings.path, photos.c_str());

    SeedRandom(7);
    const std::vector<std::string> first = Playlist;
    Build(photos);
    EXPECT_EQ(Playlist, first);
}

TEST_F(BuildPlaylistTest, PreparesTheFolderText) {
    const std::string& root = folder.Path();
    folder.AddFolder("a\"b");
    folder.AddFile("a\"b/q.jpg");
    const std::vector<std::string> all = Sorted(scanOrder);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"" + photos + "\"", photos + "\\"},
        {"\"\"" + photos + "\"\"\"", photos + "\\"},
        {photos + "\\", photos + "\\"},
        {photos + "/", photos + "/\\"},
        {root + "\\me\\photos", root + "\\me\\photos\\"},
        {root + "/ME/PHOTOS/", root + "/ME/PHOTOS/\\"},
    };
    for (const auto& [path, prefix] : cases) {
        Build(path);
        EXPECT_EQ(Sorted(Playlist), Prefixed(prefix, all)) << path;
    }
    // Only quotes at the ends go.
    Build("\"" + root + "/a\"b\"\"");
    EXPECT_EQ(Playlist, (std::vector<std::string>{root + "/a\"b\\q.jpg"}));
    // A folder that is not there gives an empty list, not a failure.
    Build(root + "/missing");
    EXPECT_TRUE(Playlist.empty());
}

TEST_F(BuildPlaylistTest, EmptyOrQuotesOnlyPathUsesTheCurrentDirectory) {
    CurrentDirectory here(photos);
    const std::string current = std::filesystem::current_path().string();
    const std::vector<std::string> expected = Prefixed(current + "\\", Sorted(scanOrder));
    for (const char* path : {"", "\"", "\"\"\""}) {
        Build(path);
        EXPECT_EQ(Sorted(Playlist), expected) << path;
    }
}

TEST_F(BuildPlaylistTest, EachBuildStartsAfresh) {
    Build(photos);
    ASSERT_EQ(Playlist.size(), scanOrder.size());
    std::filesystem::remove(photos + "/a.jpg");
    folder.AddFile("Me/Photos/z.hdr");
    Build(photos);
    std::vector<std::string> names = scanOrder;
    names.erase(std::find(names.begin(), names.end(), "a.jpg"));
    names.push_back("z.hdr");
    EXPECT_EQ(Sorted(Playlist), Prefixed(photos + "\\", Sorted(names)));

    // A single image: no draw at all.
    TempFolder single;
    single.AddFile("only.png");
    SeedRandom(1);
    Build(single.Path());
    EXPECT_EQ(Playlist, (std::vector<std::string>{single.Path() + "\\only.png"}));
    EXPECT_EQ(NextRandom(), 41);
}

TEST(ScanDirectory, AppendsInDeliveryOrder) {
    TempFolder folder;
    for (const char* name : {"b.PNG", "a.png", ".c.png", "d.jpg"}) {
        folder.AddFile(name);
    }
    std::vector<std::string> list = {"kept"};
    const std::string prefix = folder.Path() + "\\";
    ScanDirectory(prefix, "*.png", list);
    ScanDirectory(prefix, "*.gif", list);
    ScanDirectory(folder.Path() + "/missing\\", "*.png", list);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", prefix + "a.png", prefix + "b.PNG"}));
}

} // namespace
