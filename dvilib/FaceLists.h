// The CJK face lists of the installation's winfont.alt: eight categories of
// face-name prefixes, each standing for one standard face. A line that starts
// with a category heading selects that category, any other line that starts
// with ':' selects category 0, and every other non-empty line adds one name
// to the current category (category 0 before the first heading). A line is
// read in pieces of at most 79 bytes; trailing CR and LF are dropped.
#pragma once

#include <vector>

#include "base/String8.h"

#ifndef VRDVILIB_API
#define VRDVILIB_API __attribute__((visibility("default")))
#endif

class VRDVILIB_API FaceLists {
public:
    static constexpr int CategoryCount = 8;
    static constexpr int MaxLine = 79;

    // ":Batang", ":Dotum", ... in category order.
    static const char* Heading(int category);
    // The face a category stands for: "Batang", "Dotum", ...
    static const char* StandardFace(int category);

    // Adds the names of file to the lists; 0 when it cannot be opened.
    int Read(const char* file);
    void Clear();

    const std::vector<String8>& Names(int category) const { return names_[category]; }

private:
    std::vector<String8> names_[CategoryCount];
};
