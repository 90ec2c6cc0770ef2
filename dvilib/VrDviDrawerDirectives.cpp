// The page drawer's text specials (links, anchors, colours, line width,
// shapes, pictures by name, PostScript inclusions) and the binary picture
// specials that the special player leaves to the drawer.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dvilib/DirectiveGrammar.h"
#include "dvilib/DirectiveScan.h"
#include "dvilib/VrDviDrawer.h"

using namespace vrspecial;

namespace {

constexpr int kNoBox = -1000000;

int AddClamped(int a, int b) {
    const long long s = 1LL * a + b;
    return int(s > INT_MAX ? INT_MAX : s < INT_MIN ? INT_MIN : s);
}

// n dimensions after blanks each; null when one is missing.
unsigned char* Dimens(unsigned char* p, int* out, int n) {
    for (int i = 0; i < n && p; ++i) p = getdimen(SkipBlanks(p), &out[i]);
    return p;
}

unsigned char* Reals(unsigned char* p, double* out, int n) {
    for (int i = 0; i < n && p; ++i) p = NextReal(p, &out[i]);
    return p;
}

// A picture type from a file name's ending; -1 for none.
int TypeOfName(const unsigned char* name, size_t n) {
    static const struct {
        const char* ext;
        int type;
    } kTypes[] = {{"WMF", 0}, {"EPS", 1}, {"JPG", 2}, {"JPEG", 2}, {"GIF", 3}, {"PNG", 4}, {"BMP", 5}};
    for (const auto& t : kTypes) {
        const size_t k = std::strlen(t.ext);
        if (n >= k && IsKeyword(name + n - k, t.ext)) return t.type;
    }
    return -1;
}

int16_t S16(const unsigned char* p) { return int16_t(uint16_t(p[0] << 8 | p[1])); }
uint32_t U32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

} // namespace

class DrawerSpecials {
public:
    explicit DrawerSpecials(VrDviDrawer& d) : d_(d) {}

    void Do(unsigned int length, const unsigned char* bytes) {
        if (length > 0 && bytes[0] == '#') {
            Binary(bytes, length);
            return;
        }
        std::vector<unsigned char> buf(size_t(length) + 1);
        if (length) std::memcpy(buf.data(), bytes, length);
        buf[length] = 0;
        unsigned char* t = buf.data();
        if (IsKeyword(t, "html:")) Html(t + 5);
        else if (IsKeyword(t, "hypertext:")) Hypertext(t + 10);
        else if (IsKeyword(t, "colorpush:")) ColorPush(t + 10);
        else if (IsKeyword(t, "colorpop:")) ColorPop();
        else if (IsKeyword(t, "color:")) Color(t + 6);
        else if (IsKeyword(t, "width:")) Width(t + 6);
        else if (IsKeyword(t, "line:")) Line(t + 5);
        else if (IsKeyword(t, "arc:")) Arc(t + 4);
        else if (IsKeyword(t, "boxfill:")) Box(t + 8, true);
        else if (IsKeyword(t, "box:")) Box(t + 4, false);
        else if (IsKeyword(t, "ellipsefill:")) EllipseFill(t + 12);
        else if (IsKeyword(t, "graphics:")) Graphics(t + 9);
        else if (IsKeyword(t, "ps::[begin]")) PsBegin(t + 11);
        else if (IsKeyword(t, "ps:") && IsKeyword(SkipBlanks(t + 3), "plotfile")) PlotFile(t + 3);
        else PsFile(t);
    }

private:
    VrDviDrawer& d_;

    CDC* Dc() const { return d_.dc_; }
    VrDviDrawer::HyLinkInfo* Link() const { return d_.inLink_ ? d_.CurrentLink() : nullptr; }

    // html: an a-tag with href starts a link; with name, an anchor; the end
    // tag ends the link.
    void Html(unsigned char* p) {
        const auto html = ParseHtml(p);
        if (!html) return;
        switch (html->kind) {
        case HtmlSpecial::kLink:
            d_.BeginLink(html->reference, html->target, 0);
            return;
        case HtmlSpecial::kAnchor:
            if (d_.tag_.GetLength() > 0 && html->name == d_.tag_) d_.SetTagFound(d_.hDot(d_.GetH()), d_.vDot(d_.GetV()));
            return;
        case HtmlSpecial::kEnd:
            d_.EndLink();
            return;
        }
    }

