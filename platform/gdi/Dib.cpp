#include "platform/gdi/Dib.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/PixelBuffer.h"

namespace {
uint16_t Rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Rd32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

void MaskShape(uint32_t mask, int& shift, int& width) {
    shift = width = 0;
    if (!mask) return;
    while (!(mask & 1)) mask >>= 1, ++shift;
    while (mask & 1) mask >>= 1, ++width;
}

struct Header {
    DWORD size = 0;
    int64_t width = 0, height = 0;
    int bpp = 0;
    DWORD compression = BI_RGB, sizeImage = 0, clrUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    size_t tableOffset = 0, tableEntry = 4, tableCount = 0;
};

bool ReadHeader(const uint8_t* h, size_t avail, UINT usage, Header& out) {
    if (!h || avail < 4) return false;
    out.size = Rd32(h);
    if (out.size == 12) {
        if (avail < 12) return false;
        out.width = Rd16(h + 4), out.height = Rd16(h + 6), out.bpp = Rd16(h + 10);
        out.tableOffset = 12, out.tableEntry = 3;
        if (out.bpp <= 8) out.tableCount = size_t(1) << out.bpp;
    } else if (out.size >= 40 && out.size <= 124) {
        if (avail < out.size) return false;
        out.width = int32_t(Rd32(h + 4)), out.height = int32_t(Rd32(h + 8)), out.bpp = Rd16(h + 14);
        out.compression = Rd32(h + 16), out.sizeImage = Rd32(h + 20), out.clrUsed = Rd32(h + 32);
        out.tableOffset = out.size;
        if (out.compression == BI_BITFIELDS) {
            if (out.size >= 52) {
                for (int i = 0; i < 3; ++i) out.masks[i] = Rd32(h + 40 + 4 * i);
            } else {
                if (avail < out.size + 12) return false;
                for (int i = 0; i < 3; ++i) out.masks[i] = Rd32(h + out.size + 4 * i);
                out.tableOffset += 12;
            }
        }
        if (out.bpp <= 8) {
            if (out.clrUsed > (1u << out.bpp)) return false;
            out.tableCount = out.clrUsed ? out.clrUsed : (size_t(1) << out.bpp);
        } else {
            if (out.clrUsed > 256) return false;
            out.tableCount = out.clrUsed;
        }
    } else {
        return false;
    }
    if (usage == DIB_PAL_COLORS) out.tableEntry = 2;
    else if (usage != DIB_RGB_COLORS) return false;
    return true;
}
}  // namespace

size_t DibView::InfoSize(const void* header, UINT usage, size_t avail) {
    // The header's own size comes first; the rest is read only after it.
    const auto* h = static_cast<const uint8_t*>(header);
    if (!h || avail < 4) return 0;
    DWORD size = Rd32(h);
    if (size != 12 && (size < 40 || size > 124)) return 0;
    Header hd;
    // At most the header and the bit-field masks of a 40-byte header.
    if (!ReadHeader(h, std::min<size_t>(avail, size + 12), usage, hd)) return 0;
    size_t total = hd.tableOffset + hd.tableCount * hd.tableEntry;
    return total <= avail ? total : 0;
}

