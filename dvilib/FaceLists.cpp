#include "dvilib/FaceLists.h"

#include <cstdio>
#include <cstring>

namespace {
const char* const Standard[FaceLists::CategoryCount] = {
    "Batang", "Dotum", "Gulim", "Gungsuh", "MS Gothic", "MS PGothic", "MS Mincho", "MS PMincho"};
const char* const Headings[FaceLists::CategoryCount] = {
    ":Batang", ":Dotum", ":Gulim", ":Gungsuh", ":MS Gothic", ":MS PGothic", ":MS Mincho", ":MS PMincho"};
} // namespace

const char* FaceLists::Heading(int category) {
    return category >= 0 && category < CategoryCount ? Headings[category] : nullptr;
}

const char* FaceLists::StandardFace(int category) {
    return category >= 0 && category < CategoryCount ? Standard[category] : nullptr;
}

void FaceLists::Clear() {
    for (auto& list : names_) list.clear();
}

int FaceLists::Read(const char* file) {
    if (!file) return 0;
    std::FILE* f = std::fopen(file, "r");
    if (!f) return 0;
    int category = 0;
    char line[MaxLine + 1];
    while (std::fgets(line, sizeof line, f)) {
        size_t n = std::strlen(line);
        while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) line[--n] = '\0';
        if (n == 0) continue;
        if (line[0] == ':') {
            category = 0;
            for (int c = 0; c < CategoryCount; ++c)
                if (std::strncmp(line, Headings[c], std::strlen(Headings[c])) == 0) {
                    category = c;
                    break;
                }
            continue;
        }
        names_[category].push_back(String8(line));
    }
    std::fclose(f);
    return 1;
}
