// Command states in the whole window on the offscreen platform, worked as a
// person works: the page view's toolbar band shows the states of the menus'
// commands (the mode checked, commands greyed for the document type, Save
// As only with pages), the position pane names a selection while it is
// dragged, Note ends a selection, the first-run step runs once a run, the
// scroll steps follow a reload, an unsupported file answers in the
// interface's language, and the document that takes over a closed one keeps
// the maximised title.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <fstream>
#include <string>
#include <vector>

#include "dvilib/VrDviSearch.h"
#include "platform/sys/Registry.h"
#include "platform/ui/ControlBars.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/frames/MainFrame.h"
#include "viewer/res/ViewerStrings.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A one-page bilevel TIFF.
bool WriteTiff(const std::string& file) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(64));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(48));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(48));
    std::vector<uint8_t> row(8, 0x0F);
    bool ok = true;
    for (uint32_t y = 0; y < 48 && ok; ++y) ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    TIFFClose(tif);
    return ok;
}

// A document of n pages, "Page 1" to "Page n".
std::string PagesText(int n) {
    return "\\newcount\\n \\n=0\n\\loop \\advance\\n by 1 \\centerline{Page \\the\\n}\n\\ifnum\\n<" +
           std::to_string(n) + " \\vfill\\eject \\repeat\n\\bye\n";
}

class CommandStates : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TestEnvironment;
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, PagesText(4)));
        fs::copy_file(dir_->File("doc.dvi"), dir_->File("second.dvi"));
        ASSERT_TRUE(WriteTiff(dir_->File("page.tif")));
        TestApp();
    }
    static void TearDownTestSuite() {
        delete dir_;
    }

    void SetUp() override {
        boxes_.clear();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            boxes_.push_back(r.text);
            return IDOK;
        });
        dir_->ResetConfig();
        app_ = NewTestApplication();
        app_->SetRegistryKey(CVrViewerApp::kRegistryKey);
        app_->SetAppProfile();
        AfxRegisterViewerStrings();
        app_->AddViewerTemplate([]() -> CView* { return new CVrViewerView; });
        main_ = app_->MakeMainFrame();
        ASSERT_NE(main_, nullptr);
        main_->GetWidget()->resize(1000, 760);
        main_->ShowWindow(SW_SHOW);
        life_ = main_->GetGuard();
    }

    void TearDown() override {
        if (!life_.expired()) {
            app_->CloseAllDocuments(FALSE);
            main_->DestroyWindow();
        }
        delete app_;
        AfxSetMessageBoxAnswerer(nullptr);
    }

    // Opens a document of the folder and waits until its first page shows.
    CVrViewerDoc* Open(const std::string& name) {
        auto* doc = dynamic_cast<CVrViewerDoc*>(app_->OpenDocumentFile(dir_->File(name).c_str()));
        if (!doc) return nullptr;
        CVrViewerView* view = ViewOf(doc);
        if (!PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished(); })) return nullptr;
        return doc;
    }
    static CVrViewerView* ViewOf(CDocument* doc) {
        return doc && !doc->GetViews().empty() ? dynamic_cast<CVrViewerView*>(doc->GetViews().front()) : nullptr;
    }
    static QAction* Band(CVrViewerView* view, UINT id) { return view->GetControls()->MainToolbarButton(id); }
    // A click on a band button, on its left half (the Text button's right
    // part is its drop-down arrow).
    static void Click(CVrViewerView* view, UINT id) {
        QWidget* button = view->GetControls()->MainToolbar()->widgetForAction(Band(view, id));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(4, button->height() / 2));
    }
    static QImage Grab(CVrViewerView* view) { return view->GetControls()->MainToolbar()->grab().toImage(); }
    static QImage GrabButton(CVrViewerView* view, UINT id) {
        return view->GetControls()->MainToolbar()->widgetForAction(Band(view, id))->grab().toImage();
    }
    std::string PositionPane() { return main_->GetStatusBarCtrl().GetPaneText(1).str(); }
    bool Boxed(const std::string& part) const {
        for (const std::string& b : boxes_)
            if (b.find(part) != std::string::npos) return true;
        return false;
    }

    static testsupport::TestEnvironment* dir_;
    CVrViewerApp* app_ = nullptr;
    CMainFrame* main_ = nullptr;
    WndGuard life_;
    std::vector<std::string> boxes_;
};
testsupport::TestEnvironment* CommandStates::dir_ = nullptr;

