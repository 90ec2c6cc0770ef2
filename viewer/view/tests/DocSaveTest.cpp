// Save As of a document opened in the view: notes saved and read back at
// the same places, pictures and the watermark packed beside the saved copy
// under their new names, the document's own file written over (and a write
// there that fails), ".gz" names, a malformed page, and the dialogs.
#include <tiffio.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <cstring>
#include <sstream>
#include <unistd.h>

#include "platform/ghostscript/GS.h"
#include "viewer/app/AboutDlg.h"
#include "platform/inet/tests/LoopbackServer.h"
#include "viewer/document/DocSaveDlg.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/PictureFiles.h"

namespace fs = std::filesystem;

namespace {

const char* kPictures = R"TEX(
\hsize=5in
\noindent\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF pic.wmf}Pictures.
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG shot.png}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt EPS figure.eps}
\vfill\eject Page two.\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt EPS packed.eps.gz}\bye
)TEX";

// A watermark and pictures named by every kind of picture special.
const char* kWatermarked = R"TEX(
\special{watermarkgraphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF mark.wmf}
\hsize=5in
\noindent\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG shot.png}Marked.
\special{psfile=figure.eps}\special{ps: plotfile pic.wmf}
\bye
)TEX";

const char* kEps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 36 36\nnewpath 0 0 moveto 36 0 lineto 36 36 lineto "
                   "0 36 lineto closepath 0 setgray fill\nshowpage\n";

// Pictures as LaTeX's graphicx with the dvips driver names them (PSfile="..."
// with a box), and a plain psfile special: a green EPS, a blue PNG, a red EPS.
const char* kGraphicx = R"TEX(\documentclass{article}
\usepackage[dvips]{graphicx}
\pagestyle{empty}
\begin{document}
Pictures: \includegraphics{green.eps} \includegraphics[bb=0 0 60 30]{shot.png}

\special{psfile=red.eps}
\end{document}
)TEX";

std::string ColouredEps(const char* rgb) {
    return std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 36 36\n") + rgb +
           " setrgbcolor newpath 0 0 moveto 36 0 lineto 36 36 lineto 0 36 lineto closepath fill\nshowpage\n";
}

// Pixels of the surface close to a colour (0xRRGGBB).
int PixelsNear(const WindowSurface& s, uint32_t rgb) {
    int n = 0;
    for (uint32_t p : s.pixels) {
        int d = 0;
        for (int shift : {0, 8, 16}) d = std::max(d, std::abs(int(p >> shift & 0xFF) - int(rgb >> shift & 0xFF)));
        n += d <= 16;
    }
    return n;
}

// A picture of a dialog as it shows, kept as build/artefacts/<name>.
void Keep(QDialog& dialog, const char* name) {
    dialog.adjustSize();
    dialog.show();
    QApplication::processEvents();
    fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
    EXPECT_TRUE(dialog.grab().save(QString::fromStdString(std::string(VELORAN_BINARY_DIR "/artefacts/") + name)));
    dialog.hide();
}

