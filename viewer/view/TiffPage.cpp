#include "viewer/view/TiffPage.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

namespace {

using Block = std::unique_ptr<uint8_t[]>;

template <class T = uint8_t>
std::unique_ptr<T[]> Allocate(uint64_t count) {
    if (count == 0 || count > uint64_t(PTRDIFF_MAX) / sizeof(T)) return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(count)]);
}

template <class T = uint8_t>
std::unique_ptr<T[]> AllocateZeroed(uint64_t count) {
    std::unique_ptr<T[]> b = Allocate<T>(count);
    if (b) std::memset(b.get(), 0, size_t(count) * sizeof(T));
    return b;
}

RGBQUAD* Colors(BITMAPINFO* info) {
    return reinterpret_cast<RGBQUAD*>(reinterpret_cast<uint8_t*>(info) + sizeof(BITMAPINFOHEADER));
}

void FillHeader(BITMAPINFO* info, uint32_t width, uint32_t height, int bitCount) {
    std::memset(info, 0, kTiffPageInfoBytes);
    BITMAPINFOHEADER& h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = LONG(width);
    h.biHeight = LONG(height);
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biXPelsPerMeter = 72;
    h.biYPelsPerMeter = 72;
    RGBQUAD* colors = Colors(info);
    if (bitCount == 1) {
        colors[0] = RGBQUAD{255, 255, 255, 0};
        colors[1] = RGBQUAD{0, 0, 0, 0};
    } else if (bitCount == 4) {
        for (int g = 0; g < 16; ++g) {
            BYTE v = BYTE((15 - g) * 17);
            colors[g] = RGBQUAD{v, v, v, 0};
        }
    }
}

// Reads the strips of a one-sample bilevel image and hands every one of its
// `height` rows, top first, to `row` as (width + 7) / 8 bytes in which a set
// bit is black and the bits past the width are clear. A strip libtiff cannot
// decode, and rows that no strip supplies, are white. False when memory runs out.
template <class RowFn>
bool ForEachBilevelRow(TIFF* tif, uint32_t width, uint32_t height, bool minIsBlack, RowFn&& row) {
    const size_t lineBytes = (size_t(width) + 7) / 8;
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
    const tmsize_t stripSize = TIFFStripSize(tif);
    const uint64_t bufBytes = std::max<uint64_t>(stripSize > 0 ? uint64_t(stripSize) : 0,
                                                 uint64_t(lineBytes) * rowsPerStrip);
    Block buf = Allocate(bufBytes);
    Block line = AllocateZeroed(lineBytes);
    if (!buf || !line) return false;

    const uint8_t white = minIsBlack ? 0xFF : 0x00;
    const uint8_t lastMask = width % 8 ? uint8_t(0xFF << (8 - width % 8)) : uint8_t(0xFF);
    const uint32_t strips = TIFFNumberOfStrips(tif);
    uint32_t done = 0;
    for (uint32_t s = 0; s < strips && done < height; ++s) {
        const uint32_t rows = std::min(rowsPerStrip, height - done);
        std::memset(buf.get(), white, size_t(bufBytes));
        if (TIFFReadEncodedStrip(tif, s, buf.get(), tmsize_t(bufBytes)) < 0)
            std::memset(buf.get(), white, size_t(bufBytes));
        for (uint32_t r = 0; r < rows; ++r) {
            const uint8_t* src = buf.get() + size_t(r) * lineBytes;
            uint8_t* dst = line.get();
            for (size_t i = 0; i < lineBytes; ++i) dst[i] = minIsBlack ? uint8_t(~src[i]) : src[i];
            dst[lineBytes - 1] &= lastMask;
            row(static_cast<const uint8_t*>(dst));
        }
        done += rows;
    }
    std::memset(line.get(), 0, lineBytes);
    for (; done < height; ++done) row(static_cast<const uint8_t*>(line.get()));
    return true;
}

Block DecodeBilevel(TIFF* tif, uint32_t width, uint32_t height, bool minIsBlack) {
    const size_t rowBytes = size_t(DibRowBytes(width, 1));
    const size_t lineBytes = (size_t(width) + 7) / 8;
    Block block = AllocateZeroed(uint64_t(rowBytes) * height);
    if (!block) return nullptr;
    uint32_t y = 0;
    bool ok = ForEachBilevelRow(tif, width, height, minIsBlack, [&](const uint8_t* line) {
        std::memcpy(block.get() + size_t(height - 1 - y) * rowBytes, line, lineBytes);
        ++y;
    });
    return ok ? std::move(block) : nullptr;
}

