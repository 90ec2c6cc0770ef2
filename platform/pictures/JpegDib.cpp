// JPEG to packed DIB on libjpeg, with an error manager that returns to the
// caller instead of ending the process.
#include <csetjmp>
#include <cstdio> // before jpeglib.h, which names FILE

#include <jerror.h>
#include <jpeglib.h>

#include "platform/pictures/PictureDib.h"
#include "platform/pictures/PictureDibLayout.h"

namespace {

// libjpeg's own memory for one picture; the progressive coefficient buffers
// of the largest bitmap fit in it.
constexpr long kMaxDecoderMemory = 1536L << 20;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr c) {
    std::longjmp(reinterpret_cast<ErrorManager*>(c->err)->jump, 1);
}

// Data that ends before the last row fails the picture, rather than drawing
// it half grey, so a file still arriving is drawn once it is whole.
void EmitMessage(j_common_ptr c, int level) {
    if (level >= 0) return;
    if (c->err->msg_code == JWRN_JPEG_EOF) std::longjmp(reinterpret_cast<ErrorManager*>(c->err)->jump, 1);
    ++c->err->num_warnings;
}

void OutputMessage(j_common_ptr) {}

struct Layout {
    int width = 0, height = 0, bitCount = 0;
    J_COLOR_SPACE outSpace = JCS_UNKNOWN;
    int64_t bytes = 0;
};

// Output colour space and bitmap layout once the header is read.
bool Plan(jpeg_decompress_struct& ci, Layout& l) {
    switch (ci.jpeg_color_space) {
    case JCS_GRAYSCALE: l.outSpace = JCS_GRAYSCALE, l.bitCount = 8; break;
    case JCS_CMYK:
    case JCS_YCCK: l.outSpace = JCS_CMYK, l.bitCount = 24; break;
    default: l.outSpace = JCS_EXT_BGR, l.bitCount = 24; break;
    }
    ci.out_color_space = l.outSpace;
    jpeg_calc_output_dimensions(&ci);
    l.width = int(ci.output_width);
    l.height = int(ci.output_height);
    l.bytes = pictures::PackedDibBytes(l.width, l.height, l.bitCount);
    return l.bytes > 0;
}

void CmykToBgr(const JSAMPLE* in, uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        int k = inverted ? in[3] : 255 - in[3];
        for (int i = 0; i < 3; ++i) {
            int c = inverted ? in[2 - i] : 255 - in[2 - i];
            out[i] = uint8_t((c * k + 127) / 255);
        }
    }
}

// The one function that calls libjpeg: it holds only plain locals, so the
// error exit may jump back into it. With dib null it only sizes the bitmap.
int Run(const void* data, int size, void* dib, int dibSize) {
    if (!data || size <= 0) return 0;
    jpeg_decompress_struct ci;
    ErrorManager err;
    ci.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&ci);
        return 0;
    }
    jpeg_create_decompress(&ci);
    ci.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&ci, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&ci, TRUE);
    Layout l;
    if (!Plan(ci, l) || (dib && dibSize < l.bytes)) {
        jpeg_destroy_decompress(&ci);
        return 0;
    }
    if (!dib) {
        jpeg_destroy_decompress(&ci);
        return int(l.bytes);
    }

    uint8_t* p = pictures::WriteDibHeader(dib, l.width, l.height, l.bitCount);
    if (l.bitCount == 8) {
        for (int i = 0; i < 256; ++i, p += 4) p[0] = p[1] = p[2] = uint8_t(i), p[3] = 0;
    }
    jpeg_start_decompress(&ci);
    if (int(ci.output_width) != l.width || int(ci.output_height) != l.height) ErrorExit(j_common_ptr(&ci));
    const int64_t stride = DibRowBytes(l.width, l.bitCount);
    JSAMPARRAY cmyk = l.outSpace == JCS_CMYK
                          ? (*ci.mem->alloc_sarray)(j_common_ptr(&ci), JPOOL_IMAGE, JDIMENSION(l.width) * 4, 1)
                          : nullptr;
    const bool inverted = ci.saw_Adobe_marker;
    while (ci.output_scanline < ci.output_height) {
        uint8_t* row = p + stride * (l.height - 1 - int(ci.output_scanline));
        JSAMPROW target = cmyk ? cmyk[0] : row;
        if (jpeg_read_scanlines(&ci, &target, 1) != 1) ErrorExit(j_common_ptr(&ci));
        if (cmyk) CmykToBgr(cmyk[0], row, l.width, inverted);
        for (int64_t i = int64_t(l.width) * (l.bitCount / 8); i < stride; ++i) row[i] = 0;
    }
    // Markers after the last row do not matter to the picture.
    jpeg_destroy_decompress(&ci);
    return int(l.bytes);
}

} // namespace

int check_dib_size(const void* data, int size) { return Run(data, size, nullptr, 0); }

int Jpg2Dib(const void* data, int size, void* dib, int dibSize) {
    if (!dib) return 0;
    return Run(data, size, dib, dibSize);
}