class DocSave : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
        ViewFixture::SetUpTestSuite();
        plain_ = new std::string(Tex("\\hsize=5in Some text of page one.\\vfill\\eject Page two.\\bye\n", "plain"));
        picturefiles::SaveWmf(dir_->File("pic.wmf"), 1000, 500, 1000, 0x0000C0);
        picturefiles::SaveImage(dir_->File("shot.png"), 60, 30, 0x2080F0);
        std::ofstream(dir_->File("figure.eps")) << kEps;
        std::ofstream(dir_->File("packed.eps")) << kEps;
        testsupport::RunCommand("gzip -9 '" + dir_->File("packed.eps") + "'");
        pictures_ = new std::string(Tex(kPictures, "pictures"));
        // A green watermark 4 x 2 inches.
        picturefiles::SaveWmf(dir_->File("mark.wmf"), 4000, 2000, 1000, 0x00C000);
        watermarked_ = new std::string(Tex(kWatermarked, "watermarked"));
        std::ofstream(dir_->File("green.eps")) << ColouredEps("0 1 0");
        std::ofstream(dir_->File("red.eps")) << ColouredEps("1 0 0");
        ASSERT_NO_FATAL_FAILURE(testsupport::RunLatex(*dir_, kGraphicx, "graphicx"));
        graphicx_ = new std::string(dir_->File("graphicx.dvi"));
    }
    static void TearDownTestSuite() {
        delete plain_;
        delete pictures_;
        delete watermarked_;
        delete graphicx_;
        ViewFixture::TearDownTestSuite();
    }
    void SetUp() override {
        MakeView();
        doc->m_saveClock = [] { return std::time_t(1709820300); };
    }

    // Save As, the dialog answered with path (and the picture box set).
    void SaveAs(const std::string& path, bool copyPictures = false) {
        AfxSetDialogAnswerer([path, copyPictures](UINT id, QDialog& dialog) {
            EXPECT_EQ(id, IDD_SAVE_DVI);
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            EXPECT_NE(files, nullptr);
            if (auto* box = dialog.findChild<QCheckBox*>()) box->setChecked(copyPictures);
            else ADD_FAILURE() << "no picture box";
            files->selectFile(QString::fromStdString(path));
            return int(IDOK);
        });
        view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
        AfxSetDialogAnswerer(nullptr);
    }
    void Reopen(const std::string& file) {
        CloseDocument();
        MakeView();
        Open(file);
    }

    static inline std::string* plain_ = nullptr;
    static inline std::string* pictures_ = nullptr;
    static inline std::string* watermarked_ = nullptr;
    static inline std::string* graphicx_ = nullptr;
    testsupport::TempDir out;
};

TEST_F(DocSave, NotesSurviveSaveAndReopenAtTheirPlaces) {
    Open(*plain_);
    NoteList& notes = view->GetNotes();
    struct {
        int page, zoom;
        CPoint at;
        const char* text;
    } placed[] = {
        {0, 100, {150, 100}, "first"},
        {0, 100, {400, 300}, "second, with words"},
        {1, 100, {200, 200}, "on page two"},
        {0, 200, {300, 200}, "placed at 200 %"},
        {0, 150, {90, 60}, ""},
    };
    for (const auto& p : placed) {
        view->SetZoomPercent(p.zoom);
        view->GotoPage(p.page);
        WaitDrawn();
        const int index = view->AddNoteAt(p.at);
        ASSERT_GE(index, 0);
        notes.SetNoteText(index, p.text);
    }
    view->SetZoomPercent(100);
    view->GotoPage(0);
    WaitDrawn();
    // Where each note lies on its page at 100 %.
    struct Place {
        int page, x, y;
        std::string text, time;
    };
    std::vector<Place> before;
    for (const NoteRecord& n : notes.GetNotes())
        before.push_back({n.page, int(n.x * 10000.0 / n.zoom + 0.5), int((n.y - n.topOffset) * 10000.0 / n.zoom + 0.5),
                          n.text, n.time});
    notes.ComputeIconRects(0, 10000, 0, 0, 28);
    const auto iconsBefore = notes.GetIconRects();
    ASSERT_EQ(iconsBefore.size(), 4u);
    ASSERT_EQ(notes.changed, 1);

    const std::string saved = out.File("saved.dvi");
    SaveAs(saved);
    ASSERT_TRUE(fs::exists(saved)) << (messages.empty() ? "" : messages.back());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(notes.changed, 0);
    EXPECT_EQ(std::string(doc->GetAddress().c_str()), *plain_);
    const std::string listing = testsupport::RunDviType(saved, 1);
    EXPECT_EQ(listing.rfind("FAILED", 0), std::string::npos) << listing;

    // Read back, at 100 %, each note where it was.
    const std::string user = notes.GetNotes().front().user;
    Reopen(saved);
    NoteList& again = view->GetNotes();
    ASSERT_EQ(again.GetCount(), int(before.size()));
    // Notes come back page by page.
    std::vector<Place> after;
    for (const NoteRecord& n : again.GetNotes()) {
        EXPECT_EQ(n.user, user);
        after.push_back({n.page, n.x, n.y - n.topOffset, n.text, n.time});
    }
    auto key = [](const Place& p) { return std::tuple(p.page, p.x, p.y, p.text); };
    std::sort(before.begin(), before.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
    std::sort(after.begin(), after.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i].text);
        EXPECT_EQ(after[i].page, before[i].page);
        EXPECT_EQ(after[i].x, before[i].x);
        EXPECT_EQ(after[i].y, before[i].y);
        EXPECT_EQ(after[i].text, before[i].text);
        EXPECT_EQ(after[i].time, before[i].time);
    }
    again.ComputeIconRects(0, 10000, 0, 0, 28);
    std::vector<std::pair<int, int>> a, b;
    for (const auto& r : iconsBefore) a.push_back({r.rect.left, r.rect.top});
    for (const auto& r : again.GetIconRects()) b.push_back({r.rect.left, r.rect.top});
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    EXPECT_FALSE(doc->IsModified());

    // Saved once more, the notes are neither lost nor doubled.
    again.MarkChanged();
    const std::string twice = out.File("twice.dvi");
    SaveAs(twice);
    Reopen(twice);
    EXPECT_EQ(view->GetNotes().GetCount(), int(before.size()));
}