// Box-averages a bilevel page down to outW x outH pixels of 16 greys
// (0 white, 15 black). Box edges follow a Bresenham accumulator, so boxes are
// width / outW or one more columns wide, and likewise for rows.
Block DecodeGrey(TIFF* tif, uint32_t width, uint32_t height, bool minIsBlack, uint32_t outW, uint32_t outH) {
    const size_t rowBytes = size_t(DibRowBytes(outW, 4));
    Block block = AllocateZeroed(uint64_t(rowBytes) * outH);
    auto colOf = Allocate<uint32_t>(width);
    auto boxW = Allocate<uint32_t>(outW);
    auto count = AllocateZeroed<uint32_t>(outW);
    if (!block || !colOf || !boxW || !count) return nullptr;

    uint64_t acc = 0;
    uint32_t col = 0, start = 0;
    for (uint32_t x = 0; x < width; ++x) {
        colOf[x] = col;
        acc += outW;
        if (acc >= width) {
            acc -= width;
            boxW[col] = x + 1 - start;
            start = x + 1;
            ++col;
        }
    }

    uint64_t rowAcc = 0;
    uint32_t boxRows = 0, outRow = 0;
    const size_t lineBytes = (size_t(width) + 7) / 8;
    bool ok = ForEachBilevelRow(tif, width, height, minIsBlack, [&](const uint8_t* line) {
        for (size_t i = 0; i < lineBytes; ++i) {
            uint8_t bits = line[i];
            for (uint32_t x = uint32_t(i * 8); bits; bits = uint8_t(bits << 1), ++x)
                if (bits & 0x80) ++count[colOf[x]];
        }
        ++boxRows;
        rowAcc += outH;
        if (rowAcc < height) return;
        rowAcc -= height;
        if (outRow < outH) {
            uint8_t* dst = block.get() + size_t(outH - 1 - outRow) * rowBytes;
            for (uint32_t j = 0; j < outW; ++j) {
                const uint64_t area = uint64_t(boxW[j]) * boxRows;
                const uint64_t level = count[j] >= area ? 15 : 15 * uint64_t(count[j]) / area;
                dst[j / 2] |= uint8_t(j % 2 ? level : level << 4);
            }
        }
        ++outRow;
        boxRows = 0;
        std::memset(count.get(), 0, size_t(outW) * sizeof(uint32_t));
    });
    return ok ? std::move(block) : nullptr;
}

Block DecodeRgba(TIFF* tif, uint32_t width, uint32_t height) {
    const uint64_t bytes = uint64_t(width) * height * 4;
    Block block = Allocate(bytes);
    if (!block) return nullptr;
    std::memset(block.get(), 0xFF, size_t(bytes));
    if (!TIFFReadRGBAImage(tif, width, height, reinterpret_cast<uint32_t*>(block.get()), 0)) return nullptr;
    for (uint8_t *p = block.get(), *end = p + bytes; p != end; p += 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        p[0] = uint8_t(TIFFGetB(v));
        p[1] = uint8_t(TIFFGetG(v));
        p[2] = uint8_t(TIFFGetR(v));
        p[3] = 0;
    }
    return block;
}

