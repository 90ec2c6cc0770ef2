// The page drawer on documents built byte by byte, drawn into memory DCs:
// unit conversion, rules, colours, links, the face each TeX font gets, slanted
// faces and WinFont pages.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "DrawerFixtures.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviFont.h"
#include "platform/gdi/PixelBuffer.h"

using namespace dvitest;

namespace {

// 0x00RRGGBB of a surface pixel as a COLORREF.
COLORREF PixelAt(const CDC& dc, int x, int y) {
    const uint32_t v = dc.Surface()->Get(x, y);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

struct Box {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // right, bottom exclusive
    bool Empty() const { return left > right; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The box of the pixels that differ from the background, inside [x0, x1).
Box InkBox(const CDC& dc, COLORREF background = RGB(255, 255, 255), int x0 = 0, int x1 = INT_MAX) {
    Box b;
    const PixelBuffer& px = *dc.Surface();
    for (int y = 0; y < px.Height(); ++y)
        for (int x = std::max(0, x0); x < std::min(px.Width(), x1); ++x)
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

int InkCount(const CDC& dc, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += PixelAt(dc, x, y) != RGB(255, 255, 255);
    return n;
}

// A drawer whose html specials open and close links, and whose hypertext
// specials open links of kind 1, as the drawer's specials do.
class LinkDrawer : public VrDviDrawer {
protected:
    void DoSpecial(unsigned int length, InstPtr text) override {
        std::string s(reinterpret_cast<const char*>(text.Pointer()), std::min<size_t>(length, text.Left()));
        if (s == "html:</a>" || s == "hypertext:end") EndLink();
        else if (s.rfind("html:<a href", 0) == 0) BeginLink("ref", "_self", 0);
        else if (s.rfind("hypertext:", 0) == 0) BeginLink("ref", "_self", 1);
        else VrDviDrawer::DoSpecial(length, text);
    }
};

class Drawer : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.Tfm("tfont", FullTfm());
        fonts.Tfm("sfont", FullTfm());
        fonts.MapLine("tfont { fontname = 'DejaVu Sans', encoding = 'raw' }");
        fonts.MapLine("sfont { fontname = 'DejaVu Sans', encoding = 'raw', slant = 'true' }");
    }
    // Opens a document of one page with fonts 1 (tfont) and 2 (sfont).
    void Load(const Bytes& body, const std::vector<std::pair<int, std::string>>& defs = {{1, "tfont"}, {2, "sfont"}}) {
        WriteDocument(dir.File("doc.dvi"), defs, body.b);
        fonts.Attach(dvi, dir.File("doc.dvi"));
        ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
    }

    TempDir dir;
    FontFolder fonts;
    VrDvi dvi;
};

// One inch and 72 pt in DVI units of TeX's num and den.
constexpr int kInch = 4736287;
constexpr int k72pt = 72 * 65536;

TEST_F(Drawer, UnitsAtAnyZoom) {
    Load(Bytes().Op(dviop::Nop));
    auto dc = CreateMemoryDC(50, 50, 32, 96);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 7, 11, 0, String8()), 1);
    EXPECT_EQ(d.hDot(0), 7);
    EXPECT_EQ(d.vDot(0), 11);
    EXPECT_EQ(d.hDot(kInch), 7 + 96);
    EXPECT_EQ(d.hDot(-kInch), 7 - 96);
    EXPECT_EQ(d.dhDot(k72pt), 96);  // 95.64 rounded up
    EXPECT_EQ(d.dvDot(k72pt), 96);
    EXPECT_EQ(d.dhDot(-k72pt), -95);
    EXPECT_EQ(d.dhDot(1), 1);
    EXPECT_EQ(d.hDvi(7 + 96), kInch);
    EXPECT_EQ(d.vDvi(11), 0);
    EXPECT_EQ(d.grw(300), 96);  // 1/r inch with the default r of 300
    d.Close();

    struct Case {
        int zoom, dpi, dvi, hDot, dhDot;
    } cases[] = {
        {20000, 96, kInch, 192, 193},        // 192.00001
        {5000, 96, kInch, 48, 49},           // 48.000003
        {10000, 300, kInch, 300, 301},       // 300.00002
        {10000, 300, k72pt, 299, 299},       // 298.88
        {10000, 1200, k72pt / 2, 598, 598},  // 597.76
        {12345, 600, -kInch, -741, -740},    // -740.70004
    };
    for (const Case& c : cases) {
        auto dcz = CreateMemoryDC(10, 10, 32, c.dpi);
        ASSERT_EQ(d.Open(*dcz, dvi, 0, fpreal4(c.zoom), 0, 0, 0, String8()), 1);
        EXPECT_EQ(d.hDot(c.dvi), c.hDot) << c.zoom << " " << c.dpi << " " << c.dvi;
        EXPECT_EQ(d.dhDot(c.dvi), c.dhDot) << c.zoom << " " << c.dpi << " " << c.dvi;
        EXPECT_EQ(d.hDvi(d.hDot(c.dvi)), d.hDvi(c.hDot));
        d.Close();
    }
    // Positions far outside the int range are clamped, not wrapped.
    auto huge = CreateMemoryDC(10, 10, 32, 9600);
    ASSERT_EQ(d.Open(*huge, dvi, 0, fpreal4(2000000000), 0, 0, 0, String8()), 1);
    EXPECT_EQ(d.hDot(INT_MAX), INT_MAX);
    EXPECT_EQ(d.dvDot(INT_MIN), INT_MIN);
    d.Close();
}

TEST_F(Drawer, DeviceSlotsKeepValuesAfterTheDeviceIsGone) {
    Load(Bytes().Op(dviop::Nop));
    {
        auto a = CreateMemoryDC(10, 10, 32, 96);
        auto b = CreateMemoryDC(10, 10, 32, 300);
        auto c = CreateMemoryDC(10, 10, 32, 600);
        VrDviDrawer d;
        ASSERT_EQ(d.Open(*a, dvi, 0, fpreal4(15000), 0, 0, 0, String8()), 1);
        ASSERT_EQ(d.Open(*b, dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
        ASSERT_EQ(d.Open(*c, dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
        d.Close();
    }
    const VrDvi::DeviceSlot s0 = dvi.GetDeviceSlot(0), s1 = dvi.GetDeviceSlot(1);
    EXPECT_EQ(s0.used, 1);
    EXPECT_EQ(s0.dpiX, 96);
    EXPECT_EQ(s0.zoom.Raw(), 15000);
    EXPECT_EQ(s1.used, 1);
    EXPECT_EQ(s1.dpiY, 300);
}

TEST_F(Drawer, RulesFillTheirBoxAndEmptyRulesNothing) {
    // At 96 dpi a rule 72 pt wide is 96 pixels, one 36 pt high 48 pixels.
    Bytes body;
    body.Op(dviop::Down4).S(2 * k72pt, 4);
    body.Rule(0, k72pt).Rule(k72pt, 0).Rule(-5, k72pt).Rule(k72pt, -5);
    body.Rule(k72pt / 2, k72pt);
    Load(body, {});
    auto dc = CreateMemoryDC(300, 300, 32, 96);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 10, 20, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    const int bottom = d.vDot(2 * k72pt);
    Box ink = InkBox(*dc);
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.right, 10 + 96);
    EXPECT_EQ(ink.bottom, bottom);
    EXPECT_EQ(ink.top, bottom - 48);
    EXPECT_EQ(InkCount(*dc, 0, 0, 300, 300), 96 * 48);
    EXPECT_EQ(PixelAt(*dc, 50, bottom - 1), RGB(0, 0, 0));
    d.Close();
}

TEST_F(Drawer, PageStartingInAColourDrawsRulesAndTextInIt) {
    // Page 1 pushes red and ends inside it; page 2 starts red.
    Bytes page2;
    page2.Op(dviop::Down4).S(k72pt, 4).Fnt(1).Text("H").Rule(k72pt / 4, k72pt / 4);
    {
        DviBuilder w(dir.File("doc.dvi"));
        w.FontDef(dviop::FntDef2, 1, "tfont", 655360, 655360, 0);
        w.Bop(1);
        w.Special("colorpush: 1 0 0");
        w.Special("backgroundcolor: 0 0 1");
        w.Eop();
        w.Bop(2);
        for (unsigned char c : page2.b) w.Byte(c);
        w.Eop();
        w.w.WritePostamble(100, 1000000, 1000000);
        w.FontDef(dviop::FntDef2, 1, "tfont", 655360, 655360, 0);
        w.w.WritePostPostamble();
        w.Close();
    }
    fonts.Attach(dvi, dir.File("doc.dvi"));
    ASSERT_EQ(dvi.GetNPage(), 2);
    // The background covers a target far larger than 10000 pixels.
    auto dc = CreateMemoryDC(12000, 400, 32, 300);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 1, fpreal4(10000), 10, 10, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    const COLORREF blue = RGB(0, 0, 255), red = RGB(255, 0, 0);
    EXPECT_EQ(PixelAt(*dc, 11999, 399), blue);
    EXPECT_EQ(PixelAt(*dc, 0, 0), blue);
    EXPECT_EQ(d.GetCurrentColor(), red);
    // The character is red over blue; the rule after it all red.
    const int ruleLeft = d.hDot(Scaled10pt(kWideFix));
    int redText = 0, otherText = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < ruleLeft; ++x) {
            const COLORREF c = PixelAt(*dc, x, y);
            if (c == blue) continue;
            ++(GetRValue(c) > 200 && GetGValue(c) == 0 ? redText : otherText);
        }
    EXPECT_GT(redText, 50);
    EXPECT_LT(otherText, redText / 2);
    Box rule = InkBox(*dc, blue, ruleLeft, 600);
    ASSERT_FALSE(rule.Empty());
    EXPECT_EQ(rule.Width(), d.dhDot(k72pt / 4));
    for (int y = rule.top; y < rule.bottom; ++y)
        for (int x = rule.left; x < rule.right; ++x) ASSERT_EQ(PixelAt(*dc, x, y), red) << x << "," << y;
    d.Close();
}

TEST_F(Drawer, LinksCollectOneRectangleAndAreFoundInsideOnly) {
    // An html link over a character on one line and one on the next, then a
    // hypertext link over a rule.
    Bytes body;
    body.Op(dviop::Down4).S(k72pt, 4).Fnt(1).Special("html:<a href=\"x\">").Op(dviop::Push).Text("A").Op(dviop::Pop);
    body.Op(dviop::Down4).S(k72pt / 2, 4).Text("B").Special("html:</a>");
    body.Op(dviop::Down4).S(k72pt / 2, 4).Special("hypertext:").Rule(k72pt / 8, k72pt / 2).Special("hypertext:end");
    Load(body);
    auto dc = CreateMemoryDC(400, 400, 32, 96);
    LinkDrawer d;
    const COLORREF linkColour = RGB(0, 128, 0);
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 20, 20, linkColour, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    ASSERT_EQ(Count(d.GetHyLinkList()), 2);
    VrDviDrawer::HyLinkInfo* html = d.GetHyLinkList().GetHead()->data.get();
    VrDviDrawer::HyLinkInfo* hyper = d.GetHyLinkList().GetTail()->data.get();
    ASSERT_EQ(Count(html->GetRectList()), 1);
    const auto r = html->GetRectList().GetHead()->data;
    // The box spans both lines: from above A's top to below B's depth.
    const int aTop = d.vDot(k72pt) - d.dvDot(Scaled10pt(kHeightFix)) - 1;
    const int bBottom = d.vDot(k72pt + k72pt / 2) + d.dvDot(Scaled10pt(kDepthFix)) + 1;
    EXPECT_EQ(r.x, 20 - 1);
    EXPECT_EQ(r.y, aTop);
    EXPECT_NEAR(r.y + r.height, bBottom, 1);
    EXPECT_EQ(r.width, d.dhDot(Scaled10pt(kWideFix)) + 2);
    // Characters inside the link take the link colour.
    int green = 0, other = 0;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) {
            const COLORREF c = PixelAt(*dc, x, y);
            if (c == RGB(255, 255, 255)) continue;
            // Link green blended with white: red and blue equal, green above.
            if (GetRValue(c) != GetBValue(c) || GetGValue(c) < GetRValue(c)) ++other;
            else if (GetGValue(c) > GetRValue(c) + 20) ++green;
        }
    EXPECT_GT(green, 10);
    EXPECT_EQ(other, 0);

    struct Probe {
        int x, y;
        VrDviDrawer::HyLinkInfo* want;
    } probes[] = {
        {r.x, r.y, html},
        {r.x + r.width - 1, r.y + r.height - 1, html},
        {r.x + r.width, r.y, nullptr},   // right edge
        {r.x, r.y + r.height, nullptr},  // bottom edge
        {r.x - 1, r.y, nullptr},
        {r.x, r.y - 1, nullptr},
    };
    for (const Probe& p : probes) EXPECT_EQ(d.FindHyLink(p.x, p.y), p.want) << p.x << "," << p.y;
    const auto hr = hyper->GetRectList().GetHead()->data;
    EXPECT_EQ(hr.width, d.dhDot(k72pt / 2));
    EXPECT_EQ(hr.height, d.dvDot(k72pt / 8));
    EXPECT_EQ(d.FindHyLink(hr.x, hr.y), hyper);
    EXPECT_EQ(d.FindHyLink(hr.x + hr.width, hr.y), nullptr);

    // Marks: 1 only html links, 2 only hypertext links, each rectangle
    // exactly its width and height, merged into what is there (black here).
    for (int which : {0, 1, 2}) {
        dc->PatBlt(0, 0, 400, 400, BLACKNESS);
        d.DrawHyperlinkMark(which);
        int inHtml = 0, inHyper = 0, outside = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x) {
                const COLORREF c = PixelAt(*dc, x, y);
                if (c == RGB(0, 0, 0)) continue;
                EXPECT_EQ(c, linkColour);
                if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) ++inHtml;
                else if (x >= hr.x && x < hr.x + hr.width && y >= hr.y && y < hr.y + hr.height) ++inHyper;
                else ++outside;
            }
        EXPECT_EQ(inHtml, which != 2 ? r.width * r.height : 0) << which;
        EXPECT_EQ(inHyper, which != 1 ? hr.width * hr.height : 0) << which;
        EXPECT_EQ(outside, 0) << which;
    }
    d.Close();
    EXPECT_TRUE(d.GetHyLinkList().IsEmpty());
}