TEST_F(DocSave, PackingCopiesThePicturesBesideTheCopyUnderNewNames) {
    Open(*pictures_);
    const WindowSurface original = view->GetSurface();
    EXPECT_EQ(doc->AreFetchedFilesComplete(), 1);
    fs::create_directories(out.Path() / "packed");
    const std::string packed = out.File("packed/book.vrd");
    SaveAs(packed, true);
    ASSERT_TRUE(fs::exists(packed)) << (messages.empty() ? "" : messages.back());
    for (const char* name : {"book-pic-1.wmf", "book-pic-2.png", "book-pic-3.eps"})
        EXPECT_TRUE(fs::exists(out.Path() / "packed" / name)) << name;
    EXPECT_EQ(testsupport::ReadFile(out.File("packed/book-pic-3.eps")), testsupport::ReadFile(dir_->File("figure.eps")));
    // A gzip picture is copied unpacked under its name without ".gz".
    const auto unpacked = testsupport::ReadFile(out.File("packed/book-pic-4.eps"));
    EXPECT_EQ(std::string(unpacked.begin(), unpacked.end()), kEps);
    const std::string dvi = testsupport::RunCommand("gzip -dc '" + packed + "'");
    EXPECT_NE(dvi.find("WMF book-pic-1.wmf"), std::string::npos);
    EXPECT_NE(dvi.find("PNG book-pic-2.png"), std::string::npos);
    EXPECT_EQ(dvi.find(" pic.wmf"), std::string::npos);
    EXPECT_EQ(dvi.find(" shot.png"), std::string::npos);
    EXPECT_NE(dvi.find("EPS book-pic-4.eps"), std::string::npos);

    // The packed copy, opened from its folder, looks the same.
    Reopen(packed);
    const WindowSurface& copy = view->GetSurface();
    ASSERT_EQ(copy.width, original.width);
    ASSERT_EQ(copy.height, original.height);
    int differing = 0;
    for (size_t i = 0; i < copy.pixels.size(); ++i) differing += (copy.pixels[i] & 0xFFFFFF) != (original.pixels[i] & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    // The pictures were drawn in both: the WMF's red box below the text line.
    int red = 0;
    for (uint32_t p : copy.pixels) red += (p & 0xFFFFFF) == 0xC00000;
    EXPECT_GT(red, 1000);

    // Without the box nothing is copied and no name changes.
    Reopen(*pictures_);
    const std::string bare = out.File("bare.dvi");
    SaveAs(bare, false);
    const auto b = testsupport::ReadFile(bare);
    const std::string text(b.begin(), b.end());
    EXPECT_NE(text.find("WMF pic.wmf"), std::string::npos);
    EXPECT_FALSE(fs::exists(out.File("bare-pic-1.wmf")));
}

TEST_F(DocSave, SaveAsOntoTheOpenFileWritesItWithTheNewNoteAndTheViewGoesOn) {
    const std::string own = out.File("own.dvi");
    fs::copy_file(*plain_, own);
    Open(own);
    const int index = view->AddNoteAt(CPoint(150, 100));
    ASSERT_GE(index, 0);
    view->GetNotes().SetNoteText(index, "written over its own file");
    SaveAs(own);
    EXPECT_TRUE(messages.empty()) << messages.front();
    const std::string listing = testsupport::RunDviType(own, 1);
    EXPECT_EQ(listing.rfind("FAILED", 0), std::string::npos) << listing;
    const auto bytes = testsupport::ReadFile(own);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("written over its own file"), std::string::npos);
    EXPECT_EQ(view->GetNotes().changed, 0);
    EXPECT_FALSE(doc->IsModified());
    // Nothing is left beside it.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(out.Path())) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"own.dvi"});

    // The view goes on showing the document, page two too, and coming back
    // to it does not read the file again.
    view->OnSetFocus(nullptr);
    view->GotoPage(1);
    WaitDrawn();
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(view->GetNotes().GetCount(), 1);
    int ink = 0;
    for (uint32_t p : view->GetSurface().pixels) ink += ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) < 384;
    EXPECT_GT(ink, 50);
    Reopen(own);
    ASSERT_EQ(view->GetNotes().GetCount(), 1);
    EXPECT_EQ(view->GetNotes().GetNotes().front().text, "written over its own file");
}

