// The page view's dialogs driven as a person does, on a twelve-page TeX
// document on the offscreen platform: go to page, the margin box and its
// lifetime, the print progress box, document information and the page tip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/DocumentInfoDlg.h"
#include "viewer/view/GotoPageDlg.h"
#include "viewer/view/MarginDlg.h"
#include "viewer/view/PrintProgressDlg.h"
#include "viewer/view/ViewControls.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

using testsupport::RunCommand;

const char* kDocument = R"TEX(
\newcount\n \n=0
\loop \advance\n by 1
  \centerline{Page \the\n}
  \ifnum\n<12 \vfill\eject \repeat
\bye
)TEX";

template <class T>
T* Item(CDialog& dlg, UINT id) {
    return qobject_cast<T*>(dlg.GetDlgItemWidget(id));
}

// A picture of a dialog for a person to look at, kept with the build.
void KeepPicture(QWidget* w, const char* name) {
    fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
    w->grab().save(QString::fromStdString(std::string(VELORAN_BINARY_DIR "/artefacts/") + name + ".png"));
}

// Runs the deferred deletions of widgets.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

class ViewDialogs : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        AfxSetLanguage(UiLanguage::English);
        MakeView(900, 700);
        Open(Dir() / "doc.dvi");
        ASSERT_EQ(view->GetPageCount(), 12);
    }
    void TearDown() override {
        ViewFixture::TearDown();
        Settle();
        AfxSetDialogAnswerer(nullptr);
        AfxSetLanguage(UiLanguage::English);
    }

    ViewStatus Status() {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs;
    }

};

TEST(GotoPageDlgRules, TheLabelAndTheAcceptedNumbers) {
    TestApp();
    AfxSetLanguage(UiLanguage::English);
    EXPECT_STREQ(GotoPageDlg::LabelText(12).c_str(), "Page number (1-12):");
    const struct {
        const char* text;
        std::optional<int> page;
    } cases[] = {{"12", 12},         {"1", 1},           {" 7 ", 7},           {"0", std::nullopt},
                 {"13", std::nullopt}, {"-1", std::nullopt}, {"", std::nullopt},   {"5x", std::nullopt},
                 {"x5", std::nullopt}, {"3/12", std::nullopt}, {"99999999999999", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(GotoPageDlg::ParsePage(c.text, 12), c.page) << '"' << c.text << '"';
    // No page can be entered into a document without pages.
    EXPECT_EQ(GotoPageDlg::ParsePage("1", 0), std::nullopt);
}

TEST_F(ViewDialogs, GoToPageRefusesZeroAndThirteenAndTakesTheLastPage) {
    view->GotoPage(2);
    const int history = view->GetHistory().Count();
    std::string label, shownPage;
    std::vector<std::string> refusedAt;
    AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
        EXPECT_EQ(id, UINT(GotoPageDlg::IDD));
        auto* dlg = dynamic_cast<GotoPageDlg*>(CWnd::FromWidget(&dialog));
        if (!dlg) return IDCANCEL;
        dialog.show();
        label = Item<QLabel>(*dlg, GotoPageDlg::IDC_GOTOPAGE_LABEL)->text().toStdString();
        auto* edit = Item<QLineEdit>(*dlg, GotoPageDlg::IDC_GOTOPAGE_EDIT);
        shownPage = edit->text().toStdString();
        KeepPicture(&dialog, "dialog-goto-page");
        auto* ok = Item<QPushButton>(*dlg, IDOK);
        for (const char* typed : {"0", "13", "12"}) {
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            const size_t before = messages.size();
            QTest::mouseClick(ok, Qt::LeftButton);
            if (messages.size() > before) refusedAt.push_back(typed);
        }
        return IDOK;
    });
    view->OnGotoPageDialog();
    EXPECT_EQ(label, "Page number (1-12):");
    EXPECT_EQ(shownPage, "3");
    EXPECT_EQ(refusedAt, (std::vector<std::string>{"0", "13"}));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Please enter a page number from 1 to 12.");
    EXPECT_EQ(Status().page, 11);
    EXPECT_EQ(view->GetHistory().Count(), history + 1);

    // Enter in the edit is the OK button; Cancel goes nowhere.
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        auto* dlg = dynamic_cast<GotoPageDlg*>(CWnd::FromWidget(&dialog));
        dialog.show();
        auto* edit = Item<QLineEdit>(*dlg, GotoPageDlg::IDC_GOTOPAGE_EDIT);
        edit->selectAll();
        QTest::keyClicks(edit, "4");
        QTest::keyClick(edit, Qt::Key_Return);
        return IDCANCEL;  // already ended by the key
    });
    view->OnGotoPageDialog();
    EXPECT_EQ(Status().page, 3);
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        auto* dlg = dynamic_cast<GotoPageDlg*>(CWnd::FromWidget(&dialog));
        dialog.show();
        QTest::keyClicks(Item<QLineEdit>(*dlg, GotoPageDlg::IDC_GOTOPAGE_EDIT), "9");
        QTest::mouseClick(Item<QPushButton>(*dlg, IDCANCEL), Qt::LeftButton);
        return IDCANCEL;
    });
    const int count = view->GetHistory().Count();
    view->OnGotoPageDialog();
    EXPECT_EQ(Status().page, 3);
    EXPECT_EQ(view->GetHistory().Count(), count);
}