    void Hypertext(unsigned char* p) {
        const auto hyper = ParseHypertext(p);
        if (!hyper) return;
        const int* box = hyper->box;
        if (hyper->anchor) {
            if (d_.tag_.GetLength() > 0 && hyper->name == d_.tag_) d_.SetTagFound(d_.hDot(box[0]), d_.vDot(box[1]));
            return;
        }
        auto* link = d_.hyperlinks_.AddTail(std::make_unique<VrDviDrawer::HyLinkInfo>(hyper->reference, hyper->target, 1))
                         ->data.get();
        link->AddRect(d_.hDot(box[0]), d_.vDot(box[1]), d_.dhDot(box[2]), d_.dvDot(box[3]));
    }

    // The current colour becomes c for text, fills and lines.
    void ApplyColour(COLORREF c) {
        d_.currentColour_ = c;
        if (Dc()) Dc()->SetTextColor(c);
        d_.SetFillBrush(c);
        d_.SetPen(d_.Ceil(d_.lineWidth_ * d_.hFactor_), c);
    }

    void ColorPush(unsigned char* p) {
        double rgb[3];
        if (!Reals(p, rgb, 3)) return;
        const COLORREF c = ColorFromReals(rgb[0], rgb[1], rgb[2]);
        ApplyColour(c);
        if (d_.colorStackSize_ < VrDvi::kColorStackSize) d_.colorStack_[d_.colorStackSize_++] = c;
    }

    void ColorPop() {
        if (d_.colorStackSize_ < 2) return;
        --d_.colorStackSize_;
        ApplyColour(d_.colorStack_[d_.colorStackSize_ - 1]);
    }

    void Color(unsigned char* p) {
        double rgb[3];
        if (!(p = Reals(p, rgb, 3)) || !RestIsBlank(p)) return;
        ApplyColour(ColorFromReals(rgb[0], rgb[1], rgb[2]));
    }

    void Width(unsigned char* p) {
        int w;
        if (!(p = Dimens(p, &w, 1)) || !RestIsBlank(p)) return;
        d_.lineWidth_ = w;
        d_.SetPen(d_.Ceil(w * d_.hFactor_), d_.currentColour_);
    }

    int X(int dx) const { return d_.hDot(AddClamped(d_.GetH(), dx)); }
    int Y(int dy) const { return d_.vDot(AddClamped(d_.GetV(), dy)); }

    void Line(unsigned char* p) {
        int a[4];
        if (!(p = Dimens(p, a, 4)) || !RestIsBlank(p) || !Dc()) return;
        const int x = X(a[0]), y = Y(a[1]);
        Dc()->SaveDC();
        Dc()->MoveTo(x, y);
        Dc()->LineTo(AddClamped(x, d_.dhDot(a[2])), AddClamped(y, d_.dvDot(a[3])));
        Dc()->RestoreDC(-1);
    }

    void Arc(unsigned char* p) {
        int a[8];
        if (!(p = Dimens(p, a, 8)) || !RestIsBlank(p) || !Dc()) return;
        const int left = X(a[0]), top = Y(a[1]);
        const int w = d_.dhDot(a[2]), h = d_.dvDot(a[3]);
        const int cx = AddClamped(left, w / 2), cy = AddClamped(top, h / 2);
        Dc()->SaveDC();
        Dc()->Arc(left, top, AddClamped(left, w), AddClamped(top, h), AddClamped(cx, d_.dhDot(a[4])),
                  AddClamped(cy, d_.dvDot(a[5])), AddClamped(cx, d_.dhDot(a[6])), AddClamped(cy, d_.dvDot(a[7])));
        Dc()->RestoreDC(-1);
    }

