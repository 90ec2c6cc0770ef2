// The body of the picture decoder targets: the data is sized, decoded into a
// packed bitmap of that size, and every pixel of the bitmap read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/Dib.h"

template <class SizeOf, class Decode>
int FuzzPictureDecoder(const uint8_t* data, size_t size, SizeOf sizeOf, Decode decode) {
    if (size > (1u << 20)) return 0;
    int n = sizeOf(data, int(size));
    // Large pictures are valid but slow; the size limits are met by sizing alone.
    if (n < 1 || n > (4 << 20)) return 0;
    std::vector<uint8_t> dib(size_t(n) + 100);
    if (decode(data, int(size), dib.data(), n) != n) return 0;
    DibView view;
    if (!view.ParsePacked(dib.data(), size_t(n))) __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x)
            sum += view.Rgb(x, y);
    return int(sum & 0);
}
