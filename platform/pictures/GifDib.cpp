// GIF to packed DIB on giflib: the first image of the file, 8 bits a pixel.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "platform/pictures/PictureDib.h"
#include "platform/pictures/PictureDibLayout.h"

namespace {

struct Source {
    const uint8_t* next;
    size_t left;
};

int ReadBytes(GifFileType* gif, GifByteType* out, int n) {
    auto* s = static_cast<Source*>(gif->UserData);
    size_t take = std::min(s->left, n > 0 ? size_t(n) : size_t(0));
    std::memcpy(out, s->next, take);
    s->next += take, s->left -= take;
    return int(take);
}

struct GifCloser {
    GifFileType* gif = nullptr;
    ~GifCloser() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

// The file opened and read up to its first image's descriptor.
struct FirstImage {
    Source source{};
    GifCloser file;
    int transparent = NO_TRANSPARENT_COLOR;
    int canvasWidth = 0, canvasHeight = 0;
    int64_t bytes = 0;

    bool Open(const void* data, int size) {
        if (!data || size <= 0) return false;
        source = {static_cast<const uint8_t*>(data), size_t(size)};
        int error = 0;
        file.gif = DGifOpen(&source, ReadBytes, &error);
        GifFileType* gif = file.gif;
        if (!gif) return false;
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(gif, &type) != GIF_OK) return false;
            if (type == IMAGE_DESC_RECORD_TYPE) break;
            if (type != EXTENSION_RECORD_TYPE) return false; // the file ends without an image
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
            }
            while (ext)
                if (DGifGetExtensionNext(gif, &ext) != GIF_OK) return false;
        }
        if (DGifGetImageDesc(gif) != GIF_OK) return false;
        const GifImageDesc& d = gif->Image;
        if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0) return false;
        if (!d.ColorMap && !gif->SColorMap) return false;
        canvasWidth = std::max(gif->SWidth, d.Left + d.Width);
        canvasHeight = std::max(gif->SHeight, d.Top + d.Height);
        bytes = pictures::PackedDibBytes(canvasWidth, canvasHeight, 8);
        return bytes > 0;
    }
};

} // namespace

int check_gif_size(const void* data, int size) {
    FirstImage f;
    return f.Open(data, size) ? int(f.bytes) : 0;
}

int Gif2Dib(const void* data, int size, void* dib, int dibSize) {
    FirstImage f;
    if (!dib || !f.Open(data, size) || dibSize < f.bytes) return 0;
    GifFileType* gif = f.file.gif;
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    const int w = f.canvasWidth, h = f.canvasHeight;

    // Colour table: the file's map, the transparent colour white (the paper),
    // unused entries black.
    uint8_t* table = pictures::WriteDibHeader(dib, w, h, 8);
    std::memset(table, 0, 256 * 4);
    int count = std::clamp(map->ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) {
        table[4 * i] = map->Colors[i].Blue;
        table[4 * i + 1] = map->Colors[i].Green;
        table[4 * i + 2] = map->Colors[i].Red;
    }
    auto setWhite = [&](int i) { table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = 255; };
    if (f.transparent >= 0 && f.transparent < 256) setWhite(f.transparent);

    // The canvas outside the image is paper too.
    uint8_t* pixels = table + 256 * 4;
    const int64_t stride = DibRowBytes(w, 8);
    if (d.Left > 0 || d.Top > 0 || d.Width < w || d.Height < h) {
        int paper = f.transparent;
        if (paper < 0 || paper > 255) {
            paper = count < 256 ? 255 : -1;
            for (int i = 0; i < count && paper < 0; ++i)
                if (map->Colors[i].Red == 255 && map->Colors[i].Green == 255 && map->Colors[i].Blue == 255) paper = i;
            if (paper < 0) paper = std::clamp(gif->SBackGroundColor, 0, 255);
            else setWhite(paper);
        }
        std::memset(pixels, paper, size_t(stride * h));
    } else {
        std::memset(pixels, 0, size_t(stride * h));
    }

    // Rows in file order; interlaced images come in four passes.
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    std::vector<GifPixelType> line(size_t(d.Width));
    for (int pass = 0; pass < passes; ++pass) {
        const int start = d.Interlace ? kStart[pass] : 0, step = d.Interlace ? kStep[pass] : 1;
        for (int r = start; r < d.Height; r += step) {
            if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) return 0;
            uint8_t* row = pixels + stride * (h - 1 - (d.Top + r));
            std::memcpy(row + d.Left, line.data(), line.size());
        }
    }
    return int(f.bytes);
}
