#include "platform/gdi/MetaFile.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/DCInternal.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/GdiObjectData.h"

struct MetaFileData {
    std::vector<uint8_t> bytes;
};

namespace {
uint16_t Rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Rd32(const uint8_t* p) { return uint32_t(Rd16(p)) | (uint32_t(Rd16(p + 2)) << 16); }

// Record functions.
enum : uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETRELABS = 0x0105,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_RESIZEPALETTE = 0x0139,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETTEXTJUSTIFICATION = 0x020A,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_SETMAPPERFLAGS = 0x0231,
    META_SELECTPALETTE = 0x0234,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_FRAMEREGION = 0x0429,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ESCAPE = 0x0626,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43,
};

class Player {
public:
    Player(CDC& dc, const std::vector<uint8_t>& bytes) : dc_(dc), b_(bytes) {}
    ~Player() {
        for (HGDIOBJ h : objects_)
            if (h) GdiHandles::Remove(h);
    }

    bool Play() {
        uint16_t headerWords = Rd16(b_.data() + 2);
        objects_.assign(Rd16(b_.data() + 10), nullptr);
        size_t pos = size_t(headerWords) * 2;
        baseLevel_ = dc_.SaveDC();
        bool ok = false;
        while (pos + 6 <= b_.size()) {
            uint32_t words = Rd32(b_.data() + pos);
            uint16_t fn = Rd16(b_.data() + pos + 4);
            if (words < 3 || words > (b_.size() - pos) / 2) break;  // truncated or malformed
            if (fn == META_EOF) {
                ok = true;
                break;
            }
            p_ = b_.data() + pos + 6;
            n_ = size_t(words) * 2 - 6;
            if (!Record(fn, words)) break;
            pos += size_t(words) * 2;
        }
        dc_.RestoreDC(baseLevel_);
        return ok;
    }

private:
    CDC& dc_;
    const std::vector<uint8_t>& b_;
    std::vector<HGDIOBJ> objects_;
    const uint8_t* p_ = nullptr;  // parameters of the current record
    size_t n_ = 0;                // their size in bytes
    int baseLevel_ = 0;
    int depth_ = 0;  // states the metafile saved
    BYTE fontCharset_ = ANSI_CHARSET;

    bool Has(size_t words) const { return words * 2 <= n_; }
    int S(size_t i) const { return int16_t(Rd16(p_ + 2 * i)); }
    UINT W(size_t i) const { return Rd16(p_ + 2 * i); }
    DWORD D(size_t i) const { return Rd32(p_ + 2 * i); }

    void AddObject(HGDIOBJ h) {
        if (!h) return;
        for (auto& slot : objects_)
            if (!slot) {
                slot = h;
                return;
            }
        GdiHandles::Remove(h);  // table full
    }
    HGDIOBJ Object(size_t i) const { return i < objects_.size() ? objects_[i] : nullptr; }

    // Bytes of text in the selected font's character set: symbol fonts use
    // the private-use codes U+F0xx, Korean and default fonts code page 949
    // (the system code page the pictures were made under), others Latin-1.
    // dx, when given, holds one advance per byte; a double-byte character
    // gets the sum of its two.
    std::u16string Text(const uint8_t* s, size_t count, const std::vector<int>* dx, std::vector<int>* outDx) const {
        std::u16string out;
        bool dbcs = fontCharset_ == HANGUL_CHARSET || fontCharset_ == DEFAULT_CHARSET;
        for (size_t i = 0; i < count; ++i) {
            char16_t c = 0;
            size_t used = 1;
            if (fontCharset_ == SYMBOL_CHARSET) {
                c = char16_t(0xF000 + s[i]);
            } else if (dbcs && s[i] >= 0x81 && i + 1 < count && Cp949(s[i], s[i + 1], c)) {
                used = 2;
            } else {
                c = s[i];
            }
            out.push_back(c);
            if (dx && outDx) outDx->push_back((*dx)[i] + (used == 2 ? (*dx)[i + 1] : 0));
            i += used - 1;
        }
        return out;
    }