    void Box(unsigned char* p, bool fill) {
        int a[6];
        double rgb[3] = {0, 0, 0};
        if (!(p = Dimens(p, a, 6))) return;
        if (fill && !(p = Reals(p, rgb, 3))) return;
        if (!RestIsBlank(p) || !Dc()) return;
        const int left = X(a[0]), top = Y(a[1]);
        CBrush brush;
        if (fill) brush.CreateSolidBrush(ColorFromReals(rgb[0], rgb[1], rgb[2]));
        Dc()->SaveDC();
        if (fill) Dc()->SelectObject(&brush);
        else Dc()->SelectStockObject(NULL_BRUSH);
        Dc()->RoundRect(left, top, AddClamped(left, d_.dhDot(a[2])), AddClamped(top, d_.dvDot(a[3])),
                        d_.dhDot(a[4]), d_.dvDot(a[5]));
        Dc()->RestoreDC(-1);
    }

    void EllipseFill(unsigned char* p) {
        int a[4];
        double rgb[3];
        if (!(p = Dimens(p, a, 4)) || !(p = Reals(p, rgb, 3)) || !RestIsBlank(p) || !Dc()) return;
        const int left = X(a[0]), top = Y(a[1]);
        CBrush brush(ColorFromReals(rgb[0], rgb[1], rgb[2]));
        Dc()->SaveDC();
        Dc()->SelectObject(&brush);
        Dc()->Ellipse(left, top, AddClamped(left, d_.dhDot(a[2])), AddClamped(top, d_.dvDot(a[3])));
        Dc()->RestoreDC(-1);
    }

    std::unique_ptr<VrDviDrawer::PictInfo> NewPicture(int type, const String8& name) {
        auto pi = std::make_unique<VrDviDrawer::PictInfo>();
        pi->type = type;
        pi->fileName = name;
        pi->link = Link();
        return pi;
    }

    void Graphics(unsigned char* p) {
        const auto graphics = ParseGraphics(p);
        if (!graphics) return;
        int a[6];
        std::memcpy(a, graphics->dimen, sizeof a);
        const int type = graphics->type;
        const String8& name = graphics->name;
        if (a[2] == 0 || a[4] == 0) a[2] = a[4] = 1;
        if (a[3] == 0 || a[5] == 0) a[3] = a[5] = 1;
        auto pi = NewPicture(type, name);
        pi->anchor = 1;
        pi->x = AddClamped(d_.hDot(d_.GetH()), d_.dhDot(a[0]));
        pi->y = AddClamped(d_.vDot(d_.GetV()), d_.dvDot(a[1]));
        pi->hScale = double(a[4]) / a[2];
        pi->vScale = double(a[5]) / a[3];
        for (int& b : pi->box) b = kNoBox;
        const CString watermark = d_.dvi_ ? d_.dvi_->GetWaterMarkWMFFileName() : CString();
        if (type == kWmf && watermark.GetLength() > 0 && std::strcmp(watermark.c_str(), name.c_str()) == 0) {
            pi->x = AddClamped(pi->x, -int(d_.hDotsPerInch_));
            pi->y = AddClamped(pi->y, -int(d_.vDotsPerInch_));
        }
        d_.pictures_.AddTail(std::move(pi));
    }

    void PsBegin(unsigned char* p) {
        int v[6];
        for (int& x : v)
            if (!(p = NextInt(p, &x))) return;
        std::memcpy(d_.psBox_, v, sizeof v);
    }

    void PlotFile(unsigned char* p) {
        const auto name = ParsePlotFile(p);
        if (!name) return;
        const int* b = d_.psBox_;
        // A box of no width or height gives no scale: the special is ignored.
        if (b[4] == b[2] || b[5] == b[3]) return;
        auto pi = NewPicture(kEps, *name);
        pi->anchor = 1;
        pi->x = d_.hDot(d_.GetH());
        pi->y = d_.vDot(d_.GetV());
        pi->hScale = double(b[0]) / (double(b[4]) - b[2]);
        pi->vScale = double(b[1]) / (double(b[5]) - b[3]);
        for (int& x : pi->box) x = kNoBox;
        d_.pictures_.AddTail(std::move(pi));
    }

