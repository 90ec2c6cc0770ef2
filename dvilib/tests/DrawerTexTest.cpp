// The page interpreter on documents made by TeX: every character and rule
// lands where dvitype puts it, with the width TeX used; virtual fonts made by
// vptovf expand to their packets at the right positions.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <tuple>

#include "DrawerFixtures.h"
#include "TexDocumentSupport.h"
#include "dvilib/VrDviFont.h"
#include "platform/kpathsea/KPathSea.h"

using namespace dvitest;

namespace {

const char* kDocument = R"TEX(
\font\big=cmbx10 at 14pt \font\slant=cmsl10 scaled 1200 \font\tiny=cmr5
\parindent=20pt
\centerline{\big A Title, with Kerning: AVAWAY}
\medskip
Plain text with ligatures fi, ffl and accents: \'e \"o \c c \ss\ \AA. {\slant Slanted and {\tiny small}.}
$$ \sum_{i=1}^n x_i^2 = {\int_0^\infty e^{-t}\,dt \over \sqrt{1+\alpha}} \qquad \left( \matrix{a&b\cr c&d} \right) $$
\halign{#\hfil\quad&\hfil#\cr Left&Right\cr a longer entry&1\cr}
\hrule height 0.6pt \vskip 2pt
\hbox{\vrule width 3pt height 4pt depth 1pt \raise 2pt\hbox{up}\lower 3pt\hbox{down} \kern-2pt x}
\hbox to 2in{\leaders\hbox to 6pt{\hss.\hss}\hfil}
\hbox to 1in{\leaders\hrule\hfil}
\special{html:<a href="x">}link\special{html:</a>}
\vfill\eject
Second page \rlap{over}write, \romannumeral 1999, $x\over y$.
\vfill\eject
\font\v=testvf \font\vv=testvvf
\v AB\vv A\rm x
\bye
)TEX";

// A virtual font over cmr10 (font 0) and cmbx10 (font 1), in sixteenths of
// its design size.
const char* kVpl = R"VPL(
(DESIGNSIZE R 10.0)
(DESIGNUNITS R 16)
(MAPFONT D 0 (FONTNAME cmr10) (FONTDSIZE R 10.0))
(MAPFONT D 1 (FONTNAME cmbx10) (FONTDSIZE R 10.0))
(CHARACTER C A (CHARWD R 9) (CHARHT R 7)
   (MAP (PUSH) (MOVERIGHT R 2) (SETCHAR C B) (POP) (MOVEDOWN R 3)
        (SELECTFONT D 1) (SETCHAR C C) (SETRULE R 1 R 4)))
(CHARACTER C B (CHARWD R 5) (MAP (SETCHAR C X) (SPECIAL html:x)))
)VPL";

// A virtual font whose 'A' is testvf's 'A', one level deeper.
const char* kVvpl = R"VPL(
(DESIGNSIZE R 10.0)
(MAPFONT D 0 (FONTNAME testvf) (FONTDSIZE R 10.0))
(CHARACTER C A (CHARWD R 0.9) (MAP (SETCHAR C A)))
)VPL";

// What dvitype -output-level=4 says of each page: characters and rules at
// their file offsets, with h and v in DVI units.
struct Mark {
    char kind;
    long offset;
    int h, v;
    unsigned code;
    int a, b;  // character: width; rule: height, width
    bool operator==(const Mark&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Mark& m) {
    return o << m.kind << "@" << m.offset << " (" << m.h << "," << m.v << ") " << m.code << " " << m.a << "/" << m.b;
}

std::vector<std::vector<Mark>> ParseDviType(const std::string& text) {
    std::vector<std::vector<Mark>> pages;
    std::istringstream in(text);
    std::string line;
    int h = 0, v = 0;
    while (std::getline(in, line)) {
        long at = 0;
        int a = 0, b = 0, used = 0;
        const char* l = line.c_str();
        if (std::sscanf(l, "%ld: beginning of page %d", &at, &a) == 2) {
            pages.emplace_back();
            h = v = 0;
            continue;
        }
        if (std::sscanf(l, "level %d:(h=%d,v=%d", &a, &b, &used) == 3) {
            h = b, v = used;
            continue;
        }
        if (pages.empty()) continue;
        int code = 0, width = 0;
        used = 0;
        if ((std::sscanf(l, "%ld: setchar%d h:=%*d%d%n", &at, &code, &width, &used) == 3 ||
             std::sscanf(l, "%ld: set1 %d h:=%*d%d%n", &at, &code, &width, &used) == 3) && used) {
            pages.back().push_back({'c', at, h, v, unsigned(code), width, 0});
        } else if (std::sscanf(l, "%ld: put1 %d", &at, &code) == 2) {
            pages.back().push_back({'c', at, h, v, unsigned(code), -1, 0});
        } else if (std::sscanf(l, "%ld: setrule height %d, width %d", &at, &a, &b) == 3 ||
                   std::sscanf(l, "%ld: putrule height %d, width %d", &at, &a, &b) == 3) {
            if (a > 0 && b > 0) pages.back().push_back({'r', at, h, v, 0, a, b});
        }
        // The new h and v follow the instruction, on its line or the next:
        // " h:=old+delta=new, hh:=..." and " v:=old+delta=new, vv:=...".
        for (auto [key, end, reg] : {std::tuple{" h:=", ", hh:=", &h}, std::tuple{" v:=", ", vv:=", &v}}) {
            size_t from = (" " + line).find(key);
            if (from == std::string::npos) continue;
            std::string part = (" " + line).substr(from, (" " + line).find(end, from) - from);
            size_t eq = part.rfind('=');
            std::sscanf(part.c_str() + eq + 1, "%d", reg);
        }
    }
    return pages;
}

class TexPages : public ::testing::Test, public TexDocument {
protected:
    void SetUp() override {
        // Fonts: the folder first (the virtual fonts), then kpathsea.
        VirtualFont("testvf", kVpl);
        VirtualFont("testvvf", kVvpl);
        ASSERT_NO_FATAL_FAILURE(Typeset(kDocument));
        std::string dt = RunIn(dir, "dvitype -output-level=4 doc.dvi");
        ASSERT_EQ(dt.rfind("FAILED", 0), std::string::npos) << dt;
        ref = ParseDviType(dt);
        ASSERT_EQ(ref.size(), 3u);
    }

