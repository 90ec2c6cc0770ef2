// PNG pictures read from an input stream with libpng.
#pragma once

#include <cstdint>
#include <istream>
#include <vector>

#include <png.h>

// Makes libpng read the PNG's bytes from the stream, starting at its current
// position; a read that comes short is a libpng error. The stream must outlive
// the read structure's use.
void png_init_istream(png_structp png_ptr, std::istream* stream);

// Reads the PNG that starts at the stream's position (its signature first)
// into a packed 24-bit bottom-up DIB: palettes and low depths expanded, 16-bit
// samples stripped, grey made RGB, transparency composited onto the file's
// background colour or, without one, onto white, gamma corrected for a 2.2
// screen; interlaced files are read whole. The header's resolutions are the
// file's pixels per metre, 3780 when it gives none in metres. False, with dib
// empty, on any failure.
bool PngToDib(std::istream& in, std::vector<uint8_t>& dib);