TEST_F(ViewDialogs, GoToPageSpeaksKoreanWhenTheUserDoes) {
    AfxSetLanguage(UiLanguage::Korean);
    std::string label;
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        auto* dlg = dynamic_cast<GotoPageDlg*>(CWnd::FromWidget(&dialog));
        dialog.show();
        label = Item<QLabel>(*dlg, GotoPageDlg::IDC_GOTOPAGE_LABEL)->text().toStdString();
        auto* edit = Item<QLineEdit>(*dlg, GotoPageDlg::IDC_GOTOPAGE_EDIT);
        edit->selectAll();
        QTest::keyClicks(edit, "13");
        QTest::keyClick(edit, Qt::Key_Return);
        return IDCANCEL;
    });
    view->OnGotoPageDialog();
    EXPECT_EQ(label, "쪽 번호 (1-12):");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "1부터 12까지의 쪽 번호를 입력하십시오.");
}

TEST_F(ViewDialogs, GoToPageIsNotOpenedWithoutPages) {
    int opened = 0;
    AfxSetDialogAnswerer([&](UINT, QDialog&) {
        ++opened;
        return IDCANCEL;
    });
    // A view with no document, and a picture view that has no page yet.
    CVrViewerView empty;
    empty.OnGotoPageDialog();
    CVrViewerView pictures;
    pictures.SetDocType(kDocTiff);
    pictures.OnGotoPageDialog();
    EXPECT_EQ(opened, 0);
    // The loaded view opens it.
    view->OnGotoPageDialog();
    EXPECT_EQ(opened, 1);
}

TEST_F(ViewDialogs, TheMarginSliderWidensThePageAndResetAndCloseEndIt) {
    view->SendCommand(ID_FIT_WIDTH_ADJUST_MARGIN);
    MarginDlg* dlg = view->GetMarginDialog();
    ASSERT_NE(dlg, nullptr);
    QPointer<QDialog> box = dlg->GetDialog();
    ASSERT_TRUE(box && box->isVisible());
    const ViewStatus fitted = Status();
    KeepPicture(box, "dialog-margin");
    auto* slider = Item<QSlider>(*dlg, MarginDlg::IDC_MARGIN_SLIDER);
    auto* value = Item<QLabel>(*dlg, MarginDlg::IDC_MARGIN_VALUE);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->value(), 0);

    // Moved with the keys to 25.
    slider->setFocus();
    for (int i = 0; i < 25; ++i) QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(value->text().toStdString(), " 25");
    EXPECT_EQ(view->GetMarginValue(), 25);
    EXPECT_EQ(Status().DispMagSpec, 3);
    EXPECT_EQ(Status().DispMag, fitted.DispMag + 2500);
    // The zoom boxes follow.
    EXPECT_EQ(view->GetControls()->ZoomBox()->text().toStdString(),
              std::to_string((fitted.DispMag + 2500 + 50) / 100) + "%");
    // Back by five: the page shrinks by the difference.
    for (int i = 0; i < 5; ++i) QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(value->text().toStdString(), " 20");
    EXPECT_EQ(Status().DispMag, fitted.DispMag + 2000);

    // A second Adjust Margin keeps the one box.
    view->OnAdjustMargin();
    EXPECT_EQ(view->GetMarginDialog(), dlg);

    QTest::mouseClick(Item<QPushButton>(*dlg, MarginDlg::IDC_MARGIN_RESET), Qt::LeftButton);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(value->text().toStdString(), "0");
    EXPECT_EQ(Status().DispMag, fitted.DispMag);

    // Close ends the box: the view forgets it and the box goes.
    QTest::mouseClick(Item<QPushButton>(*dlg, MarginDlg::IDC_MARGIN_CLOSE), Qt::LeftButton);
    EXPECT_EQ(view->GetMarginDialog(), nullptr);
    Settle();
    EXPECT_TRUE(box.isNull());

    // It opens again; a margin set meanwhile is first taken out of the zoom.
    view->SetMarginShift(3);
    view->OnAdjustMargin();
    ASSERT_NE(view->GetMarginDialog(), nullptr);
    EXPECT_EQ(Item<QSlider>(*view->GetMarginDialog(), MarginDlg::IDC_MARGIN_SLIDER)->value(), 0);
    EXPECT_EQ(Item<QLabel>(*view->GetMarginDialog(), MarginDlg::IDC_MARGIN_VALUE)->text().toStdString(), "  0");
    EXPECT_EQ(Status().DispMag, fitted.DispMag);
    // Closed by its window's close button (Escape) as well; the margin it
    // ends with is saved with the view's settings.
    auto* again = Item<QSlider>(*view->GetMarginDialog(), MarginDlg::IDC_MARGIN_SLIDER);
    for (int i = 0; i < 7; ++i) QTest::keyClick(again, Qt::Key_Right);
    QTest::keyClick(view->GetMarginDialog()->GetDialog(), Qt::Key_Escape);
    EXPECT_EQ(view->GetMarginDialog(), nullptr);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "MarginDispMag", -1), 7u);
}

