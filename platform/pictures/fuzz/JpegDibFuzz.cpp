// JPEG data of any kind: sized, decoded, and the bitmap walked.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/Dib.h"
#include "platform/pictures/PictureDib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    int n = check_dib_size(data, int(size));
    // Large pictures are valid but slow; the size limits are met by sizing alone.
    if (n < 1 || n > (4 << 20)) return 0;
    std::vector<uint8_t> dib(size_t(n) + 100);
    if (Jpg2Dib(data, int(size), dib.data(), n) != n) return 0;
    DibView view;
    if (!view.ParsePacked(dib.data(), size_t(n))) __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x) sum += view.Rgb(x, y);
    return int(sum & 0);
}
