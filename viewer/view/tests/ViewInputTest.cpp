// The page view worked by hand on a five-page TeX document on the offscreen
// platform: keys, the wheel, links, drags that select text and images, the
// popup menus, copying, and the search command with its dialog (words with
// ligatures too).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviSearch.h"
#include "platform/gdi/Surface.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/GlassWnd.h"
#include "viewer/view/SearchDlg.h"
#include "viewer/view/LinkLauncher.h"
#include "viewer/view/ViewInput.h"
#include "viewer/view/ViewSearch.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

using testsupport::RunCommand;

// Words on pages 1 and 3, a link to an anchor on page 3 and a link out.
const char* kDocument = R"TEX(
\catcode`\#=12
\hsize=5in \vsize=7in \parindent=0pt \nopagenumbers
Alpha beta gamma delta.

\special{html:<a href="#sec2">}Jump to section two\special{html:</a>}

\special{html:<a href="http://example.org/other.dvi">}Outside link\special{html:</a>}
\vfill\eject
Page two holds plain words.
\vfill\eject
\special{html:<a name="sec2">}Section two\special{html:</a>} has a zebra.
\vfill\eject
Page four.
\vfill\eject
Another zebra here on page five.
\bye
)TEX";

class ScriptedView : public CVrViewerView {
public:
    std::vector<std::string> launched;
    // While recording: per paint, whether the page area showed any ink.
    bool recordPaints = false;
    std::vector<bool> paintsWithInk;

    void OnPaint() override {
        CVrViewerView::OnPaint();
        if (!recordPaints) return;
        RECT area;
        GetPageAreaRect(&area);
        const WindowSurface& s = GetSurface();
        bool ink = false;
        for (int y = m_topOffset + 2; y < std::min<int>(area.bottom, s.height) && !ink; ++y)
            for (int x = 0; x < std::min<int>(area.right, s.width) && !ink; ++x) {
                const uint32_t p = s.pixels[size_t(y) * s.width + x];
                ink = ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
            }
        paintsWithInk.push_back(ink);
    }

protected:
    bool LaunchBrowser(const String8& address) override {
        launched.push_back(address.c_str());
        return true;
    }
};

struct MenuSeen {
    UINT id;
    bool enabled;
};

class PageInput : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        view = MakeView<ScriptedView>(kWidth, kHeight);
        Open(Dir() / "doc.dvi");
        ASSERT_EQ(view->GetPageCount(), 5);
        Settle();
    }
    void TearDown() override {
        AfxSetPopupMenuAnswerer(nullptr);
        AfxSetDialogAnswerer(nullptr);
        ViewFixture::TearDown();
        view = nullptr;
    }

    // Until the page is drawn whole (links and all).
    void Settle() {
        ASSERT_TRUE(PumpUntil([&] {
            const int* f = view->GetPagePartFlags();
            return f[0] && f[1] && f[4];
        }));
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
    ViewStatus Status() {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs;
    }
    void Scroll(int x, int y) {
        ViewStatus vs = Status();
        vs.scrollX = x;
        vs.scrollY = y;
        view->SetStatus(vs);
    }
    QWidget* W() { return view->GetWidget(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(W(), key, mods); }
    void Wheel(int delta, QPoint at = QPoint(300, 300)) {
        QWheelEvent e(at, W()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(W(), &e);
    }
    void Move(QPoint p) {
        QMouseEvent e(QEvent::MouseMove, p, W()->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(W(), &e);
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(W(), Qt::LeftButton, Qt::NoModifier, from);
        Move((from + to) / 2);
        Move(to);
        QTest::mouseRelease(W(), Qt::LeftButton, Qt::NoModifier, to);
    }
    // The client rectangle of a word's box on the shown page.
    QRect WordRect(const char* word) {
        VrDviSearch search;
        search.FindString(word, &doc->GetReader(), 1, Status().page, Status().page);
        auto it = search.GetResultList().Begin();
        if (!it) return QRect();
        auto r = it.Value().rectangles.Begin();
        VrDviDrawer& d = view->GetPageDrawer();
        const ViewStatus vs = Status();
        const int x0 = d.hDot(r.Value().x), y0 = d.vDot(r.Value().y);
        const int x1 = d.hDot(r.Value().x + r.Value().width), y1 = d.vDot(r.Value().y + r.Value().height);
        return QRect(QPoint(x0 - vs.scrollX, y0 - vs.scrollY + vs.topOffset),
                     QPoint(x1 - vs.scrollX, y1 - vs.scrollY + vs.topOffset));
    }
    QRect LinkRect(const char* reference) {
        const ViewStatus vs = Status();
        for (auto it = view->GetPageDrawer().GetHyLinkList().Begin(); it; it.Next())
            if (it.Value()->GetReference() == String8(reference)) {
                const auto& r = it.Value()->GetRectList().Begin().Value();
                return QRect(r.x - vs.scrollX, r.y - vs.scrollY + vs.topOffset, r.width, r.height);
            }
        return QRect();
    }
    std::vector<MenuSeen> RightClickMenu(QPoint at) {
        std::vector<MenuSeen> seen;
        AfxSetPopupMenuAnswerer([&](CMenu& m) {
            for (int i = 0; i < m.GetMenuItemCount(); ++i)
                if (UINT id = m.GetMenuItemID(i); id && id != UINT(-1))
                    seen.push_back({id, !(m.GetMenuState(id, MF_BYCOMMAND) & MF_GRAYED)});
            return UINT(0);
        });
        QTest::mouseClick(W(), Qt::RightButton, Qt::NoModifier, at);
        AfxSetPopupMenuAnswerer(nullptr);
        return seen;
    }
    void Shot(const char* name) {
        fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
        W()->grab().save(QString::fromStdString(std::string(VELORAN_BINARY_DIR "/artefacts/") + name));
    }
    int HistoryCount() { return view->GetHistory().Count(); }

    static constexpr int kWidth = 900, kHeight = 600;
    ScriptedView* view = nullptr;  // the fixture's view, as made here
};

TEST_F(PageInput, PagingKeysReachEveryPageAndBackReturns) {
    const ViewStatus start = Status();
    ASSERT_EQ(start.page, 0);
    RECT area;
    view->GetPageAreaRect(&area);
    const int B = area.bottom;
    // Page Down by a screenful of B - 30, into the next page at its top.
    std::vector<int> pages{0};
    int lastPageHistory = 0;
    for (int i = 0; i < 60 && Status().page < 4; ++i) {
        const ViewStatus before = Status();
        const int entries = HistoryCount();
        Key(Qt::Key_PageDown);
        const ViewStatus after = Status();
        if (after.page != before.page) {
            EXPECT_EQ(after.page, before.page + 1);
            EXPECT_EQ(after.scrollY, std::max(0, after.originY));
            EXPECT_GE(HistoryCount(), entries + 1);
            pages.push_back(after.page);
            lastPageHistory = HistoryCount();
        } else {
            EXPECT_EQ(after.scrollY, std::min(before.scrollY + B - 30, after.pageHeight - (B - after.topOffset)));
        }
    }
    EXPECT_EQ(pages, (std::vector<int>{0, 1, 2, 3, 4}));
    // The last page keeps Page Down inside it.
    for (int i = 0; i < 10; ++i) Key(Qt::Key_PageDown);
    EXPECT_EQ(Status().page, 4);
    EXPECT_EQ(HistoryCount(), lastPageHistory);
    // Back returns to the bottom of page 4 (index 3).
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 3);
    EXPECT_GT(Status().scrollY, 0);

    // Home and End: the top and bottom of the page.
    Key(Qt::Key_Home);
    EXPECT_EQ(Status().page, 3);
    EXPECT_EQ(Status().scrollY, 0);
    Key(Qt::Key_End);
    EXPECT_EQ(Status().page, 3);
    EXPECT_EQ(Status().scrollY, Status().pageHeight - (B - Status().topOffset));
    // Page Up at the top crosses to the bottom of the previous page.
    Key(Qt::Key_Home);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Status().page, 2);
    EXPECT_EQ(Status().scrollY, Status().pageHeight - (B - Status().topOffset));
    // Ctrl+Page Up/Down turn pages.
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(Status().page, 1);
    Key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Status().page, 2);
    // Arrows scroll by lines; at 200 % the page is wider than the window.
    view->SetZoomPercent(200);
    Scroll(0, 100);
    Key(Qt::Key_Down);
    EXPECT_EQ(Status().scrollY, 120);
    Key(Qt::Key_Up);
    EXPECT_EQ(Status().scrollY, 100);
    Key(Qt::Key_Right);
    EXPECT_EQ(Status().scrollX, 20);
    Key(Qt::Key_Left);
    EXPECT_EQ(Status().scrollX, 0);
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Status().scrollY, 200);
    // Page Up at the top of the first page stays there.
    view->OnFirstPage();
    Scroll(0, 0);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Status().page, 0);
    EXPECT_EQ(Status().scrollY, 0);
}

TEST_F(PageInput, TheFirstPaintAfterAPageTurnShowsThePagesText) {
    // Each page draws well within a frame: no paint of it may come blank.
    for (int page = 1; page < 4; ++page) {
        view->paintsWithInk.clear();
        view->recordPaints = true;
        Key(Qt::Key_PageDown, Qt::ControlModifier);
        ASSERT_EQ(Status().page, page);
        Settle();
        ASSERT_TRUE(PumpUntil([&] { return !view->HasTimer(ID_PAGE_PARTS_TIMER); }));
        ASSERT_TRUE(PumpUntilQueuedRan());
        view->recordPaints = false;
        ASSERT_FALSE(view->paintsWithInk.empty()) << "page " << page;
        EXPECT_TRUE(view->paintsWithInk.front()) << "page " << page;
        EXPECT_EQ(std::count(view->paintsWithInk.begin(), view->paintsWithInk.end(), false), 0) << "page " << page;
    }
}

// Changes the keyboard as the first Page Down reaches the window, before the
// view handles it: the person let go of (or pressed) Ctrl in the meantime.
class KeyboardChangesFirst : public QObject {
public:
    explicit KeyboardChangesFirst(std::function<void(QWidget*)> change) : change_(std::move(change)) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (!done && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_PageDown) {
            done = true;
            change_(static_cast<QWidget*>(o));
            liveMods = QGuiApplication::queryKeyboardModifiers();
        }
        return false;
    }
    bool done = false;
    Qt::KeyboardModifiers liveMods;

private:
    std::function<void(QWidget*)> change_;
};

TEST_F(PageInput, PageDownReadsCtrlFromItsOwnKeyEventNotTheKeyboardLater) {
    ASSERT_EQ(Status().page, 0);
    Scroll(0, 0);
    {
        KeyboardChangesFirst released([](QWidget* w) { QTest::keyRelease(w, Qt::Key_Control, Qt::NoModifier); });
        W()->installEventFilter(&released);
        QTest::keyPress(W(), Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(W(), Qt::Key_PageDown, Qt::ControlModifier);
        W()->removeEventFilter(&released);
        ASSERT_TRUE(released.done);
        ASSERT_FALSE(released.liveMods & Qt::ControlModifier);
    }
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(Status().scrollY, std::max(0, Status().originY));
    // The other way round: Ctrl pressed after a plain Page Down scrolls.
    Scroll(0, 0);
    {
        KeyboardChangesFirst pressed([](QWidget* w) { QTest::keyPress(w, Qt::Key_Control, Qt::ControlModifier); });
        W()->installEventFilter(&pressed);
        QTest::keyClick(W(), Qt::Key_PageDown, Qt::NoModifier);
        W()->removeEventFilter(&pressed);
        QTest::keyRelease(W(), Qt::Key_Control, Qt::NoModifier);
        ASSERT_TRUE(pressed.done);
        ASSERT_TRUE(pressed.liveMods & Qt::ControlModifier);
    }
    EXPECT_EQ(Status().page, 1);
    EXPECT_GT(Status().scrollY, 0);
}

TEST_F(PageInput, TheWheelScrollsFortyPixelsANotchAndTurnsPagesAtTheEdges) {
    view->GotoPage(2);
    Scroll(0, 200);
    Wheel(-120);
    EXPECT_EQ(Status().scrollY, 240);
    Wheel(120);
    EXPECT_EQ(Status().scrollY, 200);
    // A fine wheel adds up to the same distance.
    for (int i = 0; i < 12; ++i) Wheel(-10);
    EXPECT_EQ(Status().scrollY, 240);
    // At the top of page 3 a notch up shows the bottom of page 2, recorded.
    Scroll(0, 0);
    const int entries = HistoryCount();
    Wheel(120);
    EXPECT_EQ(Status().page, 1);
    RECT area;
    view->GetPageAreaRect(&area);
    EXPECT_EQ(Status().scrollY, Status().pageHeight - (area.bottom - Status().topOffset));
    EXPECT_EQ(HistoryCount(), entries + 1);
    // At the bottom a notch down shows the next page's top.
    Wheel(-120);
    EXPECT_EQ(Status().page, 2);
    EXPECT_EQ(Status().scrollY, 0);
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 1);
}

TEST_F(PageInput, ClicksFollowLinksAndTheGlassTakesTheClickElsewhere) {
    const QRect link = LinkRect("#sec2");
    ASSERT_FALSE(link.isEmpty());
    // The link cursor over it, the glass cursor beside it.
    Move(link.center());
    EXPECT_EQ(view->GetCursorId(), IDC_VIEW_LINK);
    // A click on the tag link shows the anchor's page; Back returns.
    QTest::mouseClick(W(), Qt::LeftButton, Qt::NoModifier, link.center());
    EXPECT_EQ(Status().page, 2);
    EXPECT_FALSE(view->IsGlassShown());
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 0);
    Settle();

    // Shift+click on the link opens the glass instead, and the release only hides it.
    QTest::mousePress(W(), Qt::LeftButton, Qt::ShiftModifier, link.center());
    EXPECT_TRUE(view->IsGlassShown());
    ASSERT_TRUE(view->GetGlassWnd());
    EXPECT_TRUE(view->GetGlassWnd()->IsWindowVisible());
    // The glass follows the pointer: its page point sits under it.
    Move(link.center() + QPoint(40, 0));
    const QPoint glassAt = view->GetGlassWnd()->GetWidget()->pos();
    EXPECT_EQ(glassAt, W()->mapToGlobal(link.center() + QPoint(40, 0)) -
                           QPoint(view->GetGlassWidth() / 2, view->GetGlassHeight() / 2));
    QTest::mouseRelease(W(), Qt::LeftButton, Qt::ShiftModifier, link.center());
    EXPECT_FALSE(view->IsGlassShown());
    EXPECT_FALSE(view->GetGlassWnd()->IsWindowVisible());
    EXPECT_EQ(Status().page, 0);

    // A link out goes to the browser with the page it was clicked on.
    const QRect out = LinkRect("http://example.org/other.dvi");
    ASSERT_FALSE(out.isEmpty());
    QTest::mouseClick(W(), Qt::LeftButton, Qt::NoModifier, out.center());
    ASSERT_EQ(view->launched.size(), 1u);
    EXPECT_EQ(view->launched[0], "http://example.org/other.dvi?page=1");
    EXPECT_EQ(Status().page, 0);
}

TEST_F(PageInput, ADragSelectsWordsAndCopyPutsTheirText) {
    view->SendCommand(ID_TEXT_SELECT);
    ASSERT_EQ(view->GetViewMode(), int(kModeText));
    Settle();
    const QRect beta = WordRect("beta"), gamma = WordRect("gamma");
    ASSERT_FALSE(beta.isEmpty());
    ASSERT_FALSE(gamma.isEmpty());
    Move(beta.center());
    EXPECT_EQ(view->GetCursorId(), UINT(IDC_IBEAM));
    Drag(QPoint(beta.left() + 1, beta.center().y()), QPoint(gamma.right() - 1, gamma.center().y()));
    EXPECT_FALSE(view->GetSelection().IsEmpty());
    ASSERT_TRUE(PumpUntilQueuedRan());
    Shot("view-selection.png");
    // The selection is painted: the XOR brush turns white paper blue.
    const QImage img = W()->grab().toImage();
    EXPECT_EQ(img.pixel(beta.left() - 1, beta.top() - 1) & 0xFFFFFF, 0x00007Fu);
    AfxSetClipboardText("before");
    view->SendCommand(ID_EDIT_COPY);
    EXPECT_EQ(std::string(AfxGetClipboardText()), "beta gamma\n");

    // The popup menu offers Copy and Cancel while there is a selection.
    auto menu = RightClickMenu(beta.center());
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].id, ID_EDIT_COPY);
    EXPECT_TRUE(menu[0].enabled);
    EXPECT_EQ(menu[1].id, ID_EDIT_CANCEL);
    view->SendCommand(ID_EDIT_CANCEL);
    EXPECT_TRUE(view->GetSelection().IsEmpty());
    menu = RightClickMenu(beta.center());
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_FALSE(menu[0].enabled);
    EXPECT_FALSE(menu[1].enabled);

    // Column mode copies without the line end.
    Key(Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(view->GetViewMode(), int(kModeColumn));
    Drag(QPoint(beta.left() + 1, beta.center().y()), QPoint(gamma.right() - 1, gamma.center().y()));
    view->SendCommand(ID_EDIT_COPY);
    EXPECT_EQ(std::string(AfxGetClipboardText()), "beta gamma");
    // Backspace is not Ctrl+H, Tab not Ctrl+I.
    view->SendCommand(ID_VIEW_MODE);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Tab);
    EXPECT_EQ(view->GetViewMode(), int(kModeView));
    EXPECT_TRUE(messages.empty());
}

TEST_F(PageInput, ADragBelowTheWindowCarriesTheSelectionOntoTheNextPage) {
    view->SendCommand(ID_TEXT_SELECT);
    Settle();
    const QRect gamma = WordRect("gamma");
    ASSERT_FALSE(gamma.isEmpty());
    QTest::mousePress(W(), Qt::LeftButton, Qt::NoModifier, QPoint(gamma.left() + 1, gamma.center().y()));
    // Above the window on the anchor page: it scrolls to the top and stays.
    Move(QPoint(200, -20));
    EXPECT_EQ(view->GetScrollDirection(), 2);
    ASSERT_TRUE(PumpUntil([&] { return Status().scrollY == 0; }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(Status().page, 0);
    EXPECT_EQ(view->GetSelectionSegment(), 0);
    // Below the window: down to the page's foot, then onto page 2.
    Move(QPoint(200, kHeight + 20));
    EXPECT_EQ(view->GetScrollDirection(), 4);
    ASSERT_TRUE(PumpUntil([&] { return Status().page == 1; }));
    Move(QPoint(400, 200));
    EXPECT_EQ(view->GetScrollDirection(), 0);
    QTest::mouseRelease(W(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
    EXPECT_EQ(view->GetSelectionSegment(), 1);
    EXPECT_EQ(view->GetSelectionFirstPage(), 0);
    view->SendCommand(ID_EDIT_COPY);
    const std::string text = AfxGetClipboardText().c_str();
    EXPECT_EQ(text.rfind("gamma delta.\nJump to section two\nOutside link\n", 0), 0u) << text;
    EXPECT_NE(text.find("Page two"), std::string::npos) << text;
}

TEST_F(PageInput, ImageSelectionCopiesTheRectangleEitherWayItIsDrawn) {
    view->SendCommand(ID_IMAGE_SELECT);
    Settle();
    const QRect alpha = WordRect("Alpha");
    const QPoint a = alpha.topLeft() - QPoint(3, 3), b = alpha.bottomRight() + QPoint(3, 3);
    Drag(a, b);
    ASSERT_TRUE(view->GetImageSelection().active);
    view->SendCommand(ID_EDIT_COPY);
    WindowSurface forward, backward;
    ASSERT_TRUE(AfxGetClipboardImage(forward));
    EXPECT_EQ(forward.width, b.x() - a.x());
    EXPECT_EQ(forward.height, b.y() - a.y());
    EXPECT_TRUE(std::any_of(forward.pixels.begin(), forward.pixels.end(),
                            [](uint32_t p) { return (p & 0xFFFFFF) < 0x404040; }));
    Drag(b, a);
    view->SendCommand(ID_EDIT_COPY);
    ASSERT_TRUE(AfxGetClipboardImage(backward));
    EXPECT_EQ(backward.pixels, forward.pixels);
    // The popup menu of image mode.
    auto menu = RightClickMenu(QPoint(300, 300));
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_TRUE(menu[0].enabled);
    // From another page: a message, and the clipboard keeps what it had.
    view->OnNextPage();
    AfxSetClipboardText("kept");
    view->SendCommand(ID_EDIT_COPY);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Copying is possible only within the selected page (page 1).");
    EXPECT_EQ(std::string(AfxGetClipboardText()), "kept");
}

TEST_F(PageInput, TheViewModePopupMenuFollowsThePageAndHistory) {
    auto menu = RightClickMenu(QPoint(300, 300));
    std::vector<UINT> ids;
    for (const auto& m : menu) ids.push_back(m.id);
    EXPECT_EQ(ids, (std::vector<UINT>{ID_PAGE_NEXT, ID_PAGE_PREV, ID_PAGE_FIRST, ID_PAGE_LAST, ID_HISTORY_BACK,
                                      ID_HISTORY_FORWARD}));
    auto enabled = [&](UINT id) {
        for (const auto& m : menu)
            if (m.id == id) return m.enabled;
        return false;
    };
    EXPECT_TRUE(enabled(ID_PAGE_NEXT));
    EXPECT_FALSE(enabled(ID_PAGE_PREV));
    EXPECT_FALSE(enabled(ID_HISTORY_BACK));
    view->OnLastPage();
    menu = RightClickMenu(QPoint(300, 300));
    EXPECT_FALSE(enabled(ID_PAGE_NEXT));
    EXPECT_TRUE(enabled(ID_PAGE_FIRST));
    EXPECT_TRUE(enabled(ID_HISTORY_BACK));
    EXPECT_FALSE(enabled(ID_HISTORY_FORWARD));
    // Choosing an item runs its command.
    AfxSetPopupMenuAnswerer([](CMenu&) { return UINT(ID_PAGE_FIRST); });
    QTest::mouseClick(W(), Qt::RightButton, Qt::NoModifier, QPoint(300, 300));
    EXPECT_EQ(Status().page, 0);
}

TEST_F(PageInput, SearchShowsEachHitInTurnThenSaysNotFound) {
    struct Seen {
        int page;
        size_t marks;
        int scrollY;
    };
    std::vector<Seen> seen;
    int answers = 0;
    AfxSetDialogAnswerer([&](UINT id, QDialog& d) {
        EXPECT_EQ(id, IDD_SEARCH);
        seen.push_back({Status().page, view->GetSearchMarks().size(), Status().scrollY});
        if (seen.size() == 2) {
            EXPECT_TRUE(PumpUntilQueuedRan());
            Shot("view-search-hit.png");
        }
        if (++answers > 4) return int(IDCANCEL);
        d.findChild<QLineEdit*>("text")->setText("zebra");
        d.findChild<QRadioButton*>("down")->setChecked(true);
        return int(IDOK);
    });
    Key(Qt::Key_F3);
    // No hit yet, then pages 3 and 5 marked, then the end.
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].marks, 0u);
    EXPECT_EQ(seen[1].page, 2);
    EXPECT_EQ(seen[1].marks, 1u);
    EXPECT_EQ(seen[2].page, 4);
    EXPECT_EQ(seen[2].marks, 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "The string is not found.");
    EXPECT_TRUE(view->GetSearchMarks().empty());

    // Up from page 4 (index 3) finds page 3's zebra first; a direction
    // change searches again from the hit.
    view->GotoPage(3);
    seen.clear();
    messages.clear();
    std::vector<const char*> dirs{"up", "up", "down"};
    AfxSetDialogAnswerer([&](UINT, QDialog& d) {
        seen.push_back({Status().page, view->GetSearchMarks().size(), 0});
        if (dirs.empty()) return int(IDCANCEL);
        EXPECT_EQ(d.findChild<QLineEdit*>("text")->text().toStdString(), "zebra");  // remembered
        d.findChild<QRadioButton*>(dirs.front())->setChecked(true);
        dirs.erase(dirs.begin());
        return int(IDOK);
    });
    view->OnSearch();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].page, 2);
    EXPECT_EQ(messages, std::vector<std::string>{"The string is not found."});
}

TEST_F(PageInput, AWordWithALigatureIsFoundPaintedWholeAndCopiedAsLetters) {
    // "five" is set with the fi ligature of cmr10.
    std::vector<std::vector<RECT>> marks;
    QImage shown;
    QRect page, ve;
    int scrollX = 0, scrollY = 0, topOffset = 0;
    AfxSetDialogAnswerer([&](UINT, QDialog& d) {
        marks.push_back(view->GetSearchMarks());
        if (marks.size() > 1) {
            EXPECT_TRUE(PumpUntilQueuedRan());
            shown = W()->grab().toImage();
            Shot("view-search-ligature.png");
            page = WordRect("page");
            ve = WordRect("ve");
            scrollX = Status().scrollX, scrollY = Status().scrollY, topOffset = Status().topOffset;
            return int(IDCANCEL);
        }
        d.findChild<QLineEdit*>("text")->setText("FIVE");
        d.findChild<QCheckBox*>("case")->setChecked(false);
        d.findChild<QRadioButton*>("down")->setChecked(true);
        return int(IDOK);
    });
    view->OnSearch();
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(Status().page, 4);
    ASSERT_EQ(marks[1].size(), 1u);
    ASSERT_FALSE(page.isEmpty());
    ASSERT_FALSE(ve.isEmpty());
    const RECT& r = marks[1][0];
    const QRect mark(QPoint(r.left - scrollX, r.top - scrollY + topOffset),
                     QPoint(r.right - 1 - scrollX, r.bottom - 1 - scrollY + topOffset));
    // From after "page" to the end of the word, and no ink of the word is
    // left of it: the fi is inside.
    EXPECT_GT(mark.left(), page.right());
    EXPECT_GE(mark.right(), ve.right());
    EXPECT_LT(mark.left(), ve.left() - ve.width() / 3);
    EXPECT_EQ(shown.pixel(mark.left() + 1, mark.top() + 1) & 0xFFFFFF, 0u);  // paper turned black
    for (int y = ve.top(); y <= ve.bottom(); ++y)
        for (int x = page.right() + 2; x < mark.left(); ++x)
            ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;

    // Copying the line gives the letters, in text and column mode.
    view->SendCommand(ID_TEXT_SELECT);
    Settle();
    const QRect another = WordRect("Another"), five = WordRect("five.");
    ASSERT_FALSE(another.isEmpty());
    ASSERT_FALSE(five.isEmpty());
    const QPoint from(another.left() + 1, another.center().y()), to(five.right() - 1, five.center().y());
    Drag(from, to);
    view->SendCommand(ID_EDIT_COPY);
    EXPECT_EQ(std::string(AfxGetClipboardText()), "Another zebra here on page five.\n");
    Key(Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(view->GetViewMode(), int(kModeColumn));
    Drag(from, to);
    view->SendCommand(ID_EDIT_COPY);
    EXPECT_EQ(std::string(AfxGetClipboardText()), "Another zebra here on page five.");
}

TEST(PageInputRules, ScrollDirectionsLinksAndHitOrder) {
    const RECT r{0, 0, 100, 50};
    const struct {
        int x, y, code;
    } dirs[] = {{50, 25, 0}, {-1, 25, 1}, {50, -1, 2}, {100, 25, 3}, {50, 50, 4},
                {-1, -1, 5}, {-1, 50, 6}, {100, -1, 7}, {100, 50, 8}, {0, 0, 0}, {99, 49, 0}};
    for (const auto& d : dirs) EXPECT_EQ(viewinput::ScrollDirection(POINT{d.x, d.y}, r), d.code) << d.x << "," << d.y;

    EXPECT_EQ(viewinput::LinkAddress("b.dvi", "http://h/dir/a.dvi"), "http://h/dir/b.dvi");
    EXPECT_EQ(viewinput::LinkAddress("b.dvi", "C:\\docs\\a.dvi"), "C:\\docs\\b.dvi");
    EXPECT_EQ(viewinput::LinkAddress("#sec9", "/home/u/a.dvi"), "/home/u/#sec9");
    EXPECT_EQ(viewinput::LinkAddress("http://x/y", "/home/u/a.dvi"), "http://x/y");
    EXPECT_EQ(viewinput::BrowserAddress("http://h/b.DVI", 3), "http://h/b.DVI?page=3");
    EXPECT_EQ(viewinput::BrowserAddress("http://h/b.dgz?x=1", 2), "http://h/b.dgz?x=1");
    EXPECT_EQ(viewinput::BrowserAddress("http://h/b.html", 2), "http://h/b.html");
    using linklaunch::Route;
    EXPECT_EQ(linklaunch::RouteOf("https://h/x", false), Route::Out);
    EXPECT_EQ(linklaunch::RouteOf("MAILTO:a@b", true), Route::Out);
    EXPECT_EQ(linklaunch::RouteOf("/home/u/b.dvi", false), Route::Out);
    EXPECT_EQ(linklaunch::RouteOf("C:\\docs\\b.dvi", false), Route::Out);
    EXPECT_EQ(linklaunch::RouteOf("/home/u/b.dvi", true), Route::Ask);
    EXPECT_EQ(linklaunch::RouteOf("javascript:alert(1)", false), Route::Ask);
    EXPECT_EQ(linklaunch::RouteOf("smb://host/share", false), Route::Ask);

    using viewsearch::FirstHit;
    const std::vector<viewsearch::HitPlace> hits{{1, 0}, {4, 10}, {4, 30}, {6, 5}};
    EXPECT_EQ(FirstHit(hits, 4, viewsearch::kBeforePage, 1), 1);  // a hit at the page's start counts
    EXPECT_EQ(FirstHit(hits, 4, 10, 1), 2);
    EXPECT_EQ(FirstHit(hits, 4, viewsearch::kAfterPage, 0), 2);
    EXPECT_EQ(FirstHit(hits, 4, 10, 0), 0);
    EXPECT_EQ(FirstHit(hits, 6, 5, 1), -1);
    EXPECT_EQ(FirstHit(hits, 1, 0, 0), -1);
    EXPECT_EQ(FirstHit(hits, 2, viewsearch::kBeforePage, 1), 1);

    const RECT desk{0, 0, 1280, 1024};
    const CPoint mid = SearchDlg::Placement(CPoint(600, 400), 300, 120, desk);
    EXPECT_EQ(mid.x, 450);
    EXPECT_EQ(mid.y, 420);
    const CPoint corner = SearchDlg::Placement(CPoint(1270, 1000), 300, 120, desk);
    EXPECT_EQ(corner.x, 980);
    EXPECT_EQ(corner.y, 1000 - 120 - 30);
}

}  // namespace

namespace {

TEST_F(PageInput, NoteModePlacesANoteThatTheMouseMovesAndItsMenuComesFirst) {
    view->SendCommand(ID_NOTE);
    ASSERT_EQ(view->GetViewMode(), int(kModeNote));
    Settle();
    // A click places a note and opens its window; the next click closes it.
    QTest::mouseClick(W(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    ASSERT_EQ(view->GetNotes().GetCount(), 1);
    EXPECT_NE(view->m_pNoteWnd, nullptr);
    QTest::mouseClick(W(), Qt::LeftButton, Qt::NoModifier, QPoint(600, 400));
    EXPECT_EQ(view->m_pNoteWnd, nullptr);
    EXPECT_EQ(view->GetNotes().GetCount(), 1);
    ASSERT_TRUE(PumpUntilQueuedRan());
    int note = -1;
    QPoint on;
    for (int y = 290; y < 320 && note < 0; ++y)
        for (int x = 390; x < 420 && note < 0; ++x)
            if ((note = view->NoteAtPoint(CPoint(x, y))) >= 0) on = QPoint(x, y);
    ASSERT_EQ(note, 0);
    // The note's menu wins over the mode's.
    std::vector<UINT> ids;
    for (const auto& m : RightClickMenu(on)) ids.push_back(m.id);
    EXPECT_EQ(ids, (std::vector<UINT>{ID_NOTE_EDIT, ID_NOTE_DELETE, ID_NOTE_PROPERTIES}));
    // Dragged by its icon, it lands where it was dropped.
    view->CloseNoteWindow();
    Drag(on, on + QPoint(100, 50));
    EXPECT_LT(view->NoteAtPoint(CPoint(on.x(), on.y())), 0);
    EXPECT_EQ(view->NoteAtPoint(CPoint(on.x() + 100, on.y() + 50)), 0);
    EXPECT_EQ(view->GetNotes().GetCount(), 1);
}

}  // namespace