TEST_F(ViewDialogs, AViewThatGoesFirstTakesItsMarginBoxWithIt) {
    view->SendCommand(ID_FIT_PAGE_ADJUST_MARGIN);
    ASSERT_NE(view->GetMarginDialog(), nullptr);
    QPointer<QDialog> box = view->GetMarginDialog()->GetDialog();
    view->DestroyWindow();
    view = nullptr;
    Settle();
    EXPECT_TRUE(box.isNull());
}

TEST(MarginDlgRules, TheValueTextIsThreeWide) {
    const struct {
        int value;
        const char* text;
    } cases[] = {{0, "  0"}, {5, "  5"}, {25, " 25"}, {100, "100"}};
    for (const auto& c : cases) EXPECT_STREQ(MarginDlg::ValueText(c.value).c_str(), c.text);
}

TEST(PrintProgressDlgBox, ShowsThePageLineAndCancelEndsItAndRaisesTheFlag) {
    TestApp();
    AfxSetLanguage(UiLanguage::English);
    PrintProgressDlg dlg;
    int abortFlag = 0;
    dlg.m_pAbortFlag = &abortFlag;
    for (int job = 0; job < 2; ++job) {
        ASSERT_TRUE(dlg.Create());
        ASSERT_TRUE(dlg.GetDialog() && dlg.GetDialog()->isVisible());
        EXPECT_EQ(dlg.m_cancelled, 0);
        // The templates the job reads.
        EXPECT_STREQ(dlg.GetDlgItemText(PrintProgressDlg::IDC_PRINT_ERROR_TEXT), "Cannot continue print process.");
        EXPECT_STREQ(dlg.GetDlgItemText(PrintProgressDlg::IDC_PRINT_PAGE_TEXT), "Page %1!d! is being printed.");
        const CString range = dlg.GetDlgItemText(PrintProgressDlg::IDC_PRINT_RANGE_TEXT);
        EXPECT_STREQ(PrintProgressDlg::PageText(range, 2, 5, 3), "Among page 2 - 5, page 3 is being printed.");
        EXPECT_STREQ(PrintProgressDlg::PageText("Page %1!d! is being printed.", 4, 4, 4), "Page 4 is being printed.");
        dlg.ShowPageText(PrintProgressDlg::PageText(range, 2, 5, 3));
        EXPECT_TRUE(dlg.GetDlgItemWidget(PrintProgressDlg::IDC_PRINT_RANGE_TEXT)->isVisible());
        if (job == 0) KeepPicture(dlg.GetDialog(), "dialog-print-progress");

        QPointer<QDialog> box = dlg.GetDialog();
        QTest::mouseClick(qobject_cast<QPushButton*>(dlg.GetDlgItemWidget(IDCANCEL)), Qt::LeftButton);
        EXPECT_EQ(dlg.m_cancelled, 1);
        EXPECT_EQ(abortFlag, 1);
        EXPECT_FALSE(dlg.IsWindow());
        // The job's next page finds the box gone and touches nothing.
        dlg.ShowPageText("Page 4 is being printed.");
        Settle();
        EXPECT_TRUE(box.isNull());
        abortFlag = 0;
    }
}

