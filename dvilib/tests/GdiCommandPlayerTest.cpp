// The player of binary drawing-command specials: specials written into DVI
// pages with the DVI writer, drawn by the page drawer on a recording DC (the
// calls and their device coordinates) or a memory DC (the pixels); every
// special cut short or with counts beyond its bytes is taken and ignored.
#include <gtest/gtest.h>

#include <algorithm>

#include "SpecialTestSupport.h"
#include "dvilib/GdiCommandPlayer.h"
#include "platform/gdi/RecordingDC.h"

using namespace dvitest;

namespace {

constexpr int kOX = SpecialPage::kOriginX, kOY = SpecialPage::kOriginY;
const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0);

// "GDI" specials: opcode big-endian, then the operands.
SpecialBytes Gdi(int opcode) { return SpecialBytes("GDI").Be16(opcode); }
// A count and points, little-endian.
SpecialBytes GdiPoints(int opcode, std::vector<std::pair<int, int>> pts) {
    SpecialBytes s = Gdi(opcode).Be16(int(pts.size()));
    for (auto [x, y] : pts) s.Le16(x).Le16(y);
    return s;
}
// "#" specials.
SpecialBytes Path(int opcode) { return SpecialBytes("#").Be16(opcode); }

// The calls a page of the specials makes on a recording DC after Open.
std::vector<std::string> Record(const std::vector<SpecialBytes>& specials) {
    Bytes b;
    for (const auto& s : specials) Special4(b, s);
    RecordingDC dc(240, 240, 32, 96);
    SpecialPage page(b, dc);
    if (!page.drawer.Open(dc, page.dvi, 0, fpreal4(10000), kOX, kOY, 0, String8())) return {"open failed"};
    dc.ClearCalls();
    page.drawer.Draw(-1);
    return dc.Calls();
}