// The specials of a DVI file as dvitype lists them.
std::string Specials(const std::string& dvi) {
    std::string out;
    std::istringstream in(testsupport::RunDviType(dvi, 2));
    for (std::string line; std::getline(in, line);)
        if (line.find("xxx '") != std::string::npos) out += line.substr(line.find("xxx '")) + "\n";
    return out;
}

TEST_F(DocSave, SaveAsWithTheProposedNameOfAnExistingDocumentAsksBeforeWriting) {
    const std::string own = out.File("notes.dvi");
    fs::copy_file(*plain_, own);
    Open(own);
    const int index = view->AddNoteAt(CPoint(150, 100));
    ASSERT_GE(index, 0);
    view->GetNotes().SetNoteText(index, "hello note");
    const auto before = testsupport::ReadFile(own);
    // The person takes the proposed name and presses Save; after a No the
    // dialog is still open and Cancel ends it.
    std::string proposed;
    auto press = [&](bool cancelAfter) {
        AfxSetDialogAnswerer([&, cancelAfter](UINT, QDialog& dialog) {
            dialog.show();
            auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
            EXPECT_NE(edit, nullptr);
            if (!edit) return int(IDCANCEL);
            proposed = edit->text().toStdString();
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog.result() == QDialog::Accepted) return int(IDOK);
            EXPECT_TRUE(dialog.isVisible());
            if (cancelAfter) dialog.reject();
            return int(IDCANCEL);
        });
        view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
        AfxSetDialogAnswerer(nullptr);
    };
    answer = IDNO;
    messages.clear();
    press(true);
    EXPECT_EQ(proposed, "notes");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "notes.dvi already exists.\nDo you want to replace it?");
    EXPECT_EQ(testsupport::ReadFile(own), before);
    EXPECT_EQ(view->GetNotes().changed, 1);

    // Yes writes it, with the note.
    answer = IDYES;
    messages.clear();
    press(false);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(Specials(own).find("hello note"), std::string::npos);
    // A new name asks nothing.
    messages.clear();
    fs::create_directories(out.Path() / "new");
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        dialog.show();
        auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
        edit->setText(QString::fromStdString((out.Path() / "new" / "fresh").string()));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        return dialog.result() == QDialog::Accepted ? int(IDOK) : int(IDCANCEL);
    });
    view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_NE(Specials((out.Path() / "new" / "fresh.dvi").string()).find("hello note"), std::string::npos);
}

