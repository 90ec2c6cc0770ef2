// Page lists written as text ("3to7,9"): items separated by ",", each a
// number or a range "A" "to" "B" (swapped when A > B); an empty item is page 1.
// A list is a caller-owned count and a malloc'd array of page numbers.
#pragma once

#include <cstdint>

// Upper bound on the entries of one list; texts come from web addresses and files.
constexpr int kMaxPageListEntries = 1000000;
// maxPage value that leaves ranges unclamped.
constexpr int kNoPageLimit = INT32_MAX;

// Appends the pages of `text` behind the entries already in the list. Numbers
// read like atoi (leading white space, optional sign, digits), saturating at
// the int range. The upper bound of a range is clamped to `maxPage`; a range
// that ends up empty adds nothing. Returns false and leaves the list unchanged
// when the result would exceed kMaxPageListEntries or memory runs out.
bool ParsePageRange(const char* text, int* count, int** array, int maxPage = kNoPageLimit);

// True when `page` is one of the first `count` entries (false for count < 1).
bool IsPageInList(int page, int count, const int* array);