TEST_F(CommandStates, TheBandShowsTheModeAndGreysWhatTheDocumentCannotDo) {
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    CVrViewerView* view = ViewOf(doc);
    ASSERT_TRUE(view->GetControls()->BandVisible());
    // The states follow the pages' arrival.
    ASSERT_TRUE(PumpUntil([&] {
        for (UINT id : {ID_FILE_SAVE_AS, ID_TEXT_SELECT, ID_NOTE, ID_IMAGE_SELECT})
            if (!Band(view, id)->isEnabled()) return false;
        return Band(view, ID_VIEW_MODE)->isChecked();
    }));
    EXPECT_FALSE(Band(view, ID_TEXT_SELECT)->isChecked());
    const QImage viewMode = Grab(view), textButton = GrabButton(view, ID_TEXT_SELECT);

    // Text Select on the band: the band shows the mode as the menu does.
    Click(view, ID_TEXT_SELECT);
    EXPECT_EQ(view->GetViewMode(), int(kModeText));
    ASSERT_TRUE(PumpUntil([&] { return Band(view, ID_TEXT_SELECT)->isChecked(); }));
    EXPECT_FALSE(Band(view, ID_VIEW_MODE)->isChecked());
    for (QAction* item : main_->FindCommandActions(ID_TEXT_SELECT))
        EXPECT_TRUE(item->isChecked()) << item->text().toStdString() << " " << item->isCheckable();
    EXPECT_NE(Grab(view), viewMode);

    // The same command from the menu moves the band back.
    main_->OnCommand(ID_VIEW_MODE);
    ASSERT_TRUE(PumpUntil([&] { return Band(view, ID_VIEW_MODE)->isChecked(); }));
    EXPECT_FALSE(Band(view, ID_TEXT_SELECT)->isChecked());

    // A TIFF document has no text: Text and Note are greyed, on the band
    // and in the menu; Image Copy and Save As work.
    CVrViewerDoc* tiff = Open("page.tif");
    ASSERT_NE(tiff, nullptr);
    CVrViewerView* tiffView = ViewOf(tiff);
    ASSERT_TRUE(PumpUntil([&] { return !Band(tiffView, ID_TEXT_SELECT)->isEnabled(); }));
    EXPECT_FALSE(Band(tiffView, ID_NOTE)->isEnabled());
    EXPECT_TRUE(Band(tiffView, ID_IMAGE_SELECT)->isEnabled());
    EXPECT_TRUE(Band(tiffView, ID_FILE_SAVE_AS)->isEnabled());
    for (UINT id : {ID_TEXT_SELECT, ID_COLUMN_SELECT, ID_NOTE})
        for (QAction* item : main_->FindCommandActions(id)) EXPECT_FALSE(item->isEnabled()) << id;
    EXPECT_NE(GrabButton(tiffView, ID_TEXT_SELECT), textButton);
    // The DVI document's band keeps its own states.
    EXPECT_TRUE(Band(view, ID_TEXT_SELECT)->isEnabled());
}

