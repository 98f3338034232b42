// Case-blind path resolution: the program names folders and files as a
// Windows user would (any letter case, backslashes), and the settings arrive
// lower-cased, while POSIX file systems tell "Photos" from "photos".
#include "platform/kernel32/paths.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

std::string typedFolder; // slashes only, no trailing slash; empty for none

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameIgnoringCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return a[i] == '\0' && i == b.size();
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

// The name in `folder` equal to `part` ignoring ASCII case: the one equal to
// it in lower case, else the first in byte order; empty when none is or the
// folder cannot be read.
std::string FindIgnoringCase(const std::string& folder, const std::string& part) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    const std::string lower = AsciiLower(part);
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        if (!SameIgnoringCase(entry->d_name, part) || best == lower) {
            continue;
        }
        if (best.empty() || entry->d_name == lower ||
            std::strcmp(entry->d_name, best.c_str()) < 0) {
            best = entry->d_name;
        }
    }
    closedir(dir);
    return best;
}

// `path` with a leading typed folder spelled as typed.
std::string AsTyped(const std::string& path) {
    const size_t n = typedFolder.size();
    if (n == 0 || path.size() < n || (path.size() > n && path[n] != '/') ||
        !SameIgnoringCase(typedFolder.c_str(), path.substr(0, n))) {
        return path;
    }
    return typedFolder + path.substr(n);
}

} // namespace

std::string ResolvePath(const std::string& windowsPath) {
    std::string path = windowsPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    path = AsTyped(path);
    // The usual case: the path exists as written, one lstat in all.
    if (path.empty() || Exists(path)) {
        return path;
    }
    std::string resolved = path[0] == '/' ? "/" : "";
    bool lost = false; // a part matched nothing: the rest stays as written
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            std::string candidate = resolved + part;
            if (!lost && !Exists(candidate)) {
                const std::string match = FindIgnoringCase(resolved.empty() ? "." : resolved, part);
                if (match.empty()) {
                    lost = true;
                } else {
                    candidate = resolved + match;
                }
            }
            resolved = candidate;
            if (end < path.size()) {
                resolved += '/';
            }
        }
        start = end + 1;
    }
    return resolved;
}

void SetTypedFolder(const std::string& typed) {
    typedFolder = typed;
    std::replace(typedFolder.begin(), typedFolder.end(), '\\', '/');
    while (typedFolder.size() > 1 && typedFolder.back() == '/') {
        typedFolder.pop_back();
    }
}
