// JPEG and GIF pictures to packed device-independent bitmaps.
//
// The caller asks for the size first, gives a buffer of at least that many
// bytes, then decodes into it:
//     int n = check_dib_size(bytes, size);   // 0: not a picture we can read
//     std::vector<BYTE> dib(n + 100);
//     if (Jpg2Dib(bytes, size, dib.data(), n) < 1) ...fail...
// The bitmap is a BITMAPINFOHEADER (40 bytes, both resolutions 3780 pixels per
// metre), a colour table (256 entries for 8-bit pictures, none for 24-bit) and
// bottom-up rows of DibRowBytes(width, bitCount) bytes. The decoders return the
// bytes written, or 0 when the data is not a picture they read whole, or the
// buffer is too small; they never end the process.
#pragma once

#include <cstdint>

// Largest packed bitmap the decoders produce, and its longest side.
constexpr int64_t kMaxPictureDibBytes = int64_t(512) << 20;
constexpr int64_t kMaxPictureSide = 65535;

// JPEG: grey pictures become 8-bit with a grey ramp, all others 24-bit (CMYK
// converted to RGB). Data that ends before the last row fails.
int check_dib_size(const void* data, int size);
int Jpg2Dib(const void* data, int size, void* dib, int dibSize);

// GIF: the first image, 8-bit, on a canvas of the logical screen (grown to hold
// the image); the transparent colour and the canvas outside the image are white.
int check_gif_size(const void* data, int size);
int Gif2Dib(const void* data, int size, void* dib, int dibSize);
