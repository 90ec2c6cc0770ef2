// PNG data of any kind read from a stream into a bitmap, which is then walked.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/Dib.h"
#include "platform/pictures/PngStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // Large pictures are valid but slow; the size limits are met by the header alone.
    if (size >= 24) {
        auto be = [&](size_t at) {
            return uint64_t(data[at]) << 24 | uint64_t(data[at + 1]) << 16 | uint64_t(data[at + 2]) << 8 | data[at + 3];
        };
        uint64_t w = be(16), h = be(20);
        if (w * h > (uint64_t(1) << 20)) return 0;
    }
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<uint8_t> dib;
    if (!PngToDib(in, dib)) return 0;
    DibView view;
    if (!view.ParsePacked(dib.data(), dib.size())) __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x) sum += view.Rgb(x, y);
    return int(sum & 0);
}