    std::vector<Mark> Draw(int page) {
        RecordingDrawer d;
        EXPECT_EQ(d.Open(dvi, page), 1);
        EXPECT_EQ(d.Draw(-1), 1);
        std::vector<Mark> out;
        const long start = dvi.GetPageStartOffset(page);
        for (const auto& e : d.events)
            if (e.kind == 'c') out.push_back({'c', start + e.offset, e.h, e.v, e.code, e.a, 0});
            else if (e.kind == 'r') out.push_back({'r', start + e.offset, e.h, e.v, 0, e.a, e.b});
        specials = d.Specials();
        return out;
    }

    std::vector<std::vector<Mark>> ref;
    std::vector<DrawEvent> specials;
};

} // namespace

TEST_F(TexPages, EveryCharacterAndRuleWhereDviTypePutsIt) {
    for (int page = 0; page < 2; ++page) {
        std::vector<Mark> got = Draw(page);
        ASSERT_GT(ref[size_t(page)].size(), 30u);
        ASSERT_EQ(got.size(), ref[size_t(page)].size()) << page;
        for (size_t i = 0; i < got.size(); ++i) {
            Mark want = ref[size_t(page)][i];
            if (want.a < 0) want.a = got[i].a;  // a put's width is not printed
            ASSERT_EQ(got[i], want) << "page " << page << " mark " << i;
        }
    }
    // The document has rules of both kinds, leaders among them.
    int rules = 0;
    for (const auto& m : ref[0]) rules += m.kind == 'r';
    EXPECT_GE(rules, 4);
}

TEST_F(TexPages, VirtualFontsExpandAtTheirCharacters) {
    std::vector<Mark> got = Draw(2);
    // dvitype sees the virtual characters A, B (testvf), A (testvvf), then x
    // and the page number.
    const auto& marks = ref[2];
    ASSERT_EQ(marks.size(), 5u);
    const VrDvi::ItrnFont* vf = nullptr;
    for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it)
        if (it()->GetName() == String8("testvf")) vf = it();
    ASSERT_NE(vf, nullptr);
    ASSERT_TRUE(vf->IsVirtual());
    const VrDvi::ItrnFont* bold = vf->GetLocalFont(1);
    ASSERT_NE(bold, nullptr);
    const int unit = 655360 / 16, wC = bold->GetCharWidthA('C');

    auto expandA = [&](const Mark& at, long offset) {
        return std::vector<Mark>{
            {'c', offset, at.h + 2 * unit, at.v, 'B', vf->GetLocalFont(0)->GetCharWidthA('B'), 0},
            {'c', offset, at.h, at.v + 3 * unit, 'C', wC, 0},
            {'r', offset, at.h + wC, at.v + 3 * unit, 0, unit, 4 * unit},
        };
    };
    std::vector<Mark> want = expandA(marks[0], marks[0].offset);
    want.push_back({'c', marks[1].offset, marks[1].h, marks[1].v, 'X', vf->GetLocalFont(0)->GetCharWidthA('X'), 0});
    for (const Mark& m : expandA(marks[2], marks[2].offset)) want.push_back(m);
    want.push_back(marks[3]);
    want.push_back(marks[4]);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << i;
    // The packet's special is met at its place, and the page goes on where
    // TeX put its next character.
    ASSERT_EQ(specials.size(), 1u);
    EXPECT_EQ(specials[0].text, "html:x");
    EXPECT_EQ(specials[0].h, marks[1].h + vf->GetLocalFont(0)->GetCharWidthA('X'));
    EXPECT_EQ(specials[0].offset + dvi.GetPageStartOffset(2), marks[1].offset);
}
