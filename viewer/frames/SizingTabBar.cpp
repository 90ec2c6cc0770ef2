#include "viewer/frames/SizingTabBar.h"

#include <QBitmap>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTabBar>
#include <algorithm>
#include <cstring>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/View.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/res/FrameIds.h"
#include "viewer/frames/InPlaceFrame.h"
#include "viewer/res/ViewerBitmaps.h"

namespace {
constexpr int kImageWidth = 16;
// Room around the tab control inside the bar.
constexpr int kInset = 4;

CFrameWnd* ParentFrameOf(const CWnd* wnd) {
    for (CWnd* p = wnd->GetParent(); p; p = p->GetParent())
        if (auto* f = dynamic_cast<CFrameWnd*>(p)) return f;
    return nullptr;
}

QIcon TabImage(const QImage& strip, int index) {
    if (strip.isNull() || (index + 1) * kImageWidth > strip.width()) return QIcon();
    QPixmap pixmap = QPixmap::fromImage(strip.copy(index * kImageWidth, 0, kImageWidth, strip.height()));
    pixmap.setMask(pixmap.createMaskFromColor(QColor(255, 0, 255)));
    return QIcon(pixmap);
}
}  // namespace

SizingTabBar::SizingTabBar() = default;

SizingTabBar::~SizingTabBar() = default;

QWidget* SizingTabBar::GetClientWidget() const { return m_pages ? m_pages.data() : GetWidget(); }

int SizingTabBar::OnCreate(LPCREATESTRUCT lpcs) {
    if (SizingControlBar::OnCreate(lpcs) == -1) return -1;
    m_tabFrame = new QWidget(GetWidget());
    m_tabCtrl = new QTabBar(m_tabFrame);
    m_tabCtrl->setObjectName(QStringLiteral("layoutTabs"));
    m_tabCtrl->setProperty("afxCtrlId", IDC_LAYOUT_TABS);
    m_tabCtrl->setExpanding(false);
    m_tabCtrl->setIconSize(QSize(kImageWidth, kImageWidth));
    m_pages = new QWidget(m_tabFrame);
    WndGuard life = GetGuard();
    QObject::connect(m_tabCtrl, &QTabBar::currentChanged, [this, life](int) {
        if (!life.expired()) OnTabSelChange();
    });
    m_tabFrame->show();
    return 0;
}

void SizingTabBar::OnSize(UINT nType, int cx, int cy) {
    SizingControlBar::OnSize(nType, cx, cy);
    if (!m_tabFrame || !m_tabCtrl || !m_pages) return;
    // The tab control fills the bar but for a margin and the sizing edge;
    // the views fill the tab control under the tabs. Nothing goes negative.
    const CRect edge = GetBorderRect();
    CRect area(kInset, kInset, cx - kInset, cy - kInset);
    if (m_nDockBarID == AFX_IDW_DOCKBAR_LEFT) area.right = std::min<int>(area.right, edge.left);
    if (m_nDockBarID == AFX_IDW_DOCKBAR_RIGHT) area.left = std::max<int>(area.left, edge.right);
    if (m_nDockBarID == AFX_IDW_DOCKBAR_TOP) area.bottom = std::min<int>(area.bottom, edge.top);
    if (m_nDockBarID == AFX_IDW_DOCKBAR_BOTTOM) area.top = std::max<int>(area.top, edge.bottom);
    const int w = std::max(0, area.Width()), h = std::max(0, area.Height());
    m_tabFrame->setGeometry(area.left, area.top, w, h);
    const int tabHeight = std::min(h, m_tabCtrl->sizeHint().height());
    m_tabCtrl->setGeometry(0, 0, w, tabHeight);
    m_pages->setGeometry(0, tabHeight, w, std::max(0, h - tabHeight));
    for (const TabEntry& e : m_views)
        if (e.pView && e.pView->GetWidget()) e.pView->GetWidget()->setGeometry(0, 0, w, std::max(0, h - tabHeight));
}