TEST_F(DocSave, EverySaveHoldsTheNotesTheViewShowsWhateverSavesCameBefore) {
    const std::string own = out.File("own.dvi");
    fs::copy_file(*plain_, own);
    Open(own);
    const int index = view->AddNoteAt(CPoint(150, 100));
    ASSERT_GE(index, 0);
    view->GetNotes().SetNoteText(index, "hello note");
    // Same path, same path again, another path.
    const std::string other = out.File("other.dvi");
    for (const std::string& target : {own, own, other}) {
        SaveAs(target);
        EXPECT_TRUE(messages.empty()) << messages.front();
        const std::string specials = Specials(target);
        EXPECT_EQ(std::count(specials.begin(), specials.end(), '\n'), 1) << specials;
        EXPECT_NE(specials.find("hello note"), std::string::npos) << target << "\n" << specials;
    }
    // An edit after a save onto the open file goes into the next copy, not
    // the note as it was.
    SaveAs(own);
    view->GetNotes().SetNoteText(0, "edited note");
    const std::string third = out.File("third.dvi");
    SaveAs(third);
    const std::string specials = Specials(third);
    EXPECT_NE(specials.find("edited note"), std::string::npos) << specials;
    EXPECT_EQ(specials.find("hello note"), std::string::npos) << specials;
    // A note deleted is gone from the next save.
    view->GetNotes().DeleteNote(0);
    SaveAs(own);
    EXPECT_EQ(Specials(own).find("note:"), std::string::npos);
    Reopen(own);
    EXPECT_EQ(view->GetNotes().GetCount(), 0);
}

TEST_F(DocSave, APackedSaveRenamesTheGraphicxAndPsfilePicturesAndTheCopyDrawsThem) {
    // EPS pictures are drawn through Ghostscript.
    ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1);
    Open(*graphicx_);
    const WindowSurface original = view->GetSurface();
    // The green and the red EPS are drawn (the PNG that PSfile names goes to
    // Ghostscript as PostScript, and shows nothing here or there).
    for (uint32_t colour : {0x00FF00u, 0xFF0000u}) EXPECT_GT(PixelsNear(original, colour), 200) << colour;
    fs::create_directories(out.Path() / "packed");
    const std::string packed = out.File("packed/art2.vrd");
    SaveAs(packed, true);
    ASSERT_TRUE(fs::exists(packed)) << (messages.empty() ? "" : messages.back());
    testsupport::RunCommand("gzip -dc '" + packed + "' > '" + out.File("art2.dvi") + "'");
    const std::string specials = Specials(out.File("art2.dvi"));
    for (const char* old : {"green.eps", "shot.png", "red.eps"}) EXPECT_EQ(specials.find(old), std::string::npos) << specials;
    EXPECT_NE(specials.find("PSfile=\"art2-pic-"), std::string::npos) << specials;
    EXPECT_NE(specials.find("psfile=art2-pic-"), std::string::npos) << specials;
    int copies = 0;
    for (const auto& e : fs::directory_iterator(out.Path() / "packed"))
        copies += e.path().filename().string().rfind("art2-pic-", 0) == 0;
    EXPECT_EQ(copies, 3);

    // Reopened from its own folder, the page looks the same.
    messages.clear();
    Reopen(packed);
    EXPECT_TRUE(messages.empty()) << messages.front();
    const WindowSurface& copy = view->GetSurface();
    ASSERT_EQ(copy.pixels.size(), original.pixels.size());
    int differing = 0;
    for (size_t i = 0; i < copy.pixels.size(); ++i) differing += (copy.pixels[i] & 0xFFFFFF) != (original.pixels[i] & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    for (uint32_t colour : {0x00FF00u, 0xFF0000u}) EXPECT_GT(PixelsNear(copy, colour), 200) << colour;
}