    // key=value pairs with a psfile key.
    void PsFile(unsigned char* p) {
        const auto ps = ParsePsfile(p);
        if (!ps) return;
        const int* bb = ps->bb;
        const int rwi = ps->rwi, rhi = ps->rhi;
        double hscale = ps->hscale, vscale = ps->vscale;
        bool hset = ps->hset, vset = ps->vset;
        const bool boxSet = ps->bbset[0] && ps->bbset[1] && ps->bbset[2] && ps->bbset[3];
        if (!hset && !vset && boxSet) {
            const double bw = double(bb[2]) - bb[0], bh = double(bb[3]) - bb[1];
            // rwi and rhi are tenths of a point; a box without width or
            // height gives them no meaning.
            if (rwi > 0 && bw != 0) {
                hscale = rwi * 0.1 / bw;
                hset = true;
                if (rhi > 0 && bh != 0) vscale = rhi * 0.1 / bh;
                else vscale = hscale;
                vset = true;
            } else if (rwi <= 0 && rhi > 0 && bh != 0) {
                hscale = vscale = rhi * 0.1 / bh;
                hset = vset = true;
            }
        }
        auto pi = NewPicture(kEps, ps->file);
        pi->anchor = 0;
        pi->x = AddClamped(d_.hDot(d_.GetH()), d_.Round(ps->hoffset * d_.hDotsPerInch_ / 72));
        pi->y = AddClamped(d_.vDot(d_.GetV()), d_.Round(ps->voffset * d_.vDotsPerInch_ / 72));
        pi->hScale = hset ? hscale : 1.0;
        pi->vScale = vset ? vscale : 1.0;
        for (int i = 0; i < 4; ++i) pi->box[i] = boxSet ? bb[i] : kNoBox;
        d_.pictures_.AddTail(std::move(pi));
    }

    // Binary picture specials: 0x10 and 0x11 a picture drawn at once
    // (through the mask when one is set), 0x12 the watermark, 0x13 the mask.
    void Binary(const unsigned char* b, unsigned int length) {
        const auto picture = ParseBinaryPicture(b, length);
        if (!picture) return;
        const unsigned code = picture->code;
        const unsigned char* op = b + 3;
        const String8& name = picture->name;
        const int type = TypeOfName(b + picture->lengthAt + 1, b[picture->lengthAt]);
        switch (code) {
        case 0x10:
        case 0x11: {
            if (type < 0 || !Dc()) return;
            if (code == 0x11) Dc()->SelectClipRgn(nullptr);
            auto pi = NewPicture(type, name);
            for (int i = 0; i < 4; ++i) pi->box[i] = S16(op + 2 * i);
            pi->anchor = 1;
            pi->x = d_.grw(S16(op + 8));
            pi->y = d_.grw(S16(op + 10));
            pi->hScale = -double(d_.grw(S16(op + 12)));
            pi->vScale = -1.0 - d_.grw(S16(op + 14));
            pi->rop2 = int(U32(op + 16));
            if (d_.mask_) {
                VrDviDrawer::PictInfo* m = d_.mask_.get();
                m->x = pi->x, m->y = pi->y, m->hScale = pi->hScale, m->vScale = pi->vScale;
                m->anchor = pi->anchor, m->link = pi->link;
                std::memcpy(m->box, pi->box, sizeof m->box);
                d_.DrawPictureRop(m, SRCAND);
                d_.DrawPictureRop(pi.get(), SRCPAINT);
                d_.mask_.reset();
            } else {
                d_.DrawPicture(pi.get());
            }
            return;
        }
        case 0x12: {
            if (type < 0 || !Dc()) return;
            auto pi = NewPicture(type, name);
            pi->link = nullptr;
            pi->anchor = 1;
            pi->x = S16(op);
            pi->y = S16(op + 2);
            pi->hScale = -double(S16(op + 4));
            pi->vScale = -double(S16(op + 6));
            pi->inchUnits = 1;
            d_.watermark_ = std::move(pi);
            Dc()->SelectClipRgn(nullptr);
            d_.DrawPicture(d_.watermark_.get());
            return;
        }
        case 0x13: {
            d_.mask_ = NewPicture(kBmp, name);
            d_.mask_->link = nullptr;
            return;
        }
        default:
            return;
        }
    }
};

void VrDviDrawer::DoTextSpecial(unsigned int length, const unsigned char* bytes) {
    if (!IsWorking()) return;
    DrawerSpecials(*this).Do(length, bytes);
}