template <int Bits>
uint32_t GetPixel(const uint8_t* row, uint32_t x) {
    if constexpr (Bits == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
    else if constexpr (Bits == 4) return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    else {
        uint32_t v;
        std::memcpy(&v, row + size_t(x) * 4, 4);
        return v;
    }
}

// The destination row starts zeroed.
template <int Bits>
void SetPixel(uint8_t* row, uint32_t x, uint32_t v) {
    if constexpr (Bits == 1) row[x / 8] |= uint8_t(v << (7 - x % 8));
    else if constexpr (Bits == 4) row[x / 2] |= uint8_t(x % 2 ? v : v << 4);
    else std::memcpy(row + size_t(x) * 4, &v, 4);
}

// Turns a width x height block (rows bottom-up). Code 1: output row r, entry c
// is source row height - 1 - c, column r; code 3 is the inverse quarter turn;
// code 2 reverses the order of all pixels.
template <int Bits>
Block RotateBlock(const uint8_t* src, uint32_t width, uint32_t height, int code) {
    const bool quarter = code == 1 || code == 3;
    const uint32_t outW = quarter ? height : width, outH = quarter ? width : height;
    const size_t srcStride = size_t(DibRowBytes(width, Bits));
    const size_t dstStride = size_t(DibRowBytes(outW, Bits));
    Block out = AllocateZeroed(uint64_t(dstStride) * outH);
    if (!out) return nullptr;
    for (uint32_t r = 0; r < outH; ++r) {
        uint8_t* dst = out.get() + size_t(r) * dstStride;
        for (uint32_t c = 0; c < outW; ++c) {
            uint32_t sy, sx;
            if (code == 1) sy = height - 1 - c, sx = r;
            else if (code == 3) sy = c, sx = width - 1 - r;
            else sy = height - 1 - r, sx = width - 1 - c;
            SetPixel<Bits>(dst, c, GetPixel<Bits>(src + size_t(sy) * srcStride, sx));
        }
    }
    return out;
}

Block Rotate(const uint8_t* src, uint32_t width, uint32_t height, int bits, int code) {
    switch (bits) {
    case 1: return RotateBlock<1>(src, width, height, code);
    case 4: return RotateBlock<4>(src, width, height, code);
    default: return RotateBlock<32>(src, width, height, code);
    }
}

uint32_t Scaled(uint32_t size, int dispMag) {
    const double v = std::trunc(double(size) * dispMag * 0.0001 + 0.5);
    return uint32_t(std::clamp(v, 1.0, double(size)));
}

} // namespace

namespace {

// What DecodeTiffPage reads of the current directory and the block it makes.
struct PagePlan {
    uint32_t width = 0, height = 0;  // as stored
    uint32_t w = 0, h = 0;           // of the block, before rotation
    int bits = 0;                    // 0: the size is not accepted
    bool bilevel = false, minIsBlack = false;
    uint64_t bytes = 0;
};

PagePlan Plan(TIFF* tif, int mag) {
    PagePlan p;
    uint16_t photometric = 0, bitsPerSample = 1, samplesPerPixel = 1;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
        return p;
    if (p.width == 0 || p.height == 0 || p.width > kTiffMaxSide || p.height > kTiffMaxSide) return p;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    p.bilevel = (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) &&
                bitsPerSample == 1 && samplesPerPixel == 1 && !TIFFIsTiled(tif);
    p.minIsBlack = photometric == PHOTOMETRIC_MINISBLACK;
    p.w = p.width, p.h = p.height;
    if (p.bilevel && mag >= 10000) {
        p.bits = 1;
    } else if (p.bilevel) {
        p.bits = 4;
        p.w = Scaled(p.width, mag);
        p.h = Scaled(p.height, mag);
    } else {
        p.bits = 32;
    }
    p.bytes = uint64_t(DibRowBytes(p.w, p.bits)) * p.h;
    return p;
}

}  // namespace

std::unique_ptr<uint8_t[]> DecodeTiffPage(TIFF* tif, BITMAPINFO* info, const int* rotation, const int* dispMag) {
    if (!tif || !info) return nullptr;
    const int code = rotation ? *rotation : 0;
    const PagePlan p = Plan(tif, dispMag ? *dispMag : 10000);
    if (!p.bits || p.bytes > kTiffMaxBlockBytes) return nullptr;

    Block block;
    if (p.bits == 1) block = DecodeBilevel(tif, p.width, p.height, p.minIsBlack);
    else if (p.bits == 4) block = DecodeGrey(tif, p.width, p.height, p.minIsBlack, p.w, p.h);
    else block = DecodeRgba(tif, p.width, p.height);
    if (!block) return nullptr;

    uint32_t w = p.w, h = p.h;
    if (code == 1 || code == 2 || code == 3) {
        block = Rotate(block.get(), w, h, p.bits, code);
        if (!block) return nullptr;
        if (code != 2) std::swap(w, h);
    }
    FillHeader(info, w, h, p.bits);
    return block;
}

std::string TiffPageFailure(TIFF* tif, int page, int dispMag) {
    uint32_t width = 0, height = 0;
    if (tif) {
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    }
    const std::string which = "The image of page " + std::to_string(page + 1);
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width > kTiffMaxSide || height > kTiffMaxSide || (tif && Plan(tif, dispMag).bytes > kTiffMaxBlockBytes))
        return which + " is too large to show (" + size + ").";
    return which + " (" + size + ") cannot be decoded.";
}
