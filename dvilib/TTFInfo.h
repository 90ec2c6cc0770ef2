// The outline faces that draw one loaded TeX font, with sizes already scaled
// to the font: one record for single-byte characters and one for double-byte
// (Korean) characters. The font-metrics code fills it from the font's TFM
// header or from the TrueType map (VrDviTTFMap::Entry), which holds the same
// settings as factors of the font size.
#pragma once

#include "base/String8.h"

struct TTFInfo {
    String8 faceName;      // null when no face is set
    int height = 0;        // DVI units; 0: the font's scaled size
    int averageWidth = 0;  // DVI units; 0: the face's own width
    int vAdjustment = 0;   // DVI units added to the vertical position
    int weight = 0;        // 0 or 100..900
    int italic = 0;        // flag
    int slant = 0;         // flag
};
