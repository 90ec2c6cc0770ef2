#include "viewer/document/PdfLinks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kDocument = R"(%!PS-Adobe-2.0
%%Pages: 3
%%EndComments
/pdfm { cleartomark } def
%%EndProlog
/TargetAnchors 2
(intro) [1]
(results) [3]
%%Page: 1 1
[72 700 200 720] [0 0 0] [1 0 0] [(results)] pdfm
[72 600 200 620] [0 0 0] [1 0 0] [0] (http://example.org/) pdfm
%%Page: 2 2
[10 10 20 20] [0] [0] [(nowhere)] pdfm
[1 2] [3] pdfm
showpage pdfm
%%Page: 3 3
[5 5 6 6] [0] [0] [0] x (not-after-a-bracket) pdfm
[-1.5 2 3.7 4] [0] [0] [(intro)]
pdfm
%%EOF
)";

TEST(PostScriptAnchors, MarksBecomeLinks) {
    std::vector<LinkRecord> links;
    ASSERT_EQ(ScanPostScriptAnchorText(kDocument, &links), 1);
    struct Expected {
        int page, x0, y0, x1, y1, target;
        const char* text;
    } want[] = {
        {1, 72, 700, 200, 720, 3, "results"},
        {1, 72, 600, 200, 620, -2, "http://example.org/"},
        {2, 10, 10, 20, 20, -1, "nowhere"},
        {3, -1, 2, 3, 4, 1, "intro"},
    };
    ASSERT_EQ(links.size(), std::size(want));
    for (size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(links[i].page, want[i].page);
        EXPECT_EQ(links[i].x0, want[i].x0);
        EXPECT_EQ(links[i].y0, want[i].y0);
        EXPECT_EQ(links[i].x1, want[i].x1);
        EXPECT_EQ(links[i].y1, want[i].y1);
        EXPECT_EQ(links[i].target, want[i].target);
        EXPECT_EQ(links[i].text, want[i].text);
    }
}

TEST(PostScriptAnchors, IncompleteFilesReturnCleanly) {
    std::vector<LinkRecord> links;
    EXPECT_EQ(ScanPostScriptAnchorText("%!PS\n[1 2 3 4] [0] [0] [(a)] pdfm\n", &links), 1);
    EXPECT_TRUE(links.empty()); // no prolog end
    for (size_t n = 0; n <= kDocument.size(); ++n) {
        ASSERT_EQ(ScanPostScriptAnchorText(std::string_view(kDocument).substr(0, n), &links), 1) << n;
        ASSERT_LE(links.size(), 4u);
    }
    for (const char* text : {"%%EndProlog /TargetAnchors 99999999999 (a) [", "%%EndProlog /TargetAnchors 3 (a",
                             "%%EndProlog ] pdfm", "%%EndProlog ) pdfm", "%%EndProlog [[[[) pdfm", "pdfm%%EndProlog"})
        EXPECT_EQ(ScanPostScriptAnchorText(text, &links), 1) << text;
    EXPECT_EQ(ScanPostScriptAnchors("/nonexistent/file.ps", &links), 0);
}

} // namespace
