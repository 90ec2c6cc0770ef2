#include "dvilib/GdiCommandPlayer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <unordered_map>

#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/Dib.h"
#include "platform/pictures/PictureDib.h"

namespace {

uint16_t Be16(const unsigned char* p) { return uint16_t(p[0] << 8 | p[1]); }
int16_t Be16s(const unsigned char* p) { return int16_t(Be16(p)); }
uint32_t Be32(const unsigned char* p) { return uint32_t(Be16(p)) << 16 | Be16(p + 2); }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
int16_t Le16s(const unsigned char* p) { return int16_t(Le16(p)); }
uint32_t Le32(const unsigned char* p) { return uint32_t(Le16(p)) | uint32_t(Le16(p + 2)) << 16; }

COLORREF Rgb3(const unsigned char* p) { return RGB(p[0], p[1], p[2]); }

// Bytes of a bitmap of word-aligned rows.
uint64_t BitmapBytes(int width, int height, int planes, int bpp) {
    if (width <= 0 || height <= 0 || planes <= 0 || bpp <= 0) return UINT64_MAX;
    const uint64_t row = (uint64_t(width) * uint64_t(bpp) + 15) / 16 * 2;
    return row * uint64_t(height) * uint64_t(planes);
}

int ClampInt(long long v) { return int(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

} // namespace

GdiSpecialPlayer::GdiSpecialPlayer(VrDviDrawer* drawer) : drawer(drawer) {}

GdiSpecialPlayer::~GdiSpecialPlayer() { Release(); }

void GdiSpecialPlayer::Reset() {
    dc = drawer ? drawer->GetpDC() : nullptr;
    pen.reset();
    brush.reset();
    clipRegion.reset();
    clipSet = 0;
    clipLeft = clipTop = clipRight = clipBottom = 0;
    attributesSet = 0;
    std::memset(attributes, 0, sizeof attributes);
    pathLineStyle = 0;
    pathLineWidth = 1;
    pathRop = R2_COPYPEN;
}

void GdiSpecialPlayer::Release() {
    pen.reset();
    brush.reset();
    clipRegion.reset();
    clipSet = 0;
    monoBitmap.reset();
    dib.clear();
    dib.shrink_to_fit();
    attributesSet = 0;
    pathLineStyle = 0;
    pathLineWidth = 1;
}

int GdiSpecialPlayer::Process(const unsigned char* text, unsigned int length) {
    return ProcessAt(text, length, 0);
}

int GdiSpecialPlayer::ProcessAt(const unsigned char* text, unsigned int length, int depth) {
    if (!text) return 0;
    if (length >= 3 && std::memcmp(text, "GDI", 3) == 0) {
        // Shorter than an opcode: taken, nothing to do.
        if (length >= 5 && dc) ProcessGdi(Be16(text + 3), text + 5, length - 5, depth);
        return 1;
    }
    if (length >= 3 && text[0] == '#') {
        if (!dc) return 0;
        return ProcessPath(Be16(text + 1), text + 3, length - 3);
    }
    return 0;
}

// "GDI" family

int GdiSpecialPlayer::ToDviX(int v) const {
    const long long r = resolutionX;
    return ClampInt((v * 86LL) / r + ((v * 47362LL) / r) * 100 - 4736287);
}

int GdiSpecialPlayer::ToDviY(int v) const {
    const long long r = resolutionY;
    return ClampInt((v * 86LL) / r + ((v * 47362LL) / r) * 100 - 4736287);
}

int GdiSpecialPlayer::PointX(int v) const { return drawer->hDot(ToDviX(v)); }
int GdiSpecialPlayer::PointY(int v) const { return drawer->vDot(ToDviY(v)); }

int GdiSpecialPlayer::LengthX(int v) const {
    const long long r = resolutionX;
    return drawer->dhDot(ClampInt((v * 86LL) / r + ((v * 47362LL) / r) * 100));
}

int GdiSpecialPlayer::LengthY(int v) const {
    const long long r = resolutionY;
    return drawer->dvDot(ClampInt((v * 86LL) / r + ((v * 47362LL) / r) * 100));
}

bool GdiSpecialPlayer::ReadPoints(const unsigned char* p, unsigned int avail, unsigned count,
                                  std::vector<POINT>& pts) const {
    if (uint64_t(count) * 4 > avail) return false;
    pts.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        pts[i].x = PointX(Le16s(p + 4 * i));
        pts[i].y = PointY(Le16s(p + 4 * i + 2));
    }
    return true;
}

void GdiSpecialPlayer::ApplyAttributes() {
    dc->SetBkMode(Le16(attributes + 2));
    dc->SetROP2(Le16(attributes));
    dc->SetBkColor(Le32(attributes + 24));
    dc->SetTextColor(Le32(attributes + 28));
    dc->SetStretchBltMode(Le16(attributes + 36));
}

template <class F> void GdiSpecialPlayer::Draw(F&& f) {
    dc->SaveDC();
    if (pen) dc->SelectObject(pen.get());
    if (brush)
        dc->SelectObject(brush.get());
    else
        dc->SelectStockObject(NULL_BRUSH);
    if (attributesSet) ApplyAttributes();
    f(*dc);
    dc->RestoreDC(-1);
}

void GdiSpecialPlayer::ProcessGdi(unsigned opcode, const unsigned char* op, unsigned int n, int depth) {
    using Handler =
        void (GdiSpecialPlayer::*)(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    static const std::unordered_map<unsigned, Handler> kHandlers = {
        {0x0001, &GdiSpecialPlayer::GdiPolyBezier},  {0x0004, &GdiSpecialPlayer::GdiRuns},
        {0x0006, &GdiSpecialPlayer::GdiRectangle},   {0x0007, &GdiSpecialPlayer::GdiEllipse},
        {0x0012, &GdiSpecialPlayer::GdiPolyline},    {0x0014, &GdiSpecialPlayer::GdiPolygon},
        {0x0016, &GdiSpecialPlayer::GdiPolygon},     {0x0017, &GdiSpecialPlayer::GdiPieChord},
        {0x0020, &GdiSpecialPlayer::GdiPieChord},    {0x4014, &GdiSpecialPlayer::GdiPolyPolygon},
        {0x4016, &GdiSpecialPlayer::GdiPolyPolygon}, {0x8001, &GdiSpecialPlayer::GdiPen},
        {0x8002, &GdiSpecialPlayer::GdiBrush},       {0x8003, &GdiSpecialPlayer::GdiClipRect},
        {0x8004, &GdiSpecialPlayer::GdiMonoBitmap},  {0x8005, &GdiSpecialPlayer::GdiBlit},
        {0x8007, &GdiSpecialPlayer::GdiPixel},       {0x8008, &GdiSpecialPlayer::GdiStoreDib},
        {0x8009, &GdiSpecialPlayer::GdiDrawDib},     {0x800E, &GdiSpecialPlayer::GdiDrawDib},
        {0x800A, &GdiSpecialPlayer::GdiAttributes},  {0x800B, &GdiSpecialPlayer::GdiResolution},
        {0x800C, &GdiSpecialPlayer::GdiPicture},     {0x800D, &GdiSpecialPlayer::GdiPicture},
        {0x80FF, &GdiSpecialPlayer::GdiGroup},
    };
    // Unknown opcodes are taken and ignored.
    if (const auto h = kHandlers.find(opcode); h != kHandlers.end()) (this->*h->second)(opcode, op, n, depth);
}

bool GdiSpecialPlayer::CountedPoints(const unsigned char* op, unsigned n, unsigned minimum,
                                     std::vector<POINT>& pts) const {
    if (n < 2) return false;
    const unsigned count = Be16(op);
    return count >= minimum && ReadPoints(op + 2, n - 2, count, pts);
}

void GdiSpecialPlayer::GdiPolyBezier(unsigned, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (CountedPoints(op, n, 1, pts)) Draw([&](CDC& d) { d.PolyBezier(pts.data(), int(pts.size())); });
}

void GdiSpecialPlayer::GdiRuns(unsigned, const unsigned char* op, unsigned n, int) {
    if (n < 6) return;
    const unsigned count = Be16(op);
    if (count < 1 || uint64_t(count - 1) * 4 > n - 6) return;
    const unsigned mode = Le16(op + 2);
    const int y = PointY(Le16s(op + 4));
    Draw([&](CDC& d) {
        CPen runPen;
        if (mode != 0) {
            // A pen of the brush's colour, one device pixel wide; without
            // a brush, of the text colour.
            LOGBRUSH lb{};
            COLORREF c = d.GetTextColor();
            if (brush && brush->GetLogBrush(&lb)) c = lb.lbColor;
            POINT one{1, 1};
            d.DPtoLP(&one);
            runPen.CreatePen(PS_SOLID, std::max<int>(1, one.x), c);
            d.SelectObject(&runPen);
        }
        for (unsigned i = 0; i + 1 < count; ++i) {
            const unsigned char* q = op + 6 + 4 * i;
            d.MoveTo(PointX(Le16s(q)), y);
            d.LineTo(PointX(Le16s(q + 2)), y);
        }
        if (mode != 0) d.SelectStockObject(BLACK_PEN);
    });
}

void GdiSpecialPlayer::GdiRectangle(unsigned, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (CountedPoints(op, n, 2, pts))
        Draw([&](CDC& d) { d.Rectangle(pts[0].x, pts[0].y, pts[1].x, pts[1].y); });
}

void GdiSpecialPlayer::GdiEllipse(unsigned, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (CountedPoints(op, n, 2, pts))
        Draw([&](CDC& d) { d.Ellipse(pts[0].x, pts[0].y, pts[1].x, pts[1].y); });
}

void GdiSpecialPlayer::GdiPolyline(unsigned, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (CountedPoints(op, n, 1, pts)) Draw([&](CDC& d) { d.Polyline(pts.data(), int(pts.size())); });
}

void GdiSpecialPlayer::GdiPolygon(unsigned opcode, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (CountedPoints(op, n, 1, pts))
        Draw([&](CDC& d) {
            const int old = d.SetPolyFillMode(opcode == 0x0014 ? WINDING : ALTERNATE);
            d.Polygon(pts.data(), int(pts.size()));
            d.SetPolyFillMode(old);
        });
}

void GdiSpecialPlayer::GdiPieChord(unsigned opcode, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (CountedPoints(op, n, 4, pts))
        Draw([&](CDC& d) {
            if (opcode == 0x0017)
                d.Pie(pts[0].x, pts[0].y, pts[1].x, pts[1].y, pts[2].x, pts[2].y, pts[3].x, pts[3].y);
            else
                d.Chord(pts[0].x, pts[0].y, pts[1].x, pts[1].y, pts[2].x, pts[2].y, pts[3].x, pts[3].y);
        });
}

void GdiSpecialPlayer::GdiPolyPolygon(unsigned opcode, const unsigned char* op, unsigned n, int) {
    std::vector<POINT> pts;
    if (n < 2) return;
    const unsigned polys = Be16(op);
    if (polys == 0 || uint64_t(polys) * 2 > n - 2) return;
    std::vector<int> counts(polys);
    uint64_t total = 0;
    for (unsigned i = 0; i < polys; ++i)
        total += counts[i] = Be16(op + 2 + 2 * i);
    const unsigned offset = 2 + 2 * polys;
    if (total > UINT32_MAX || !ReadPoints(op + offset, n - offset, unsigned(total), pts)) return;
    Draw([&](CDC& d) {
        const int old = d.SetPolyFillMode(opcode == 0x4014 ? WINDING : ALTERNATE);
        d.PolyPolygon(pts.data(), counts.data(), int(polys));
        d.SetPolyFillMode(old);
    });
}

// Pen.
void GdiSpecialPlayer::GdiPen(unsigned, const unsigned char* op, unsigned n, int) {
    if (n == 0) {
        pen.reset();
        return;
    }
    if (n < 10) return;
    LOGPEN lp{};
    lp.lopnStyle = Le16(op);
    lp.lopnWidth.x = LengthX(Le16s(op + 2));
    lp.lopnWidth.y = 0;
    lp.lopnColor = Le32(op + 6);
    auto p = std::make_unique<CPen>();
    if (p->CreatePenIndirect(&lp)) pen = std::move(p);
}

// Brush.
void GdiSpecialPlayer::GdiBrush(unsigned, const unsigned char* op, unsigned n, int) {
    if (n == 0) {
        brush.reset();
        return;
    }
    if (n < 8) return;
    const unsigned style = Le16(op);
    const COLORREF colour = Le32(op + 2);
    const unsigned hatch = Le16(op + 6);
    auto b = std::make_unique<CBrush>();
    BOOL ok = FALSE;
    switch (style) {
    case 0:
        ok = b->CreateSolidBrush(dc->GetNearestColor(colour));
        break;
    case 1:
        ok = b->CreateStockObject(NULL_BRUSH);
        break;
    case 2:
        ok = b->CreateHatchBrush(int(hatch), dc->GetNearestColor(colour));
        break;
    case 3: {
        CBitmap bitmap;
        if (colour == 0) {
            // A BITMAP header at operand 16, its bits at 26; hatch holds
            // the size of both less 10.
            if (n < 26 || hatch < 10 || hatch - 10u > n - 26) return;
            const int w = Le16s(op + 18), h = Le16s(op + 20), planes = op[24], bpp = op[25];
            if (BitmapBytes(w, h, planes, bpp) > hatch - 10u) return;
            if (!bitmap.CreateBitmap(w, h, UINT(planes), UINT(bpp), op + 26)) return;
        } else {
            if (n < 16 + 16) return;
            if (!bitmap.CreateBitmap(8, 8, 1, 1, op + 16)) return;
        }
        ok = b->CreatePatternBrush(&bitmap);
        break;
    }
    default:
        ok = b->CreateStockObject(NULL_BRUSH);
        break;
    }
    if (ok) brush = std::move(b);
}

// Clip rectangle.
void GdiSpecialPlayer::GdiClipRect(unsigned, const unsigned char* op, unsigned n, int) {
    dc->SelectClipRgn(nullptr);
    clipRegion.reset();
    clipSet = 0;
    if (n == 0 || n < 8) return;
    clipLeft = PointX(Le16s(op));
    clipTop = PointY(Le16s(op + 2));
    clipRight = PointX(Le16s(op + 4));
    clipBottom = PointY(Le16s(op + 6));
    auto rgn = std::make_unique<CRgn>();
    if (!rgn->CreateRectRgn(clipLeft, clipTop, clipRight, clipBottom)) return;
    dc->SelectClipRgn(rgn.get());
    clipRegion = std::move(rgn);
    clipSet = 1;
}

// Monochrome bitmap for the next blit.
void GdiSpecialPlayer::GdiMonoBitmap(unsigned, const unsigned char* op, unsigned n, int) {
    monoBitmap.reset();
    if (n < 14) return;
    const int w = Le16s(op + 2), h = Le16s(op + 4), planes = op[8], bpp = op[9];
    const uint64_t need = BitmapBytes(w, h, planes, bpp);
    if (need > n - 14 || uint64_t(Le16(op + 6)) * uint64_t(h) * uint64_t(planes) > n - 14) return;
    auto bm = std::make_unique<CBitmap>();
    if (bm->CreateBitmap(w, h, UINT(planes), UINT(bpp), op + 14)) monoBitmap = std::move(bm);
}

// Blit.
void GdiSpecialPlayer::GdiBlit(unsigned, const unsigned char* op, unsigned n, int) {
    if (n < 16) return;
    const int x = PointX(Be16s(op)), y = PointY(Be16s(op + 2));
    const int w = LengthX(Be16s(op + 4)), h = LengthY(Be16s(op + 6));
    const int sw = Be16s(op + 8), sh = Be16s(op + 10);
    const DWORD rop = Be32(op + 12);
    Draw([&](CDC& d) {
        if (monoBitmap) {
            CDC memory;
            if (memory.CreateCompatibleDC(&d)) {
                CBitmap* old = memory.SelectObject(monoBitmap.get());
                int mode = WHITEONBLACK;
                if (attributesSet && d.IsPrinting() && Le16(attributes + 36)) mode = Le16(attributes + 36);
                d.SetStretchBltMode(mode);
                d.StretchBlt(x, y, w, h, &memory, 0, 0, sw, sh, rop);
                memory.SelectObject(old);
            }
        } else {
            d.PatBlt(x, y, w, h, rop);
        }
    });
    monoBitmap.reset();
}

void GdiSpecialPlayer::GdiPixel(unsigned, const unsigned char* op, unsigned n, int) {
    if (n < 8) return;
    Draw([&](CDC& d) { d.SetPixel(PointX(Be16s(op)), PointY(Be16s(op + 2)), Be32(op + 4)); });
}

// Stored bitmap.
void GdiSpecialPlayer::GdiStoreDib(unsigned, const unsigned char* op, unsigned n, int) {
    DibView view;
    dib.clear();
    if (n > 0 && view.ParsePacked(op, n)) dib.assign(op, op + n);
}

void GdiSpecialPlayer::GdiDrawDib(unsigned, const unsigned char* op, unsigned n, int) {
    if (n < 20 || dib.empty()) {
        dib.clear();
        return;
    }
    DibView view;
    if (view.ParsePacked(dib.data(), dib.size())) {
        const int x = PointX(Be16s(op)), y = PointY(Be16s(op + 2));
        const int w = LengthX(Be16s(op + 4)), h = LengthY(Be16s(op + 6));
        const int sx = Be16s(op + 8), sy = Be16s(op + 10), sw = Be16s(op + 12), sh = Be16s(op + 14);
        const DWORD rop = Be32(op + 16);
        const size_t head = view.HeaderBytes();
        Draw([&](CDC& d) {
            d.StretchDIBits(x, y, w, h, sx, sy, sw, sh, dib.data() + head, dib.size() - head, dib.data(),
                            head, DIB_RGB_COLORS, rop);
        });
    }
    dib.clear();
}

void GdiSpecialPlayer::GdiAttributes(unsigned, const unsigned char* op, unsigned n, int) {
    if (n == 0) {
        std::memset(attributes, 0, sizeof attributes);
        attributesSet = 0;
        return;
    }
    if (n < kAttributeBlockSize) return;
    std::memcpy(attributes, op, kAttributeBlockSize);
    attributesSet = 1;
    ApplyAttributes();
}

void GdiSpecialPlayer::GdiResolution(unsigned, const unsigned char* op, unsigned n, int) {
    if (n == 0) {
        resolutionX = resolutionY = 300;
        return;
    }
    if (n < 4 || Be16(op) == 0 || Be16(op + 2) == 0) return;
    resolutionX = Be16(op);
    resolutionY = Be16(op + 2);
}

void GdiSpecialPlayer::GdiPicture(unsigned opcode, const unsigned char* op, unsigned n, int) {
    dib.clear();
    if (n == 0 || n > INT_MAX) return;
    const int size = opcode == 0x800C ? check_dib_size(op, int(n)) : check_gif_size(op, int(n));
    if (size < 1) return;
    std::vector<unsigned char> out(size_t(size) + 100);
    const int got =
        opcode == 0x800C ? Jpg2Dib(op, int(n), out.data(), size) : Gif2Dib(op, int(n), out.data(), size);
    if (got < 1) return;
    out.resize(size_t(std::min(got, size)));
    dib = std::move(out);
}

void GdiSpecialPlayer::GdiGroup(unsigned, const unsigned char* op, unsigned n, int depth) {
    if (depth + 1 >= kMaxNesting) return;
    // The parts are checked whole before any is played.
    std::vector<std::pair<const unsigned char*, unsigned>> parts;
    for (unsigned pos = 0; pos < n;) {
        const unsigned code = op[pos];
        if (code < 239 || code > 242) return;
        const unsigned k = code - 238;
        if (n - pos - 1 < k) return;
        uint64_t len = 0;
        for (unsigned i = 0; i < k; ++i)
            len = len << 8 | op[pos + 1 + i];
        if (len > n - pos - 1 - k) return;
        parts.emplace_back(op + pos + 1 + k, unsigned(len));
        pos += 1 + k + unsigned(len);
    }
    for (const auto& part : parts)
        ProcessAt(part.first, part.second, depth + 1);
}

// "#" family

int GdiSpecialPlayer::PathLength(int v) const {
    return drawer->grw(v);
}

void GdiSpecialPlayer::SetLineWidth(int raw) {
    const int w = PathLength(raw);
    pathLineWidth = w <= 0 ? 1 : w;
}

CBrush* GdiSpecialPlayer::MakeFillBrush(std::unique_ptr<CBrush>& out) const {
    out = std::make_unique<CBrush>();
    BOOL ok = FALSE;
    if (fillSelector == -2 && fillPattern)
        ok = out->CreatePatternBrush(fillPattern.get());
    else if (fillSelector >= 0)
        ok = out->CreateHatchBrush(fillSelector, fillColour);
    else
        ok = out->CreateSolidBrush(fillColour);
    if (!ok) out.reset();
    return out.get();
}

void GdiSpecialPlayer::DrawFigure(const std::vector<POINT>& pts, const std::vector<BYTE>& types) {
    dc->PolyDraw(pts.data(), types.data(), int(pts.size()));
}

void GdiSpecialPlayer::PaintFigure(std::vector<POINT>& pts, std::vector<BYTE>& types, unsigned flags,
                                   bool strokeInFill) {
    if (pts.empty() || flags == 0) return;
    const bool clip = flags & 1, stroke = flags & 2, fill = flags & 12;
    auto newPen = std::make_unique<CPen>();
    if (!clip && !stroke)
        newPen->CreatePen(PS_SOLID, 2, fillColour);
    else
        newPen->CreatePen(int(pathLineStyle), pathLineWidth, strokeInFill ? fillColour : strokeColour);
    std::unique_ptr<CBrush> newBrush;
    MakeFillBrush(newBrush);
    if (newPen->GetSafeHandle()) pen = std::move(newPen);
    if (newBrush) brush = std::move(newBrush);

    CPen* oldPen = pen ? dc->SelectObject(pen.get()) : nullptr;
    CBrush* oldBrush = brush ? dc->SelectObject(brush.get()) : nullptr;
    const int oldRop = dc->GetROP2();
    const COLORREF oldBk = dc->GetBkColor(), oldText = dc->GetTextColor();
    if (fillSelector == -2) {
        dc->SetROP2(R2_COPYPEN);
        dc->SetBkColor(RGB(255, 255, 255));
        dc->SetTextColor(fillColour);
    } else {
        dc->SetROP2(pathRop);
    }
    dc->BeginPath();
    DrawFigure(pts, types);
    dc->EndPath();
    if (flags == 1) {
        dc->SelectClipPath(RGN_COPY);
    } else {
        if (clip) dc->SelectClipRgn(nullptr);
        if (flags & 4)
            dc->SetPolyFillMode(ALTERNATE);
        else if (flags & 8)
            dc->SetPolyFillMode(WINDING);
        if (stroke && fill)
            dc->StrokeAndFillPath();
        else if (stroke)
            dc->StrokePath();
        else if (fill) {
            // A fill alone is also outlined in the fill colour, so that
            // adjoining fills leave no gaps.
            if (!clip)
                dc->StrokeAndFillPath();
            else
                dc->FillPath();
        } else {
            dc->AbortPath();
        }
    }
    dc->SetROP2(oldRop);
    dc->SetBkColor(oldBk);
    dc->SetTextColor(oldText);
    if (oldPen) dc->SelectObject(oldPen);
    if (oldBrush) dc->SelectObject(oldBrush);
}

int GdiSpecialPlayer::ProcessPath(unsigned opcode, const unsigned char* op, unsigned int n) {
    using Handler = void (GdiSpecialPlayer::*)(unsigned opcode, const unsigned char* op, unsigned n);
    static const std::unordered_map<unsigned, Handler> kHandlers = [] {
        std::unordered_map<unsigned, Handler> m;
        auto add = [&m](std::initializer_list<unsigned> codes, Handler h) {
            for (unsigned c : codes)
                m[c] = h;
        };
        // Taken without effect.
        add({0, 2, 0x14, 0x18, 0x41, 0x130}, &GdiSpecialPlayer::PathNothing);
        add({1}, &GdiSpecialPlayer::PathTextColour);
        add({3, 4, 5, 6, 7, 8, 9, 10, 11}, &GdiSpecialPlayer::PathFont);
        add({0x20, 0x21, 0x420}, &GdiSpecialPlayer::PathLineStyle);
        add({0x22, 0x23, 0x24, 0x2A, 0x2B, 0x2D, 0x2E, 0x30, 0x31}, &GdiSpecialPlayer::PathColour);
        add({0x26, 0x27, 0x28}, &GdiSpecialPlayer::PathDefineSlot);
        add({0x29, 0x2C, 0x2F}, &GdiSpecialPlayer::PathUseSlot);
        add({0x40}, &GdiSpecialPlayer::PathRop);
        add({0x100, 0x110, 0x111, 0x120, 0x121}, &GdiSpecialPlayer::PathLineExtension);
        add({0x101, 0x112, 0x113, 0x122, 0x123, 0x102, 0x114, 0x115, 0x124, 0x125, 0x103, 0x116, 0x117, 0x126,
             0x127},
            &GdiSpecialPlayer::PathLine);
        add({0x104, 0x128, 0x129}, &GdiSpecialPlayer::PathRect);
        add({0x105, 0x12B, 0x12A, 0x106, 0x12D, 0x12C, 0x107, 0x12E}, &GdiSpecialPlayer::PathPoly);
        return m;
    }();
    const auto h = kHandlers.find(opcode);
    if (h == kHandlers.end()) return 0;
    (this->*h->second)(opcode, op, n);
    return 1;
}

POINT GdiSpecialPlayer::PathPoint(const unsigned char* p) const {
    return POINT{PathLength(Be16s(p)), PathLength(Be16s(p + 2))};
}

void GdiSpecialPlayer::PathNothing(unsigned, const unsigned char*, unsigned) {}

void GdiSpecialPlayer::PathTextColour(unsigned, const unsigned char* op, unsigned n) {
    if (n >= 3) dc->SetTextColor(Rgb3(op));
}

void GdiSpecialPlayer::PathFont(unsigned opcode, const unsigned char* op, unsigned n) {
    VrDvi::FontSpecialState& font = drawer->GetFontState();
    switch (opcode) {
    case 3:
        if (n >= 4) font.faceIndex = int(Be32(op));
        return;
    case 4:
    case 5:
        if (n >= 2) {
            const int v = Be16s(op);
            const int len = PathLength(v < 0 ? -v : v);
            (opcode == 4 ? font.width : font.height) = len;
            font.escapement = v < 0 ? (opcode == 4 ? 900 : 2700) : 0;
        }
        return;
    case 6:
        font.bold = 1;
        return;
    case 7:
        font.bold = 0;
        return;
    case 8:
        font.italic = 1;
        return;
    case 9:
        font.italic = 0;
        return;
    case 10:
        if (n >= 1) font.percent = (font.percent & ~0xFF) | op[0];
        return;
    case 11:
        if (n >= 2) font.escapement = Be16s(op);
        return;
    }
}

void GdiSpecialPlayer::PathLineStyle(unsigned opcode, const unsigned char* op, unsigned n) {
    if (opcode == 0x21) {
        pathLineStyle = 0;
        pathLineWidth = 1;
    } else if (opcode == 0x20 && n >= 4) {
        pathLineStyle = Be16s(op);
        SetLineWidth(Be16s(op + 2));
    } else if (opcode == 0x420 && n >= 6) {
        pathLineStyle = int32_t(Be32(op));
        SetLineWidth(Be16s(op + 4));
    }
}

// Stroke and fill colours: 0x22 to 0x24 from three bytes (stroke, fill,
// both), then black or white for stroke, fill or both.
void GdiSpecialPlayer::PathColour(unsigned opcode, const unsigned char* op, unsigned n) {
    const bool given = opcode >= 0x22 && opcode <= 0x24;
    if (given && n < 3) return;
    const COLORREF c = given                                                ? Rgb3(op)
                       : opcode == 0x2A || opcode == 0x2D || opcode == 0x30 ? RGB(0, 0, 0)
                                                                            : RGB(255, 255, 255);
    const bool stroke = opcode == 0x22 || opcode == 0x24 || opcode == 0x2A || opcode == 0x30 ||
                        opcode == 0x2B || opcode == 0x31;
    const bool fill = opcode == 0x23 || opcode == 0x24 || opcode == 0x2D || opcode == 0x30 ||
                      opcode == 0x2E || opcode == 0x2B || opcode == 0x31;
    if (stroke) strokeColour = c, strokeSelector = -1, strokePattern.reset();
    if (fill) fillColour = c, fillSelector = -1, fillPattern.reset();
}

GdiSpecialPlayer::ColourSlot* GdiSpecialPlayer::SlotOf(uint32_t id) {
    auto it = slots.find(id);
    return it == slots.end() ? nullptr : &it->second;
}

void GdiSpecialPlayer::PathDefineSlot(unsigned opcode, const unsigned char* op, unsigned n) {
    auto define = [&](uint32_t id, const ColourSlot& s) {
        if (slots.size() >= kMaxColourSlots && !SlotOf(id)) return;
        slots[id] = s;
    };
    if (opcode == 0x26) {
        if (n >= 7) define(Be32(op), ColourSlot{Rgb3(op + 4), -1, nullptr});
    } else if (opcode == 0x27) {
        if (n >= 8) define(Be32(op), ColourSlot{Rgb3(op + 4), op[7], nullptr});
    } else {
        if (n < 10) return;
        const int w = Be16s(op + 4), h = Be16s(op + 6), planes = op[8], bpp = op[9];
        if (BitmapBytes(w, h, planes, bpp) > n - 10) return;
        auto bm = std::make_shared<CBitmap>();
        if (bm->CreateBitmap(w, h, UINT(planes), UINT(bpp), op + 10)) define(Be32(op), ColourSlot{0, -2, bm});
    }
}

void GdiSpecialPlayer::PathUseSlot(unsigned opcode, const unsigned char* op, unsigned n) {
    if (n < 4) return;
    const ColourSlot* s = SlotOf(Be32(op));
    if (!s) return;
    if (opcode != 0x2C) {
        strokeSelector = s->marker;
        strokePattern = s->pattern;
        if (!s->pattern) strokeColour = s->colour;
    }
    if (opcode != 0x29) {
        fillSelector = s->marker;
        fillPattern = s->pattern;
        if (!s->pattern) fillColour = s->colour;
    }
}

void GdiSpecialPlayer::PathRop(unsigned, const unsigned char* op, unsigned n) {
    if (n >= 1 && op[0] >= 1 && op[0] <= 16) pathRop = op[0];
}

void GdiSpecialPlayer::PathLineExtension(unsigned, const unsigned char*, unsigned) {
    lineExtension = 1;
}

// Straight lines: horizontal, vertical or between two points.
void GdiSpecialPlayer::PathLine(unsigned opcode, const unsigned char* op, unsigned n) {
    const bool hline =
        opcode == 0x101 || opcode == 0x112 || opcode == 0x113 || opcode == 0x122 || opcode == 0x123;
    const bool line =
        opcode == 0x103 || opcode == 0x116 || opcode == 0x117 || opcode == 0x126 || opcode == 0x127;
    if (n < (line ? 8u : 6u)) return;
    POINT a = PathPoint(op), b;
    if (line) {
        b = PathPoint(op + 4);
    } else {
        const int len = PathLength(Be16s(op + 4));
        b = hline ? POINT{ClampInt(1LL * a.x + len), a.y} : POINT{a.x, ClampInt(1LL * a.y + len)};
        if (lineExtension) {
            if (hline)
                a.x -= 1, b.x += 1;
            else
                a.y -= 1, b.y += 1;
        }
    }
    unsigned flags = 0;
    if (opcode >= 0x112 && opcode <= 0x117)
        flags = 3;
    else if (opcode >= 0x122 && opcode <= 0x127)
        flags = 2;
    std::vector<POINT> pts = {a, b};
    std::vector<BYTE> types = {PT_MOVETO, PT_LINETO};
    PaintFigure(pts, types, flags, (opcode & 1) && opcode >= 0x112);
}

// Rectangles: a clip (0x104), or painted with flags, one side left open (0x129).
void GdiSpecialPlayer::PathRect(unsigned opcode, const unsigned char* op, unsigned n) {
    std::vector<POINT> pts;
    std::vector<BYTE> types;
    const unsigned need = opcode == 0x104 ? 8 : opcode == 0x128 ? 12 : 13;
    if (n < need) return;
    POINT p1 = PathPoint(op), p2 = PathPoint(op + 4);
    unsigned flags = 1;
    int side = 0;
    if (opcode == 0x128) flags = Be32(op + 8);
    if (opcode == 0x129) side = op[8], flags = Be32(op + 9);
    if (p1.x == p2.x || p1.y == p2.y) {
        pts = {p1, p2};
        types = {PT_MOVETO, PT_LINETO};
        if (flags & 12) flags = (flags & ~12u) | 2;
    } else {
        const int l = std::min(p1.x, p2.x), r = std::max(p1.x, p2.x);
        const int t = std::min(p1.y, p2.y), b = std::max(p1.y, p2.y);
        const POINT corners[4] = {{l, t}, {r, t}, {r, b}, {l, b}};
        // The open side runs from the last corner back to the first.
        static const int kStart[5] = {0, 1, 2, 3, 0};
        const bool open = side >= 1 && side <= 4;
        const int start = open ? kStart[side] : 0;
        for (int i = 0; i < 4; ++i)
            pts.push_back(corners[(start + i) % 4]);
        types = {PT_MOVETO, PT_LINETO, PT_LINETO, BYTE(open ? PT_LINETO : PT_LINETO | PT_CLOSEFIGURE)};
    }
    PaintFigure(pts, types, flags, false);
}

// Polygons and Bezier figures, with marks that start sub-figures (0x107, 0x12E).
void GdiSpecialPlayer::PathPoly(unsigned opcode, const unsigned char* op, unsigned n) {
    std::vector<POINT> pts;
    std::vector<BYTE> types;
    if (n < 4) return;
    const uint32_t count = Be32(op);
    if (count == 0 || uint64_t(count) * 4 > n - 4) return;
    unsigned pos = 4 + count * 4;
    for (uint32_t i = 0; i < count; ++i)
        pts.push_back(PathPoint(op + 4 + 4 * i));
    const bool bezier = opcode == 0x106 || opcode == 0x12D || opcode == 0x12C;
    const bool closed = opcode == 0x105 || opcode == 0x12B || opcode == 0x106 || opcode == 0x12D;
    unsigned flags = 1;
    if (opcode == 0x107 || opcode == 0x12E) {
        if (n < pos + 5) return;
        BYTE kind = (op[pos] & 4) ? PT_BEZIERTO : PT_LINETO;
        const uint32_t marks = Be32(op + pos + 1);
        pos += 5;
        if (uint64_t(marks) * 5 > n - pos) return;
        types.assign(count, 0);
        types[0] = PT_MOVETO;
        uint32_t next = 1;
        for (uint32_t m = 0; m < marks; ++m) {
            uint32_t k = Be32(op + pos + 5 * m);
            const BYTE f = op[pos + 5 * m + 4];
            if (k >= count || k < next) return;
            for (; next < k; ++next)
                types[next] = kind;
            if (f & 1) {
                types[k] = PT_MOVETO;
                if (++k >= count) return;
            }
            const BYTE t = (f & 4) ? PT_BEZIERTO : PT_LINETO;
            types[k] = BYTE(t | ((f & 8) ? PT_CLOSEFIGURE : 0));
            kind = t;
            next = k + 1;
        }
        for (; next < count; ++next)
            types[next] = kind;
        pos += marks * 5;
        if (opcode == 0x12E) {
            if (n < pos + 4) return;
            flags = Be32(op + pos);
        }
    } else {
        if (opcode == 0x12B || opcode == 0x12A || opcode == 0x12D || opcode == 0x12C) {
            if (n < pos + 4) return;
            flags = Be32(op + pos);
        }
        types.assign(count, bezier ? PT_BEZIERTO : PT_LINETO);
        types[0] = PT_MOVETO;
        if (closed && !bezier) {
            pts.push_back(pts[0]);
            types.push_back(BYTE(PT_LINETO | PT_CLOSEFIGURE));
        } else if (closed) {
            types.back() = BYTE(types.back() | PT_CLOSEFIGURE);
        }
    }
    // Bezier steps take three points each.
    for (size_t i = 1; i < types.size();) {
        if ((types[i] & ~PT_CLOSEFIGURE) == PT_BEZIERTO) {
            if (i + 3 > types.size()) return;
            for (size_t j = i; j < i + 3; ++j)
                if ((types[j] & ~PT_CLOSEFIGURE) != PT_BEZIERTO) return;
            i += 3;
        } else {
            ++i;
        }
    }
    PaintFigure(pts, types, flags, false);
}
