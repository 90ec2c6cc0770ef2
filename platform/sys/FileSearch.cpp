#include "platform/sys/FileSearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace sys {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool LessName(const FoundFile& a, const FoundFile& b) {
    size_t n = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)Lower(a.name[i]), y = (unsigned char)Lower(b.name[i]);
        if (x != y) return x < y;
    }
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") return true;
    // Iterative matching with one remembered star: linear in practice and
    // without recursion on hostile patterns.
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<FoundFile> FindFiles(std::string_view pattern) {
    std::string pat(pattern);
    std::replace(pat.begin(), pat.end(), '\\', '/');
    size_t slash = pat.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : pat.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pat : pat.substr(slash + 1);
    std::vector<FoundFile> out;
    if (mask.empty()) return out;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return out;
    while (struct dirent* e = readdir(d)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!WildcardMatch(mask, name)) continue;
        FoundFile f;
        f.name = std::string(name);
        f.path = dir + f.name;
        struct stat st;
        if (stat(f.path.c_str(), &st) == 0) {
            f.isDirectory = S_ISDIR(st.st_mode);
            f.size = uint64_t(st.st_size);
        }
        out.push_back(std::move(f));
    }
    closedir(d);
    std::sort(out.begin(), out.end(), LessName);
    return out;
}

bool FileFinder::FindFirst(std::string_view pattern) {
    files_ = FindFiles(pattern);
    index_ = 0;
    return !files_.empty();
}

bool FileFinder::FindNext() {
    if (index_ + 1 >= files_.size()) return false;
    ++index_;
    return true;
}

}  // namespace sys
