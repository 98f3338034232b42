// Current directory, last error and the counter.
#include "platform/kernel32/kernel32.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

TEST(GetCurrentDirectory, FillsOrReportsTheSizeNeeded) {
    TempFolder folder;
    CurrentDirectory here(folder.Path());
    const std::string expected = std::filesystem::current_path().string();
    const auto length = static_cast<DWORD>(expected.size());

    char buffer[1024];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), length);
    EXPECT_STREQ(buffer, expected.c_str());

    // Exactly room for the NUL is enough; one byte less is not, and then the
    // buffer is left as it was.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer), length);
    EXPECT_STREQ(buffer, expected.c_str());
    for (DWORD size : {length, DWORD{1}, DWORD{0}}) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetCurrentDirectoryA(size, buffer), length + 1) << size;
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x')) << size;
    }
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    DWORD seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_NO_MORE_FILES);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(PerformanceCounter, CountsNanosecondsAcrossSleep) {
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);

    LARGE_INTEGER before;
    LARGE_INTEGER after;
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    Sleep(20);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_GE(after.QuadPart - before.QuadPart, 20 * frequency.QuadPart / 1000);
    EXPECT_LT(after.QuadPart - before.QuadPart, 5 * frequency.QuadPart);

    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

} // namespace