TEST_F(Drawer, FacesFromTheMapTheTableOrTheDefault) {
    // ccr7, ccslc9 and cmssu30 have no map entry and no face of their name:
    // the built-in table gives their face, width, weight and italic. cmsl9
    // has a face of its name, which wins over the table; zzfont is in no
    // table and gets the default face.
    for (const char* name : {"ccr7", "ccslc9", "cmssu30", "cmsl9", "zzfont", "kfont"}) fonts.Tfm(name, FullTfm());
    fonts.MapLine("tfont { fontname = 'DejaVu Sans', encoding = 'raw', averagewidth = '0.5', bold = 'true' }");
    // A font with a face for double-byte characters of its own size and weight.
    fonts.MapLine("kfont { fontname = 'DejaVu Sans', dbcfontname = 'DejaVu Serif', dbcheight = '1.5', "
                  "dbcbold = 'true' }");
    Load(Bytes().Op(dviop::Nop), {{1, "tfont"}, {2, "ccr7"}, {3, "ccslc9"}, {4, "cmssu30"}, {5, "cmsl9"},
                                  {6, "zzfont"}, {7, "kfont"}});
    auto dc = CreateMemoryDC(10, 10, 32, 300);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(20000), 0, 0, 0, String8()), 1);
    const int em = d.dvDot(655360);
    auto logFont = [&](const char* name) {
        LOGFONT lf;
        for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it)
            if (it()->GetName() == String8(name)) {
                EXPECT_GT(d.GetpSBFont(*it())->GetLogFont(&lf), 0);
            }
        return lf;
    };
    struct Case {
        const char* tex;
        const char* face;
        int width, weight, italic;
    } cases[] = {
        {"tfont", "DejaVu Sans", d.dhDot(655360 / 2), 700, 0},
        {"ccr7", "Veloran RM", d.dhDot(int(655360 * 0.642)), 0, 0},
        {"ccslc9", "Veloran EM", d.dhDot(int(655360 * 0.506)), 0, 1},
        {"cmssu30", "Veloran SS ", d.dhDot(int(655360 * 0.301)), 700, 0},
        {"cmsl9", "CMSL9", 0, 0, 0},
        {"zzfont", "", 0, 0, 0},
    };
    for (const Case& c : cases) {
        LOGFONT lf = logFont(c.tex);
        EXPECT_STREQ(lf.lfFaceName, c.face) << c.tex;
        EXPECT_EQ(lf.lfHeight, -em) << c.tex;
        EXPECT_EQ(lf.lfWidth, c.width) << c.tex;
        EXPECT_EQ(lf.lfWeight, c.weight) << c.tex;
        EXPECT_EQ(lf.lfItalic, c.italic) << c.tex;
    }
    for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it) {
        LOGFONT lf;
        const bool dbc = it()->GetName() == String8("kfont");
        EXPECT_EQ(d.GetpDBFont(*it())->GetLogFont(&lf) > 0, dbc) << it()->GetName().c_str();
        if (!dbc) continue;
        EXPECT_STREQ(lf.lfFaceName, "DejaVu Serif");
        EXPECT_EQ(lf.lfHeight, -d.dvDot(655360 * 3 / 2));
        EXPECT_EQ(lf.lfWeight, 700);
    }
    ASSERT_NE(VrDviDrawer::FindBuiltinFace("CMSSU30"), nullptr);
    EXPECT_STREQ(VrDviDrawer::FindBuiltinFace("CMSSU30")->face, "Veloran SS ");
    EXPECT_EQ(VrDviDrawer::FindBuiltinFace("cmr11"), nullptr);
    d.Close();
}