bool DibView::Parse(const void* header, size_t headerSize, const void* bits, size_t bitsSize, UINT usage,
                    const std::vector<PALETTEENTRY>* dcPalette) {
    *this = DibView();
    const auto* h = static_cast<const uint8_t*>(header);
    Header hd;
    if (!ReadHeader(h, headerSize, usage, hd)) return false;
    if (hd.width <= 0 || hd.height == 0 || hd.width > PixelBuffer::kMaxSide || hd.height > PixelBuffer::kMaxSide ||
        hd.height < -PixelBuffer::kMaxSide)
        return false;
    bool topDown = hd.height < 0;
    int64_t height = topDown ? -hd.height : hd.height;
    switch (hd.compression) {
    case BI_RGB:
        if (hd.bpp != 1 && hd.bpp != 4 && hd.bpp != 8 && hd.bpp != 16 && hd.bpp != 24 && hd.bpp != 32) return false;
        break;
    case BI_BITFIELDS:
        if (hd.bpp != 16 && hd.bpp != 32) return false;
        break;
    case BI_RLE8:
        if (hd.bpp != 8 || topDown) return false;
        break;
    case BI_RLE4:
        if (hd.bpp != 4 || topDown) return false;
        break;
    default: return false;
    }
    int64_t stride = DibRowBytes(hd.width, hd.bpp);
    if (stride * height > PixelBuffer::kMaxBytes || hd.width * height > PixelBuffer::kMaxBytes) return false;
    width_ = int(hd.width), height_ = int(height), bpp_ = hd.bpp, stride_ = int(stride);
    topDown_ = topDown, compression_ = hd.compression;
    size_t tableBytes = hd.tableCount * hd.tableEntry;
    headerBytes_ = hd.tableOffset + tableBytes;
    bool rle = hd.compression == BI_RLE8 || hd.compression == BI_RLE4;
    imageBytes_ = rle ? hd.sizeImage : size_t(stride * height);
    if (headerBytes_ > headerSize) return false;

    if (hd.compression == BI_BITFIELDS) {
        for (int i = 0; i < 3; ++i) masks_[i] = hd.masks[i];
    } else if (hd.bpp == 16) {
        masks_[0] = 0x7C00, masks_[1] = 0x03E0, masks_[2] = 0x001F;
    } else if (hd.bpp == 32) {
        masks_[0] = 0xFF0000, masks_[1] = 0xFF00, masks_[2] = 0xFF;
    }
    for (int i = 0; i < 3; ++i) MaskShape(masks_[i], shifts_[i], widths_[i]);

    if (hd.bpp <= 8) {
        const uint8_t* t = h + hd.tableOffset;
        colors_.assign(size_t(1) << hd.bpp, 0);
        for (size_t i = 0; i < hd.tableCount && i < colors_.size(); ++i) {
            if (usage == DIB_PAL_COLORS) {
                WORD idx = Rd16(t + 2 * i);
                if (dcPalette && idx < dcPalette->size()) {
                    const PALETTEENTRY& e = (*dcPalette)[idx];
                    colors_[i] = (uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue;
                }
            } else {
                const uint8_t* q = t + i * hd.tableEntry;
                colors_[i] = (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
            }
        }
    }

    const auto* src = static_cast<const uint8_t*>(bits);
    if (!src || bitsSize < imageBytes_) return false;
    if (!rle) {
        bits_ = src;
        return true;
    }
    // Run-length pixels into one byte per pixel, top row first.
    try {
        decoded_.assign(size_t(width_) * size_t(height_), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    int x = 0, y = 0;  // y counts from the bottom
    size_t i = 0, n = imageBytes_;
    auto put = [&](uint8_t v) {
        if (x < width_ && y < height_) decoded_[size_t(height_ - 1 - y) * width_ + x] = v;
        ++x;
    };
    bool four = hd.compression == BI_RLE4;
    while (i + 1 < n) {
        uint8_t count = src[i], value = src[i + 1];
        i += 2;
        if (count) {
            for (int k = 0; k < count; ++k) put(four ? ((k & 1) ? value & 0xF : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= n) break;
            x += src[i], y += src[i + 1];
            i += 2;
        } else {
            size_t bytes = four ? (size_t(value) + 1) / 2 : value;
            if (i + bytes > n) break;
            for (int k = 0; k < value; ++k) put(four ? ((k & 1) ? src[i + k / 2] & 0xF : src[i + k / 2] >> 4) : src[i + k]);
            i += (bytes + 1) & ~size_t(1);
        }
        if (y >= height_) break;
    }
    return true;
}

bool DibView::ParsePacked(const void* data, size_t size, UINT usage, const std::vector<PALETTEENTRY>* dcPalette) {
    *this = DibView();
    const auto* d = static_cast<const uint8_t*>(data);
    size_t info = d ? InfoSize(d, usage, size) : 0;
    if (!info || info > size) return false;
    return Parse(d, info, d + info, size - info, usage, dcPalette);
}

const uint8_t* DibView::RowPtr(int row) const {
    int stored = topDown_ ? row : height_ - 1 - row;
    return bits_ + int64_t(stored) * stride_;
}

uint32_t DibView::Index(int x, int row) const {
    if (!decoded_.empty()) return decoded_[size_t(row) * width_ + x];
    const uint8_t* r = RowPtr(row);
    switch (bpp_) {
    case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
    case 8: return r[x];
    default: return 0;
    }
}

uint32_t DibView::Rgb(int x, int row) const {
    if (bpp_ <= 8) {
        uint32_t i = Index(x, row);
        return i < colors_.size() ? colors_[i] : 0;
    }
    const uint8_t* r = RowPtr(row);
    uint32_t v;
    if (bpp_ == 24) {
        r += x * 3;
        return (uint32_t(r[2]) << 16) | (uint32_t(r[1]) << 8) | r[0];
    }
    v = bpp_ == 16 ? Rd16(r + x * 2) : Rd32(r + x * 4);
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t comp = 0;
        if (widths_[c]) {
            uint32_t raw = (v & masks_[c]) >> shifts_[c];
            uint32_t maxv = widths_[c] >= 32 ? 0xFFFFFFFFu : ((1u << widths_[c]) - 1);
            comp = widths_[c] >= 8 ? (raw >> (widths_[c] - 8)) & 0xFF : uint32_t(uint64_t(raw) * 255 / maxv);
        }
        out = (out << 8) | comp;
    }
    return out;
}
