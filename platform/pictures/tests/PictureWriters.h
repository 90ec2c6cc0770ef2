// Pictures made with the libraries' own encoders, for the decoder tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

namespace testpictures {

// samples: height rows of width * components bytes, top row first.
inline std::vector<uint8_t> WriteJpeg(int width, int height, int components, J_COLOR_SPACE space,
                                      const std::vector<uint8_t>& samples, bool progressive = false) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto row = const_cast<JSAMPROW>(samples.data() + size_t(c.next_scanline) * size_t(width * components));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> file(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return file;
}

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    std::vector<GifColorType> localMap; // empty: the global map
    std::vector<uint8_t> pixels;        // top row first
    int transparent = NO_TRANSPARENT_COLOR;
};

inline int GifOut(GifFileType* gif, const GifByteType* bytes, int n) {
    auto* v = static_cast<std::vector<uint8_t>*>(gif->UserData);
    v->insert(v->end(), bytes, bytes + n);
    return n;
}

// Maps must have 2, 4, ..., 256 entries.
inline std::vector<uint8_t> WriteGif(int screenWidth, int screenHeight, std::vector<GifColorType> globalMap,
                                     const std::vector<GifFrame>& frames) {
    std::vector<uint8_t> file;
    int error = 0;
    GifFileType* g = EGifOpen(&file, GifOut, &error);
    EGifSetGifVersion(g, true);
    ColorMapObject* global =
        globalMap.empty() ? nullptr : GifMakeMapObject(int(globalMap.size()), globalMap.data());
    EGifPutScreenDesc(g, screenWidth, screenHeight, 8, 0, global);
    for (const GifFrame& f : frames) {
        if (f.transparent != NO_TRANSPARENT_COLOR) {
            GraphicsControlBlock gcb{};
            gcb.TransparentColor = f.transparent;
            GifByteType ext[4];
            size_t n = EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
        }
        ColorMapObject* local =
            f.localMap.empty() ? nullptr : GifMakeMapObject(int(f.localMap.size()), f.localMap.data());
        EGifPutImageDesc(g, f.left, f.top, f.width, f.height, f.interlace, local);
        static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < (f.interlace ? 4 : 1); ++pass)
            for (int r = f.interlace ? kStart[pass] : 0; r < f.height; r += f.interlace ? kStep[pass] : 1)
                EGifPutLine(g, const_cast<GifPixelType*>(f.pixels.data() + size_t(r) * size_t(f.width)), f.width);
        GifFreeMapObject(local);
        // The encoder keeps its copy of a local map past the close.
        GifFreeMapObject(g->Image.ColorMap);
        g->Image.ColorMap = nullptr;
    }
    EGifCloseFile(g, &error);
    GifFreeMapObject(global);
    return file;
}

struct PngSpec {
    int width = 0, height = 0, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGB;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha; // tRNS of a palette picture
    const png_color_16* transparentColor = nullptr;
    const png_color_16* background = nullptr;
    png_uint_32 xRes = 0, yRes = 0;
    int resUnit = -1;
    std::vector<uint8_t> rows; // packed rows as the file stores them, top row first
};

inline void PngOut(png_structp png, png_bytep bytes, size_t n) {
    auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    v->insert(v->end(), bytes, bytes + n);
}

inline std::vector<uint8_t> WritePng(const PngSpec& s) {
    std::vector<uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &file, PngOut, nullptr);
    png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), int(s.paletteAlpha.size()), nullptr);
    if (s.transparentColor) png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16*>(s.transparentColor));
    if (s.background) png_set_bKGD(png, info, s.background);
    if (s.resUnit >= 0) png_set_pHYs(png, info, s.xRes, s.yRes, s.resUnit);
    const size_t rowBytes = (size_t(s.width) * size_t(png_get_channels(png, info)) * size_t(s.bitDepth) + 7) / 8;
    std::vector<png_bytep> rows;
    for (int y = 0; y < s.height; ++y) rows.push_back(const_cast<png_bytep>(s.rows.data() + rowBytes * size_t(y)));
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

} // namespace testpictures
