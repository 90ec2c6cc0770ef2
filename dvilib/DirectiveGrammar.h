// The grammar of the specials that more than one reader takes: the reader's
// scan (anchors and the pictures to fetch), the page drawer and the viewer.
// One parser per family: links and anchors (html:, hypertext:), pictures by
// name (graphics:, ps: plotfile, psfile= pairs in any case, the binary
// picture specials). A text parser reads up to the NUL and returns the parsed
// special, or nothing when the text does not follow the family's grammar.
#pragma once

#include <cstddef>
#include <optional>

#include "base/String8.h"
#include "dvilib/VrDviApi.h"

namespace vrspecial {

// Picture types (VrDviDrawer::PictInfo::type).
enum PictureType { kWmf = 0, kEps = 1, kJpeg = 2, kGif = 3, kPng = 4, kBmp = 5 };

// html: after the keyword: <a href="reference" [target="frame"]>,
// <a name="anchor"> or the end tag </a>.
struct HtmlSpecial {
    enum Kind { kLink, kAnchor, kEnd } kind = kEnd;
    String8 reference, target;  // kLink; target "_self" unless given
    String8 name;               // kAnchor
};
VRDVI_API std::optional<HtmlSpecial> ParseHtml(unsigned char* args);

// hypertext: after the keyword: a box (four integers in DVI units), then
// name=anchor or ref=reference [target=frame], values quoted or not.
struct HypertextSpecial {
    int box[4] = {0, 0, 0, 0};
    bool anchor = false;        // name= rather than ref=
    String8 name;               // anchor, not empty
    String8 reference, target;  // link; reference not empty, target "_self" unless given
};
VRDVI_API std::optional<HypertextSpecial> ParseHypertext(unsigned char* args);

// graphics: after the keyword: six dimensions (position, then the two pairs
// of the scale), a picture type word and the file name (the rest of the
// text). wmfOrEps admits only those two types (the watermark's form).
struct GraphicsSpecial {
    int dimen[6] = {0, 0, 0, 0, 0, 0};  // scaled points
    PictureType type = kWmf;
    String8 name;       // not empty
    size_t nameAt = 0;  // where the name starts, from args
};
VRDVI_API std::optional<GraphicsSpecial> ParseGraphics(unsigned char* args, bool wmfOrEps = false);

// ps: after the keyword: plotfile and a file name (a word).
VRDVI_API std::optional<String8> ParsePlotFile(unsigned char* args);

// key=value pairs (values quoted or not, keys in any case) with a psfile
// key; the last value of a key counts. Unset numbers stay 0.
struct PsfileSpecial {
    String8 file;  // unquoted, not empty
    double hoffset = 0, voffset = 0, hscale = 0, vscale = 0;
    bool hset = false, vset = false;  // hscale, vscale read
    int bb[4] = {0, 0, 0, 0};         // llx lly urx ury
    bool bbset[4] = {false, false, false, false};
    int rwi = 0, rhi = 0;  // tenths of a point
};
VRDVI_API std::optional<PsfileSpecial> ParsePsfile(unsigned char* text);

// The binary picture specials ('#', a 16-bit code from 0x10 to 0x13, fixed
// fields): the file name is a length byte and that many bytes (no NUL) at a
// place fixed by the code.
struct BinaryPictureSpecial {
    unsigned code = 0;
    String8 name;       // not empty
    size_t lengthAt = 0;  // the name's length byte, from the first byte
};
VRDVI_API std::optional<BinaryPictureSpecial> ParseBinaryPicture(const unsigned char* bytes, size_t length);

} // namespace vrspecial
