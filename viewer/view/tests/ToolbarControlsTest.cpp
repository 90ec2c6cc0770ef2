// The toolbar controls alone (edit boxes, spin, combo boxes, page slider)
// and in the page view on a five-page TeX document: typing into the boxes,
// Enter, the spin's halves, the zoom drop-down menu, the band's combo boxes
// and the page slider, all with QTest's keys and clicks on the offscreen
// platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "viewer/document/VrViewerDoc.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/ToolbarImages.h"
#include "viewer/view/ToolbarControls.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"
#include "viewer/res/ViewerStrings.h"

namespace fs = std::filesystem;

namespace {

using testsupport::RunCommand;
using Messages = std::vector<std::pair<UINT, UINT>>;

const char* kDocument = R"TEX(
\newcount\n \n=0
\loop \advance\n by 1
  \centerline{Page \the\n}
  \ifnum\n<5 \vfill\eject \repeat
\bye
)TEX";

// A top-level window that holds a control, shown and active, so focus works.
struct Host {
    QWidget window;
    Host() {
        window.resize(300, 60);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST(ToolbarEditBox, EnterSendsOneMessageOtherKeysTypeAndFocusSelectsAll) {
    TestApp();
    Host host;
    auto* other = new QLineEdit(&host.window);
    auto* edit = new ToolbarEdit(IDC_PAGE_BOX, &host.window);
    edit->move(0, 30);
    other->show();
    edit->show();
    Messages sent;
    edit->SetOwner([&](UINT m, UINT id) { sent.push_back({m, id}); });
    other->setFocus();
    edit->setText("3/12");

    // Focusing by a click selects the whole text, after the click placed the caret.
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(4, edit->height() / 2));
    EXPECT_TRUE(PumpUntil([&] { return edit->hasFocus() && edit->selectedText() == edit->text(); }));
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->selectedText().toStdString(), "3/12");

    // Typing replaces the selection; Enter is one message and types nothing.
    QTest::keyClicks(edit, "7");
    EXPECT_TRUE(sent.empty());
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(sent, (Messages{{WM_TOOLBAR_EDIT_ENTER, IDC_PAGE_BOX}, {WM_TOOLBAR_EDIT_ENTER, IDC_PAGE_BOX}}));
    EXPECT_EQ(edit->text().toStdString(), "7");

    // The same rule in the combo box form.
    auto* combo = new EnterNotifyWnd(IDC_ZOOM_BOX, &host.window);
    combo->show();
    Messages comboSent;
    combo->SetOwner([&](UINT m, UINT id) { comboSent.push_back({m, id}); });
    QTest::keyClicks(combo->lineEdit(), "80");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(comboSent, (Messages{{WM_TOOLBAR_EDIT_ENTER, IDC_ZOOM_BOX}}));
    EXPECT_EQ(combo->currentText().toStdString(), "80");
    EXPECT_EQ(combo->count(), 0);
}

TEST(ZoomSpin, TheUpperHalfStepsUpTheLowerDownTheMiddleRowNothing) {
    TestApp();
    Host host;
    auto* spin = new ZoomSpinButton(IDC_ZOOM_SPIN, &host.window);
    spin->setGeometry(0, 0, 15, 16);
    spin->show();
    Messages sent;
    spin->SetOwner([&](UINT m, UINT id) { sent.push_back({m, id}); });
    const struct {
        int y;
        UINT message;  // 0: none
    } clicks[] = {{0, WM_ZOOM_STEP_UP}, {7, WM_ZOOM_STEP_UP}, {8, 0}, {9, WM_ZOOM_STEP_DOWN}, {15, WM_ZOOM_STEP_DOWN}};
    for (const auto& c : clicks) {
        sent.clear();
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(7, c.y));
        if (c.message) EXPECT_EQ(sent, (Messages{{c.message, IDC_ZOOM_SPIN}})) << c.y;
        else EXPECT_TRUE(sent.empty()) << c.y;
        EXPECT_EQ(ZoomSpinButton::MessageAt(c.y, 16), c.message) << c.y;
    }
    // An odd height has no exact middle row to skip but its own.
    EXPECT_EQ(ZoomSpinButton::MessageAt(8, 17), 0u);
    EXPECT_EQ(ZoomSpinButton::MessageAt(9, 17), UINT(WM_ZOOM_STEP_DOWN));
}

