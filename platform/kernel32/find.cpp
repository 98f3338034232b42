// FindFirstFileA / FindNextFileA / FindClose over opendir and readdir. A search
// reads and sorts the whole folder when it starts, as NTFS hands entries out in
// name order, so later changes to the folder do not disturb it. Searches of
// one folder that follow each other closely share one read of its names (see
// FolderNames).
#include "platform/kernel32/kernel32.h"
#include "platform/kernel32/paths.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// One running search: its matches, already examined, and the next to deliver.
struct FindSearch {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

// Live searches by handle value. Values are never reused, so a handle that
// was already closed stays invalid instead of reaching a newer search.
std::mutex searchesLock;
std::map<uintptr_t, FindSearch> searches;
uintptr_t nextHandleValue = 0x1000; // multiples of 4, as Windows hands them out

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Wildcard match ignoring ASCII case: '*' is any run of characters (also
// none), '?' exactly one. A mismatch after a '*' retries with that '*'
// swallowing one more character.
bool MatchesPattern(const char* name, const std::string& pattern) {
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = std::string::npos;
    size_t starName = 0;
    while (name[n] != '\0') {
        // A '*' of the pattern is always the wildcard, also where the name
        // has a '*' of its own (legal on POSIX file systems).
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || AsciiUpper(pattern[p]) == AsciiUpper(name[n]))) {
            ++n;
            ++p;
        } else if (starPattern != std::string::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// NTFS order: names compared after upper-casing (so "_" sorts after letters),
// names equal but for case in byte order.
bool ComesBefore(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

// Who we are, learnt once per search rather than once per entry: a folder of
// a hundred thousand images would otherwise cost as many system calls more.
struct Identity {
    uid_t user = geteuid();
    gid_t group = getegid();
    std::vector<gid_t> groups;
    Identity() {
        const int count = getgroups(0, nullptr);
        groups.resize(count > 0 ? static_cast<size_t>(count) : 0);
        const int got = groups.empty() ? 0 : getgroups(count, groups.data());
        groups.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
};

// Whether the write bit of the class we fall in (owner, group, others) is set,
// as `ls -l` shows it. The superuser's override is not counted: a file made
// read-only stays read-only for everyone, like the Windows attribute.
bool WritableForUs(const struct stat& status, const Identity& us) {
    if (status.st_uid == us.user) {
        return (status.st_mode & S_IWUSR) != 0;
    }
    const bool inGroup = status.st_gid == us.group || std::find(us.groups.begin(), us.groups.end(),
                                                                status.st_gid) != us.groups.end();
    return (status.st_mode & (inGroup ? S_IWGRP : S_IWOTH)) != 0;
}

// FILETIME counts 100-nanosecond intervals since 1601-01-01 UTC.
FILETIME ToFileTime(const timespec& time) {
    constexpr int64_t secondsFrom1601To1970 = 11644473600;
    const int64_t seconds = static_cast<int64_t>(time.tv_sec) + secondsFrom1601To1970;
    const uint64_t ticks =
        seconds < 0 ? 0 : static_cast<uint64_t>(seconds) * 10000000u + time.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(ticks & 0xffffffffu), static_cast<DWORD>(ticks >> 32)};
}

// Fills `data` for entry `name` of the open folder `dir`. Links are followed;
// a broken one is described by the link itself, a plain file. False when the
// entry vanished before it could be examined.
bool DescribeEntry(int dir, const std::string& name, const Identity& us, WIN32_FIND_DATAA& data) {
    struct stat status {};
    if (fstatat(dir, name.c_str(), &status, 0) != 0 &&
        fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    data = WIN32_FIND_DATAA{};
    const bool directory = S_ISDIR(status.st_mode);
    if (directory) {
        data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    // Windows lists "." and ".." as plain folders, not hidden ones.
    if (name[0] == '.' && name != "." && name != "..") {
        data.dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (!directory && !WritableForUs(status, us)) {
        data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (data.dwFileAttributes == 0) {
        data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    // stat keeps no birth time: the last write stands in for the creation.
    data.ftCreationTime = ToFileTime(status.st_mtim);
    data.ftLastAccessTime = ToFileTime(status.st_atim);
    data.ftLastWriteTime = ToFileTime(status.st_mtim);
    if (!directory) {
        const auto size = static_cast<uint64_t>(status.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
    }
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
    return true;
}

// The names in a folder, as one read of it found them. The slide show
// searches its folder for nine patterns in a row: the searches that follow
// within a second of a read, while the folder's modification and change
// times are still those seen at the read, take its names instead of reading
// the whole folder again. File systems keep those times in clock ticks of a
// few milliseconds, so a change in the same tick as the one before it would
// not show: a read is kept only when the folder had not changed for a tenth
// of a second, which puts any later change in a later tick.
struct Listing {
    std::string folder;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    timespec changed{};
    std::chrono::steady_clock::time_point readAt;
    std::shared_ptr<const std::vector<std::string>> names;
};
std::mutex listingLock;
Listing listing;

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether `time` lies a tenth of a second or more before `now`.
bool Settled(const timespec& time, const timespec& now) {
    const int64_t ns =
        (int64_t{now.tv_sec} - time.tv_sec) * 1'000'000'000 + now.tv_nsec - time.tv_nsec;
    return ns >= 100'000'000;
}

// The names of the open folder `dir` at `folder`, read now or a moment ago.
std::shared_ptr<const std::vector<std::string>> FolderNames(DIR* dir, const std::string& folder) {
    struct stat status {};
    const bool known = fstat(dirfd(dir), &status) == 0;
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard<std::mutex> guard(listingLock);
    if (known && listing.folder == folder && listing.device == status.st_dev &&
        listing.inode == status.st_ino && SameTime(listing.modified, status.st_mtim) &&
        SameTime(listing.changed, status.st_ctim) &&
        now - listing.readAt < std::chrono::seconds(1)) {
        return listing.names;
    }
    auto names = std::make_shared<std::vector<std::string>>();
    while (const dirent* entry = readdir(dir)) {
        // Names that do not fit cFileName with its NUL cannot be delivered.
        if (std::strlen(entry->d_name) < MAX_PATH) {
            names->emplace_back(entry->d_name);
        }
    }
    timespec realNow{};
    clock_gettime(CLOCK_REALTIME, &realNow);
    if (known && Settled(status.st_mtim, realNow) && Settled(status.st_ctim, realNow)) {
        listing = Listing{folder,         status.st_dev, status.st_ino, status.st_mtim,
                          status.st_ctim, now,           names};
    } else {
        listing = Listing{};
    }
    return names;
}

// Reads the entries of `folder` matching `pattern` into `entries`, sorted.
// False when the folder cannot be opened.
bool ReadMatches(const std::string& folder, const std::string& pattern,
                 std::vector<WIN32_FIND_DATAA>& entries) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    const std::shared_ptr<const std::vector<std::string>> all = FolderNames(dir, folder);
    std::vector<std::string> names;
    for (const std::string& name : *all) {
        if (MatchesPattern(name.c_str(), pattern)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), ComesBefore);
    const Identity us;
    entries.reserve(names.size());
    for (const std::string& name : names) {
        WIN32_FIND_DATAA data;
        if (DescribeEntry(dirfd(dir), name, us, data)) {
            entries.push_back(data);
        }
    }
    closedir(dir);
    return true;
}

} // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, WIN32_FIND_DATAA* findData) {
    if (fileName == nullptr || findData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The ANSI calls refuse texts of MAX_PATH bytes or more outright.
    if (strnlen(fileName, MAX_PATH) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    // "folder\pattern" or "folder/pattern"; a bare pattern searches the
    // current directory and a leading separator alone the root.
    const std::string text = fileName;
    const size_t separator = text.find_last_of("\\/");
    std::string folder = ".";
    std::string pattern = text;
    if (separator != std::string::npos) {
        folder = separator == 0 ? "/" : ResolvePath(text.substr(0, separator));
        pattern = text.substr(separator + 1);
    }
    FindSearch search;
    if (!ReadMatches(folder, pattern, search.entries)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (search.entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *findData = search.entries[0];
    search.next = 1;
    const std::lock_guard<std::mutex> guard(searchesLock);
    const uintptr_t value = nextHandleValue;
    nextHandleValue += 4;
    searches.emplace(value, std::move(search));
    return reinterpret_cast<HANDLE>(value);
}

BOOL WINAPI FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData) {
    const std::lock_guard<std::mutex> guard(searchesLock);
    const auto found = searches.find(reinterpret_cast<uintptr_t>(findFile));
    if (found == searches.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    FindSearch& search = found->second;
    if (search.next >= search.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    if (findData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *findData = search.entries[search.next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE findFile) {
    const std::lock_guard<std::mutex> guard(searchesLock);
    if (searches.erase(reinterpret_cast<uintptr_t>(findFile)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
