// The file search against real folders: matching, order, attributes, errors
// and handles as Windows reports them.
#include "platform/kernel32/kernel32.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

struct Found {
    std::string name;
    DWORD attributes;
    bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& found) {
    return out << found.name << " (0x" << std::hex << found.attributes << std::dec << ")";
}

// Runs a whole search; `error` receives the last error once it ended.
std::vector<Found> Search(const std::string& text, DWORD* error = nullptr) {
    std::vector<Found> found;
    WIN32_FIND_DATAA data;
    SetLastError(0);
    HANDLE search = FindFirstFileA(text.c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            found.push_back({data.cFileName, data.dwFileAttributes});
        } while (FindNextFileA(search, &data));
    }
    if (error != nullptr) {
        *error = GetLastError();
    }
    if (search != INVALID_HANDLE_VALUE) {
        EXPECT_TRUE(FindClose(search));
    }
    return found;
}

std::vector<std::string> Names(const std::vector<Found>& found) {
    std::vector<std::string> names;
    for (const Found& f : found) {
        names.push_back(f.name);
    }
    return names;
}

constexpr DWORD normal = FILE_ATTRIBUTE_NORMAL;
constexpr DWORD hidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD directory = FILE_ATTRIBUTE_DIRECTORY;

TEST(FindFiles, MatchesIgnoringCaseInNtfsOrder) {
    TempFolder folder;
    for (const char* name : {"b.jpg", "A.JPG", "c.Jpg", "_d.jpg", "AB.jpg", "ab.jpg", "a.jpeg",
                             "x.png", "photo.jpg.txt", ".hidden.jpg", "jpg", "*star.jpg"}) {
        folder.AddFile(name);
    }
    folder.AddFolder("dir.jpg");
    folder.AddFile("dir.jpg/inside.jpg");

    DWORD error = 0;
    EXPECT_EQ(Search(folder.Path() + "\\*.jpg", &error),
              (std::vector<Found>{{"*star.jpg", normal},
                                  {".hidden.jpg", hidden},
                                  {"A.JPG", normal},
                                  {"AB.jpg", normal},
                                  {"ab.jpg", normal},
                                  {"b.jpg", normal},
                                  {"c.Jpg", normal},
                                  {"dir.jpg", directory},
                                  {"_d.jpg", normal}}));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));

    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"?.jpg", {"A.JPG", "b.jpg", "c.Jpg"}},
        {"*B*", {"AB.jpg", "ab.jpg", "b.jpg"}},
        {"a*.jp?", {"A.JPG", "AB.jpg", "ab.jpg"}},
        {"*.TXT", {"photo.jpg.txt"}},
        {"*.jpeg", {"a.jpeg"}},
        {"JPG", {"jpg"}},
        {"*o*.t?t", {"photo.jpg.txt"}},
        {"*.*.*", {"..", ".hidden.jpg", "photo.jpg.txt"}},
        {"??", {".."}},
    };
    for (const auto& [pattern, expected] : cases) {
        EXPECT_EQ(Names(Search(folder.Path() + "/" + pattern)), expected) << pattern;
    }
}

TEST(FindFiles, AttributesSizesAndTimes) {
    TempFolder folder;
    const std::string plain = folder.AddFile("plain.jpg", "12345");
    // 10^9 seconds after 1970 and 500 ns: 100-ns ticks since 1601.
    const timespec times[2] = {{1000000000, 500}, {1000000000, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, plain.c_str(), times, 0), 0);
    chmod(folder.AddFile("locked.jpg").c_str(), 0444);
    folder.AddFile(".hidden.jpg");
    folder.AddFolder("folder.jpg");
    ASSERT_EQ(symlink("folder.jpg", (folder / "linked.jpg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (folder / "broken.jpg").c_str()), 0);
    ASSERT_EQ(symlink("plain.jpg", (folder / "alias.jpg").c_str()), 0);

    EXPECT_EQ(Search(folder.Path() + "/*.jpg"),
              (std::vector<Found>{{".hidden.jpg", hidden},
                                  {"alias.jpg", normal},
                                  {"broken.jpg", normal},
                                  {"folder.jpg", directory},
                                  {"linked.jpg", directory},
                                  {"locked.jpg", FILE_ATTRIBUTE_READONLY},
                                  {"plain.jpg", normal}}));

    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder.Path() + "/PLAIN.JPG").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "plain.jpg");
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    const uint64_t written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(written, (1000000000ull + 11644473600ull) * 10000000ull + 5);
    EXPECT_STREQ(data.cAlternateFileName, "");
    FindClose(search);

    // "." and ".." are plain folders, delivered only to patterns they match.
    const std::vector<Found> all = Search(folder.Path() + "/*");
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0], (Found{".", directory}));
    EXPECT_EQ(all[1], (Found{"..", directory}));
    EXPECT_EQ(all.size(), 9u);
}