TEST_F(Drawer, SlantedFaceLeansAndLaterFacesDrawUpright) {
    // 'l' of sfont (slanted) then of tfont; and tfont's 'l' alone.
    Bytes both;
    both.Op(dviop::Down4).S(k72pt / 2, 4).Fnt(2).Text("l").Op(dviop::Right4).S(k72pt / 2, 4).Fnt(1).Text("l");
    Load(both);
    auto dc = CreateMemoryDC(400, 400, 32, 300);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    const int split = d.hDot(Scaled10pt(kWideFix) + k72pt / 4);
    d.Close();

    VrDvi plain;
    TempDir other;
    Bytes one;
    one.Op(dviop::Down4).S(k72pt / 2, 4).Op(dviop::Right4).S(Scaled10pt(kWideFix) + k72pt / 2, 4).Fnt(1).Text("l");
    WriteDocument(other.File("one.dvi"), {{1, "tfont"}}, one.b);
    fonts.Attach(plain, other.File("one.dvi"));
    auto ref = CreateMemoryDC(400, 400, 32, 300);
    ASSERT_EQ(d.Open(*ref, plain, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    d.Close();

    // The upright 'l' is the same pixels as when drawn alone.
    for (int y = 0; y < 400; ++y)
        for (int x = split; x < 400; ++x) ASSERT_EQ(PixelAt(*dc, x, y), PixelAt(*ref, x, y)) << x << "," << y;
    // The slanted 'l' leans right: its top row starts right of its bottom row.
    Box slanted = InkBox(*dc, RGB(255, 255, 255), 0, split);
    ASSERT_FALSE(slanted.Empty());
    auto firstInk = [&](int y) {
        for (int x = 0; x < split; ++x)
            if (PixelAt(*dc, x, y) != RGB(255, 255, 255)) return x;
        return -1;
    };
    const int lean = firstInk(slanted.top + 1) - firstInk(slanted.bottom - 2);
    EXPECT_GE(lean, slanted.Height() / 4 - 3);
    EXPECT_LE(lean, slanted.Height() / 4 + 3);
}

TEST_F(Drawer, WidthPercentageNarrowsSlantedGlyphs) {
    Load(Bytes().Op(dviop::Down4).S(k72pt / 2, 4).Fnt(2).Text("M"));
    int drawnPercent = 0;
    auto width = [&](int percent) {
        dvi.GetFontSpecialState().percent = percent;
        auto dc = CreateMemoryDC(300, 300, 32, 300);
        VrDviDrawer d;
        EXPECT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 20, 0, 0, String8()), 1);
        EXPECT_EQ(d.Draw(-1), 1);
        drawnPercent = d.GetFontState().percent;
        d.Close();
        return InkBox(*dc).Width();
    };
    const int full = width(0);  // 0 stands for 100, in the drawer's copy of the state
    EXPECT_EQ(drawnPercent, 100);
    EXPECT_EQ(width(100), full);
    const int half = width(50);
    EXPECT_GT(full, 30);
    EXPECT_LT(half, full * 3 / 4);
    EXPECT_GT(half, full / 3);
}

