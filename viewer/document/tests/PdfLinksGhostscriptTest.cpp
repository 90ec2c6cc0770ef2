// PDF files made at test time by Ghostscript's pdfwrite device from
// PostScript with pdfmark links.
#include "viewer/document/PdfLinks.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* kPostScript = R"(%!PS
/pdfmark where {pop} {userdict /pdfmark /cleartomark load put} ifelse
/Helvetica findfont 20 scalefont setfont
[ /Dest /sec2 /Page 2 /View [/XYZ 0 500 null] /DEST pdfmark
[ /Rect [72 700 200 720] /Border [0 0 0] /Page 3 /View [/XYZ null null null] /Subtype /Link /ANN pdfmark
[ /Rect [72 600 200 620] /Border [0 0 0] /Action << /Subtype /URI /URI (http://example.org/a?b=1) >> /Subtype /Link /ANN pdfmark
[ /Rect [72 500 200 520] /Border [0 0 0] /Dest /sec2 /Subtype /Link /ANN pdfmark
72 700 moveto (one) show showpage
[ /Rect [300 100 400 150] /Border [0 0 0] /Page 1 /View [/Fit] /Subtype /Link /ANN pdfmark
72 700 moveto (two) show showpage
72 700 moveto (three) show showpage
)";

class PdfLinksGhostscript : public ::testing::Test {
protected:
    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "pdflinksgs.XXXXXX").string();
        dir_ = mkdtemp(t.data());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Converts PostScript to PDF with Ghostscript; the PDF's path, or "" on failure.
    std::string MakePdf(const std::string& ps) {
        const std::string in = dir_ + "/in.ps", out = dir_ + "/out.pdf";
        std::ofstream(in) << ps;
        const std::string cmd = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -dCompatibilityLevel=1.4 "
                                "-sOutputFile='" + out + "' '" + in + "' > /dev/null 2>&1";
        return std::system(cmd.c_str()) == 0 && fs::exists(out) ? out : "";
    }

    std::string dir_;
};

const LinkRecord* At(const std::vector<LinkRecord>& links, int x0, int y0) {
    for (const LinkRecord& l : links)
        if (l.x0 == x0 && l.y0 == y0) return &l;
    return nullptr;
}

TEST_F(PdfLinksGhostscript, LinksFoundAtTheirRectanglesAndTargets) {
    const std::string pdf = MakePdf(kPostScript);
    ASSERT_FALSE(pdf.empty()) << "gs failed";
    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
    ASSERT_EQ(ScanPdfLinks(pdf.c_str(), &links, &objects, &names, &dests), 1);
    ASSERT_EQ(links.size(), 4u);

    struct Case {
        int x0, y0, x1, y1, page, target;
        const char* text;
    } cases[] = {
        {72, 700, 200, 720, 1, 3, ""},
        {72, 600, 200, 620, 1, -2, "http://example.org/a?b=1"},
        {72, 500, 200, 520, 1, 2, "sec2"},
        {300, 100, 400, 150, 2, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y0);
        const LinkRecord* l = At(links, c.x0, c.y0);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->x1, c.x1);
        EXPECT_EQ(l->y1, c.y1);
        EXPECT_EQ(l->page, c.page);
        EXPECT_EQ(l->target, c.target);
        EXPECT_EQ(l->text, c.text);
    }

    const int n = int(links.size());
    std::string uri;
    EXPECT_EQ(FindLinkAtPoint(1, 72, 700, n, links.data(), &uri), 3);
    EXPECT_EQ(FindLinkAtPoint(1, 200, 520, n, links.data(), &uri), 2);
    EXPECT_EQ(FindLinkAtPoint(2, 350, 120, n, links.data(), &uri), 1);
    EXPECT_EQ(FindLinkAtPoint(2, 100, 710, n, links.data(), &uri), 0);
    EXPECT_EQ(FindLinkAtPoint(3, 100, 710, n, links.data(), &uri), 0);
    EXPECT_TRUE(uri.empty());
    EXPECT_EQ(FindLinkAtPoint(1, 150, 610, n, links.data(), &uri), -2);
    EXPECT_EQ(uri, "http://example.org/a?b=1");

    // Every truncation of the file scans cleanly and finds no more links.
    std::ifstream in(pdf, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t size = 0; size < whole.size(); ++size) {
        ASSERT_EQ(ScanPdfLinkText(std::string_view(whole).substr(0, size), &links, &objects, &names, &dests), 1);
        ASSERT_LE(links.size(), 4u);
    }
}

TEST_F(PdfLinksGhostscript, DocumentWithoutLinksGivesEmptyTables) {
    const std::string pdf = MakePdf("%!PS\n/Helvetica findfont 20 scalefont setfont\n"
                                    "72 700 moveto (one) show showpage\n72 700 moveto (two) show showpage\n");
    ASSERT_FALSE(pdf.empty()) << "gs failed";
    std::vector<LinkRecord> links(2);
    std::vector<PdfObjectRecord> objects(2);
    std::vector<PdfNameRecord> names(2);
    std::vector<PdfDestRecord> dests(2);
    EXPECT_EQ(ScanPdfLinks(pdf.c_str(), &links, &objects, &names, &dests), 1);
    EXPECT_TRUE(links.empty());
    EXPECT_TRUE(objects.empty());
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(dests.empty());
}

} // namespace
