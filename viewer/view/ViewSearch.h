// The order of search hits: which hit of a result list comes first from a
// place in the document.
#pragma once

#include <climits>
#include <vector>

namespace viewsearch {

struct HitPlace {
    int page;
    int position;
};

// No position on the page yet: Down starts before everything on it, Up after.
constexpr int kBeforePage = -1;
constexpr int kAfterPage = INT_MAX;

// The index of the first hit after (direction 1) or before (0) the place
// (page, position), hits in list order; -1 when none.
int FirstHit(const std::vector<HitPlace>& hits, int page, int position, int direction);

}  // namespace viewsearch
