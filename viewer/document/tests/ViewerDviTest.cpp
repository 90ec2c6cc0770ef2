// The viewer reader's special parsers, the note special codec and the
// document's side files carried inside the document.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "platform/ui/tests/QtTestApp.h"
#include "testsupport/TestTools.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/NoteSpecial.h"
#include "viewer/document/ViewerDvi.h"
#include "viewer/document/VrViewerDoc.h"

namespace {

const unsigned char* U(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

TEST(ViewerSpecials, PaperSizeArguments) {
    struct {
        const char* args;
        bool ok;
        int w, h;
    } cases[] = {
        {"=210mm,297mm", true, 2100000, 2970000},
        {" = 8.5in , 11in", true, 2159000, 2794000},
        {"=21cm,29.7CM", true, 2100000, 2970000},
        {"=597.5pt,845bp", true, 2099972, 2980972},
        {"=65536sp,1in", true, 3515, 254000},
        {"=0mm,297mm", false, 0, 0},       // zero
        {"=210xx,297mm", false, 0, 0},     // unknown unit
        {"=210mm 297mm", false, 0, 0},     // no comma
        {"210mm,297mm", false, 0, 0},      // no equals sign
        {"=1e12in,1in", false, 0, 0},      // no such number
        {"=1000000000000in,1in", false, 0, 0},  // beyond any paper
        {"=10001mm,1mm", false, 0, 0},
        {"=-5mm,1mm", false, 0, 0},
        {"=210mm,", false, 0, 0},
        {"=210m", false, 0, 0},           // cut short
    };
    for (const auto& c : cases) {
        int w = 0, h = 0;
        EXPECT_EQ(ViewerDvi::ParsePaperSizeArgs(U(c.args), w, h), c.ok) << c.args;
        if (c.ok) {
            EXPECT_EQ(w, c.w) << c.args;
            EXPECT_EQ(h, c.h) << c.args;
        }
    }
}

TEST(ViewerSpecials, NumbersIgnoreTheProcessLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    int w = 0, h = 0;
    EXPECT_TRUE(ViewerDvi::ParsePaperSizeArgs(U("=8.5in,11in"), w, h));
    EXPECT_EQ(w, 2159000);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ViewerSpecials, DefaultOriginAndWorkspaceColourArguments) {
    struct {
        const char* args;
        bool ok;
        double x, y;
    } origins[] = {
        {"1in 2cm", true, 1.0, 2 / 2.54},
        {"  72.27pt   72bp  ", true, 1.0, 1.0},
        {"0in 1in", false, 0, 0},      // an origin of 0 is refused
        {"1in", false, 0, 0},
        {"1 in 1in", false, 0, 0},     // the unit follows the number directly
        {"1in 1in x", false, 0, 0},    // only blanks behind
        {"1in 1qq", false, 0, 0},
        {"400in 1in", false, 0, 0},    // beyond 10 m
    };
    for (const auto& c : origins) {
        double x = 0, y = 0;
        EXPECT_EQ(ViewerDvi::ParseDefaultOrgArgs(U(c.args), x, y), c.ok) << c.args;
        if (c.ok) {
            EXPECT_NEAR(x, c.x, 1e-9) << c.args;
            EXPECT_NEAR(y, c.y, 1e-9) << c.args;
        }
    }
    struct {
        const char* args;
        bool ok;
        COLORREF colour;
    } colours[] = {
        {"255 0 0", true, 0x0000FF},
        {" 0 128 255 ", true, 0xFF8000},
        {"1 2 3", true, 0x030201},
        {"256 0 0", false, 0},
        {"-1 0 0", false, 0},
        {"255 0", false, 0},
        {"255 0 0 7", false, 0},
        {"255,0,0", false, 0},
        {"a b c", false, 0},
        {"99999999999 0 0", false, 0},
    };
    for (const auto& c : colours) {
        COLORREF colour = 0;
        EXPECT_EQ(ViewerDvi::ParseWorkspaceColorArgs(U(c.args), colour), c.ok) << c.args;
        if (c.ok) {
            EXPECT_EQ(colour, c.colour) << c.args;
        }
    }
}

TEST(ViewerSpecials, WatermarkInstructionBytes) {
    const std::string special = "watermarkgraphics: 0pt 0pt 1in 1in 2in 2in wmf mark.wmf";
    std::vector<unsigned char> out;
    std::string file;
    ASSERT_TRUE(ViewerDvi::BuildWatermarkInstruction(U(special.c_str()), int(special.size()), out, file));
    const std::string a = special.substr(18);
    const size_t n = a.size();
    ASSERT_EQ(out.size(), n + 20);
    EXPECT_EQ(out[0], 242);
    const uint32_t len = uint32_t(out[1]) << 24 | uint32_t(out[2]) << 16 | uint32_t(out[3]) << 8 | out[4];
    EXPECT_EQ(len, n + 10);
    EXPECT_EQ(std::string(out.begin() + 5, out.begin() + 15 + long(n)), "graphics: " + a);
    EXPECT_EQ(out[15 + n], 0);
    EXPECT_EQ(file, "mark.wmf");

    for (const char* bad : {"watermarkgraphics: 0pt 0pt 1in 1in 2in 2in PNG mark.png",  // type
                            "watermarkgraphics: 0pt 0pt 1in 1in 2in WMF mark.wmf",      // five dimensions
                            "watermarkgraphics: 0pt 0pt 1in 1in 2in 2in EPS",           // no name
                            "watermarkgraphics:"}) {
        EXPECT_FALSE(ViewerDvi::BuildWatermarkInstruction(U(bad), int(std::strlen(bad)), out, file)) << bad;
    }
}

TEST(NoteSpecialCodec, EncodeAndDecode) {
    NoteRecord n;
    n.zoom = 15000;
    n.x = 150;
    n.y = 103;
    n.topOffset = 28;
    n.user = "reader";
    n.time = "2024/03/07 14:05:00";
    n.text = "Look here";
    EXPECT_EQ(notespecial::Encode(n), "note:00640032" "6reader2024/03/07 14:05:00Look here");

    struct {
        int zoom, x, y, topOffset;
        const char* head;
    } positions[] = {
        {10000, 0, 28, 28, "note:00000000"},
        {10000, -40, 0, 28, "note:00000000"},         // negative: 0
        {10000, 70000, 100000, 0, "note:ffffffff"},   // clamped to four digits
        {20000, 301, 57, 0, "note:0097001d"},         // 150.5 and 28.5 round up
        {0, 10, 10, 0, "note:000a000a"},              // no zoom: taken as 100 %
    };
    for (const auto& p : positions) {
        NoteRecord r = n;
        r.zoom = p.zoom, r.x = p.x, r.y = p.y, r.topOffset = p.topOffset;
        EXPECT_EQ(notespecial::Encode(r).substr(0, 13), p.head) << p.x << "," << p.y;
    }

    const std::string s = notespecial::Encode(n);
    notespecial::Decoded d;
    ASSERT_TRUE(notespecial::Decode(s.c_str(), int(s.size()), d));
    EXPECT_EQ(d.x, 100);
    EXPECT_EQ(d.y, 50);
    EXPECT_EQ(d.user, "reader");
    EXPECT_EQ(d.time, "2024/03/07 14:05:00");
    EXPECT_EQ(d.text, "Look here");

    // An empty name and a short time stamp read back as written.
    NoteRecord e;
    e.time = "12:00";
    const std::string se = notespecial::Encode(e);
    ASSERT_TRUE(notespecial::Decode(se.c_str(), int(se.size()), d));
    EXPECT_EQ(d.user, "");
    EXPECT_EQ(d.time, "12:00");
    EXPECT_EQ(d.text, "");

    for (const std::string& bad : {std::string("note:12"), std::string("note:0064003"),
                                  std::string("note:zz640032" "0") + std::string(19, ' '),
                                  std::string("note:00640032" "f") + "short" + std::string(19, ' '),
                                  std::string("note:00640032" "6reader2024/03/07")}) {
        EXPECT_FALSE(notespecial::Decode(bad.c_str(), int(bad.size()), d)) << bad;
    }
}

TEST(SideFiles, AFileCarriedInsideTheDocumentIsWrittenOnceAndNamesNormalise) {
    TestApp();
    EXPECT_EQ(CVrViewerDoc::NormalizeUrl("pic.eps.gz"), String8("pic.eps"));
    EXPECT_EQ(CVrViewerDoc::NormalizeUrl("pic.eps.GZ"), String8("pic.eps"));
    EXPECT_EQ(CVrViewerDoc::NormalizeUrl(".gz"), String8(".gz"));

    CVrViewerDoc doc;
    ViewerDvi& reader = doc.GetReader();
    // Looked up before its data: no entry for a name the document carries.
    doc.AddEmbeddedUrl("pic.png");
    EXPECT_EQ(doc.FindFetchedFile("pic.png", 0), nullptr);

    std::string special = "embeddedfilename: pic.png binary=";
    const std::string data("\x89PNG\r\n\x1a\n\0\x01\x02", 11);
    std::string bytes = special + data;
    std::vector<unsigned char> text(bytes.begin(), bytes.end());
    text.push_back(0);
    reader.DoSpecial(text.data(), int(bytes.size()));
    FetchedFile* f = doc.FindFetchedFile("pic.png", 0);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->IsComplete());
    EXPECT_TRUE(f->IsEmbedded());
    const auto stored = testsupport::ReadFile(f->GetTempFileName().c_str());
    EXPECT_EQ(std::string(stored.begin(), stored.end()), data);
    EXPECT_EQ(doc.PictureSourcePath("pic.png"), std::string(f->GetTempFileName().c_str()));

    // A second special of the same name writes nothing.
    bytes = special + "other bytes";
    text.assign(bytes.begin(), bytes.end());
    text.push_back(0);
    reader.DoSpecial(text.data(), int(bytes.size()));
    const auto again = testsupport::ReadFile(f->GetTempFileName().c_str());
    EXPECT_EQ(std::string(again.begin(), again.end()), data);
    EXPECT_EQ(doc.AreFetchedFilesComplete(), 1);

    // A name without "binary=" is only declared; a name not carried inside
    // gets an entry that stays incomplete (nothing beside a document
    // without an address).
    bytes = "embeddedfilename: later.wmf";
    text.assign(bytes.begin(), bytes.end());
    text.push_back(0);
    reader.DoSpecial(text.data(), int(bytes.size()));
    EXPECT_EQ(doc.IsEmbeddedUrl("later.wmf.gz"), 1);
    EXPECT_EQ(doc.FindFetchedFile("later.wmf", 0), nullptr);
    ASSERT_NE(doc.FindFetchedFile("outside.eps", 0), nullptr);
    EXPECT_EQ(doc.AreFetchedFilesComplete(), 0);
    EXPECT_EQ(doc.PictureSourcePath("outside.eps"), "");
}

}  // namespace