    static bool Cp949(uint8_t lead, uint8_t trail, char16_t& out) {
        struct Converter {
            iconv_t cd = iconv_open("UTF-16LE", "CP949");
            ~Converter() {
                if (cd != iconv_t(-1)) iconv_close(cd);
            }
        };
        static thread_local Converter conv;
        iconv_t cd = conv.cd;
        if (cd == iconv_t(-1)) return false;
        char in[2] = {char(lead), char(trail)};
        char buf[8];
        char* ip = in;
        char* op = buf;
        size_t il = 2, ol = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0 || ol != sizeof buf - 2) return false;
        out = char16_t(uint8_t(buf[0]) | (uint8_t(buf[1]) << 8));
        return true;
    }

    // A DIB at word offset off to the end of the record.
    bool Dib(size_t off, const uint8_t*& info, size_t& infoSize, const uint8_t*& bits, size_t& bitsSize,
             UINT usage) const {
        if (off * 2 >= n_) return false;
        info = p_ + off * 2;
        size_t avail = n_ - off * 2;
        infoSize = DibView::InfoSize(info, usage, avail);
        if (!infoSize) return false;
        bits = info + infoSize;
        bitsSize = avail - infoSize;
        return true;
    }

    // A record's handler: checks the record's size for its arguments and
    // plays it; false ends the playback (a record too short for its kind).
    using Handler = bool (*)(Player&, uint16_t fn, uint32_t words);
    template <bool (Player::*M)(uint16_t, uint32_t)>
    static bool Call(Player& p, uint16_t fn, uint32_t words) {
        return (p.*M)(fn, words);
    }

    bool Record(uint16_t fn, uint32_t words) {
        static const std::unordered_map<uint16_t, Handler> kHandlers = Handlers();
        const auto h = kHandlers.find(fn);
        return h == kHandlers.end() || h->second(*this, fn, words); // unknown, escapes and the rest: skipped
    }

    static std::unordered_map<uint16_t, Handler> Handlers() {
        return {
            {META_SAVEDC, &Call<&Player::OnSaveDc>},
            {META_RESTOREDC, &Call<&Player::OnRestoreDc>},
            {META_SETBKMODE,
             [](Player& p, uint16_t, uint32_t) { return p.Has(1) && (p.dc_.SetBkMode(p.S(0)), true); }},
            {META_SETMAPMODE,
             [](Player& p, uint16_t, uint32_t) { return p.Has(1) && (p.dc_.SetMapMode(p.S(0)), true); }},
            {META_SETROP2,
             [](Player& p, uint16_t, uint32_t) { return p.Has(1) && (p.dc_.SetROP2(p.S(0)), true); }},
            {META_SETPOLYFILLMODE,
             [](Player& p, uint16_t, uint32_t) { return p.Has(1) && (p.dc_.SetPolyFillMode(p.S(0)), true); }},
            {META_SETSTRETCHBLTMODE,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(1) && (p.dc_.SetStretchBltMode(p.S(0)), true);
             }},
            {META_SETTEXTCHAREXTRA,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(1) && (p.dc_.SetTextCharacterExtra(p.S(0)), true);
             }},
            {META_SETTEXTALIGN,
             [](Player& p, uint16_t, uint32_t) { return p.Has(1) && (p.dc_.SetTextAlign(p.W(0)), true); }},
            {META_SETBKCOLOR,
             [](Player& p, uint16_t, uint32_t) { return p.Has(2) && (p.dc_.SetBkColor(p.D(0)), true); }},
            {META_SETTEXTCOLOR,
             [](Player& p, uint16_t, uint32_t) { return p.Has(2) && (p.dc_.SetTextColor(p.D(0)), true); }},
            {META_SETWINDOWORG,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.SetWindowOrg(p.S(1), p.S(0)), true);
             }},
            {META_SETWINDOWEXT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.SetWindowExt(p.S(1), p.S(0)), true);
             }},
            {META_SETVIEWPORTORG,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.SetViewportOrg(p.S(1), p.S(0)), true);
             }},
            {META_SETVIEWPORTEXT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.SetViewportExt(p.S(1), p.S(0)), true);
             }},
            {META_OFFSETWINDOWORG,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.OffsetWindowOrg(p.S(1), p.S(0)), true);
             }},
            {META_OFFSETVIEWPORTORG,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.OffsetViewportOrg(p.S(1), p.S(0)), true);
             }},
            {META_SCALEWINDOWEXT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.ScaleWindowExt(p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_SCALEVIEWPORTEXT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.ScaleViewportExt(p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_LINETO,
             [](Player& p, uint16_t, uint32_t) { return p.Has(2) && (p.dc_.LineTo(p.S(1), p.S(0)), true); }},
            {META_MOVETO,
             [](Player& p, uint16_t, uint32_t) { return p.Has(2) && (p.dc_.MoveTo(p.S(1), p.S(0)), true); }},
            {META_EXCLUDECLIPRECT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.ExcludeClipRect(p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_INTERSECTCLIPRECT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.IntersectClipRect(p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_OFFSETCLIPRGN,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(2) && (p.dc_.OffsetClipRgn(p.S(1), p.S(0)), true);
             }},
            {META_ELLIPSE,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.Ellipse(p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_RECTANGLE,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.Rectangle(p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_ROUNDRECT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(6) && (p.dc_.RoundRect(p.S(5), p.S(4), p.S(3), p.S(2), p.S(1), p.S(0)), true);
             }},
            {META_ARC, &Call<&Player::OnArcPieChord>},
            {META_PIE, &Call<&Player::OnArcPieChord>},
            {META_CHORD, &Call<&Player::OnArcPieChord>},
            {META_SETPIXEL,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(4) && (p.dc_.SetPixel(p.S(3), p.S(2), p.D(0)), true);
             }},
            {META_PATBLT,
             [](Player& p, uint16_t, uint32_t) {
                 return p.Has(6) && (p.dc_.PatBlt(p.S(5), p.S(4), p.S(3), p.S(2), p.D(0)), true);
             }},
            {META_POLYGON, &Call<&Player::OnPoly>},
            {META_POLYLINE, &Call<&Player::OnPoly>},
            {META_POLYPOLYGON, &Call<&Player::OnPolyPolygon>},
            {META_TEXTOUT, &Call<&Player::OnTextOut>},
            {META_EXTTEXTOUT, &Call<&Player::OnExtTextOut>},
            {META_CREATEPENINDIRECT, &Call<&Player::OnCreatePen>},
            {META_CREATEBRUSHINDIRECT, &Call<&Player::OnCreateBrush>},
            {META_CREATEFONTINDIRECT, &Call<&Player::OnCreateFont>},
            {META_CREATEPALETTE, &Call<&Player::OnCreatePalette>},
            {META_DIBCREATEPATTERNBRUSH, &Call<&Player::OnCreateDibPatternBrush>},
            {META_CREATEPATTERNBRUSH, &Call<&Player::OnCreatePatternBrush>},
            {META_CREATEREGION, &Call<&Player::OnCreateRegionObject>},
            {META_SELECTOBJECT, &Call<&Player::OnSelectObject>},
            {META_SELECTPALETTE, &Call<&Player::OnSelectPalette>},
            {META_REALIZEPALETTE, [](Player& p, uint16_t, uint32_t) { return p.dc_.RealizePalette(), true; }},
            {META_SETPALENTRIES, &Call<&Player::OnSetPalEntries>},
            {META_RESIZEPALETTE, &Call<&Player::OnResizePalette>},
            {META_DELETEOBJECT, &Call<&Player::OnDeleteObject>},
            {META_SELECTCLIPREGION, &Call<&Player::OnSelectClipRegion>},
            {META_FILLREGION, &Call<&Player::OnFillFrameRegion>},
            {META_FRAMEREGION, &Call<&Player::OnFillFrameRegion>},
            {META_INVERTREGION, &Call<&Player::OnInvertPaintRegion>},
            {META_PAINTREGION, &Call<&Player::OnInvertPaintRegion>},
            {META_DIBBITBLT, &Call<&Player::OnDibBitBlt>},
            {META_DIBSTRETCHBLT, &Call<&Player::OnDibStretchBlt>},
            {META_STRETCHDIB, &Call<&Player::OnStretchDib>},
            {META_SETDIBTODEV, &Call<&Player::OnSetDibToDev>},
        };
    }

    bool OnSaveDc(uint16_t, uint32_t) {
        dc_.SaveDC();
        ++depth_;
        return true;
    }

    bool OnRestoreDc(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        // Levels count from the player's own saved state, which the
        // metafile can never restore.
        int n = S(0), current = baseLevel_ + depth_;
        int target = n < 0 ? current + n + 1 : baseLevel_ + n;
        if (target > baseLevel_ && target <= current) {
            dc_.RestoreDC(target);
            depth_ = target - 1 - baseLevel_;
        }
        return true;
    }

    bool OnArcPieChord(uint16_t fn, uint32_t) {
        if (!Has(8)) return false;
        int l = S(7), t = S(6), r = S(5), b = S(4), x1 = S(3), y1 = S(2), x2 = S(1), y2 = S(0);
        if (fn == META_ARC)
            dc_.Arc(l, t, r, b, x1, y1, x2, y2);
        else if (fn == META_PIE)
            dc_.Pie(l, t, r, b, x1, y1, x2, y2);
        else
            dc_.Chord(l, t, r, b, x1, y1, x2, y2);
        return true;
    }

    bool OnPoly(uint16_t fn, uint32_t) {
        if (!Has(1)) return false;
        int count = S(0);
        if (count < 0 || !Has(1 + size_t(count) * 2)) return false;
        std::vector<POINT> pts(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            pts[size_t(i)] = {S(1 + 2 * size_t(i)), S(2 + 2 * size_t(i))};
        if (fn == META_POLYGON)
            dc_.Polygon(pts.data(), count);
        else
            dc_.Polyline(pts.data(), count);
        return true;
    }

    bool OnPolyPolygon(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        int polys = S(0);
        if (polys < 0 || !Has(1 + size_t(polys))) return false;
        std::vector<int> counts(static_cast<size_t>(polys));
        size_t total = 0;
        for (int i = 0; i < polys; ++i) {
            counts[size_t(i)] = int(W(1 + size_t(i)));
            total += size_t(counts[size_t(i)]);
        }
        size_t base = 1 + size_t(polys);
        if (!Has(base + total * 2)) return false;
        std::vector<POINT> pts(total);
        for (size_t i = 0; i < total; ++i)
            pts[i] = {S(base + 2 * i), S(base + 2 * i + 1)};
        dc_.PolyPolygon(pts.data(), counts.data(), polys);
        return true;
    }

    bool OnTextOut(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        size_t count = W(0);
        size_t strWords = (count + 1) / 2;
        if (!Has(1 + strWords + 2)) return false;
        std::u16string t = Text(p_ + 2, count, nullptr, nullptr);
        dc_.ExtTextOutW(S(1 + strWords + 1), S(1 + strWords), 0, nullptr, t.data(), UINT(t.size()), nullptr);
        return true;
    }

    bool OnExtTextOut(uint16_t, uint32_t) {
        if (!Has(4)) return false;
        int y = S(0), x = S(1);
        size_t count = W(2);
        UINT options = W(3);
        size_t at = 4;
        CRect rc;
        bool hasRect = (options & (ETO_OPAQUE | ETO_CLIPPED)) != 0;
        if (hasRect) {
            if (!Has(8)) return false;
            rc = CRect(S(4), S(5), S(6), S(7));
            at = 8;
        }
        size_t strWords = (count + 1) / 2;
        if (!Has(at + strWords)) return false;
        std::vector<int> bytesDx, dx;
        if (Has(at + strWords + count))
            for (size_t i = 0; i < count; ++i)
                bytesDx.push_back(S(at + strWords + i));
        std::u16string t = Text(p_ + at * 2, count, bytesDx.empty() ? nullptr : &bytesDx, &dx);
        dc_.ExtTextOutW(x, y, options, hasRect ? &rc : nullptr, t.data(), UINT(t.size()),
                        dx.empty() ? nullptr : dx.data());
        return true;
    }

    bool OnCreatePen(uint16_t, uint32_t) {
        if (!Has(5)) return false;
        LOGPEN lp;
        lp.lopnStyle = W(0), lp.lopnWidth.x = S(1), lp.lopnColor = D(3);
        HGDIOBJ h = CreatePenIndirect(&lp);
        if (!h) {
            lp.lopnStyle = PS_SOLID;
            h = CreatePenIndirect(&lp);
        }
        AddObject(h);
        return true;
    }

    bool OnCreateBrush(uint16_t, uint32_t) {
        if (!Has(4)) return false;
        LOGBRUSH lb;
        lb.lbStyle = W(0), lb.lbColor = D(1), lb.lbHatch = W(3);
        if (lb.lbStyle != BS_SOLID && lb.lbStyle != BS_NULL && lb.lbStyle != BS_HATCHED)
            lb.lbStyle = BS_SOLID;
        AddObject(CreateBrushIndirect(&lb));
        return true;
    }

    bool OnCreateFont(uint16_t, uint32_t) {
        if (!Has(9)) return false;
        LOGFONT lf;
        lf.lfHeight = S(0), lf.lfWidth = S(1), lf.lfEscapement = S(2), lf.lfOrientation = S(3);
        lf.lfWeight = S(4);
        const uint8_t* b = p_ + 10;
        lf.lfItalic = b[0], lf.lfUnderline = b[1], lf.lfStrikeOut = b[2], lf.lfCharSet = b[3];
        lf.lfOutPrecision = b[4], lf.lfClipPrecision = b[5], lf.lfQuality = b[6];
        lf.lfPitchAndFamily = b[7];
        size_t faceBytes = std::min<size_t>(n_ - 18, LF_FACESIZE - 1);
        for (size_t i = 0; i < faceBytes && b[8 + i]; ++i)
            lf.lfFaceName[i] = char(b[8 + i]);
        AddObject(CreateFontIndirect(&lf));
        return true;
    }

    bool OnCreatePalette(uint16_t, uint32_t) {
        if (!Has(2)) return false;
        size_t count = W(1);
        if (count == 0 || !Has(2 + count * 2)) return false;
        auto pal = std::make_shared<PaletteData>();
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = p_ + 4 + 4 * i;
            pal->entries.push_back({e[0], e[1], e[2], e[3]});
        }
        AddObject(GdiHandles::Add(pal));
        return true;
    }

    bool OnCreateDibPatternBrush(uint16_t, uint32_t) {
        if (!Has(2)) return false;
        UINT usage = W(1);
        CBrush brush;
        if (usage <= DIB_PAL_COLORS && n_ > 4 && brush.CreateDIBPatternBrush(p_ + 4, usage, n_ - 4))
            AddObject(brush.Detach());
        else
            AddObject(CreateSolidBrush(0)); // keeps the object indexes in step
        return true;
    }

    bool OnCreatePatternBrush(uint16_t, uint32_t) {
        // A device-dependent bitmap header, 18 reserved bytes, the bits.
        if (!Has(7)) return false;
        int w = S(1), h = S(2), widthBytes = S(3);
        int planes = p_[8], bpp = p_[9];
        size_t bitsAt = 14 + 18;
        HGDIOBJ brush = nullptr;
        if (w > 0 && h > 0 && widthBytes > 0 && planes == 1 && n_ >= bitsAt &&
            size_t(widthBytes) * size_t(h) <= n_ - bitsAt && widthBytes >= (w * bpp + 15) / 16 * 2) {
            CBitmap bm;
            if (bm.CreateBitmap(w, h, 1, UINT(bpp), p_ + bitsAt)) brush = CreatePatternBrush(bm.m_hObject);
        }
        AddObject(brush ? brush : CreateSolidBrush(0));
        return true;
    }

    bool OnCreateRegionObject(uint16_t, uint32_t) {
        AddObject(CreateRegion());
        return true;
    }

    bool OnSelectObject(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        HGDIOBJ h = Object(W(0));
        if (!h) return true;
        if (GetObjectType(h) == OBJ_FONT) {
            LOGFONT lf;
            if (::GetObject(h, sizeof lf, &lf)) fontCharset_ = lf.lfCharSet;
        }
        if (GetObjectType(h) == OBJ_REGION)
            dc_.SelectClipRgn(CRgn::FromHandle(h));
        else
            dc_.SelectObject(h);
        return true;
    }

    bool OnSelectPalette(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        if (HGDIOBJ h = Object(W(0)); h && GetObjectType(h) == OBJ_PAL) dc_.SelectPalette(h, FALSE);
        return true;
    }

    bool OnSetPalEntries(uint16_t, uint32_t) {
        if (!Has(2)) return false;
        size_t start = W(0), count = W(1);
        if (!Has(2 + count * 2)) return false;
        CPalette* pal = dc_.GetCurrentPalette();
        if (pal && !GdiHandles::Get(pal->m_hObject)->stock) {
            std::vector<PALETTEENTRY> e;
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* q = p_ + 4 + 4 * i;
                e.push_back({q[0], q[1], q[2], q[3]});
            }
            pal->SetPaletteEntries(UINT(start), UINT(count), e.data());
        }
        return true;
    }

    bool OnResizePalette(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        CPalette* pal = dc_.GetCurrentPalette();
        if (pal && !GdiHandles::Get(pal->m_hObject)->stock) pal->ResizePalette(W(0));
        return true;
    }

    bool OnDeleteObject(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        size_t i = W(0);
        if (i < objects_.size() && objects_[i]) {
            GdiHandles::Remove(objects_[i]);
            objects_[i] = nullptr;
        }
        return true;
    }

    bool OnSelectClipRegion(uint16_t, uint32_t) {
        if (!Has(1)) return false;
        HGDIOBJ h = Object(W(0));
        dc_.SelectClipRgn(h && GetObjectType(h) == OBJ_REGION ? CRgn::FromHandle(h) : nullptr);
        return true;
    }

    bool OnFillFrameRegion(uint16_t fn, uint32_t) {
        if (!Has(fn == META_FILLREGION ? 2 : 4)) return false;
        HGDIOBJ rgn = Object(W(0)), brush = Object(W(1));
        if (!rgn || !brush || GetObjectType(rgn) != OBJ_REGION || GetObjectType(brush) != OBJ_BRUSH)
            return true;
        if (fn == META_FILLREGION)
            dc_.FillRgn(CRgn::FromHandle(rgn), CBrush::FromHandle(brush));
        else
            dc_.FrameRgn(CRgn::FromHandle(rgn), CBrush::FromHandle(brush), S(3), S(2));
        return true;
    }

    bool OnInvertPaintRegion(uint16_t fn, uint32_t) {
        if (!Has(1)) return false;
        HGDIOBJ rgn = Object(W(0));
        if (!rgn || GetObjectType(rgn) != OBJ_REGION) return true;
        if (fn == META_INVERTREGION)
            dc_.InvertRgn(CRgn::FromHandle(rgn));
        else
            dc_.PaintRgn(CRgn::FromHandle(rgn));
        return true;
    }

    bool OnDibBitBlt(uint16_t, uint32_t words) {
        if (words == 12) { // no source: a pattern blit
            if (!Has(8)) return false;
            dc_.PatBlt(S(7), S(6), S(5), S(4), D(0));
            return true;
        }
        if (!Has(8)) return false;
        const uint8_t *info, *bits;
        size_t infoSize, bitsSize;
        if (!Dib(8, info, infoSize, bits, bitsSize, DIB_RGB_COLORS)) return true;
        int ySrc = S(2), xSrc = S(3), h = S(4), w = S(5), y = S(6), x = S(7);
        DibView v;
        if (!v.Parse(info, infoSize, bits, bitsSize)) return true;
        dc_.StretchDIBits(x, y, w, h, xSrc, v.Height() - ySrc - h, w, h, bits, bitsSize, info, infoSize,
                          DIB_RGB_COLORS, D(0));
        return true;
    }

    bool OnDibStretchBlt(uint16_t, uint32_t words) {
        if (words == 14) {
            if (!Has(10)) return false;
            dc_.PatBlt(S(9), S(8), S(7), S(6), D(0));
            return true;
        }
        if (!Has(10)) return false;
        const uint8_t *info, *bits;
        size_t infoSize, bitsSize;
        if (!Dib(10, info, infoSize, bits, bitsSize, DIB_RGB_COLORS)) return true;
        int hs = S(2), ws = S(3), ys = S(4), xs = S(5), h = S(6), w = S(7), y = S(8), x = S(9);
        DibView v;
        if (!v.Parse(info, infoSize, bits, bitsSize)) return true;
        dc_.StretchDIBits(x, y, w, h, xs, v.Height() - ys - hs, ws, hs, bits, bitsSize, info, infoSize,
                          DIB_RGB_COLORS, D(0));
        return true;
    }

    bool OnStretchDib(uint16_t, uint32_t) {
        if (!Has(11)) return false;
        UINT usage = W(2);
        const uint8_t *info, *bits;
        size_t infoSize, bitsSize;
        if (usage > DIB_PAL_COLORS || !Dib(11, info, infoSize, bits, bitsSize, usage)) return true;
        dc_.StretchDIBits(S(10), S(9), S(8), S(7), S(6), S(5), S(4), S(3), bits, bitsSize, info, infoSize,
                          usage, D(0));
        return true;
    }

    bool OnSetDibToDev(uint16_t, uint32_t) {
        if (!Has(9)) return false;
        UINT usage = W(0);
        const uint8_t *info, *bits;
        size_t infoSize, bitsSize;
        if (usage > DIB_PAL_COLORS || !Dib(9, info, infoSize, bits, bitsSize, usage)) return true;
        int scans = S(1), start = S(2), yDib = S(3), xDib = S(4), h = S(5), w = S(6), y = S(7), x = S(8);
        if (scans <= 0 || start < 0 || w < 0 || h < 0) return true;
        dc_.SetDIBitsToDevice(x, y, DWORD(w), DWORD(h), xDib, yDib, UINT(start), UINT(scans), bits, bitsSize,
                              info, infoSize, usage);
        return true;
    }

    // A region record: a header, the bounds, then scans of (left, right) pairs.
    HGDIOBJ CreateRegion() {
        if (!Has(11)) return nullptr;
        size_t scans = W(5);
        size_t at = 11;
        Region::Builder b;
        for (size_t i = 0; i < scans; ++i) {
            if (!Has(at + 3)) return nullptr;
            size_t count = W(at);
            int top = S(at + 1), bottom = S(at + 2);
            if (count % 2 || !Has(at + 3 + count + 1) || bottom - top > 0x8000) return nullptr;
            for (int y = top; y < bottom; ++y)
                for (size_t k = 0; k < count; k += 2) b.AddSpan(y, S(at + 3 + k), S(at + 4 + k));
            at += 3 + count + 1;
        }
        auto r = std::make_shared<RegionData>();
        r->region = b.Finish();
        return GdiHandles::Add(r);
    }
};
}  // namespace

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
    if (!data || size < 18) return nullptr;
    uint16_t type = Rd16(data), headerWords = Rd16(data + 2);
    if ((type != 1 && type != 2) || headerWords != 9) return nullptr;
    auto* mf = new MetaFileData;
    mf->bytes.assign(data, data + size);
    return mf;
}

BOOL DeleteMetaFile(HMETAFILE mf) {
    delete mf;
    return mf ? TRUE : FALSE;
}

UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, void* buf) {
    if (!mf) return 0;
    if (buf) {
        if (size < mf->bytes.size()) return 0;
        std::memcpy(buf, mf->bytes.data(), mf->bytes.size());
    }
    return UINT(mf->bytes.size());
}

BOOL CDC::PlayMetaFile(HMETAFILE mf) {
    { auto g = Log("PlayMetaFile"); }  // the records' calls are logged too
    if (!mf) return FALSE;
    Player player(*this, mf->bytes);
    return player.Play() ? TRUE : FALSE;
}

BOOL PlayMetaFile(HDC dc, HMETAFILE mf) { return dc ? dc->PlayMetaFile(mf) : FALSE; }
