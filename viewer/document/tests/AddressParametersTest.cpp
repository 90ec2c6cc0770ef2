#include <gtest/gtest.h>

#include <string>

#include "viewer/document/AddressParameters.h"

namespace {

// The fields a case checks; "-" for a text or kKeep for a number leaves the
// field unchecked.
constexpr int kKeep = 0x7ffffff0;

struct Case {
    const char* address;
    const char* stripped;
    const char* tag;
    int mag, page, originX, originY, originXsp, originYsp;
    int scroll, toolbar, mainToolbar, workspace;
};

const Case kCases[] = {
    // address, stripped, tag, mag, page, ox, oy, oxsp, oysp, scroll, tb, mtb, workspace
    {"doc.dvi", "doc.dvi", "", kMagNone, -1, kParamNone, kParamNone, kParamNone, kParamNone, 4, 2, 2, 0x1000000},
    {"doc.dvi?page=3", "doc.dvi", "", kMagNone, 2, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, 0x1000000},
    {"doc.dvi#sec2", "doc.dvi", "sec2", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    // Query and fragment both: the query is read as well.
    {"doc.dvi?page=3#sec2", "doc.dvi", "sec2", kMagNone, 2, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"http://h/a.dvi?mag=width", "http://h/a.dvi", "", kMagFitWidth, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi?DispMag=PAPER", "a.dvi", "", kMagFitPage, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi?mag=150", "a.dvi", "", 15000, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi?showtoolbar=0", "a.dvi", "", 10000, -1, kKeep, kKeep, kKeep, kKeep, 4, 0, 2, kKeep},
    {"a.dvi?showtoolbar=0&mag=50", "a.dvi", "", 5000, -1, kKeep, kKeep, kKeep, kKeep, 4, 0, 2, kKeep},
    {"a.dvi?origin=1in,2cm", "a.dvi", "", kMagNone, -1, kParamNone, kParamNone, 4736286, 3729359, 4, 2, 2, kKeep},
    {"a.dvi?origin=100,200", "a.dvi", "", kMagNone, -1, 100, 200, kParamNone, kParamNone, 4, 2, 2, kKeep},
    {"a.dvi?origin=10PT,2.5Bp", "a.dvi", "", kMagNone, -1, kParamNone, kParamNone, 655360, 164454, 4, 2, 2, kKeep},
    {"a.dvi?origin=7", "a.dvi", "", kMagNone, -1, 7, kParamNone, kParamNone, kParamNone, 4, 2, 2, kKeep},
    {"a.dvi?showscrollbar=3&showmaintoolbar=1", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 3, 2, 1, kKeep},
    {"a.dvi?showscrollbar=7&showtoolbar=x&showmaintoolbar=11", "a.dvi", "", 10000, -1, kKeep, kKeep, kKeep, kKeep, 0, 0, 0,
     kKeep},
    // Given in web order RRGGBB, kept as 0x00BBGGRR.
    {"a.dvi?workspacecolor=ff8000", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, 0x0080ff},
    {"a.dvi?workspacecolor=ff0000", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, 0x0000ff},
    {"a.dvi?workspacecolor=0x0000FF", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, 0xff0000},
    {"a.dvi?goto=intro&page=2", "a.dvi", "intro", kMagNone, 1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi?targettag=two%20words", "a.dvi", "two words", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    // Repeated names: the last counts; unknown names are skipped.
    {"a.dvi?page=2&colour=red&PAGE=5", "a.dvi", "", kMagNone, 4, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    // A pair without '=' ends the list.
    {"a.dvi?page=2&flag&mag=300", "a.dvi", "", kMagNone, 1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    // The last separator decides: a '#' before the query is part of the address.
    {"a#b.dvi?page=2", "a#b.dvi", "", kMagNone, 1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    // A separator in the first place does not count.
    {"?page=2", "?page=2", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi?", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi#", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    // Hostile values leave their fields as they were.
    {"a.dvi?page=0&mag=-100&mag=0&mag=abc", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
    {"a.dvi?page=99999999999999999999&mag=99999999999", "a.dvi", "", kMaxMagPercent * 100, 2147483646, kKeep, kKeep, kKeep,
     kKeep, 4, 2, 2, kKeep},
    {"a.dvi?page=-5&workspacecolor=1000000&workspacecolor=zz", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2,
     2, 0x1000000},
    {"a.dvi?origin=1e308in,-99999999999", "a.dvi", "", kMagNone, -1, kParamNone, -kMaxPlainOrigin, kParamNone, kParamNone, 4,
     2, 2, kKeep},
    {"a.dvi?origin=99999in,-99999in", "a.dvi", "", kMagNone, -1, kParamNone, kParamNone, kMaxOriginSp, -kMaxOriginSp, 4, 2, 2,
     kKeep},
    {"a.dvi?origin=in,nanpt", "a.dvi", "", kMagNone, -1, kParamNone, kParamNone, kParamNone, kParamNone, 4, 2, 2, kKeep},
    {"a.dvi?goto=bad%zz&targettag=%0&windowname=%00", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2,
     kKeep},
    {"a.dvi#bad%4", "a.dvi", "", kMagNone, -1, kKeep, kKeep, kKeep, kKeep, 4, 2, 2, kKeep},
};

void ExpectNumber(const char* what, int want, int got) {
    if (want != kKeep) {
        EXPECT_EQ(got, want) << what;
    }
}

TEST(AddressParametersTest, TableOfAddresses) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.address);
        AddressParameters p;
        ParseAddressParameters(c.address, p);
        EXPECT_EQ(p.address, c.stripped);
        EXPECT_EQ(p.targetTag, c.tag);
        ExpectNumber("mag", c.mag, p.magnification);
        ExpectNumber("page", c.page, p.page);
        ExpectNumber("originX", c.originX, p.originX);
        ExpectNumber("originY", c.originY, p.originY);
        ExpectNumber("originXsp", c.originXsp, p.originXsp);
        ExpectNumber("originYsp", c.originYsp, p.originYsp);
        ExpectNumber("scroll", c.scroll, p.scrollBarChoice);
        ExpectNumber("toolbar", c.toolbar, p.toolbarChoice);
        ExpectNumber("mainToolbar", c.mainToolbar, p.mainToolbarChoice);
        ExpectNumber("workspace", c.workspace, p.workspaceColor);
    }
}

TEST(AddressParametersTest, TextsAreDecodedAndCapped) {
    AddressParameters p;
    ParseAddressParameters("a.dvi?windowname=Main%20view&goto=x", p);
    EXPECT_EQ(p.windowName, "Main view");
    EXPECT_EQ(p.targetTag, "x");

    // Over the cap: refused, the earlier value stays.
    ParseAddressParameters("a.dvi?goto=" + std::string(kParamTextMax + 1, 'a') + "&windowname=" +
                               std::string(kParamTextMax + 1, 'b'),
                           p);
    EXPECT_EQ(p.targetTag, "");
    EXPECT_EQ(p.windowName, "Main view");

    // A NUL inside a text would cut it short of its length: refused.
    ParseAddressParameters(std::string("a.dvi?hltext=ab\0cd&goto=x\0y", 27), p);
    EXPECT_EQ(p.highlights[0].mode, 0);  // not written
    EXPECT_EQ(p.targetTag, "");

    // Pairs past the count cap are not read.
    std::string many = "a.dvi?";
    for (int i = 0; i < kMaxAddressParameters; ++i) many += "x=1&";
    ParseAddressParameters(many + "page=9", p);
    EXPECT_EQ(p.page, -1);
    EXPECT_EQ(p.address, "a.dvi");
}

TEST(AddressParametersTest, LaterParsesKeepWhatTheyDoNotName) {
    AddressParameters p;
    ParseAddressParameters("a.dvi?page=4&mag=200&showtoolbar=0#t", p);
    ParseAddressParameters("a.dvi?workspacecolor=00ff00", p);
    EXPECT_EQ(p.page, 3);
    EXPECT_EQ(p.workspaceColor, 0x00ff00);
    // No magnification this time and the toolbar still hidden: 100 %.
    EXPECT_EQ(p.magnificationGiven, 0);
    EXPECT_EQ(p.magnification, 10000);
    EXPECT_EQ(p.targetTag, "");
}

TEST(AddressParametersTest, HighlightSlots) {
    struct Slot {
        int active;
        const char* text;
        int mode, red, green, blue;
    };
    const struct {
        const char* address;
        Slot slots[3];
    } cases[] = {
        {"a.dvi?hltext=word&hlcolor=00ff00",
         {{1, "word", 1, 0, 255, 0}, {0, "", 0, 255, 0, 0}, {0, "", 0, 255, 0, 0}}},
        {"a.dvi?hltexti2=Word&hlcolori2=0000ff",
         {{0, "", 0, 255, 0, 0}, {1, "Word", 2, 0, 0, 255}, {0, "", 0, 255, 0, 0}}},
        {"a.dvi?hltext3=z9&hlcolor3=A0B0C0&hltexti=x",
         {{1, "x", 2, 255, 0, 0}, {0, "", 0, 255, 0, 0}, {1, "z9", 1, 0xa0, 0xb0, 0xc0}}},
        // The first of repeated names counts; bad colours keep red.
        {"a.dvi?hltext=first&hltext=second&hlcolor=12345&hlcolor2=gg0000",
         {{1, "first", 1, 255, 0, 0}, {0, "", 0, 255, 0, 0}, {0, "", 0, 255, 0, 0}}},
        // Decoded; not starting with a letter or digit: not active.
        {"a.dvi?hltext=two%20words&hltext2=%20x&hltext3=%C3%A9t%C3%A9",
         {{1, "two words", 1, 255, 0, 0}, {0, " x", 1, 255, 0, 0}, {1, "\xC3\xA9t\xC3\xA9", 1, 255, 0, 0}}},
        // Colours without a text are not read; the wrong case names nothing.
        {"a.dvi?hlcolor=00ff00&HLTEXT=w", {{0, "", 0, 255, 0, 0}, {0, "", 0, 255, 0, 0}, {0, "", 0, 255, 0, 0}}},
        // A malformed escape refuses the text.
        {"a.dvi?hltext=bad%2", {{0, "", 0, 255, 0, 0}, {0, "", 0, 255, 0, 0}, {0, "", 0, 255, 0, 0}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.address);
        AddressParameters p;
        ParseAddressParameters(c.address, p);
        EXPECT_EQ(p.address, "a.dvi");
        for (int i = 0; i < kHighlightSlots; ++i) {
            SCOPED_TRACE(i);
            const HighlightSlot& s = p.highlights[i];
            EXPECT_EQ(s.active, c.slots[i].active);
            EXPECT_STREQ(s.text, c.slots[i].text);
            EXPECT_EQ(s.length, s.active ? int(std::string(c.slots[i].text).size()) : 0);
            EXPECT_EQ(s.mode, c.slots[i].mode);
            EXPECT_EQ(s.red, c.slots[i].red);
            EXPECT_EQ(s.green, c.slots[i].green);
            EXPECT_EQ(s.blue, c.slots[i].blue);
        }
    }
}

TEST(AddressParametersTest, HighlightBlockDoesNotEndTheOtherParameters) {
    AddressParameters p;
    ParseAddressParameters("a.dvi?hltext=word&page=2#tag", p);
    EXPECT_EQ(p.page, 1);
    EXPECT_EQ(p.targetTag, "tag");
    EXPECT_STREQ(p.highlights[0].text, "word");
    EXPECT_EQ(p.highlightDone, 1);
}

TEST(AddressParametersTest, LongHighlightTextIsCutOnACharacterBoundary) {
    AddressParameters p;
    // 'a' then two-byte characters: byte 255 would split one.
    std::string text = "a";
    for (int i = 0; i < 200; ++i) text += "%C3%A9";
    ParseAddressParameters("a.dvi?hltext=" + text, p);
    EXPECT_EQ(p.highlights[0].active, 1);
    EXPECT_EQ(p.highlights[0].length, 255);
    EXPECT_EQ(std::string(p.highlights[0].text).size(), 255u);

    text = "%C3%A9";
    for (int i = 0; i < 200; ++i) text += "%C3%A9";
    ParseAddressParameters("a.dvi?hltext=" + text, p);
    EXPECT_EQ(p.highlights[0].length, 254);
    EXPECT_EQ(p.highlights[0].text[254], '\0');
}

TEST(AddressParametersTest, LocalPaths) {
    const struct {
        const char* address;
        const char* path;
    } cases[] = {
        {"/home/me/doc.dvi", "/home/me/doc.dvi"},
        {"doc.dvi", "doc.dvi"},
        {"file:///home/me/my%20doc.dvi", "/home/me/my doc.dvi"},
        {"FILE://localhost/tmp/a.dvi", "/tmp/a.dvi"},
        {"file:///tmp/bad%zz.dvi", ""},
        {"file:///tmp/nul%00.dvi", ""},
    };
    for (auto& c : cases) EXPECT_EQ(LocalPathOfAddress(c.address), c.path) << c.address;
}

}  // namespace
