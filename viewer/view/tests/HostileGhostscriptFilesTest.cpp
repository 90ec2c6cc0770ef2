// Files that attack or overwhelm Ghostscript, opened through the real
// document and page view on the offscreen platform: each ends with its page
// or a message, the window paints and turns pages afterwards, nothing in the
// temporary folder outside a job's own place changes, and memory stays
// bounded.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dvilib/VrDviDrawer.h"
#include "platform/ghostscript/GS.h"
#include "platform/sys/TempFiles.h"
#include "viewer/document/PdfLinks.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/document/ViewStatus.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"

namespace fs = std::filesystem;

namespace {

// Pictures and the TeX document that places one of them on its first page.
const char kLoopEps[] = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 72\n{ } loop\n";
const char kSquareEps[] = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 72\n0 setgray 0 0 72 72 rectfill\n";

std::string PictureTex(const std::string& eps) {
    return "\\hbox{\\special{psfile=" + eps + "}}\\vskip 2in Page one.\\vfill\\eject Page two.\\bye\n";
}

// An EPS that tries to replace, rename and delete every guessable temporary
// file in the given folders.
std::string HostileEps(const std::vector<fs::path>& folders) {
    std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 72\n/try { stopped pop } bind def\n";
    for (const fs::path& dir : folders)
        for (unsigned n = 1; n <= 0x40; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "htp%X.tmp", n);
            const std::string f = "(" + (dir / name).string() + ")";
            ps += "{ " + f + " (w) file dup (PWNED-BY-EPS) writestring closefile } try { " + f + " (" +
                  (dir / "x.tmp").string() + ") renamefile } try { " + f + " deletefile } try\n";
        }
    return ps + "0 setgray 0 0 72 72 rectfill\n";
}

// A PDF whose page tree nests `levels` nodes in one another.
std::string DeepPdf(int levels) {
    std::vector<std::string> objs = {"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int n = 2; n < levels + 2; ++n)
        objs.push_back("<< /Type /Pages " + (n > 2 ? "/Parent " + std::to_string(n - 1) + " 0 R " : std::string()) +
                       "/Kids [" + std::to_string(n + 1) + " 0 R] /Count 1 >>");
    objs.push_back("<< /Type /Page /Parent " + std::to_string(levels + 1) + " 0 R /MediaBox [0 0 100 100] >>");
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objs.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        pdf += line;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
}

void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::map<std::string, std::vector<unsigned char>> TreeOf(const fs::path& dir) {
    std::map<std::string, std::vector<unsigned char>> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files[e.path().lexically_relative(dir).string()] = testsupport::ReadFile(e.path().string());
    return files;
}

// Dark pixels of the page bitmap: the text of a page has a few hundred, a
// black inch square thousands.
int Ink(CVrViewerView* view, const ViewStatus& vs) {
    int ink = 0;
    for (int y = 0; y < vs.pageHeight; ++y)
        for (int x = 0; x < vs.pageWidth; ++x) ink += (view->GetPageDC().GetPixel(x, y) & 0xFF) < 0x40;
    return ink;
}

class HostileGhostscriptFiles : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(nullptr);
        ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1);
        VrDviDrawer::SetPictureTimeLimit(3000);
    }
    static void TearDownTestSuite() {
        VrDviDrawer::SetPictureTimeLimit(20000);
        TearDownDocuments();
    }
};

TEST_F(HostileGhostscriptFiles, EachEndsWithItsPageOrAMessageAndTouchesNothingElse) {
    const fs::path& d = Dir();
    const fs::path tmp = d / "tmp";
    const fs::path ours = sys::GetTempPath();  // the viewer's private folder in it
    ASSERT_FALSE(ours.empty());
    // Canaries with the names of other documents' temporary copies.
    Write(tmp / "htp1A.tmp", "a document over HTTP");
    Write(ours / "htp2B.tmp", "another document");
    for (const auto& [name, text] :
         {std::pair<std::string, std::string>{"loop.eps", kLoopEps}, {"square.eps", kSquareEps},
          {"hostile.eps", HostileEps({tmp, ours})}}) {
        Write(d / name, text);
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(d, PictureTex(name), name.substr(0, name.find('.'))));
    }
    Write(d / "deep.pdf", DeepPdf(100000));

    struct Case {
        const char* file;
        const char* message;  // in the error text or a message box; null: none
        bool pages;           // the document has pages to show
        bool inked;           // with the picture drawn
    } cases[] = {
        {"square.dvi", nullptr, true, true},
        {"loop.dvi", "loop.eps was stopped", true, false},
        {"hostile.dvi", nullptr, true, true},
        {"deep.pdf", "page tree is nested 100000 levels deep", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto before = TreeOf(tmp);
        messages.clear();
        MakeView(800, 600);
        if (c.pages) {
            Open(d / c.file);  // the page drawn, pictures included
        } else {
            ASSERT_TRUE(doc->OnOpenDocument((d / c.file).c_str()));
            ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); })) << "the worker hangs";
        }
        std::string told = doc->GetErrorText().str();
        for (const std::string& m : messages) told += "\n" + m;
        if (c.message) {
            EXPECT_NE(told.find(c.message), std::string::npos) << told;
            // A stopped picture is told in the message pane as well.
            if (c.pages) {
                EXPECT_TRUE(PumpUntil([&] { return view->GetFrameMessage().str().find(c.message) != std::string::npos; }))
                    << view->GetFrameMessage().str();
            }
        } else {
            EXPECT_EQ(told, "");
        }
        if (c.pages) {
            EXPECT_EQ(Ink(view, Status()) > 4000, c.inked);
        }
        // The window still paints and turns pages.
        view->Invalidate(FALSE);
        view->UpdateWindow();
        if (view->GetPageCount() > 1) {
            view->OnNextPage();
            EXPECT_TRUE(PumpUntil([&] { return Status().page == 1 && !view->HasTimer(ID_PAGE_PARTS_TIMER); }));
            // Back to the first page: a picture stopped once is not run again.
            view->OnPrevPage();
            EXPECT_TRUE(PumpUntil([&] { return Status().page == 0; }));
            WaitDrawn();
            const std::string text = doc->GetErrorText().str();
            if (c.message) {
                EXPECT_EQ(text.find(c.message), text.rfind(c.message)) << text;
            }
        }
        CloseDocument();
        ASSERT_TRUE(PumpUntilQueuedRan());  // what the document had queued has found it gone
        // Nothing outside a job's own place was touched, and every job's
        // place is gone again.
        EXPECT_EQ(TreeOf(tmp), before);
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 3L << 20) << "peak resident kilobytes";
}

}  // namespace