TEST(ToolbarCombo, EnterFindsTheExactEntryAndAddsNoDuplicates) {
    TestApp();
    Host host;
    ViewToolbar bar(&host.window);
    bar.addAction("Open");
    bar.addAction("Zoom")->setData(IDC_ZOOM_BOX);
    bar.addAction("Info");
    ToolbarComboBox* box = bar.AddComboBox(1, IDC_ZOOM_BOX, 72, 200);
    ASSERT_EQ(bar.ComboBox(IDC_ZOOM_BOX), box);
    // The button at the index made way for the box.
    ASSERT_EQ(bar.actions().size(), 3);
    EXPECT_EQ(bar.widgetForAction(bar.actions()[1]), box);
    EXPECT_EQ(box->font().pixelSize(), 12);
    EXPECT_EQ(box->font().weight(), QFont::Bold);

    std::vector<UINT> commands;
    std::vector<std::string> textsAtCommand;
    box->SetOwner([&](UINT id) {
        commands.push_back(id);
        textsAtCommand.push_back(box->currentText().toStdString());
    });
    auto enter = [&](const char* text) {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    };
    for (const char* t : {"100", "1", "100", "1"}) enter(t);
    // "1" is not taken for "100", and each text is in the list once.
    EXPECT_EQ(textsAtCommand, (std::vector<std::string>{"100", "1", "100", "1"}));
    EXPECT_EQ(commands, std::vector<UINT>(4, IDC_ZOOM_BOX));
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0).toStdString(), "100");
    EXPECT_EQ(box->itemText(1).toStdString(), "1");
    EXPECT_EQ(box->currentIndex(), 1);

    // A drop-down function replaces the list.
    int dropped = 0;
    box->SetDropDown([&] { ++dropped; });
    QTest::keyClick(box, Qt::Key_F4);
    EXPECT_EQ(dropped, 1);
}

class ToolbarInView : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        MakeView(900, 700);
        view->GetWidget()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view->GetWidget()));
        Open(Dir() / "doc.dvi");
        ASSERT_EQ(view->GetPageCount(), 5);
        view->SetZoomPercent(100);
        // A first move starts the history (with the place it left).
        view->GotoPage(0);
    }
    void TearDown() override {
        AfxSetPopupMenuAnswerer(nullptr);
        ViewFixture::TearDown();
    }

    ViewStatus Status() {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs;
    }
    ViewControls& Controls() { return *view->GetControls(); }
    // Into the box by a click, the text typed over the selection, Enter.
    void Type(QLineEdit* box, const char* text) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(3, box->height() / 2));
        EXPECT_TRUE(PumpUntil([&] { return box->hasFocus() && box->selectedText() == box->text(); }));
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

};

TEST_F(ToolbarInView, TypingIntoTheBoxesWorksAndTheViewDoesNotWriteOverAFocusedBox) {
    ToolbarEdit* page = Controls().PageBox();
    ToolbarEdit* zoom = Controls().ZoomBox();
    Type(page, "3");
    EXPECT_EQ(Status().page, 2);
    EXPECT_FALSE(page->hasFocus());  // the view took it back
    EXPECT_EQ(page->text().toStdString(), "3/5");

    // While a person types, a page change elsewhere leaves the box alone.
    QTest::mouseClick(zoom, Qt::LeftButton, {}, QPoint(3, zoom->height() / 2));
    EXPECT_TRUE(PumpUntil([&] { return zoom->hasFocus() && zoom->selectedText() == zoom->text(); }));
    QTest::keyClicks(zoom, "15");
    view->OnNextPage();
    EXPECT_EQ(zoom->text().toStdString(), "15");
    QTest::keyClicks(zoom, "0 %");
    QTest::keyClick(zoom, Qt::Key_Return);
    // "150 %" reads as 150.
    EXPECT_EQ(Status().DispMag, 15000);
    EXPECT_EQ(zoom->text().toStdString(), "150%");

    // The three ranges: typed 10 to 200, the list 1 to 300, the view 10 to 300 %.
    Type(zoom, "250");
    EXPECT_EQ(Status().DispMag, 15000);
    view->OnZoomSelChange("250 %");
    EXPECT_EQ(Status().DispMag, 25000);
    view->OnZoomSelChange("5");
    EXPECT_EQ(Status().DispMag, 1000);

    // The spin beside the box steps over the presets; its middle row does nothing.
    view->SetZoomPercent(100);
    ZoomSpinButton* spin = Controls().Spin();
    ASSERT_EQ(spin->height(), 16);
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_EQ(Status().DispMag, 12000);
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(7, 8));
    EXPECT_EQ(Status().DispMag, 12000);
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(7, 13));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(7, 13));
    EXPECT_EQ(Status().DispMag, 9000);
}