bool Has(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

bool HasPrefix(const std::vector<std::string>& calls, const std::string& prefix) {
    return std::any_of(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

std::string Join(const std::vector<std::string>& calls) {
    std::string s;
    for (const auto& c : calls) s += c + "\n";
    return s;
}

// At the default 300 units per inch, 300 is the DVI origin (20 pixels on the
// device), 450 half an inch on (68) and 600 an inch (116).
TEST(GdiSpecialPlayer, GdiOpcodesOnARecordingDC) {
    std::vector<uint8_t> dib = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
    dib.resize(40, 0);
    for (int i = 0; i < 2; ++i) dib.insert(dib.end(), {0, 0, 255, 0, 0, 255, 0, 0});
    std::vector<uint8_t> attributes(42, 0);
    attributes[0] = 7;   // R2_XORPEN
    attributes[2] = 1;   // TRANSPARENT
    attributes[36] = 3;  // COLORONCOLOR
    const std::vector<uint8_t> mono = {0xFF, 0x00, 0xFF, 0x00};

    struct Case {
        const char* name;
        std::vector<SpecialBytes> specials;
        std::vector<std::string> calls;    // each must be made
        std::vector<std::string> without;  // prefixes of calls that must not be made
    } cases[] = {
        {"rectangle", {GdiPoints(0x0006, {{300, 300}, {600, 450}})}, {"Rectangle(20,20,116,68)"}, {}},
        {"ellipse", {GdiPoints(0x0007, {{300, 300}, {600, 450}})}, {"Ellipse(20,20,116,68)"}, {}},
        {"polyline", {GdiPoints(0x0012, {{300, 300}, {600, 450}, {450, 600}})}, {"Polyline(3)"}, {}},
        {"polygon winding", {GdiPoints(0x0014, {{300, 300}, {600, 450}, {450, 600}})},
         {"SetPolyFillMode(2)", "Polygon(3)"}, {}},
        {"polygon alternate", {GdiPoints(0x0016, {{300, 300}, {600, 450}, {450, 600}})},
         {"SetPolyFillMode(1)", "Polygon(3)"}, {}},
        {"bezier", {GdiPoints(0x0001, {{300, 300}, {600, 300}, {600, 600}, {300, 600}})}, {"PolyBezier(4)"}, {}},
        {"pie", {GdiPoints(0x0017, {{300, 300}, {600, 600}, {600, 450}, {300, 450}})},
         {"Pie(20,20,116,116,116,68,20,68)"}, {}},
        {"chord", {GdiPoints(0x0020, {{300, 300}, {600, 600}, {600, 450}, {300, 450}})},
         {"Chord(20,20,116,116,116,68,20,68)"}, {}},
        {"polypolygon",
         {Gdi(0x4016).Be16(2).Be16(3).Be16(3).Le16(300).Le16(300).Le16(600).Le16(300).Le16(450).Le16(450)
              .Le16(300).Le16(600).Le16(600).Le16(600).Le16(450).Le16(450)},
         {"SetPolyFillMode(1)", "PolyPolygon(2)"}, {}},
        {"runs", {Gdi(0x0004).Be16(3).Le16(0).Le16(450).Le16(300).Le16(600).Le16(300).Le16(450)},
         {"MoveTo(20,68)", "LineTo(116,68)", "LineTo(68,68)"}, {}},
        {"runs of the brush colour",
         {Gdi(0x8002).Le16(0).Le32(0x0000FF).Le16(0), Gdi(0x0004).Be16(2).Le16(1).Le16(450).Le16(300).Le16(600)},
         {"SelectObject(\"pen(0,1,0xff)\")", "LineTo(116,68)"}, {}},
        {"run count 1", {Gdi(0x0004).Be16(1).Le16(0).Le16(450)}, {}, {"MoveTo", "LineTo"}},
        {"pen", {Gdi(0x8001).Le16(0).Le16(30).Le16(0).Le32(0xFF), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"SelectObject(\"pen(0,10,0xff)\")", "Rectangle(20,20,116,68)"}, {}},
        {"pen removed", {Gdi(0x8001).Le16(0).Le16(30).Le16(0).Le32(0xFF), Gdi(0x8001), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"Rectangle(20,20,116,68)"}, {"SelectObject(\"pen(0,10"}},
        {"solid brush", {Gdi(0x8002).Le16(0).Le32(0x00FF00).Le16(0), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"SelectObject(\"brush(0,0xff00,0)\")"}, {}},
        {"hatch brush", {Gdi(0x8002).Le16(2).Le32(0x00FF00).Le16(3), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"SelectObject(\"brush(2,0xff00,3)\")"}, {}},
        {"brush removed", {Gdi(0x8002).Le16(0).Le32(0x00FF00).Le16(0), Gdi(0x8002), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"Rectangle(20,20,116,68)"}, {"SelectObject(\"brush(0,0xff00"}},
        {"clip", {Gdi(0x8003).Le16(300).Le16(300).Le16(600).Le16(450)},
         {"SelectClipRgn(\"region(20,20,116,68)\",5)"}, {}},
        {"resolution", {Gdi(0x800B).Be16(600).Be16(600), GdiPoints(0x0006, {{600, 600}, {1200, 900}})},
         {"Rectangle(20,20,116,68)"}, {}},
        {"resolution 0 ignored", {Gdi(0x800B).Be16(0).Be16(600), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"Rectangle(20,20,116,68)"}, {}},
        {"attributes", {Gdi(0x800A).Raw(attributes), GdiPoints(0x0006, {{300, 300}, {600, 450}})},
         {"SetROP2(7)", "SetBkMode(1)", "SetStretchBltMode(3)"}, {}},
        {"pixel", {Gdi(0x8007).Be16(600).Be16(450).Be32(0xFF)}, {"SetPixel(116,68,0xff)"}, {}},
        {"blit without bitmap", {Gdi(0x8005).Be16(300).Be16(300).Be16(300).Be16(150).Be16(8).Be16(8).Be32(0xF00021)},
         {"PatBlt(20,20,96,48,0xf00021)"}, {"StretchBlt"}},
        {"blit of the kept bitmap",
         {Gdi(0x8004).Le16(0).Le16(8).Le16(2).Le16(2).U8(1).U8(1).Le32(0).Raw(mono),
          Gdi(0x8005).Be16(300).Be16(300).Be16(300).Be16(150).Be16(8).Be16(2).Be32(0xCC0020)},
         {"SetStretchBltMode(2)", "StretchBlt(20,20,96,48,0,0,8,2,0xcc0020)"}, {"PatBlt"}},
        {"stored bitmap", {Gdi(0x8008).Raw(dib), Gdi(0x8009).Be16(300).Be16(300).Be16(300).Be16(300).Be16(0).Be16(0).Be16(2).Be16(2).Be32(0xCC0020)},
         {"StretchDIBits(20,20,96,96,0,0,2,2,0x0,0xcc0020)"}, {}},
        {"stored bitmap used once",
         {Gdi(0x8008).Raw(dib), Gdi(0x800E).Be16(300).Be16(300).Be16(30).Be16(30).Be16(0).Be16(0).Be16(2).Be16(2).Be32(0xCC0020),
          Gdi(0x800E).Be16(600).Be16(600).Be16(30).Be16(30).Be16(0).Be16(0).Be16(2).Be16(2).Be32(0xCC0020)},
         {"StretchDIBits(20,20,10,10,0,0,2,2,0x0,0xcc0020)"}, {"StretchDIBits(116"}},
        {"embedded specials in order",
         {Gdi(0x80FF)
              .U8(239).U8(int(GdiPoints(0x0006, {{300, 300}, {600, 450}}).b.size())).Raw(GdiPoints(0x0006, {{300, 300}, {600, 450}}).b)
              .U8(240).Be16(int(GdiPoints(0x0007, {{300, 300}, {450, 450}}).b.size())).Raw(GdiPoints(0x0007, {{300, 300}, {450, 450}}).b)},
         {"Rectangle(20,20,116,68)", "Ellipse(20,20,68,68)"}, {}},
        {"unknown opcode", {Gdi(0x1234).Str("anything")}, {}, {"Rectangle"}},
    };
    for (const Case& c : cases) {
        const auto calls = Record(c.specials);
        for (const auto& call : c.calls) EXPECT_TRUE(Has(calls, call)) << c.name << ": " << call << "\n" << Join(calls);
        for (const auto& call : c.without) EXPECT_FALSE(HasPrefix(calls, call)) << c.name << ": " << call;
    }
    // The embedded specials are played in their order.
    const SpecialBytes ellipse = GdiPoints(0x0007, {{300, 300}, {450, 450}});
    const SpecialBytes rectangle = GdiPoints(0x0006, {{300, 300}, {600, 450}});
    const auto calls = Record({Gdi(0x80FF)
                                   .U8(239).U8(int(ellipse.b.size())).Raw(ellipse.b)
                                   .U8(239).U8(int(rectangle.b.size())).Raw(rectangle.b)});
    const auto e = std::find(calls.begin(), calls.end(), "Ellipse(20,20,68,68)");
    const auto r = std::find(calls.begin(), calls.end(), "Rectangle(20,20,116,68)");
    ASSERT_NE(e, calls.end());
    ASSERT_NE(r, calls.end());
    EXPECT_LT(e - calls.begin(), r - calls.begin());
}

TEST(GdiSpecialPlayer, WhichSpecialsAreTaken) {
    RecordingDC dc(50, 50);
    SpecialPage page(Bytes(), dc);
    ASSERT_EQ(page.drawer.Open(dc, page.dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
    GdiSpecialPlayer player(&page.drawer);
    player.Reset();
    struct Case {
        SpecialBytes special;
        int taken;
    } cases[] = {
        {SpecialBytes("color: 1 0 0"), 0}, {SpecialBytes("GD"), 0},        {SpecialBytes("GDI"), 1},
        {Gdi(0x7777), 1},                  {Path(0), 1},                   {Path(0x0C), 0},
        {Path(0x10), 0},                   {Path(0x11), 0},                {Path(0x13), 0},
        {Path(0x14).Be32(0), 1},           {Path(0x15), 0},                {Path(0x130), 1},
        {Path(0x999), 0},                  {SpecialBytes("#"), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(player.Process(c.special.b.data(), unsigned(c.special.b.size())), c.taken) << c.special.Text();
    EXPECT_EQ(player.Process(nullptr, 0), 0);
    page.drawer.Close();
}

TEST(GdiSpecialPlayer, FontStateGoesToTheDrawer) {
    Bytes b;
    Special4(b, Path(3).Be32(2));
    Special4(b, Path(4).Be16(-30 & 0xFFFF));  // 30 units at 300 dpi: 9 pixels, escapement 900
    Special4(b, Path(5).Be16(60));
    Special4(b, Path(6));
    Special4(b, Path(8));
    Special4(b, Path(10).U8(80));
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    const VrDvi::FontSpecialState& st = page.drawer.GetFontState();
    EXPECT_EQ(st.faceIndex, 2);
    EXPECT_EQ(st.width, 9);
    EXPECT_EQ(st.height, 19);
    EXPECT_EQ(st.escapement, 0);  // the height special came last
    EXPECT_EQ(st.bold, 1);
    EXPECT_EQ(st.italic, 1);
    EXPECT_EQ(st.percent & 0xFF, 80);
    // The reader's state is not the drawer's.
    EXPECT_EQ(page.dvi.GetFontSpecialState().faceIndex, 0);
}

// Path figures on a memory DC; "#" lengths at 300 dpi and 96: 300 is 96
// pixels, from the device corner.
TEST(GdiSpecialPlayer, PathFigures) {
    auto draw = [](const std::vector<SpecialBytes>& specials) {
        Bytes b;
        for (const auto& s : specials) Special4(b, s);
        auto page = std::make_unique<SpecialPage>(b);
        EXPECT_EQ(page->Draw(), 1);
        return page;
    };
    auto rect = [](int side) {
        return Path(0x129).Be16(300).Be16(300).Be16(30).Be16(30).U8(side).Be32(2);  // corners in any order
    };
    {
        // Side byte 1 leaves the top open; 0 keeps all four sides.
        auto open = draw({Path(0x24).U8(0).U8(0).U8(0), rect(1)});
        EXPECT_EQ(PixelAt(open->Dc(), 50, 9), kWhite);
        EXPECT_EQ(PixelAt(open->Dc(), 50, 96), kBlack);
        EXPECT_EQ(PixelAt(open->Dc(), 9, 50), kBlack);
        EXPECT_EQ(PixelAt(open->Dc(), 96, 50), kBlack);
        auto closed = draw({Path(0x24).U8(0).U8(0).U8(0), rect(0)});
        EXPECT_EQ(PixelAt(closed->Dc(), 50, 9), kBlack);
        auto left = draw({Path(0x24).U8(0).U8(0).U8(0), rect(4)});
        EXPECT_EQ(PixelAt(left->Dc(), 9, 50), kWhite);
        EXPECT_EQ(PixelAt(left->Dc(), 50, 9), kBlack);
    }
    {
        // A fill alone, in the fill colour, outlined in it too.
        auto fill = draw({Path(0x23).U8(255).U8(0).U8(0),
                          Path(0x12B).Be32(4).Be16(30).Be16(30).Be16(300).Be16(30).Be16(300).Be16(300).Be16(30).Be16(300).Be32(8)});
        EXPECT_EQ(PixelAt(fill->Dc(), 50, 50), kRed);
        EXPECT_EQ(PixelAt(fill->Dc(), 9, 50), kRed);
        EXPECT_EQ(PixelAt(fill->Dc(), 150, 50), kWhite);
    }
    {
        // A clip path limits later drawing; a stroke with flags 3 removes it.
        auto clip = draw({Path(0x105).Be32(4).Be16(0).Be16(0).Be16(150).Be16(0).Be16(150).Be16(600).Be16(0).Be16(600),
                          Path(0x20).Be16(0).Be16(30),  // 9 pixels wide
                          Path(0x122).Be16(0).Be16(300).Be16(600)});
        EXPECT_EQ(PixelAt(clip->Dc(), 20, 96), kBlack);
        EXPECT_EQ(PixelAt(clip->Dc(), 100, 96), kWhite);
        auto unclipped = draw({Path(0x105).Be32(4).Be16(0).Be16(0).Be16(150).Be16(0).Be16(150).Be16(600).Be16(0).Be16(600),
                               Path(0x20).Be16(0).Be16(30), Path(0x112).Be16(0).Be16(300).Be16(600)});
        EXPECT_EQ(PixelAt(unclipped->Dc(), 100, 96), kBlack);
    }
    {
        // Odd line opcodes stroke in the fill colour; line extension lengthens.
        auto odd = draw({Path(0x22).U8(0).U8(0).U8(0), Path(0x23).U8(255).U8(0).U8(0), Path(0x20).Be16(0).Be16(30),
                         Path(0x123).Be16(30).Be16(300).Be16(300)});
        EXPECT_EQ(PixelAt(odd->Dc(), 50, 96), kRed);
        auto plain = draw({Path(0x20).Be16(0).Be16(3), Path(0x122).Be16(30).Be16(300).Be16(300)});
        EXPECT_EQ(PixelAt(plain->Dc(), 8, 96), kWhite);
        auto extended = draw({Path(0x100), Path(0x20).Be16(0).Be16(3), Path(0x122).Be16(30).Be16(300).Be16(300)});
        EXPECT_EQ(PixelAt(extended->Dc(), 8, 96), kBlack);
    }
    {
        // Colour slots: a hatch slot taken for the fill.
        const auto calls = Record({Path(0x27).Be32(5).U8(0).U8(0).U8(255).U8(2), Path(0x2C).Be32(5),
                                   Path(0x12B).Be32(3).Be16(0).Be16(0).Be16(300).Be16(0).Be16(0).Be16(300).Be32(6)});
        EXPECT_TRUE(Has(calls, "SelectObject(\"brush(2,0xff0000,2)\")")) << Join(calls);
        EXPECT_TRUE(Has(calls, "StrokeAndFillPath()")) << Join(calls);
        EXPECT_TRUE(Has(calls, "PolyDraw(4)")) << Join(calls);
    }
    {
        // A compound figure: lines, then a Bezier step from mark 2.
        const auto calls = Record({Path(0x12E).Be32(5).Be16(0).Be16(0).Be16(300).Be16(0).Be16(300).Be16(300)
                                       .Be16(0).Be16(300).Be16(0).Be16(0).U8(0).Be32(1).Be32(2).U8(4).Be32(2)});
        EXPECT_TRUE(Has(calls, "PolyDraw(5)")) << Join(calls);
        EXPECT_TRUE(Has(calls, "StrokePath()")) << Join(calls);
    }
}

// Every special of the tables above, cut at every length, and specials whose
// counts run past their bytes: taken and ignored without harm.
TEST(GdiSpecialPlayer, TruncatedAndOversizedSpecials) {
    RecordingDC dc(100, 100);
    SpecialPage page(Bytes(), dc);
    ASSERT_EQ(page.drawer.Open(dc, page.dvi, 0, fpreal4(10000), 0, 0, 0, String8()), 1);
    GdiSpecialPlayer player(&page.drawer);
    player.Reset();
    std::vector<uint8_t> dib = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
    dib.resize(56, 0);
    const std::vector<SpecialBytes> full = {
        GdiPoints(0x0006, {{300, 300}, {600, 450}}),
        GdiPoints(0x4014, {{300, 300}}),
        Gdi(0x0004).Be16(3).Le16(0).Le16(450).Le16(300).Le16(600).Le16(300).Le16(450),
        Gdi(0x8001).Le16(0).Le16(30).Le16(0).Le32(0xFF),
        Gdi(0x8002).Le16(3).Le32(0).Le16(12).Raw(std::vector<unsigned char>(8, 0)).Le16(0).Le16(8).Le16(1).Le16(2).U8(1).U8(1).Le16(0xFFFF),
        Gdi(0x8002).Le16(3).Le32(1).Le16(0).Raw(std::vector<unsigned char>(24, 0x55)),
        Gdi(0x8004).Le16(0).Le16(8).Le16(2).Le16(2).U8(1).U8(1).Le32(0).Le32(0xFF00FF00),
        Gdi(0x8005).Be16(300).Be16(300).Be16(300).Be16(150).Be16(8).Be16(8).Be32(0xF00021),
        Gdi(0x8008).Raw(dib),
        Gdi(0x8009).Be16(300).Be16(300).Be16(300).Be16(300).Be16(0).Be16(0).Be16(2).Be16(2).Be32(0xCC0020),
        Gdi(0x800A).Raw(std::vector<unsigned char>(42, 1)),
        Gdi(0x80FF).U8(239).U8(15).Raw(GdiPoints(0x0006, {{300, 300}, {600, 450}}).b),
        Path(0x28).Be32(1).Be16(8).Be16(8).U8(1).U8(1).Raw(std::vector<unsigned char>(16, 0xAA)),
        Path(0x129).Be16(300).Be16(300).Be16(30).Be16(30).U8(1).Be32(2),
        Path(0x12B).Be32(3).Be16(0).Be16(0).Be16(300).Be16(0).Be16(0).Be16(300).Be32(6),
        Path(0x12D).Be32(4).Be16(0).Be16(0).Be16(300).Be16(0).Be16(300).Be16(300).Be16(0).Be16(300).Be32(2),
        Path(0x12E).Be32(5).Be16(0).Be16(0).Be16(300).Be16(0).Be16(300).Be16(300).Be16(0).Be16(300).Be16(0).Be16(0)
            .U8(0).Be32(1).Be32(2).U8(4).Be32(2),
        Path(0x420).Be32(0).Be16(3),
        Path(0x26).Be32(9).U8(1).U8(2).U8(3),
    };
    for (const SpecialBytes& s : full)
        for (size_t n = 0; n <= s.b.size(); ++n) {
            const int taken = player.Process(s.b.data(), unsigned(n));
            if (n >= 3 && s.b[0] == 'G') {
                EXPECT_EQ(taken, 1) << n;
            }
        }
    // Counts beyond the bytes: nothing is drawn.
    dc.ClearCalls();
    const std::vector<SpecialBytes> oversized = {
        Gdi(0x0012).Be16(1000).Le16(1).Le16(2),
        Gdi(0x0004).Be16(0).Le16(0).Le16(0),
        Gdi(0x4014).Be16(2).Be16(3).Be16(60000).Le16(1).Le16(1),
        Gdi(0x8002).Le16(3).Le32(0).Le16(4).Raw(std::vector<unsigned char>(20, 0)),          // size below 10
        Gdi(0x8004).Le16(0).Le16(2000).Le16(2000).Le16(250).Le16(1).Le16(1).U8(1).U8(1),   // bits missing
        Gdi(0x8008).Le32(40).Le32(100000).Le32(100000).Le16(1).Le16(24),                    // bits missing
        Gdi(0x8009).Be16(0).Be16(0).Be16(1).Be16(1).Be16(0).Be16(0).Be16(1).Be16(1).Be32(0xCC0020),  // no bitmap
        Gdi(0x80FF).U8(242).Be32(0x7FFFFFFF).Str("GDI"),
        Gdi(0x80FF).U8(100),
        Path(0x12A).Be32(0x40000000).Be16(1).Be16(1).Be32(2),
        Path(0x107).Be32(2).Be16(0).Be16(0).Be16(9).Be16(9).U8(0).Be32(1).Be32(7).U8(1),  // mark past the points
        Path(0x107).Be32(2).Be16(0).Be16(0).Be16(9).Be16(9).U8(0).Be32(1).Be32(1).U8(1),  // move at the last point
        Path(0x12C).Be32(2).Be16(0).Be16(0).Be16(9).Be16(9).Be32(2),                      // a Bezier step needs three
        Path(0x28).Be32(1).Be16(800).Be16(800).U8(1).U8(1).Raw(std::vector<unsigned char>(16, 0)),
    };
    for (const SpecialBytes& s : oversized) EXPECT_EQ(player.Process(s.b.data(), unsigned(s.b.size())), 1) << s.Text();
    for (const char* name : {"Polyline", "MoveTo", "PolyPolygon", "StretchDIBits", "PolyDraw", "Rectangle"})
        EXPECT_FALSE(HasPrefix(dc.Calls(), name)) << name << "\n" << Join(dc.Calls());
    // Embedded specials nest only so deep.
    SpecialBytes nested = GdiPoints(0x0006, {{300, 300}, {600, 450}});
    for (int i = 0; i < 40; ++i) {
        SpecialBytes outer = Gdi(0x80FF).U8(242).Be32(uint32_t(nested.b.size())).Raw(nested.b);
        nested = outer;
    }
    dc.ClearCalls();
    EXPECT_EQ(player.Process(nested.b.data(), unsigned(nested.b.size())), 1);
    EXPECT_FALSE(HasPrefix(dc.Calls(), "Rectangle"));
    player.Release();
    page.drawer.Close();
}

} // namespace