// A folder on a file system of its own: a tiny tmpfs that is full, or one
// mounted read-only (mounting needs root; for anyone else a folder without
// write permission stands in for the read-only place).
class Place {
public:
    Place(const fs::path& dir, bool full) : dir_(dir) {
        fs::create_directories(dir);
        mounted_ = geteuid() == 0 &&
                   std::system(("mount -t tmpfs -o size=64k tmpfs '" + dir.string() + "'").c_str()) == 0;
        full_ = full;
    }
    // Without a mount, only a folder the test cannot write to stands in, and
    // root writes anywhere.
    bool Usable() const { return mounted_ || (!full_ && geteuid() != 0); }
    // After the document's file is put there.
    void Close() {
        if (full_) {
            std::system(("dd if=/dev/zero of='" + (dir_ / "filler").string() + "' bs=1k >/dev/null 2>&1").c_str());
        } else if (mounted_) {
            EXPECT_EQ(std::system(("mount -o remount,ro '" + dir_.string() + "'").c_str()), 0);
        } else {
            fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        }
    }
    ~Place() {
        if (mounted_) std::system(("umount -l '" + dir_.string() + "'").c_str());
        else fs::permissions(dir_, fs::perms::owner_all);
    }

private:
    fs::path dir_;
    bool mounted_ = false, full_ = false;
};

TEST_F(DocSave, ASaveOntoTheOpenFileThatFailsLeavesItAsItWasAndSaysSo) {
    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "no room" : "read-only");
        Place place(out.Path() / (full ? "full" : "readonly"), full);
        if (!place.Usable()) continue;
        const std::string own = (out.Path() / (full ? "full" : "readonly") / "own.dvi").string();
        fs::copy_file(*plain_, own);
        Reopen(own);
        place.Close();
        const auto before = testsupport::ReadFile(own);
        const int index = view->AddNoteAt(CPoint(150, 100));
        ASSERT_GE(index, 0);
        messages.clear();
        SaveAs(own);
        EXPECT_EQ(testsupport::ReadFile(own), before);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind("Can not save at file.", 0), 0u) << messages[0];
        // The note is still to be saved, and the page still shows.
        EXPECT_EQ(view->GetNotes().changed, 1);
        view->GotoPage(1);
        WaitDrawn();
        EXPECT_EQ(Status().page, 1);
        CloseDocument();
        MakeView();
    }
}