TEST_F(ToolbarInView, TheBottomRowFitsItsTextsAndButtons) {
    ToolbarEdit* page = Controls().PageBox();
    // The widest page text of a 200-page document fits the box.
    page->setText("200/200");
    const QRect inside = page->contentsRect().marginsRemoved(page->textMargins());
    EXPECT_LE(page->fontMetrics().horizontalAdvance(page->text()) + 2, inside.width());
    EXPECT_LE(page->fontMetrics().height(), page->height());
    // Every button of the two groups shows; none is pushed out of its group.
    for (UINT id : {ID_PAGE_PREV, ID_PAGE_NEXT, ID_PAGE_FIRST, ID_PAGE_LAST, ID_HISTORY_BACK, ID_HISTORY_FORWARD}) {
        QAction* a = Controls().NavigationButton(id);
        ASSERT_NE(a, nullptr) << id;
        ASSERT_FALSE(a->associatedObjects().isEmpty()) << id;
    }
    for (QToolButton* b : view->GetWidget()->findChildren<QToolButton*>()) {
        if (!b->isVisibleTo(view->GetWidget()) || !b->parentWidget()) continue;
        const QRect inParent = b->geometry();
        EXPECT_TRUE(b->parentWidget()->rect().contains(inParent)) << b->toolTip().toStdString();
    }
}

TEST_F(ToolbarInView, TheZoomMenuChecksTheItemOfTheFitModeAndCarriesOutTheChoice) {
    ToolbarComboBox* zoom = Controls().BandComboBox(IDC_ZOOM_BOX);
    ASSERT_NE(zoom, nullptr);
    const std::vector<UINT> items = {ID_ZOOM_200, ID_ZOOM_150, ID_ZOOM_120, ID_ZOOM_100, ID_ZOOM_90,
                                     ID_ZOOM_80,  ID_ZOOM_70,  ID_ZOOM_50,  ID_FIT_WIDTH, ID_FIT_WIDTH_ADJUST_MARGIN,
                                     ID_FIT_PAGE, ID_FIT_PAGE_ADJUST_MARGIN};
    std::vector<UINT> checked;
    UINT choice = 0;
    AfxSetPopupMenuAnswerer([&](CMenu& menu) {
        checked.clear();
        for (UINT id : items)
            if (menu.GetMenuState(id, MF_BYCOMMAND) & MF_CHECKED) checked.push_back(id);
        return choice;
    });
    auto dropDown = [&] { QTest::keyClick(zoom, Qt::Key_F4); };

    const struct {
        UINT setBy;       // command that sets the state
        UINT expected;    // checked item, 0: none
    } cases[] = {{ID_ZOOM_150, ID_ZOOM_150}, {ID_ZOOM_50, ID_ZOOM_50}, {ID_FIT_WIDTH, ID_FIT_WIDTH},
                 {ID_FIT_PAGE, ID_FIT_PAGE}};
    for (const auto& c : cases) {
        view->SendCommand(c.setBy);
        dropDown();
        EXPECT_EQ(checked, std::vector<UINT>{c.expected}) << c.setBy;
    }
    // A zoom that is no preset checks nothing.
    view->OnZoomSelChange("133");
    dropDown();
    EXPECT_TRUE(checked.empty());
    // The margin modes check their Adjust Margin items.
    view->OnFitToWidth();
    view->SetMarginShift(5);
    ASSERT_EQ(Status().DispMagSpec, 3);
    dropDown();
    EXPECT_EQ(checked, std::vector<UINT>{ID_FIT_WIDTH_ADJUST_MARGIN});
    view->OnFitToHeight();
    view->SetMarginShift(6);
    ASSERT_EQ(Status().DispMagSpec, 4);
    dropDown();
    EXPECT_EQ(checked, std::vector<UINT>{ID_FIT_PAGE_ADJUST_MARGIN});

    // A choice is carried out by the view.
    choice = ID_ZOOM_70;
    dropDown();
    EXPECT_EQ(Status().DispMagSpec, 0);
    EXPECT_EQ(Status().DispMag, 7000);
    EXPECT_EQ(zoom->currentText().toStdString(), "70%");
    EXPECT_EQ(Controls().ZoomBox()->text().toStdString(), "70%");

    // The pure rule.
    EXPECT_EQ(CVrViewerView::DropDownCheckedId(0, "90%"), UINT(ID_ZOOM_90));
    EXPECT_EQ(CVrViewerView::DropDownCheckedId(0, "Width"), 0u);
    EXPECT_EQ(CVrViewerView::DropDownCheckedId(0, "250 %"), 0u);
}

