// The PDF link scanner on files that pdflatex writes with hyperref: with its
// default compression (objects in compressed object streams) and with
// \pdfobjcompresslevel=0 (every object in the open).
#include "viewer/document/PdfLinks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <fstream>
#include <string>
#include <vector>

#include "testsupport/TestTools.h"

namespace {

using testsupport::TempDir;

// Page 1 links to section three (page 3), to page 2 and out to the web;
// page 2 links back to page 1; page 3 has none.
const char kDocument[] = R"TEX(\documentclass{article}
\usepackage{hyperref}
\begin{document}
\section{One}\label{one}
See \hyperref[three]{section three}, page~\pageref{two} and \href{http://example.org/paper.pdf?a=1}{the paper}.
\newpage
\section{Two}\label{two}
Back to \hyperref[one]{section one}.
\newpage
\section{Three}\label{three}
The end.
\end{document}
)TEX";


class PdfTexLinks : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        for (const auto& [name, prefix] : {std::pair{"streams", ""}, std::pair{"open", "\\pdfobjcompresslevel=0\n"}}) {
            std::ofstream(dir_->File(std::string(name) + ".tex")) << prefix << kDocument;
            // Twice, so that the references are known.
            for (int run = 0; run < 2; ++run) ASSERT_NO_FATAL_FAILURE(testsupport::RunTexProgram(dir_->Path(), "pdflatex", name));
        }
    }
    static void TearDownTestSuite() { delete dir_; }
    static inline TempDir* dir_ = nullptr;
};

TEST_P(PdfTexLinks, EveryPageLinkResolvesToItsPageAndTheWebLinkIsFound) {
    const std::string path = dir_->File(std::string(GetParam()) + ".pdf");
    const std::vector<unsigned char> bytes = testsupport::ReadFile(path);
    const std::string text(bytes.begin(), bytes.end());
    // The file is of the kind the case is about.
    EXPECT_EQ(text.find("/ObjStm") != std::string::npos, std::string(GetParam()) == "streams");

    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
    ASSERT_EQ(ScanPdfLinks(path.c_str(), &links, &objects, &names, &dests), 1);
    struct Seen {
        int page, target;
        std::string uri;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    for (const LinkRecord& l : links) {
        EXPECT_LT(l.x0, l.x1);
        EXPECT_LT(l.y0, l.y1);
        seen.push_back({l.page, l.target, l.target == -2 ? l.text : std::string()});
        // The link is found at its own rectangle.
        std::string uri;
        EXPECT_EQ(FindLinkAtPoint(l.page, (l.x0 + l.x1) / 2, (l.y0 + l.y1) / 2, int(links.size()), links.data(), &uri),
                  l.target);
    }
    std::sort(seen.begin(), seen.end(), [](const Seen& a, const Seen& b) {
        return std::tie(a.page, a.target, a.uri) < std::tie(b.page, b.target, b.uri);
    });
    const std::vector<Seen> want = {{1, -2, "http://example.org/paper.pdf?a=1"}, {1, 2, ""}, {1, 3, ""}, {2, 1, ""}};
    EXPECT_EQ(seen, want);
}

INSTANTIATE_TEST_SUITE_P(Compression, PdfTexLinks, ::testing::Values("streams", "open"));

}  // namespace
