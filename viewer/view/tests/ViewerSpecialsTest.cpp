// The viewer's own specials in a TeX document, seen on the view's back
// buffer: paper per page, the default origin, the workspace colour, the
// watermark under the text, a note's icon, pictures beside the document and
// bad note specials that leave the rest of the page alone.
#include <QImage>
#include <filesystem>

#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/PictureFiles.h"

namespace {

const char* kSpecials = R"TEX(
\special{papersize=200mm,120mm}
\special{defaultorg:0.5in 0.25in}
\special{workspacecolor:255 0 0}
\special{watermarkgraphics: 0pt 0pt 0pt 0pt 0pt 0pt wmf mark.wmf}
\special{watermarkgraphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF other.wmf}
\special{note:006400326reader2024/03/07 14:05:00Hello}
\special{note:12}
\special{note:zzzz00326reader2024/03/07 14:05:00Bad}
\special{note:00640032freader2024/03/07 14:05:00}
\special{landscape x}
\hsize=6in
\noindent The quick brown fox jumps over the lazy dog again and again.
\vfill\eject
\special{papersize=100mm,80mm}
\special{workspacecolor:0 255 0}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP pic.bmp}
Page two.
\vfill\eject
\special{landscape}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG sub/pic.png}
Page three.
\bye
)TEX";

class ViewerSpecials : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        ViewFixture::SetUpTestSuite();
        std::filesystem::create_directories(dir_->Path() / "sub");
        // A blue watermark 4 x 2 inches; the second watermark would be green.
        picturefiles::SaveWmf(dir_->File("mark.wmf"), 4000, 2000, 1000, 0xFF0000);
        picturefiles::SaveWmf(dir_->File("other.wmf"), 4000, 2000, 1000, 0x00FF00);
        ASSERT_TRUE(picturefiles::SaveImage(dir_->File("pic.bmp"), 50, 50, 0x00C000));
        ASSERT_TRUE(picturefiles::SaveImage(dir_->File("sub/pic.png"), 40, 40, 0xC000C0));
        file_ = new std::string(Tex(kSpecials, "specials"));
    }
    static void TearDownTestSuite() {
        delete file_;
        ViewFixture::TearDownTestSuite();
    }
    void SetUp() override { MakeView(600, 400); }

    static inline std::string* file_ = nullptr;
};