TEST_F(ToolbarInView, TheBandsComboBoxesTakeEnterAndFollowTheView) {
    ToolbarComboBox* zoom = Controls().BandComboBox(IDC_ZOOM_BOX);
    ToolbarComboBox* page = Controls().BandComboBox(IDC_PAGE_BOX);
    ASSERT_TRUE(zoom && page);
    EXPECT_EQ(page->currentText().toStdString(), "1/5");
    EXPECT_EQ(zoom->currentText().toStdString(), "100%");
    // As a person types: a click into the box, then keys to whatever has
    // the focus (the box itself, which hands them to its edit part).
    auto enter = [](QComboBox* box, const char* text, Qt::Key key = Qt::Key_Return) {
        QTest::mouseClick(box->lineEdit(), Qt::LeftButton, {}, QPoint(3, box->lineEdit()->height() / 2));
        box->lineEdit()->selectAll();
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClicks(focus, text);
        QTest::keyClick(focus, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    };
    // The list's range: 250 is taken here.
    enter(zoom, "250");
    EXPECT_EQ(Status().DispMag, 25000);
    EXPECT_EQ(zoom->currentText().toStdString(), "250%");
    enter(zoom, "400");
    EXPECT_EQ(Status().DispMag, 25000);
    enter(zoom, "75", Qt::Key_Enter);
    EXPECT_EQ(Status().DispMag, 7500);
    EXPECT_EQ(Controls().ZoomBox()->text().toStdString(), "75%");
    enter(zoom, "250");
    const int history = view->GetHistory().Count();
    enter(page, "4");
    EXPECT_EQ(Status().page, 3);
    EXPECT_EQ(view->GetHistory().Count(), history + 1);
    // Both rows show the page.
    EXPECT_EQ(page->currentText().toStdString(), "4/5");
    EXPECT_EQ(Controls().PageBox()->text().toStdString(), "4/5");
    enter(page, "2", Qt::Key_Enter);
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(Controls().PageBox()->text().toStdString(), "2/5");
    enter(page, "4");
    enter(page, "9");
    EXPECT_EQ(Status().page, 3);
    // The bottom row's commands reach them too.
    view->OnFirstPage();
    EXPECT_EQ(page->currentText().toStdString(), "1/5");
    // An entry chosen from the list (by the keys) applies it.
    zoom->setFocus();
    zoom->setCurrentIndex(-1);
    const int at = zoom->findText("250");
    ASSERT_GE(at, 0);
    view->SetZoomPercent(100);
    zoom->setCurrentIndex(at);
    Q_EMIT zoom->activated(at);
    EXPECT_EQ(Status().DispMag, 25000);
}

TEST_F(ToolbarInView, TheMainToolbarShowsPicturesWithTipsAndTheTextButtonDropsItsMenu) {
    const struct {
        UINT id;
        const char* tip;
    } buttons[] = {{57601, "File Open"},   {57604, "Save As"},        {40017, "View Mode"},
                   {40075, "Text Copy Mode"}, {40135, "Image Copy Mode"}, {40139, "Create Note"},
                   {40138, "LayoutBar"},   {40093, "Document Information"}};
    ViewToolbar* bar = Controls().MainToolbar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.tip);
        QAction* a = Controls().MainToolbarButton(b.id);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->icon().isNull());
        EXPECT_FALSE(a->icon().pixmap(QSize(20, 18)).isNull());
        EXPECT_EQ(a->toolTip().toStdString(), b.tip);
        // Every button has a picture of the viewer's own for a desktop without a theme.
        EXPECT_FALSE(ToolbarOwnIcon(b.id).isNull());
    }
    // The theme gives the buttons it has a name for.
    EXPECT_TRUE(QIcon::hasThemeIcon(ToolbarIconName(57601)));

    // The Text button: a press on its arrow pops up Text Select / Column Select.
    auto* text = qobject_cast<QToolButton*>(bar->widgetForAction(Controls().MainToolbarButton(ID_TEXT_SELECT)));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->popupMode(), QToolButton::MenuButtonPopup);
    std::vector<UINT> items;
    UINT choice = ID_COLUMN_SELECT;
    AfxSetPopupMenuAnswerer([&](CMenu& menu) {
        items.clear();
        for (int i = 0; i < menu.GetMenuItemCount(); ++i) items.push_back(menu.GetMenuItemID(i));
        return choice;
    });
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(text->width() - 3, text->height() / 2));
    EXPECT_EQ(items, (std::vector<UINT>{ID_TEXT_SELECT, ID_COLUMN_SELECT}));
    EXPECT_EQ(view->GetViewMode(), kModeColumn);
    // The button itself still selects text.
    items.clear();
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(4, text->height() / 2));
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(view->GetViewMode(), kModeText);
}