TEST(FindFiles, SeparatorsAndCaseBlindFolders) {
    TempFolder folder;
    folder.AddFolder("Me/Photos");
    folder.AddFile("Me/Photos/b.JPG");
    folder.AddFile("Me/Photos/a.jpg");
    const std::vector<std::string> expected = {"a.jpg", "b.JPG"};

    for (const std::string& text : {
             folder.Path() + "/Me/Photos/*.jpg",
             folder.Path() + "\\Me\\Photos\\*.jpg",
             folder.Path() + "/me/photos\\*.jpg",
             folder.Path() + "\\ME/PHOTOS/*.JPG",
             folder.Path() + "/me/photos/\\*.jpg",
             folder.Path() + "/Me/./photos\\\\*.jpg",
         }) {
        EXPECT_EQ(Names(Search(text)), expected) << text;
    }
    {
        CurrentDirectory here(folder.Path());
        EXPECT_EQ(Names(Search("me\\photos\\*.jpg")), expected);
    }
    {
        CurrentDirectory here(folder / "Me/Photos");
        EXPECT_EQ(Names(Search("*.jpg")), expected);
    }
}

TEST(FindFiles, FailuresSetTheWindowsError) {
    TempFolder folder;
    folder.AddFile("plain.jpg");
    const std::string prefix = folder.Path() + "\\";
    const std::string longest = prefix + std::string(MAX_PATH - 1 - prefix.size(), 'a');
    const std::string tooLong = longest + "a";
    ASSERT_EQ(tooLong.size(), static_cast<size_t>(MAX_PATH));

    const std::vector<std::pair<std::string, DWORD>> cases = {
        {folder.Path() + "/missing\\*.jpg", ERROR_PATH_NOT_FOUND},
        {folder.Path() + "/plain.jpg\\*", ERROR_PATH_NOT_FOUND},
        {folder.Path() + "\\*.gif", ERROR_FILE_NOT_FOUND},
        {folder.Path() + "\\", ERROR_FILE_NOT_FOUND},
        {longest, ERROR_FILE_NOT_FOUND},
        {tooLong, ERROR_FILENAME_EXCED_RANGE},
        {tooLong + "\\*.jpg", ERROR_FILENAME_EXCED_RANGE},
    };
    for (const auto& [text, error] : cases) {
        WIN32_FIND_DATAA data;
        SetLastError(0);
        EXPECT_EQ(FindFirstFileA(text.c_str(), &data), INVALID_HANDLE_VALUE) << text;
        EXPECT_EQ(GetLastError(), error) << text;
    }

    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(FindFirstFileA((folder.Path() + "/*").c_str(), nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FindFiles, HandlesEndAndCloseSafely) {
    TempFolder folder;
    folder.AddFile("a.png");
    folder.AddFile("b.png");
    folder.AddFile("c.jpg");

    WIN32_FIND_DATAA first;
    WIN32_FIND_DATAA second;
    HANDLE pngs = FindFirstFileA((folder.Path() + "/*.png").c_str(), &first);
    HANDLE jpgs = FindFirstFileA((folder.Path() + "/*.jpg").c_str(), &second);
    ASSERT_NE(pngs, INVALID_HANDLE_VALUE);
    ASSERT_NE(jpgs, INVALID_HANDLE_VALUE);
    EXPECT_NE(pngs, jpgs);
    EXPECT_STREQ(first.cFileName, "a.png");
    EXPECT_STREQ(second.cFileName, "c.jpg");

    // Two searches run side by side; each ends with ERROR_NO_MORE_FILES, also
    // when asked again.
    EXPECT_FALSE(FindNextFileA(jpgs, &second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindNextFileA(pngs, &first));
    EXPECT_STREQ(first.cFileName, "b.png");
    EXPECT_FALSE(FindNextFileA(pngs, &first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_FALSE(FindNextFileA(pngs, &first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_STREQ(first.cFileName, "b.png");

    EXPECT_TRUE(FindClose(pngs));
    EXPECT_TRUE(FindClose(jpgs));
    for (HANDLE bad : {pngs, jpgs, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr),
                       reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234))}) {
        SetLastError(0);
        EXPECT_FALSE(FindNextFileA(bad, &first));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(FindClose(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }

    // A new search never receives the value of a closed one.
    HANDLE again = FindFirstFileA((folder.Path() + "/*.png").c_str(), &first);
    EXPECT_NE(again, pngs);
    EXPECT_NE(again, jpgs);
    EXPECT_TRUE(FindClose(again));
}

TEST(FindFiles, SearchKeepsTheFolderAsItWasAtTheStart) {
    TempFolder folder;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        folder.AddFile(name);
    }
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder.Path() + "/*.jpg").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::filesystem::remove(folder / "b.jpg");
    std::filesystem::remove(folder / "c.jpg");
    folder.AddFile("d.jpg");
    std::vector<std::string> names = {data.cFileName};
    while (FindNextFileA(search, &data)) {
        names.push_back(data.cFileName);
    }
    FindClose(search);
    EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

} // namespace
