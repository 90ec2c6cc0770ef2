#include "viewer/document/PageRange.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct Item {
    int64_t first;
    int64_t last; // inclusive; last < first means no pages
};

// atoi's syntax over [p, end), saturating instead of overflowing.
int64_t ReadNumber(const char* p, const char* end) {
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > int64_t(INT_MAX) + 1) value = int64_t(INT_MAX) + 1;
    }
    if (negative) return value > int64_t(INT_MAX) + 1 ? INT_MIN : -value;
    return value > INT_MAX ? INT_MAX : value;
}

Item ParseItem(const char* p, const char* end, int maxPage) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p == end) return {1, 1};
    for (const char* q = p; q + 1 < end; ++q) {
        if (q[0] == 't' && q[1] == 'o') {
            int64_t a = ReadNumber(p, q), b = ReadNumber(q + 2, end);
            if (a > b) std::swap(a, b);
            if (b > maxPage) b = maxPage;
            return {a, b};
        }
    }
    int64_t n = ReadNumber(p, end);
    return {n, n};
}

} // namespace

bool ParsePageRange(const char* text, int* count, int** array, int maxPage) {
    if (!count || !array) return false;
    if (!text) text = "";
    const int64_t old = *count > 0 ? *count : 0;

    std::vector<Item> items;
    int64_t total = old;
    for (const char* p = text;;) {
        const char* comma = std::strchr(p, ',');
        const char* end = comma ? comma : p + std::strlen(p);
        Item it = ParseItem(p, end, maxPage);
        if (it.last >= it.first) {
            total += it.last - it.first + 1;
            if (total > kMaxPageListEntries) return false;
            items.push_back(it);
        }
        if (!comma) break;
        p = comma + 1;
    }
    if (total == old) return true;

    int* grown = static_cast<int*>(std::realloc(*array, size_t(total) * sizeof(int)));
    if (!grown) return false;
    int64_t n = old;
    for (const Item& it : items)
        for (int64_t v = it.first; v <= it.last; ++v)
            grown[n++] = int(v);
    *array = grown;
    *count = int(total);
    return true;
}

bool IsPageInList(int page, int count, const int* array) {
    if (count < 1 || !array) return false;
    for (int i = 0; i < count; ++i)
        if (array[i] == page) return true;
    return false;
}
