#include "viewer/view/TiffPage.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

struct Memory {
    const uint8_t* data;
    toff_t size;
    toff_t pos;
};

tmsize_t Read(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<Memory*>(h);
    if (n <= 0 || m->pos >= m->size) return 0;
    toff_t k = std::min<toff_t>(toff_t(n), m->size - m->pos);
    std::memcpy(buf, m->data + m->pos, size_t(k));
    m->pos += k;
    return tmsize_t(k);
}
tmsize_t Write(thandle_t, void*, tmsize_t) { return -1; }
toff_t Seek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Memory*>(h);
    toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    m->pos = base + off;
    return m->pos;
}
int Close(thandle_t) { return 0; }
toff_t Size(thandle_t h) { return static_cast<Memory*>(h)->size; }
int Map(thandle_t, tdata_t*, toff_t*) { return 0; }
void Unmap(thandle_t, tdata_t, toff_t) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)quiet;
    Memory m{data, size, 0};
    TIFF* tif = TIFFClientOpen("fuzz", "rm", &m, Read, Write, Seek, Close, Size, Map, Unmap);
    if (!tif) return 0;
    const uint8_t pick = size ? data[size - 1] : 0;
    for (int dir = 0; dir < 2; ++dir) {
        uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        // Keep hostile sizes from turning into gigabyte rasters.
        if (uint64_t(w) * h <= (1u << 20)) {
            alignas(8) uint8_t info[kTiffPageInfoBytes];
            const int rotation = pick & 3;
            const int mags[4] = {10000, 5000, 1000, 30000};
            const int mag = mags[(pick >> 2) & 3];
            std::unique_ptr<uint8_t[]> pixels = DecodeTiffPage(tif, reinterpret_cast<BITMAPINFO*>(info), &rotation, &mag);
            if (pixels) {
                const auto* hdr = reinterpret_cast<const BITMAPINFOHEADER*>(info);
                const int64_t bytes = DibRowBytes(hdr->biWidth, hdr->biBitCount) * hdr->biHeight;
                volatile uint8_t sink = pixels[size_t(bytes - 1)];
                (void)sink;
            }
        }
        if (!TIFFReadDirectory(tif)) break;
    }
    TIFFClose(tif);
    return 0;
}
