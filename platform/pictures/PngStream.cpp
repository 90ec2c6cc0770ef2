// PNG from an input stream: libpng's read callback and the whole-file reader.
#include "platform/pictures/PngStream.h"

#include <csetjmp>
#include <cstring>

#include "platform/pictures/PictureDibLayout.h"

namespace {

void ReadFromStream(png_structp png, png_bytep out, size_t n) {
    auto* in = static_cast<std::istream*>(png_get_io_ptr(png));
    bool ok = false;
    try {
        ok = in && in->read(reinterpret_cast<char*>(out), std::streamsize(n)) && size_t(in->gcount()) == n;
    } catch (...) {
        ok = false;
    }
    if (!ok) png_error(png, "PNG data ends early");
}

[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Largest ancillary chunk kept in memory.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

struct Decoded {
    png_uint_32 width = 0, height = 0;
    int channels = 0; // 3 (BGR) or 4 (BGRA)
    LONG xPelsPerMeter = pictures::kPelsPerMeter, yPelsPerMeter = pictures::kPelsPerMeter;
    std::vector<uint8_t> pixels; // top row first, width * channels bytes a row
    std::vector<png_bytep> rows;
};

// Every libpng call of a read; errors jump back here. Locals stay plain.
bool Decode(png_structp png, png_infop info, std::istream& in, Decoded& out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_istream(png, &in);
    png_set_sig_bytes(png, 8);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int depth = 0, colorType = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colorType, nullptr, nullptr, nullptr);
    if (pictures::PackedDibBytes(w, h, 24) == 0 || int64_t(w) * h * 4 > kMaxPictureDibBytes)
        png_error(png, "picture too large");

    png_set_expand(png);
    png_set_strip_16(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background)) png_set_background(png, background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    double fileGamma = 0;
    if (!png_get_gAMA(png, info, &fileGamma) || fileGamma <= 0) fileGamma = 0.45455;
    png_set_gamma(png, 2.2, fileGamma);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int channels = png_get_channels(png, info);
    if ((channels != 3 && channels != 4) || png_get_bit_depth(png, info) != 8 ||
        png_get_rowbytes(png, info) != size_t(w) * size_t(channels))
        png_error(png, "unexpected row layout");

    out.width = w, out.height = h, out.channels = channels;
    out.pixels.resize(size_t(w) * h * size_t(channels));
    out.rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) out.rows[y] = out.pixels.data() + size_t(y) * w * size_t(channels);
    png_read_image(png, out.rows.data());
    png_read_end(png, nullptr);

    png_uint_32 xRes = 0, yRes = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER) {
        if (xRes > 0 && xRes <= 0x7FFFFFFF) out.xPelsPerMeter = LONG(xRes);
        if (yRes > 0 && yRes <= 0x7FFFFFFF) out.yPelsPerMeter = LONG(yRes);
    }
    return true;
}

} // namespace

void png_init_istream(png_structp png_ptr, std::istream* stream) {
    png_set_read_fn(png_ptr, stream, ReadFromStream);
}

bool PngToDib(std::istream& in, std::vector<uint8_t>& dib) {
    dib.clear();
    png_byte signature[8];
    try {
        if (!in.read(reinterpret_cast<char*>(signature), 8)) return false;
    } catch (...) {
        return false;
    }
    if (png_sig_cmp(signature, 0, 8) != 0) return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    Decoded d;
    bool ok = false;
    try {
        ok = Decode(png, info, in, d);
    } catch (...) { // out of memory for the rows
        ok = false;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) return false;

    const int w = int(d.width), h = int(d.height);
    const int64_t stride = DibRowBytes(w, 24);
    dib.assign(size_t(pictures::PackedDibBytes(w, h, 24)), 0);
    uint8_t* bits = pictures::WriteDibHeader(dib.data(), w, h, 24);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    header->biXPelsPerMeter = d.xPelsPerMeter;
    header->biYPelsPerMeter = d.yPelsPerMeter;
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = d.rows[size_t(y)];
        uint8_t* dst = bits + stride * (h - 1 - y);
        if (d.channels == 3) {
            std::memcpy(dst, src, size_t(w) * 3);
            continue;
        }
        // No background colour in the file: the paper shows through.
        for (int x = 0; x < w; ++x, src += 4, dst += 3) {
            const int a = src[3];
            for (int i = 0; i < 3; ++i) dst[i] = uint8_t((src[i] * a + 255 * (255 - a) + 127) / 255);
        }
    }
    return true;
}