TEST_F(CommandStates, SaveAsAndPrintNeedPages) {
    // A file that is no DVI document: the view has no page.
    {
        std::ofstream bad(dir_->File("bad.dvi"), std::ios::binary);
        bad << "\xF7\x02" << std::string(200, 'x');
    }
    auto* doc = dynamic_cast<CVrViewerDoc*>(app_->OpenDocumentFile(dir_->File("bad.dvi").c_str()));
    ASSERT_NE(doc, nullptr);
    CVrViewerView* view = ViewOf(doc);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
    main_->UpdateCmdUI();
    EXPECT_EQ(view->GetPageCount(), 0);
    for (UINT id : {ID_FILE_SAVE_AS, ID_FILE_PRINT}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(main_->FindCommandActions(id).empty());
        for (QAction* item : main_->FindCommandActions(id)) EXPECT_FALSE(item->isEnabled());
        if (QAction* button = view->GetControls()->MainToolbarButton(id)) {
            EXPECT_FALSE(button->isEnabled());
        }
    }
    EXPECT_FALSE(view->GetControls()->CommandActions().empty());
    for (QAction* a : view->GetControls()->CommandActions())
        if (a->data().toUInt() == ID_FILE_PRINT) {
            EXPECT_FALSE(a->isEnabled());
        }

    CVrViewerDoc* good = Open("doc.dvi");
    ASSERT_NE(good, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return Band(ViewOf(good), ID_FILE_SAVE_AS)->isEnabled(); }));
    for (QAction* item : main_->FindCommandActions(ID_FILE_SAVE_AS)) EXPECT_TRUE(item->isEnabled());
}

// The box of a word of the shown page, in the view's client coordinates.
QRect WordRect(CVrViewerView* view, CVrViewerDoc* doc, const char* word) {
    ViewStatus vs;
    view->GetViewStatus(vs);
    VrDviSearch search;
    search.FindString(word, &doc->GetReader(), 1, vs.page, vs.page);
    auto it = search.GetResultList().Begin();
    if (!it) return QRect();
    auto r = it.Value().rectangles.Begin();
    VrDviDrawer& d = view->GetPageDrawer();
    const int x0 = d.hDot(r.Value().x), y0 = d.vDot(r.Value().y);
    const int x1 = d.hDot(r.Value().x + r.Value().width), y1 = d.vDot(r.Value().y + r.Value().height);
    return QRect(QPoint(x0 - vs.scrollX, y0 - vs.scrollY + vs.topOffset),
                 QPoint(x1 - vs.scrollX, y1 - vs.scrollY + vs.topOffset));
}

TEST_F(CommandStates, ThePaneNamesADraggedSelectionAndNoteEndsIt) {
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    CVrViewerView* view = ViewOf(doc);
    QWidget* w = view->GetWidget();
    main_->OnCommand(ID_TEXT_SELECT);
    ASSERT_EQ(view->GetViewMode(), int(kModeText));
    ASSERT_TRUE(PumpUntil([&] { return view->GetPageDrawer().IsWorking(); }));
    const QRect word = WordRect(view, doc, "Page");
    ASSERT_FALSE(word.isEmpty());

    const QPoint from(word.left() + 1, word.center().y()), to(word.right() - 1, word.center().y());
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    // While the button is down the pane names the selection's ends.
    const QRegularExpression range(R"(^Start \((\d+)\), End\((\d+)\)$)");
    ASSERT_TRUE(PumpUntil([&] { return range.match(QString::fromStdString(PositionPane())).hasMatch(); }))
        << PositionPane();
    const QRegularExpressionMatch m = range.match(QString::fromStdString(PositionPane()));
    EXPECT_EQ(m.captured(1).toInt(), view->GetSelection().GetStartPos());
    EXPECT_EQ(m.captured(2).toInt(), view->GetSelection().GetEndPos());
    EXPECT_LT(m.captured(1).toInt(), m.captured(2).toInt());
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, to);
    ASSERT_FALSE(view->GetSelection().GetSelectedString().IsNull());
    ASSERT_GT(view->GetSelection().GetSelectedString().GetLength(), 0);

    // Note: the selection goes with the mode it belonged to.
    main_->OnCommand(ID_NOTE);
    EXPECT_EQ(view->GetViewMode(), int(kModeNote));
    EXPECT_EQ(view->GetSelection().GetStartPos(), -1);
    EXPECT_EQ(view->GetSelection().GetEndPos(), -1);
    ASSERT_TRUE(PumpUntil([&] { return Band(view, ID_NOTE)->isChecked(); }));
    EXPECT_FALSE(Band(view, ID_TEXT_SELECT)->isChecked());
    EXPECT_EQ(PositionPane(), "");
}

