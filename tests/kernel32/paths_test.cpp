// Case-blind resolution of Windows-style paths on a case-sensitive file system.
#include "platform/kernel32/paths.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace {

TEST(ResolvePath, FindsPartsIgnoringCase) {
    TempFolder folder;
    folder.AddFolder("Me/Photos");
    folder.AddFile("Me/Photos/Pic.JPG");
    folder.AddFolder("Twins/FOO");
    folder.AddFolder("Twins/Foo");
    folder.AddFolder("Twins/foo");
    folder.AddFolder("Pair/FOO");
    folder.AddFolder("Pair/Foo");
    const std::string& root = folder.Path();

    const std::vector<std::pair<std::string, std::string>> cases = {
        // As written: kept, even with doubled separators.
        {root + "/Me/Photos/Pic.JPG", root + "/Me/Photos/Pic.JPG"},
        {root + "//Me/Photos", root + "//Me/Photos"},
        // Backslashes become slashes, letter case is found.
        {root + "\\Me\\Photos\\Pic.JPG", root + "/Me/Photos/Pic.JPG"},
        {root + "/me/photos/pic.jpg", root + "/Me/Photos/Pic.JPG"},
        {root + "\\ME\\PHOTOS\\", root + "/Me/Photos/"},
        {root + "/me//photos\\\\pic.jpg", root + "/Me/Photos/Pic.JPG"},
        // An existing part of another case is never replaced.
        {root + "/Twins/foo", root + "/Twins/foo"},
        {root + "/Twins/Foo", root + "/Twins/Foo"},
        // Several matches: the one in lower case, else the first in byte
        // order.
        {root + "/twins/fOO", root + "/Twins/foo"},
        {root + "/pair/fOO", root + "/Pair/FOO"},
        // What matches nothing stays as written, and so does all after it.
        {root + "/me/photos/missing.jpg", root + "/Me/Photos/missing.jpg"},
        {root + "/me/nowhere/photos/pic.jpg", root + "/Me/nowhere/photos/pic.jpg"},
        {root + "/me/photos/pic.jpg/x", root + "/Me/Photos/Pic.JPG/x"},
        {"", ""},
    };
    for (const auto& [windowsPath, expected] : cases) {
        EXPECT_EQ(ResolvePath(windowsPath), expected) << windowsPath;
    }

    // The folder as typed wins over its lower-cased spelling, which the
    // program's settings give, and over every other spelling; a typed
    // spelling that does not exist falls back to the rules above.
    SetTypedFolder(root + "/Twins/Foo");
    EXPECT_EQ(ResolvePath(root + "\\twins\\foo\\"), root + "/Twins/Foo/");
    EXPECT_EQ(ResolvePath(root + "/twins/foo\\x.jpg"), root + "/Twins/Foo/x.jpg");
    EXPECT_EQ(ResolvePath(root + "/twins/foobar"), root + "/Twins/foobar");
    SetTypedFolder(root + "\\Twins\\FOO\\");
    EXPECT_EQ(ResolvePath(root + "/twins/foo"), root + "/Twins/FOO");
    SetTypedFolder(root + "/Twins/fOo");
    EXPECT_EQ(ResolvePath(root + "/twins/foo"), root + "/Twins/foo");
    SetTypedFolder("");

    CurrentDirectory here(root);
    EXPECT_EQ(ResolvePath("me\\photos\\pic.jpg"), "Me/Photos/Pic.JPG");
    EXPECT_EQ(ResolvePath("./ME/photos"), "./Me/Photos");
    EXPECT_EQ(ResolvePath("twins\\..\\me"), "Twins/../Me");
}

} // namespace
