// Turns one page of a TIFF file into a device-independent bitmap for display
// and printing: bilevel pages stay 1 bit deep at 100 % and above and are
// reduced to 16 greys below; every other page is read as 32-bit colour.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/DibTypes.h"

typedef struct tiff TIFF;

// Bytes the caller's BITMAPINFO block must hold: the header and 16 colours.
constexpr int kTiffPageInfoBytes = int(sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));

// Largest width or height the decoder accepts.
constexpr uint32_t kTiffMaxSide = 32767;

// Most bytes a decoded page's pixel block may take (a 32-bit page of about
// 8200 x 8200 pixels, a bilevel page of any accepted size): past it the page
// is refused before anything is read.
constexpr uint64_t kTiffMaxBlockBytes = uint64_t(256) << 20;

// Decodes the directory `tif` is positioned on. `info` must point at
// kTiffPageInfoBytes bytes; it receives the header (biWidth and biHeight after
// rotation and scaling) and the colour table. `rotation` 0 none, 1 a quarter
// turn counter-clockwise, 2 a half turn, 3 a quarter turn clockwise; `dispMag`
// is the zoom in percent x 100 (null pointers mean 0 and 10000). Rows are
// bottom-up and 4-byte aligned; 32-bit pixels are blue, green, red, 0.
// Bilevel pages come at full resolution (1 bit) from 100 % up and reduced to
// the zoomed size (4 bits) below; every other page at full resolution: the
// caller stretches the block over the zoomed page.
// Returns null for sizes of 0 or above kTiffMaxSide, for blocks above
// kTiffMaxBlockBytes, on allocation failure and when libtiff cannot read an
// RGBA image.
std::unique_ptr<uint8_t[]> DecodeTiffPage(TIFF* tif, BITMAPINFO* info, const int* rotation, const int* dispMag);

// Why the current directory's image (page, 0-based) could not be decoded at
// the zoom, as the person is told.
std::string TiffPageFailure(TIFF* tif, int page, int dispMag = 10000);
