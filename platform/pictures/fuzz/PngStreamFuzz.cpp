// PNG data of any kind read from a stream into a bitmap, which is then walked.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <zlib.h>

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
    // Chunk checksums are set right so mutations reach the chunk readers.
    std::string file(reinterpret_cast<const char*>(data), size);
    for (size_t at = 8; at + 12 <= size;) {
        auto* p = reinterpret_cast<uint8_t*>(file.data()) + at;
        size_t len = size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
        if (len > size - at - 12) break;
        uLong crc = crc32(0, p + 4, uInt(len + 4));
        for (int i = 0; i < 4; ++i) p[8 + len + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
        at += len + 12;
    }
    std::istringstream in(file);
    std::vector<uint8_t> dib;
    if (!PngToDib(in, dib)) return 0;
    DibView view;
    if (!view.ParsePacked(dib.data(), dib.size())) __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x) sum += view.Rgb(x, y);
    return int(sum & 0);
}