TEST_F(DocSave, APackedSaveNamesTheCopiesOfTheWatermarkAndEveryPicture) {
    Open(*watermarked_);
    ASSERT_EQ(doc->GetReader().GetWatermarkFile(), "mark.wmf");
    const WindowSurface original = view->GetSurface();
    fs::create_directories(out.Path() / "packed");
    const std::string packed = out.File("packed/marked.vrd");
    SaveAs(packed, true);
    ASSERT_TRUE(fs::exists(packed)) << (messages.empty() ? "" : messages.back());
    const std::string dvi = testsupport::RunCommand("gzip -dc '" + packed + "'");
    // Each picture special names a copy that lies beside the saved document.
    std::vector<std::string> names;
    for (const char* lead : {"WMF ", "PNG ", "psfile=", "plotfile "}) {
        const size_t at = dvi.find(lead);
        if (at == std::string::npos) continue;
        const size_t begin = at + std::strlen(lead);
        size_t end = begin;
        while (end < dvi.size() && (std::isalnum(uint8_t(dvi[end])) || std::strchr("._-", dvi[end]))) ++end;
        names.push_back(lead + dvi.substr(begin, end - begin));
    }
    ASSERT_EQ(names.size(), 4u);
    for (const std::string& n : names) {
        SCOPED_TRACE(n);
        const std::string file = n.substr(n.find_first_of(" =") + 1);
        EXPECT_EQ(file.rfind("marked-pic-", 0), 0u);
        EXPECT_TRUE(fs::exists(out.Path() / "packed" / file));
    }
    EXPECT_NE(dvi.find("watermarkgraphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF marked-pic-"), std::string::npos);

    // Reopened from its own folder: the watermark and the pictures are drawn.
    messages.clear();
    Reopen(packed);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(doc->GetReader().GetWatermarkFile().rfind("marked-pic-", 0), 0u);
    const WindowSurface& copy = view->GetSurface();
    ASSERT_EQ(copy.pixels.size(), original.pixels.size());
    int differing = 0, green = 0, blue = 0;
    for (size_t i = 0; i < copy.pixels.size(); ++i) {
        differing += (copy.pixels[i] & 0xFFFFFF) != (original.pixels[i] & 0xFFFFFF);
        green += (copy.pixels[i] & 0xFFFFFF) == 0x00C000;
        blue += (copy.pixels[i] & 0xFFFFFF) == 0x2080F0;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(green, 10000);
    EXPECT_GT(blue, 500);
}

TEST_F(DocSave, ADotGzNameIsSavedCompressedAndOpens) {
    Open(*plain_);
    const std::string saved = out.File("book.dvi.gz");
    SaveAs(saved);
    const auto bytes = testsupport::ReadFile(saved);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0x1F);
    EXPECT_EQ(bytes[1], 0x8B);
    testsupport::RunCommand("gzip -dc '" + saved + "' > '" + out.File("unpacked.dvi") + "'");
    const std::string listing = testsupport::RunDviType(out.File("unpacked.dvi"), 1);
    EXPECT_EQ(listing.rfind("FAILED", 0), std::string::npos) << listing;
    Reopen(saved);
    EXPECT_EQ(view->GetPageCount(), 2);
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(DocSave, TheSaveDialogOpensInTheDocumentsFolderAndForAWebDocumentInTheLastOneUsed) {
    const fs::path folder = out.Path() / "papers";
    fs::create_directories(folder);
    fs::copy_file(*plain_, folder / "paper.dvi");
    Open((folder / "paper.dvi").string());
    std::string shown;
    auto look = [&](const std::string& choose) {
        AfxSetDialogAnswerer([&shown, choose](UINT, QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            shown = files->directory().absolutePath().toStdString();
            if (choose.empty()) return int(IDCANCEL);
            files->selectFile(QString::fromStdString(choose));
            return int(IDOK);
        });
        view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
        AfxSetDialogAnswerer(nullptr);
    };
    look("");
    EXPECT_EQ(shown, folder.string());
    // A save elsewhere makes that the last folder used.
    fs::create_directories(out.Path() / "elsewhere");
    look((out.Path() / "elsewhere" / "copy.dvi").string());
    ASSERT_TRUE(fs::exists(out.Path() / "elsewhere" / "copy.dvi"));

    std::string data;
    {
        const auto b = testsupport::ReadFile(*plain_);
        data.assign(b.begin(), b.end());
    }
    LoopbackServer server(
        [&](const LoopbackServer::Request&, LoopbackServer::Reply& reply) { reply.Respond(200, data); });
    CloseDocument();
    MakeView();
    ASSERT_EQ(doc->LoadFromAddress(server.Url("/papers/web.dvi").c_str()), CVrViewerDoc::kLoadOk);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished(); }));
    WaitDrawn();
    look("");
    EXPECT_EQ(shown, (out.Path() / "elsewhere").string());
}

TEST_F(DocSave, AMalformedPageIsRefusedWithAMessage) {
    auto bytes = testsupport::ReadFile(*plain_);
    // An undefined opcode just after page one's bop.
    size_t bop = 15 + bytes[14];
    ASSERT_EQ(bytes[bop], 139);
    bytes[bop + 45] = 250;
    const std::string bad = out.File("bad.dvi");
    testsupport::WriteFile(bad, bytes);
    doc->OnOpenDocument(bad.c_str());
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    messages.clear();
    const std::string target = out.File("bad-saved.dvi");
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        qobject_cast<QFileDialog*>(&dialog)->selectFile(QString::fromStdString(target));
        return int(IDOK);
    });
    view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    EXPECT_FALSE(fs::exists(target));
    ASSERT_FALSE(messages.empty());
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(out.Path())) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"bad.dvi"});
}