TEST_F(CommandStates, OnlyTheFirstDocumentOfTheFirstRunRunsTheFirstRunStep) {
    sys::Registry& reg = sys::Registry::Default();
    const auto root = sys::RegRoot::LocalMachine;
    ASSERT_TRUE(reg.CreateKey(root, CVrViewerAppBase::kInstallKey));
    ASSERT_TRUE(reg.SetString(root, CVrViewerAppBase::kInstallKey, "FirstRunning", "TRUE"));
    app_->m_firstRun = 1;
    ASSERT_NE(Open("doc.dvi"), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return reg.GetString(root, CVrViewerAppBase::kInstallKey, "FirstRunning") ==
                                       std::optional<std::string>("FALSE"); }));
    EXPECT_EQ(app_->m_firstRun, 0);
    // A mark set again (as by a second installation) stays for the next run.
    ASSERT_TRUE(reg.SetString(root, CVrViewerAppBase::kInstallKey, "FirstRunning", "TRUE"));
    // (Open waits past the document's initial update, where the step runs.)
    ASSERT_NE(Open("second.dvi"), nullptr);
    EXPECT_EQ(reg.GetString(root, CVrViewerAppBase::kInstallKey, "FirstRunning"), std::optional<std::string>("TRUE"));
}

TEST_F(CommandStates, TheScrollStepsFollowAReloadToFewerPages) {
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, PagesText(120), "long"));
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, PagesText(60), "shorter"));
    const fs::path file = dir_->Path() / "grows.dvi";
    fs::copy_file(dir_->Path() / "long.dvi", file, fs::copy_options::overwrite_existing);
    CVrViewerDoc* doc = Open("grows.dvi");
    ASSERT_NE(doc, nullptr);
    CVrViewerView* view = ViewOf(doc);
    ASSERT_TRUE(PumpUntil([&] { return view->GetPageCount() == 120; }));
    EXPECT_EQ(view->GetScrollStepsDivisor(), 80);

    // TeX writes a shorter document over it; the view's next focus finds it.
    fs::copy_file(dir_->Path() / "shorter.dvi", file, fs::copy_options::overwrite_existing);
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(10));
    view->OnSetFocus(nullptr);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && view->GetPageCount() == 60; }));
    EXPECT_EQ(view->GetScrollStepsDivisor(), 30);
}