TEST(DocumentInfoDlgBox, ShowsTheLastPartOfTheNameThePathAndTheLists) {
    TestApp();
    AfxSetLanguage(UiLanguage::English);
    const struct {
        const char* name;
        const char* shown;
    } names[] = {{"http://h/x/b.dvi", "b.dvi"}, {"b.dvi", "b.dvi"}, {"/home/u/c.dvi", "c.dvi"}, {"dir/", ""}};
    for (const auto& n : names) EXPECT_STREQ(DocumentInfoDlg::LastComponent(n.name).c_str(), n.shown) << n.name;

    for (int filled : {1, 0}) {
        DocumentInfoDlg dlg;
        dlg.m_name = "http://h/x/b.dvi";
        dlg.m_path = "http://h/x/b.dvi";
        dlg.m_fonts.AddTail("cmr10 (Computer Modern) at 10.0000pt");
        dlg.m_fonts.AddTail("cmbx12 (Computer Modern Bold) at 12.0000pt");
        dlg.m_pictures.AddTail("figure.eps *");
        dlg.m_pictures.AddTail(String8((std::string(300, 'p') + ".eps").c_str()));
        dlg.m_listsFilled = filled;
        int sideways = 0;
        std::string name, path;
        std::vector<std::string> fonts, pictures;
        AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
            EXPECT_EQ(id, UINT(DocumentInfoDlg::IDD));
            if (filled) {
                dialog.show();
                EXPECT_TRUE(PumpUntil([&] { return dialog.isVisible(); }));
                EXPECT_TRUE(PumpUntilQueuedRan());
                KeepPicture(&dialog, "dialog-document-info");
                // The long line can be scrolled to.
                sideways = qobject_cast<QListWidget*>(dlg.GetDlgItemWidget(DocumentInfoDlg::IDC_DOCINFO_PICTURES))
                               ->horizontalScrollBar()
                               ->maximum();
            }
            name = dlg.GetDlgItemText(DocumentInfoDlg::IDC_DOCINFO_NAME).str();
            path = dlg.GetDlgItemText(DocumentInfoDlg::IDC_DOCINFO_PATH).str();
            for (UINT list : {DocumentInfoDlg::IDC_DOCINFO_FONTS, DocumentInfoDlg::IDC_DOCINFO_PICTURES}) {
                auto* w = qobject_cast<QListWidget*>(dlg.GetDlgItemWidget(list));
                for (int i = 0; w && i < w->count(); ++i)
                    (list == DocumentInfoDlg::IDC_DOCINFO_FONTS ? fonts : pictures)
                        .push_back(w->item(i)->text().toStdString());
            }
            return IDOK;
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(name, "b.dvi");
        EXPECT_EQ(path, "http://h/x/b.dvi");
        if (filled) {
            EXPECT_EQ(fonts, (std::vector<std::string>{"cmr10 (Computer Modern) at 10.0000pt",
                                                        "cmbx12 (Computer Modern Bold) at 12.0000pt"}));
            EXPECT_EQ(pictures, (std::vector<std::string>{"figure.eps *", std::string(300, 'p') + ".eps"}));
            EXPECT_GT(sideways, 0);
        } else {
            EXPECT_TRUE(fonts.empty());
            EXPECT_TRUE(pictures.empty());
        }
    }
    AfxSetDialogAnswerer(nullptr);
}

TEST_F(ViewDialogs, DraggingTheVerticalThumbShowsThePageTipUntilRelease) {
    QScrollBar* bar = view->GetControls()->Bar(true);
    ASSERT_TRUE(bar && bar->isVisible());
    // The thumb: a press on it, a drag two thirds down, and the release.
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = Qt::Vertical;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.pageStep = bar->pageStep();
    opt.singleStep = bar->singleStep();
    const QRect handle = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
    ASSERT_FALSE(handle.isEmpty());
    QTest::mousePress(bar, Qt::LeftButton, {}, handle.center());
    QMouseEvent move(QEvent::MouseMove, QPointF(handle.center().x(), bar->height() * 2 / 3),
                     bar->mapToGlobal(QPointF(handle.center().x(), bar->height() * 2 / 3)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    const int page = Status().page;
    EXPECT_GT(page, 3);
    // The tip: a window of its own showing "page/count".
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* label = qobject_cast<QLabel*>(w); label && label->isVisible() &&
                                                   label->text() == QString::asprintf("%d/12", page + 1))
            tip = label->window();
    ASSERT_NE(tip, nullptr) << "no page tip for page " << page + 1;
    ASSERT_NE(tip, view->GetWidget()->window());
    // Left of the bar.
    EXPECT_LT(tip->geometry().right(), bar->mapToGlobal(QPoint(0, 0)).x());
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(handle.center().x(), bar->height() * 2 / 3));
    EXPECT_FALSE(tip->isVisible());
}

}  // namespace
