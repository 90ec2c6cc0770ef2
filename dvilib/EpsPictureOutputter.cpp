#include "dvilib/EpsPictureOutputter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

EpsPictureOutputter::EpsPictureOutputter(CDC* target, CDC* ref, int x, int bottom, int bitsPerPixel,
                                         CPalette* palette)
    : target(target), ref(ref), palette(palette), x(x), bottom(bottom), bitsPerPixel(bitsPerPixel) {}

namespace {

// Rows of a band of about 32000 bytes of rows of bits bits per pixel.
int BandRows(int width, int bits, int height) {
    const long long stride = ((1LL * bits * width + 31) / 8) & ~3LL;
    const long long n = stride > 0 ? std::max<long long>(1, 32000 / stride) : 1;
    return int(std::min<long long>(n, height));
}

} // namespace

void EpsPictureOutputter::OnPage(GS* gs, int width, int height) {
    if (done || width <= 0 || height <= 0) return;
    done = 1;
    if (!gs->LockGSDevice()) return;
    auto r = std::make_shared<EpsPictureCache::Rendering>();
    RGBQUAD colours[256];
    const int stride = gs->GetBitmapRow(&r->header, colours, nullptr, 0);
    unsigned char* bottomRow = nullptr;
    if (stride > 0 && r->header.biWidth == width && r->header.biHeight == height &&
        gs->GetBitmapRow(nullptr, nullptr, &bottomRow, 0) && bottomRow) {
        // Rows are contiguous from the bottom one up.
        r->bits.assign(bottomRow, bottomRow + size_t(stride) * size_t(height));
        r->palette.assign(colours, colours + std::min<DWORD>(r->header.biClrUsed, 256));
        rendering = std::move(r);
    }
    gs->UnlockGSDevice();
    if (rendering) Draw(*rendering);
}

void EpsPictureOutputter::Draw(const EpsPictureCache::Rendering& r) {
    const int width = r.header.biWidth, height = r.header.biHeight;
    if (width <= 0 || height <= 0 || !target || !ref) return;
    const size_t stride = size_t(((int64_t(width) * r.header.biBitCount + 31) / 32) * 4);
    if (stride * size_t(height) > r.bits.size()) return;
    CDC memory;
    if (!memory.CreateCompatibleDC(ref)) return;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info;
    std::memset(&info, 0, sizeof info);
    info.header = r.header;
    std::copy(r.palette.begin(), r.palette.begin() + std::min<size_t>(r.palette.size(), 256), info.colours);
    if (bitsPerPixel <= 8 && palette && !r.palette.empty()) {
        // Palette devices: the drawer's palette takes Ghostscript's colours.
        const UINT base = palette->GetEntryCount();
        const UINT n = 1u << std::min(bitsPerPixel, 8);
        std::vector<PALETTEENTRY> e(n);
        for (UINT i = 0; i < n; ++i)
            e[i] = PALETTEENTRY{info.colours[i].rgbRed, info.colours[i].rgbGreen, info.colours[i].rgbBlue, 0};
        if (palette->ResizePalette(base + n)) palette->SetPaletteEntries(base, n, e.data());
        memory.SelectPalette(palette, FALSE);
        target->RealizePalette();
    }
    const int top = bottom - height;
    auto pass = [&](CBitmap& bitmap, int rows, DWORD rop) {
        CBitmap* old = memory.SelectObject(&bitmap);
        for (int done = 0; done < height;) {
            const int n = std::min(rows, height - done);
            const unsigned char* bits = r.bits.data() + size_t(height - done - n) * stride;
            info.header.biHeight = n;
            memory.SetDIBitsToDevice(0, 0, DWORD(width), DWORD(n), 0, 0, 0, UINT(n), bits,
                                     reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
            target->BitBlt(x, top + done, width, n, &memory, 0, 0, rop);
            done += n;
        }
        memory.SelectObject(old);
    };
    {
        // The mask: white is 1, ink 0, expanded with black text and white
        // background colours whatever the target's colours are.
        const int rows = BandRows(width, 1, height);
        CBitmap mono;
        if (mono.CreateBitmap(width, rows, 1, 1, nullptr)) {
            const COLORREF text = target->SetTextColor(RGB(0, 0, 0));
            const COLORREF bk = target->SetBkColor(RGB(255, 255, 255));
            pass(mono, rows, MERGEPAINT);
            target->SetTextColor(text);
            target->SetBkColor(bk);
        }
    }
    {
        const int rows = BandRows(width, bitsPerPixel, height);
        CBitmap colour;
        if (colour.CreateCompatibleBitmap(ref, width, rows)) pass(colour, rows, SRCAND);
    }
}