TEST_F(CommandStates, AnUnsupportedFileAnswersInTheInterfacesLanguage) {
    {
        std::ofstream text(dir_->File("text.dvi"), std::ios::binary);
        text << "plain words, no document";
    }
    struct Case {
        UiLanguage language;
        const char* text;
    } cases[] = {{UiLanguage::English, "This document file is not supported."},
                 {UiLanguage::Korean, "지원하지 않는 문서 파일입니다.."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        AfxSetLanguage(c.language);
        boxes_.clear();
        auto* doc = dynamic_cast<CVrViewerDoc*>(app_->OpenDocumentFile(dir_->File("text.dvi").c_str()));
        ASSERT_TRUE(PumpUntil([&] { return !boxes_.empty(); }));
        EXPECT_EQ(boxes_.front(), c.text);
        if (doc && app_->GetDocManager()->GetOpenDocumentCount() > 0) app_->CloseAllDocuments(FALSE);
    }
    AfxSetLanguage(UiLanguage::English);
}

TEST_F(CommandStates, TheDocumentThatTakesOverAClosedMaximisedOneShowsMaximised) {
    CVrViewerDoc* first = Open("doc.dvi");
    CVrViewerDoc* second = Open("second.dvi");
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(PumpUntil([&] { return main_->GetWidget()->windowTitle().contains("[second.dvi]"); }))
        << main_->GetWidget()->windowTitle().toStdString();
    second->OnCloseDocument();
    ASSERT_TRUE(PumpUntil([&] { return main_->GetWidget()->windowTitle().contains("[doc.dvi]"); }))
        << main_->GetWidget()->windowTitle().toStdString();
    BOOL maximized = FALSE;
    EXPECT_NE(main_->MDIGetActive(&maximized), nullptr);
    EXPECT_TRUE(maximized);
}

// Every text a dialog shows: its title, labels, buttons, group titles, tab
// titles and list items, in the order of its widgets.
std::vector<std::string> DialogTexts(QDialog& dialog) {
    std::vector<std::string> texts{dialog.windowTitle().toStdString()};
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<QLabel*>(w)) texts.push_back(l->text().toStdString());
        else if (auto* b = qobject_cast<QAbstractButton*>(w)) texts.push_back(b->text().toStdString());
        else if (auto* g = qobject_cast<QGroupBox*>(w)) texts.push_back(g->title().toStdString());
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) texts.push_back(t->tabText(i).toStdString());
        if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
            for (int i = 0; i < c->count(); ++i) texts.push_back(c->itemText(i).toStdString());
    }
    return texts;
}

// A text with a word in it (numbers, paths and signs are the same in both languages).
bool HasWord(const std::string& text) {
    int letters = 0;
    for (unsigned char c : text) letters += std::isalpha(c) ? 1 : 0;
    return letters >= 2;
}

TEST_F(CommandStates, EveryDialogSpeaksKoreanInTheKoreanInterface) {
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    CVrViewerView* view = ViewOf(doc);
    // Opens each dialog as a person does and keeps what it shows.
    auto walk = [&] {
        std::map<UINT, std::vector<std::string>> shown;
        AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
            dialog.show();
            shown[id] = DialogTexts(dialog);
            return IDCANCEL;
        });
        main_->OnCommand(ID_APP_ABOUT);
        main_->OnCommand(ID_VIEWER_OPTIONS);
        main_->OnCommand(ID_DOCUMENT_INFO);
        main_->OnCommand(ID_SEARCH);
        main_->OnCommand(ID_GOTO_PAGE);
        view->OnGotoPageDialog();
        view->AddNoteAt(CPoint(200, 200));
        main_->OnCommand(ID_NOTE_PROPERTIES);
        AfxSetDialogAnswerer(nullptr);
        return shown;
    };
    const auto english = walk();
    AfxSetLanguage(UiLanguage::Korean);
    ASSERT_TRUE(AfxInstallQtTranslations(UiLanguage::Korean)) << "Qt's Korean translation is not installed";
    const auto korean = walk();
    AfxSetLanguage(UiLanguage::English);
    AfxInstallQtTranslations(UiLanguage::English);

    // About, Preferences, Document Information, Search, Go To, the page
    // slider and Note Properties.
    EXPECT_EQ(english.size(), 7u);
    ASSERT_EQ(korean.size(), english.size());
    // A Korean text that is word for word the English one.
    std::vector<std::string> same;
    for (const auto& [id, texts] : english) {
        const std::vector<std::string>& k = korean.at(id);
        ASSERT_EQ(k.size(), texts.size()) << id;
        for (size_t i = 0; i < texts.size(); ++i)
            if (HasWord(texts[i]) && k[i] == texts[i]) same.push_back(texts[i]);
    }
    // The names that stay as they are in every language: the product, the
    // libraries and a paper size.
    const std::vector<std::string> englishOnly = {"Veloran Viewer", "kpathsea", "GhostScript", "Letter"};
    EXPECT_EQ(same, englishOnly);
}

}  // namespace