TEST_F(ViewerSpecials, EachSpecialTakesEffectOnScreen) {
    Open(*file_);
    const ViewStatus vs = Status();
    ViewerDvi& reader = doc->GetReader();
    ASSERT_EQ(view->GetPageCount(), 3);

    Shot("specials-page1");
    // Paper: 200 x 120 mm at 96 dpi, the origin half an inch right and a
    // quarter down, the workspace red.
    EXPECT_NEAR(vs.pageWidth, 756, 1);
    EXPECT_NEAR(vs.pageHeight, 454, 1);
    EXPECT_EQ(vs.originX, 48);
    EXPECT_EQ(vs.originY, 24);
    EXPECT_EQ(vs.scrollX, 48);
    EXPECT_EQ(vs.scrollY, 24);
    EXPECT_EQ(vs.workspaceColor, 0x0000FFu);  // the second page's colour is ignored
    EXPECT_EQ(reader.GetWatermarkFile(), "mark.wmf");

    // The watermark lies at the page's top-left corner, under the text.
    auto onPage = [&](int px, int py) { return Window(px - vs.scrollX, py - vs.scrollY + vs.topOffset); };
    EXPECT_EQ(onPage(200, 40), 0x0000FFu);
    EXPECT_EQ(onPage(380, 185), 0x0000FFu);
    EXPECT_EQ(onPage(390, 185), 0xFFFFFFu);
    int ink = 0, blue = 0;
    for (int y = 96; y < 120; ++y)
        for (int x = 96; x < 380; ++x) {
            const uint32_t c = onPage(x, y);
            ink += (c >> 16 & 0xFF) < 0x60 && (c >> 8 & 0xFF) < 0x60 && (c & 0xFF) < 0x60;
            blue += c == 0x0000FF;
        }
    EXPECT_GT(ink, 200);
    EXPECT_GT(blue, 2000);

    // One note, at (100, 50) on the page; the bad specials are left out.
    ASSERT_EQ(view->GetNotes().GetCount(), 1);
    const NoteRecord* note = view->GetNotes().GetNote(0);
    EXPECT_EQ(note->x, 100);
    EXPECT_EQ(note->y, 50);
    EXPECT_EQ(note->topOffset, 0);
    EXPECT_EQ(note->user, "reader");
    EXPECT_EQ(note->time, "2024/03/07 14:05:00");
    EXPECT_EQ(note->text, "Hello");
    EXPECT_EQ(onPage(100, 50), 0x000000u);      // the icon's border
    EXPECT_EQ(onPage(104, 55), 0xFFFF80u);      // its body
    EXPECT_EQ(view->NoteAtPoint(CPoint(100 - vs.scrollX + 3, 50 - vs.scrollY + vs.topOffset + 3)), 0);
    EXPECT_EQ(view->NoteAtPoint(CPoint(5, 300)), -1);
    // Reading notes changes nothing to be saved.
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(view->GetNotes().changed, 0);

    // Paper per page: "landscape x" was ignored; page 3 is landscape and
    // takes the size of page 2.
    EXPECT_EQ(reader.GetPagePaperCount(), 3);
    PaperSize p(PaperSize::kCustom, 0);
    ASSERT_TRUE(reader.GetPagePaper(0, p));
    EXPECT_EQ(p.GetOrientation(), 0);
    ASSERT_TRUE(reader.GetPagePaper(2, p));
    EXPECT_EQ(p.GetOrientation(), 1);
    ASSERT_TRUE(reader.GetPagePaper(7, p));  // beyond the table: the last entry
    EXPECT_EQ(p.GetOrientation(), 1);

    // Page two: 100 x 80 mm, red workspace beside it, the BMP picture at the
    // DVI origin (an inch in), read from beside the document.
    view->GotoPage(1);
    WaitDrawn();
    ViewStatus two = Status();
    EXPECT_NEAR(two.pageWidth, 378, 1);
    EXPECT_NEAR(two.pageHeight, 302, 1);
    EXPECT_EQ(Window(two.pageWidth + 40, 100), 0xFF0000u);
    EXPECT_EQ(Window(two.pageWidth / 2, two.pageHeight + two.topOffset + 10), 0xFF0000u);
    EXPECT_EQ(Window(96 + 25 - two.scrollX, 96 + 25 + two.topOffset - two.scrollY), 0x00C000u);

    // Page three, landscape, with a PNG in a folder beside the document.
    view->GotoPage(2);
    WaitDrawn();
    ViewStatus three = Status();
    EXPECT_NEAR(three.pageWidth, 302, 1);
    EXPECT_NEAR(three.pageHeight, 378, 1);
    EXPECT_EQ(Window(96 + 20 - three.scrollX, 96 + 20 + three.topOffset - three.scrollY), 0xC000C0u);
    EXPECT_TRUE(messages.empty()) << messages.front();

    Shot("specials-page3");
}

TEST_F(ViewerSpecials, AReloadBringsThePapersAndWatermarkOfTheNewFile) {
    Open(*file_);
    EXPECT_EQ(doc->GetReader().GetPagePaperCount(), 3);
    // The same view on a document without specials: its own paper, no
    // watermark, no notes.
    const std::string plain = Tex("\\hsize=6in Plain text.\\bye\n", "plain");
    ASSERT_TRUE(doc->OnOpenDocument(plain.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(doc->GetReader().GetPagePaperCount(), 0);
    EXPECT_EQ(doc->GetReader().GetWatermarkFile(), "");
    EXPECT_TRUE(doc->GetReader().GetWatermarkInstruction().empty());
    EXPECT_EQ(view->GetNotes().GetCount(), 0);
}

}  // namespace