BOOL SizingTabBar::AddView(const char* lpszLabel, const ViewFactory& viewClass, CCreateContext* pContext) {
    if (!viewClass || !m_tabCtrl) return FALSE;
    CView* view = viewClass();
    if (!view) return FALSE;
    if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 0, 0), this, 0)) {
        delete view;
        return FALSE;
    }
    if (pContext && pContext->m_pCurrentDoc) pContext->m_pCurrentDoc->AddView(view);
    TabEntry entry;
    entry.pView = view;
    // At most 31 bytes, never half a UTF-8 character.
    const char* label = lpszLabel ? lpszLabel : "";
    size_t n = std::min(std::strlen(label), sizeof entry.szLabel - 1);
    if (n < std::strlen(label))
        while (n > 0 && (static_cast<unsigned char>(label[n]) & 0xC0) == 0x80) --n;
    std::memcpy(entry.szLabel, label, n);
    entry.szLabel[n] = '\0';
    m_views.push_back(entry);
    CFrameWnd* frame = ParentFrameOf(this);
    if (m_views.size() == 1) {
        m_nActiveTab = 0;
        m_pActiveView = view;
        if (frame) frame->SetActiveView(view);
    } else {
        view->EnableWindow(FALSE);
        view->ShowWindow(SW_HIDE);
    }
    {
        QSignalBlocker quiet(m_tabCtrl);
        m_tabCtrl->addTab(TabImage(ViewerBitmap(IDB_LAYOUT_TABS), int(m_views.size()) - 1),
                          QString::fromUtf8(entry.szLabel));
        m_tabCtrl->setCurrentIndex(std::max(0, m_nActiveTab));
    }
    CRect r;
    GetClientRect(&r);
    OnSize(SIZE_RESTORED, r.Width(), r.Height());
    return TRUE;
}

void SizingTabBar::SelectTab(int nView) {
    if (nView == -1 || nView == m_nActiveTab) return;
    CView* view = GetTabView(nView);
    if (!view) return;
    if (m_pActiveView) {
        m_pActiveView->EnableWindow(FALSE);
        m_pActiveView->ShowWindow(SW_HIDE);
    }
    view->EnableWindow(TRUE);
    view->ShowWindow(SW_SHOW);
    view->SetFocus();
    if (CFrameWnd* frame = ParentFrameOf(this)) frame->SetActiveView(view);
    m_pActiveView = view;
    m_nActiveTab = nView;
    if (m_tabCtrl) {
        QSignalBlocker quiet(m_tabCtrl);
        m_tabCtrl->setCurrentIndex(nView);
    }
}

CView* SizingTabBar::GetTabView(int nView) const {
    if (nView < 0 || size_t(nView) >= m_views.size()) return nullptr;
    return m_views[size_t(nView)].pView;
}

void SizingTabBar::RemoveView(int nView) {
    if (nView < 0 || size_t(nView) >= m_views.size()) return;
    if (m_views[size_t(nView)].pView == m_pActiveView) {
        m_pActiveView = nullptr;
        m_nActiveTab = -1;
    } else if (nView < m_nActiveTab) {
        --m_nActiveTab;
    }
    m_views.erase(m_views.begin() + nView);
    if (m_tabCtrl) {
        QSignalBlocker quiet(m_tabCtrl);
        m_tabCtrl->removeTab(nView);
    }
}

void SizingTabBar::OnTabSelChange() {
    if (!m_tabCtrl) return;
    const int index = m_tabCtrl->currentIndex();
    SelectTab(index);
    CFrameWnd* frame = ParentFrameOf(this);
    if (auto* inPlace = dynamic_cast<CInPlaceFrame*>(frame)) inPlace->SetLayoutBarViewNum(index);
    else if (auto* child = dynamic_cast<CChildFrame*>(frame)) child->SetLayoutBarViewNum(index);
}

void SizingTabBar::OnDestroy() {
    // A tab view must not stay the frame's active view once it is gone.
    if (CFrameWnd* frame = ParentFrameOf(this))
        for (const TabEntry& e : m_views)
            if (e.pView && frame->GetActiveView() == e.pView) frame->SetActiveView(nullptr, FALSE);
    SizingControlBar::OnDestroy();
}
