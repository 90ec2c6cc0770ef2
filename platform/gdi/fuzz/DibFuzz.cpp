// Packed DIBs: header kinds, colour tables, bit fields, run-length pixels,
// then drawn stretched onto a small surface.
#include <cstddef>
#include <cstdint>

#include "platform/gdi/DC.h"
#include "platform/gdi/Dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Large images are valid but slow to walk; the header limits are tested
    // with the declared size alone.
    if (size >= 12) {
        int64_t w = int32_t(data[4] | (data[5] << 8) | (data[6] << 16) | (uint32_t(data[7]) << 24));
        int64_t h = int32_t(data[8] | (data[9] << 8) | (data[10] << 16) | (uint32_t(data[11]) << 24));
        if ((data[0] == 12 && size >= 8)) w = data[4] | (data[5] << 8), h = data[6] | (data[7] << 8);
        if (w * (h < 0 ? -h : h) > (int64_t(1) << 20)) return 0;
    }
    for (UINT usage : {DIB_RGB_COLORS, DIB_PAL_COLORS}) {
        DibView dib;
        if (!dib.ParsePacked(data, size, usage)) continue;
        uint32_t sum = 0;
        for (int y = 0; y < dib.Height(); ++y)
            for (int x = 0; x < dib.Width(); ++x) sum += dib.Rgb(x, y);
        (void)sum;
        auto dc = CreateMemoryDC(16, 16, usage == DIB_RGB_COLORS ? 32 : 1);
        size_t info = dib.HeaderBytes();
        dc->SetStretchBltMode(HALFTONE);
        dc->StretchDIBits(0, 0, 16, 16, 0, 0, dib.Width(), dib.Height(), data + info, size - info, data, info, usage,
                          SRCCOPY);
        dc->SetDIBitsToDevice(0, 0, DWORD(dib.Width()), DWORD(dib.Height()), 0, 0, 0, UINT(dib.Height()),
                              data + info, size - info, data, info, usage);
    }
    return 0;
}