TEST_F(DocSave, ATiffDocumentIsCopiedAndAReadOnlyTargetReportsAnAttributeError) {
    const std::string tiff = out.File("scan.tif");
    {
        TIFF* tif = TIFFOpen(tiff.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(8));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(8));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(8));
        uint8_t row = 0xF0;
        for (uint32_t y = 0; y < 8; ++y) TIFFWriteScanline(tif, &row, y, 0);
        TIFFClose(tif);
    }
    Open(tiff);
    ASSERT_EQ(doc->GetDocType(), CVrViewerDoc::kTypeTiff);
    messages.clear();  // what an earlier test's document had to say
    auto answer = [](const std::string& path) {
        AfxSetDialogAnswerer([path](UINT, QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            EXPECT_TRUE(files->nameFilters().join(";").contains("Tiff Files"));
            files->selectFile(QString::fromStdString(path));
            return int(IDOK);
        });
    };
    const std::string copy = out.File("copy.tif");
    answer(copy);
    view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(testsupport::ReadFile(copy), testsupport::ReadFile(tiff));
    EXPECT_TRUE(messages.empty()) << messages.front();

    const std::string locked = out.File("locked.tif");
    testsupport::WriteFile(locked, {'o', 'l', 'd'});
    fs::permissions(locked, fs::perms::owner_read);
    answer(locked);
    view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(testsupport::ReadFile(locked), (std::vector<unsigned char>{'o', 'l', 'd'}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "File save error!\nprevious file attribute error(error no. :" + std::to_string(EACCES) + ")");
}

TEST_F(DocSave, TheSaveDialogsBoxAndTheAboutBox) {
    AfxSetDialogAnswerer([](UINT id, QDialog& dialog) {
        EXPECT_EQ(id, IDD_SAVE_DVI);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Save DVI Document");
        QCheckBox* box = dialog.findChild<QCheckBox*>();
        EXPECT_TRUE(box && box->isChecked());
        EXPECT_EQ(box->text().toStdString(), "Save external picture files in the same directory");
        Keep(dialog, "save-dvi-dialog.png");
        box->setChecked(false);
        qobject_cast<QFileDialog*>(&dialog)->selectFile("/tmp/some name");
        return int(IDOK);
    });
    DocSaveDVIDlg dlg("proposed", "Save DVI Document", nullptr, 1);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_flag, 0);
    EXPECT_EQ(dlg.GetPathName().str(), "/tmp/some name.dvi");

    std::vector<std::string> texts;
    AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
        EXPECT_EQ(id, IDD_ABOUTBOX);
        Keep(dialog, "about-box.png");
        for (QLabel* l : dialog.findChildren<QLabel*>()) texts.push_back(l->text().toStdString());
        return int(IDOK);
    });
    AfxGetApp()->OnCmdMsg(ID_APP_ABOUT, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Veloran Viewer"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Version ") + VELORAN_TEST_VERSION), texts.end());
}

TEST_F(DocSave, TheOpenDialogsFirstFilterShowsEveryNameTheViewerSavesUnder) {
    const fs::path folder = out.Path() / "saved";
    fs::create_directories(folder);
    for (const char* name : {"a.dgz", "b.dvi.gz", "c.vrd", "d.dvi", "e.txt", "f.ps"})
        fs::copy_file(*plain_, folder / name);
    std::vector<std::string> shown;
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        EXPECT_EQ(files->selectedNameFilter().toStdString(), "Veloran Document (*.vrd,*.dvi,*.dgz,*.gz)");
        files->setDirectory(QString::fromStdString(folder.string()));
        dialog.show();
        auto* list = dialog.findChild<QListView*>("listView");
        EXPECT_TRUE(PumpUntil([&] { return list->model()->rowCount(list->rootIndex()) >= 4; }));
        EXPECT_TRUE(PumpUntilQueuedRan());
        for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
            shown.push_back(list->model()->index(r, 0, list->rootIndex()).data().toString().toStdString());
        dialog.hide();
        return int(IDCANCEL);
    });
    AfxGetApp()->OnCmdMsg(ID_FILE_OPEN, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"a.dgz", "b.dvi.gz", "c.vrd", "d.dvi"}));
}

}  // namespace
