// One opened face file, shared by every size made of it: its character maps
// and its design metrics in font units. Every call needs FontLibrary::Mutex().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/WinTypes.h"
#include "platform/gdi/FontLibrary.h"

class FontFace {
public:
    // The face `index` of `file`, opened once while anything holds it; null
    // when FreeType cannot open it or it has no outlines.
    static std::shared_ptr<FontFace> Open(const std::string& file, int index);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    FT_Face Face() const { return face_; }

    // Glyph of a UTF-16 code: through the built-in encoding of a Type1 face
    // for byte codes, through a symbol character map for U+F000..U+F0FF and
    // byte codes, else through Unicode; U+F0xx falls back to its low byte.
    // 0 (the missing glyph) when none has it.
    FT_UInt GlyphIndex(uint32_t code) const;

    int unitsPerEm = 1000;
    int ascent = 800;     // Windows ascent and descent: the cell above and below the baseline
    int descent = 200;
    int lineGap = 0;      // external leading
    int avgWidth = 500;
    int maxAdvance = 1000;
    bool symbol = false;  // a symbol map or a Type1 face's own encoding
    bool fixedPitch = false;
    WCHAR firstChar = 0x20;
    WCHAR lastChar = 0xFF;

private:
    FontFace() = default;
    void ReadMetrics();
    FT_UInt Lookup(FT_CharMap map, uint32_t code) const;

    FT_Face face_ = nullptr;
    FT_CharMap unicode_ = nullptr;
    FT_CharMap msSymbol_ = nullptr;
    FT_CharMap builtin_ = nullptr;
};
