// File search with wildcards: the last part of the pattern holds '*' (any
// run of characters) and '?' (one character) and is matched without regard to
// ASCII case; the folder part is taken as it stands. Both '/' and '\' separate
// folders in the pattern. Results come sorted by name (case-insensitive, then
// byte order), "." and ".." left out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

struct FoundFile {
    std::string name;   // file name alone
    std::string path;   // folder of the pattern joined with the name
    bool isDirectory = false;
    uint64_t size = 0;
};

// True when `name` matches the wildcard `pattern` ("*.*" matches every name).
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Every entry of the folder that matches the pattern's last part; empty when
// the folder cannot be read. "dir/*.ttf" finds "dir/X.TTF".
std::vector<FoundFile> FindFiles(std::string_view pattern);

// The FindFirstFile/FindNextFile shape over FindFiles.
class FileFinder {
public:
    // Starts a search; false when nothing matches.
    bool FindFirst(std::string_view pattern);
    // Moves to the next match; false when there is none.
    bool FindNext();
    const FoundFile& Current() const { return files_[index_]; }

private:
    std::vector<FoundFile> files_;
    size_t index_ = 0;
};

}  // namespace sys
