// Helpers of the special and picture tests: a one-page document written with
// the DVI writer and opened by a reader, a page drawer on a 96-dpi memory DC,
// pixel probes and big-endian special builders.
#pragma once

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "DrawerFixtures.h"
#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/PixelBuffer.h"

namespace dvitest {

// DVI units of one pixel at 96 dpi and zoom 100 % (TeX's num and den).
inline int Px(double n) { return int(n * 4736286.72 / 96.0); }

inline Bytes& MoveTo(Bytes& b, int hPx, int vPx) {
    return b.Op(dviop::Right4).S(Px(hPx), 4).Op(dviop::Down4).S(Px(vPx), 4);
}

inline COLORREF PixelAt(const CDC& dc, int x, int y) {
    const uint32_t v = dc.Surface()->Get(x, y);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

struct InkBox {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // right, bottom exclusive
    bool Empty() const { return left > right; }
    int Width() const { return Empty() ? 0 : right - left; }
    int Height() const { return Empty() ? 0 : bottom - top; }
};

// The box of the pixels that are not the background.
inline InkBox InkOf(const CDC& dc, COLORREF background = RGB(255, 255, 255)) {
    InkBox b;
    const PixelBuffer& px = *dc.Surface();
    for (int y = 0; y < px.Height(); ++y)
        for (int x = 0; x < px.Width(); ++x)
            if (PixelAt(dc, x, y) != background) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x + 1);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y + 1);
            }
    return b;
}

template <class T>
int Count(const DList<T>& list) {
    int n = 0;
    for (auto it = list.Begin(); it; it.Next()) ++n;
    return n;
}

template <class T>
T Nth(const DList<T>& list, int i) {
    for (auto it = list.Begin(); it; it.Next())
        if (i-- == 0) return it.Value();
    return T();
}

template <class T>
T* Nth(const DList<std::unique_ptr<T>>& list, int i) {
    for (auto it = list.Begin(); it; it.Next())
        if (i-- == 0) return it.Value().get();
    return nullptr;
}

// A one-page document without fonts, drawn by a page drawer on a memory DC
// (or on the DC given) with the DVI origin at (kOriginX, kOriginY).
class SpecialPage {
public:
    static constexpr int kOriginX = 20, kOriginY = 20;

    explicit SpecialPage(const Bytes& body, int width = 240, int height = 240)
        : dc_(CreateMemoryDC(width, height, 32, 96)) {
        Write(body);
    }
    SpecialPage(const Bytes& body, CDC& dc) : target_(&dc) { Write(body); }
    // The drawer restores the DC's state before the DC goes.
    ~SpecialPage() { drawer.Close(); }

    // Opens the page and interprets it; 1 on success.
    int Draw(COLORREF linkColour = RGB(0, 0, 255), const String8& tag = String8()) {
        if (!drawer.Open(Dc(), dvi, 0, fpreal4(10000), kOriginX, kOriginY, linkColour, tag)) return 0;
        return drawer.Draw(-1);
    }
    CDC& Dc() { return target_ ? *target_ : *dc_; }
    std::string File(const std::string& name) const { return dir.File(name); }

    TempDir dir;
    FontFolder fonts;
    VrDvi dvi;
    VrDviDrawer drawer;

private:
    void Write(const Bytes& body) {
        WriteDocument(dir.File("doc.dvi"), {}, body.b);
        fonts.Attach(dvi, dir.File("doc.dvi"));
    }
    std::unique_ptr<CDC> dc_;
    CDC* target_ = nullptr;
};

// Bytes of a binary special, big-endian.
class SpecialBytes {
public:
    explicit SpecialBytes(const std::string& head = "") : b(head.begin(), head.end()) {}
    SpecialBytes& U8(int v) { return b.push_back((unsigned char)v), *this; }
    SpecialBytes& Be16(int v) { return U8(v >> 8).U8(v); }
    SpecialBytes& Be32(uint32_t v) { return Be16(int(v >> 16)).Be16(int(v & 0xFFFF)); }
    SpecialBytes& Le16(int v) { return U8(v).U8(v >> 8); }
    SpecialBytes& Le32(uint32_t v) { return Le16(int(v & 0xFFFF)).Le16(int(v >> 16)); }
    SpecialBytes& Str(const std::string& s) { return b.insert(b.end(), s.begin(), s.end()), *this; }
    SpecialBytes& Raw(const std::vector<unsigned char>& v) { return b.insert(b.end(), v.begin(), v.end()), *this; }
    // A length byte and the name.
    SpecialBytes& Name(const std::string& s) { return U8(int(s.size())).Str(s); }
    std::string Text() const { return std::string(b.begin(), b.end()); }
    std::vector<unsigned char> b;
};

// A special of any length as a DVI xxx4 instruction.
inline Bytes& Special4(Bytes& body, const SpecialBytes& s) {
    return body.Op(dviop::Xxx4).U(uint32_t(s.b.size()), 4).Append(s.b);
}

// A 24-bit BMP file of width x height filled with colour, with an optional
// inner square of another colour.
inline std::vector<unsigned char> MakeBmp(int width, int height, COLORREF colour) {
    const int stride = (width * 3 + 3) & ~3;
    SpecialBytes f;
    const uint32_t bits = 54, size = bits + uint32_t(stride * height);
    f.U8('B').U8('M').Le32(size).Le32(0).Le32(bits);
    f.Le32(40).Le32(uint32_t(width)).Le32(uint32_t(height)).Le16(1).Le16(24).Le32(0).Le32(uint32_t(stride * height));
    f.Le32(3780).Le32(3780).Le32(0).Le32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) f.U8(GetBValue(colour)).U8(GetGValue(colour)).U8(GetRValue(colour));
        for (int k = width * 3; k < stride; ++k) f.U8(0);
    }
    return f.b;
}

} // namespace dvitest