TEST_F(Drawer, VerticalAdjustmentMovesTheGlyphDown) {
    fonts.Tfm("afont", FullTfm());
    fonts.MapLine("afont { fontname = 'DejaVu Sans', encoding = 'raw', vadjustment = '0.5' }");
    Bytes body;
    body.Op(dviop::Down4).S(k72pt / 2, 4).Fnt(1).Op(dviop::Push).Text("H").Op(dviop::Pop);
    body.Op(dviop::Right4).S(k72pt / 2, 4).Fnt(3).Text("H");
    Load(body, {{1, "tfont"}, {3, "afont"}});
    auto dc = CreateMemoryDC(400, 300, 32, 300);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    const int split = d.hDot(k72pt / 2);
    Box plain = InkBox(*dc, RGB(255, 255, 255), 0, split), moved = InkBox(*dc, RGB(255, 255, 255), split);
    ASSERT_FALSE(plain.Empty());
    ASSERT_FALSE(moved.Empty());
    EXPECT_EQ(plain.bottom, d.vDot(k72pt / 2));
    EXPECT_NEAR(moved.bottom - plain.bottom, d.dvDot(655360 / 2), 1);
    EXPECT_EQ(moved.Height(), plain.Height());
    d.Close();
}

TEST_F(Drawer, OpenAndCloseLeaveTheTargetAsItWas) {
    Load(Bytes().Op(dviop::Down4).S(k72pt / 2, 4).Fnt(1).Text("H"));
    auto dc = CreateMemoryDC(100, 100, 32, 96);
    dc->SetTextAlign(TA_TOP);
    dc->SetBkMode(OPAQUE);
    dc->SetTextColor(RGB(1, 2, 3));
    CFont* font = dc->GetCurrentFont();
    VrDviDrawer d;
    // A page the reader does not have opens nothing and touches nothing.
    EXPECT_EQ(d.Open(*dc, dvi, 5, fpreal4(10000), 0, 0, 0, String8()), 0);
    EXPECT_EQ(d.IsWorking(), 0);
    EXPECT_EQ(d.GetpDC(), nullptr);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
        EXPECT_EQ(dc->GetTextAlign(), TA_BASELINE);
        EXPECT_EQ(dc->GetBkMode(), TRANSPARENT);
        ASSERT_EQ(d.Draw(-1), 1);
        EXPECT_NE(dc->GetCurrentFont()->GetSafeHandle(), font->GetSafeHandle());
        d.Close();
        EXPECT_EQ(d.IsWorking(), 0);
        EXPECT_EQ(d.GetpDC(), nullptr);
        d.DrawHyperlinkMark(0);  // nothing to draw on
        EXPECT_EQ(dc->GetTextAlign(), UINT(TA_TOP));
        EXPECT_EQ(dc->GetBkMode(), OPAQUE);
        EXPECT_EQ(dc->GetTextColor(), RGB(1, 2, 3));
        EXPECT_EQ(dc->GetCurrentFont()->GetSafeHandle(), font->GetSafeHandle());
    }
    // Drawing on the target after Close uses none of the drawer's objects.
    dc->TextOut(10, 50, "x", 1);
}