TEST(ToolbarTips, TheKoreanInterfaceSpeaksKoreanInTheTips) {
    TestApp();
    AfxRegisterViewerStrings();
    AfxSetLanguage(UiLanguage::Korean);
    QWidget host;
    ViewControls controls(&host, 0, [](bool, int, int) {}, [](unsigned) {});
    EXPECT_EQ(controls.MainToolbarButton(57601)->toolTip().toStdString(), "파일 열기");
    EXPECT_EQ(controls.NavigationButton(ID_PAGE_NEXT)->toolTip().toStdString(), "다음 페이지");
    EXPECT_EQ(controls.PageBox()->toolTip().toStdString(), "페이지 번호");
    AfxSetLanguage(UiLanguage::English);
    ViewControls english(&host, 0, [](bool, int, int) {}, [](unsigned) {});
    EXPECT_EQ(english.MainToolbarButton(57601)->toolTip().toStdString(), "File Open");
}

TEST_F(ToolbarInView, TheSliderGoesToItsPageOnReleaseOnly) {
    QWidget host;
    host.resize(300, 40);
    host.show();
    auto* slider = new PageSlider(&host);
    slider->setGeometry(0, 0, 300, 30);
    slider->show();
    slider->setRange(1, 5);
    slider->SetPos(1);
    slider->SetPageView(view);
    const int history = view->GetHistory().Count();

    // Keys: the page moves when the key is let go.
    slider->setFocus();
    QTest::keyPress(slider, Qt::Key_Right);
    EXPECT_EQ(slider->value(), 2);
    EXPECT_EQ(slider->IsDragging(), 1);
    EXPECT_EQ(Status().page, 0);
    QTest::keyRelease(slider, Qt::Key_Right);
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(view->GetHistory().Count(), history + 1);

    // Released where it was: no move, nothing recorded.
    QTest::keyPress(slider, Qt::Key_Shift);
    QTest::keyRelease(slider, Qt::Key_Shift);
    EXPECT_EQ(view->GetHistory().Count(), history + 1);

    // The mouse: pressed at the end, released there.
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() - 2, 15));
    const int pressedAt = slider->value();
    EXPECT_EQ(Status().page, 1);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 2, 15));
    EXPECT_EQ(Status().page, pressedAt - 1);
    EXPECT_EQ(slider->IsDragging(), 0);
}

}  // namespace
