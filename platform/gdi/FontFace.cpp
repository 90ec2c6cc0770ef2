#include "platform/gdi/FontFace.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

namespace {
using FaceKey = std::pair<std::string, int>;
std::map<FaceKey, std::weak_ptr<FontFace>>& OpenFaces() {
    static auto* faces = new std::map<FaceKey, std::weak_ptr<FontFace>>;
    return *faces;
}
}  // namespace

std::shared_ptr<FontFace> FontFace::Open(const std::string& file, int index) {
    FaceKey key{file, index};
    auto& faces = OpenFaces();
    auto it = faces.find(key);
    if (it != faces.end()) {
        if (auto live = it->second.lock()) return live;
        faces.erase(it);
    }
    FT_Face ft = nullptr;
    if (FT_New_Face(FontLibrary::Library(), file.c_str(), index, &ft) != 0) return nullptr;
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) {
        FT_Done_Face(ft);
        return nullptr;
    }
    std::shared_ptr<FontFace> face(new FontFace);
    face->face_ = ft;
    for (int i = 0; i < ft->num_charmaps; ++i) {
        FT_CharMap m = ft->charmaps[i];
        if (m->encoding == FT_ENCODING_UNICODE && !face->unicode_) face->unicode_ = m;
        else if (m->encoding == FT_ENCODING_MS_SYMBOL && !face->msSymbol_) face->msSymbol_ = m;
        // A Type1 face's own encoding; the one an sfnt carries for its CFF is not used.
        else if ((m->encoding == FT_ENCODING_ADOBE_CUSTOM || m->encoding == FT_ENCODING_ADOBE_EXPERT) &&
                 !FT_IS_SFNT(ft) && !face->builtin_)
            face->builtin_ = m;
    }
    face->symbol = face->msSymbol_ || face->builtin_;
    face->ReadMetrics();
    faces[key] = face;
    return face;
}

FontFace::~FontFace() {
    std::lock_guard lock(FontLibrary::Mutex());
    FT_Done_Face(face_);
}

void FontFace::ReadMetrics() {
    unitsPerEm = face_->units_per_EM;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    if (os2 && os2->version == 0xFFFF) os2 = nullptr;
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face_->ascender;
        descent = -face_->descender;
        if (ascent + descent <= 0) {
            ascent = int(face_->bbox.yMax);
            descent = int(-face_->bbox.yMin);
        }
    }
    if (ascent + descent <= 0) {
        ascent = unitsPerEm * 4 / 5;
        descent = unitsPerEm - ascent;
    }
    if (hhea)
        lineGap = std::max(0, hhea->Line_Gap - ((ascent + descent) - (hhea->Ascender - hhea->Descender)));
    else
        lineGap = std::max(0, face_->height - (ascent + descent));
    maxAdvance = std::max<int>(face_->max_advance_width, 1);
    if (os2 && os2->xAvgCharWidth > 0) {
        avgWidth = os2->xAvgCharWidth;
    } else {
        // Without an OS/2 table: the mean of the glyphs' advances.
        FT_UInt n = FT_UInt(std::min<FT_Long>(face_->num_glyphs, 1024));
        std::vector<FT_Fixed> adv(n);
        long sum = 0, inked = 0;
        if (n && FT_Get_Advances(face_, 0, n, FT_LOAD_NO_SCALE, adv.data()) == 0)
            for (FT_Fixed a : adv)
                if (a > 0) sum += a, ++inked;
        avgWidth = inked ? int(sum / inked) : unitsPerEm / 2;
    }
    fixedPitch = FT_IS_FIXED_WIDTH(face_);

    FT_CharMap primary = msSymbol_ ? msSymbol_ : unicode_ ? unicode_ : builtin_;
    if (primary && FT_Set_Charmap(face_, primary) == 0) {
        FT_UInt g = 0;
        FT_ULong c = FT_Get_First_Char(face_, &g), first = c, last = c;
        while (g != 0 && c <= 0xFFFF) {
            last = c;
            c = FT_Get_Next_Char(face_, c, &g);
        }
        if (last >= first && first <= 0xFFFF) {
            firstChar = WCHAR(first);
            lastChar = WCHAR(last);
        }
    }
}

FT_UInt FontFace::Lookup(FT_CharMap map, uint32_t code) const {
    if (!map || FT_Set_Charmap(face_, map) != 0) return 0;
    return FT_Get_Char_Index(face_, code);
}

FT_UInt FontFace::GlyphIndex(uint32_t code) const {
    const bool privateByte = code >= 0xF000 && code <= 0xF0FF;
    FT_UInt g = 0;
    if (builtin_ && (code < 0x100 || privateByte))
        if ((g = Lookup(builtin_, code & 0xFF))) return g;
    if (msSymbol_) {
        if (privateByte) {
            if ((g = Lookup(msSymbol_, code)) || (g = Lookup(msSymbol_, code & 0xFF))) return g;
        } else if (code < 0x100) {
            if ((g = Lookup(msSymbol_, 0xF000 | code)) || (g = Lookup(msSymbol_, code))) return g;
        } else if ((g = Lookup(msSymbol_, code))) {
            return g;
        }
    }
    if (unicode_) {
        if ((g = Lookup(unicode_, code))) return g;
        if (privateByte && (g = Lookup(unicode_, code & 0xFF))) return g;
    }
    if (!unicode_ && !msSymbol_ && !builtin_ && face_->num_charmaps > 0)
        return Lookup(face_->charmaps[0], code);
    return 0;
}