TEST_F(Drawer, DocumentWithoutFontsDrawsInWinFontMode) {
    // Face "DejaVu Sans" as face 0, 30 units high, at a resolution of 100.
    auto special = [](std::initializer_list<int> bytes, const std::string& tail = "") {
        std::string s = "#";
        for (int b : bytes) s += char(b);
        return s + tail;
    };
    Bytes body;
    body.Special(special({0, 2, 0, 0, 0, 0}, std::string("DejaVu Sans")));
    body.Special(special({0, 0, 0, 100}));
    body.Special(special({0, 3, 0, 0, 0, 0}));
    body.Special(special({0, 5, 0, 30}));
    body.Op(dviop::Right4).S(50, 4).Op(dviop::Down4).S(100, 4).Special("html:<a href=\"w\">").Text("H").Special(
        "html:</a>");
    Load(body, {});
    auto dc = CreateMemoryDC(400, 400, 32, 96);
    LinkDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
    EXPECT_EQ(d.IsWinFont(), 1);
    EXPECT_EQ(dvi.GetWinFont(), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    // Positions in 1/100 inch: the baseline at (48, 96) in pixels.
    Box ink = InkBox(*dc);
    ASSERT_FALSE(ink.Empty());
    EXPECT_NEAR(ink.left, 48, 4);
    EXPECT_NEAR(ink.bottom, 96, 1);
    EXPECT_GT(ink.Height(), 10);
    ASSERT_EQ(Count(d.GetHyLinkList()), 1);
    const auto r = d.GetHyLinkList().GetHead()->data->GetRectList().GetHead()->data;
    EXPECT_EQ(r.x, 48);
    // The height, 30 units at 100 dpi, is 28 pixels at 96 dpi.
    EXPECT_EQ(r.y, 96 + 4 - 28);
    d.Close();
}

} // namespace
