#include "viewer/frames/SizingControlBar.h"

#include <QCursor>
#include <QKeyEvent>
#include <QDockWidget>
#include <QMainWindow>
#include <QRubberBand>
#include <algorithm>

#include "platform/gdi/DC.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/VirtualKeys.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/frames/InPlaceFrame.h"

namespace {
constexpr COLORREF kButtonFace = 0xF0F0F0;
constexpr COLORREF kButtonHighlight = 0xFFFFFF;
constexpr COLORREF kButtonShadow = 0xA0A0A0;
// The control-bar bits of a bar style, not passed on to the window.
constexpr DWORD kBarStyleBits = 0xFFFF;

// While the edge is dragged, Esc belongs to the bar, not to an accelerator.
class EscapeWhileTracking : public QObject {
public:
    EscapeWhileTracking(SizingControlBar* bar, QObject* parent) : QObject(parent), bar_(bar) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::ShortcutOverride && bar_->IsTracking() &&
            static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
            e->accept();
        return QObject::eventFilter(o, e);
    }

private:
    SizingControlBar* bar_;
};
}  // namespace

SizingControlBar::SizingControlBar() = default;

SizingControlBar::~SizingControlBar() {
    if (m_tracker) delete m_tracker.data();
}

BOOL SizingControlBar::Create(CWnd* pParentWnd, int cx, int cy, UINT nID, DWORD dwStyle) {
    m_dwBarStyle = dwStyle;
    m_szHorz = m_szVert = m_szFloat = CSize(cx, cy);
    if (!CWnd::Create(nullptr, nullptr, (dwStyle & ~kBarStyleBits) | WS_CHILD, CRect(0, 0, cx, cy), pParentWnd, nID))
        return FALSE;
    GetWidget()->setMinimumSize(m_szMin.cx, m_szMin.cy);
    GetWidget()->installEventFilter(new EscapeWhileTracking(this, GetWidget()));
    return TRUE;
}

static CFrameWnd* SizingBarFrame(const CWnd* bar) {
    for (CWnd* p = bar->GetParent(); p; p = p->GetParent())
        if (auto* f = dynamic_cast<CFrameWnd*>(p)) return f;
    return nullptr;
}

CRect SizingControlBar::FrameClientRect() const {
    CFrameWnd* frame = SizingBarFrame(this);
    QWidget* w = GetWidget();
    QWidget* body = frame ? frame->GetBody() : nullptr;
    if (!w || !body) return CRect();
    const QPoint tl = body->mapTo(w->window(), QPoint(0, 0));
    const QPoint mine = w->mapTo(w->window(), QPoint(0, 0));
    const int x = tl.x() - mine.x(), y = tl.y() - mine.y();
    return CRect(x, y, x + body->width(), y + body->height());
}

CSize SizingControlBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
    const CRect client = FrameClientRect();
    const int length = bStretch ? 32767 : (bHorz ? client.Width() : client.Height()) + 4;
    return bHorz ? CSize(length, m_szHorz.cy) : CSize(m_szVert.cx, length);
}

CSize SizingControlBar::CalcDynamicLayout(int nLength, DWORD nMode) {
    if (nMode & (LM_HORZDOCK | LM_VERTDOCK)) return CControlBar::CalcDynamicLayout(nLength, nMode);
    if (nMode & LM_MRUWIDTH) return m_szFloat;
    if (nMode & LM_COMMIT) {
        m_szFloat.cx = nLength;
        return m_szFloat;
    }
    if (nMode & LM_LENGTHY) return CSize(m_szFloat.cx, m_szFloat.cy = std::max<int>(m_szMin.cy, nLength));
    return CSize(std::max<int>(m_szMin.cx, nLength), m_szFloat.cy);
}

void SizingControlBar::OnUpdateCmdUI(CFrameWnd*, BOOL) {}

int SizingControlBar::DraggedSize(int oldSize, int delta, UINT nDockBarID, int minimum, int maximum) {
    int size = oldSize;
    switch (nDockBarID) {
    case AFX_IDW_DOCKBAR_TOP:
    case AFX_IDW_DOCKBAR_LEFT: size += delta; break;
    case AFX_IDW_DOCKBAR_BOTTOM:
    case AFX_IDW_DOCKBAR_RIGHT: size -= delta; break;
    default: return oldSize;
    }
    return std::max(minimum, std::min(size, std::max(minimum, maximum)));
}

void SizingControlBar::ApplySize() {
    QWidget* w = GetWidget();
    if (!w || !m_nDockBarID) return;
    if (IsHorzDocked()) {
        w->setMinimumWidth(m_szMin.cx);
        w->setMaximumWidth(QWIDGETSIZE_MAX);
        w->setFixedHeight(std::max<int>(m_szMin.cy, m_szHorz.cy));
    } else {
        w->setMinimumHeight(m_szMin.cy);
        w->setMaximumHeight(QWIDGETSIZE_MAX);
        w->setFixedWidth(std::max<int>(m_szMin.cx, m_szVert.cx));
    }
}

CRect SizingControlBar::GetBorderRect() const {
    CRect r;
    GetClientRect(&r);
    switch (m_nDockBarID) {
    case AFX_IDW_DOCKBAR_TOP: return CRect(r.left, r.bottom - m_cxEdge, r.right, r.bottom);
    case AFX_IDW_DOCKBAR_LEFT: return CRect(r.right - m_cxEdge, r.top, r.right, r.bottom);
    case AFX_IDW_DOCKBAR_RIGHT: return CRect(r.left, r.top, r.left + m_cxEdge, r.bottom);
    case AFX_IDW_DOCKBAR_BOTTOM: return CRect(r.left, r.top, r.right, r.top + m_cxEdge);
    default: return CRect();
    }
}

void SizingControlBar::OnSize(UINT, int, int) {
    m_rectBorder = GetBorderRect();
    Invalidate();
}

void SizingControlBar::OnPaint() {
    std::unique_ptr<CDC> dc = GetSurfaceDC();
    if (!dc) return;
    CRect r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, kButtonFace);
    const CRect b = GetBorderRect();
    if (b.IsRectEmpty()) return;
    dc->FillSolidRect(b.left, b.top, b.Width(), 1, kButtonHighlight);
    dc->FillSolidRect(b.left, b.top, 1, b.Height(), kButtonHighlight);
    dc->FillSolidRect(b.left, b.bottom - 1, b.Width(), 1, kButtonShadow);
    dc->FillSolidRect(b.right - 1, b.top, 1, b.Height(), kButtonShadow);
}

BOOL SizingControlBar::OnSetCursor(CWnd*, UINT, UINT) {
    if (m_bTracking || !GetWidget()) return FALSE;
    const QPoint p = GetWidget()->mapFromGlobal(QCursor::pos());
    if (!GetBorderRect().PtInRect(CPoint(p.x(), p.y()))) return FALSE;
    SetCursor(AfxLoadStandardCursor(IsHorzDocked() ? IDC_SIZENS : IDC_SIZEWE));
    return TRUE;
}

void SizingControlBar::OnLButtonDown(UINT, CPoint point) {
    if (!m_bTracking && m_nDockBarID && GetBorderRect().PtInRect(point)) StartTracking(point);
}

void SizingControlBar::StartTracking(CPoint) {
    SetCapture();
    SetFocus();
    m_bTracking = 1;
    m_rectTracker = GetBorderRect();
    if (!IsHorzDocked()) m_rectTracker.bottom -= 4;
    m_ptOld = m_rectTracker.CenterPoint();
    OnInvertTracker(m_rectTracker);
}

void SizingControlBar::OnMouseMove(UINT, CPoint point) {
    if (!m_bTracking) return;
    const CRect client = FrameClientRect();
    if (m_nDockBarID == AFX_IDW_DOCKBAR_RIGHT) point.x += m_cxEdge;
    if (m_nDockBarID == AFX_IDW_DOCKBAR_BOTTOM) point.y += m_cxEdge;
    const CPoint centre = m_rectTracker.CenterPoint();
    if (!IsHorzDocked()) {
        if (point.x != centre.x && point.x > client.left && point.x < client.right) {
            m_rectTracker.OffsetRect(point.x - centre.x, 0);
            OnInvertTracker(m_rectTracker);
        }
    } else if (point.y != centre.y && point.y > client.top && point.y < client.bottom) {
        m_rectTracker.OffsetRect(0, point.y - centre.y);
        OnInvertTracker(m_rectTracker);
    }
}

void SizingControlBar::OnLButtonUp(UINT, CPoint) {
    if (m_bTracking) StopTracking(TRUE);
    ReportWidth();
}

void SizingControlBar::OnKeyDown(UINT nChar, UINT, UINT) {
    if (m_bTracking && nChar == VK_ESCAPE) StopTracking(FALSE);
}

void SizingControlBar::OnKillFocus(CWnd*) {
    if (m_bTracking) StopTracking(FALSE);
}

void SizingControlBar::StopTracking(BOOL bAccept) {
    if (m_tracker) m_tracker->hide();
    m_bTracking = 0;
    ReleaseCapture();
    if (!bAccept) return;
    const CPoint centre = m_rectTracker.CenterPoint();
    const CRect client = FrameClientRect();
    if (IsHorzDocked()) {
        m_szHorz.cy = DraggedSize(m_szHorz.cy, centre.y - m_ptOld.y, m_nDockBarID, m_szMin.cy, client.Height());
    } else {
        m_szVert.cx = DraggedSize(m_szVert.cx, centre.x - m_ptOld.x, m_nDockBarID, m_szMin.cx, client.Width());
    }
    ApplySize();
    if (CFrameWnd* frame = SizingBarFrame(this)) frame->DelayRecalcLayout(TRUE);
}

void SizingControlBar::OnInvertTracker(const CRect& rect) {
    CFrameWnd* frame = SizingBarFrame(this);
    QWidget* body = frame ? frame->GetBody() : nullptr;
    if (!body || !GetWidget()) return;
    if (!m_tracker) m_tracker = new QRubberBand(QRubberBand::Line, body);
    const QPoint tl = GetWidget()->mapTo(body, QPoint(rect.left, rect.top));
    m_tracker->setGeometry(tl.x() + 1, tl.y() + 1, std::max(1, rect.Width() - 2), std::max(1, rect.Height() - 2));
    m_tracker->show();
    m_tracker->raise();
}

void SizingControlBar::ReportWidth() {
    CFrameWnd* frame = SizingBarFrame(this);
    if (auto* inPlace = dynamic_cast<CInPlaceFrame*>(frame)) inPlace->SetLayoutBarWidth(m_szVert.cx);
    else if (auto* child = dynamic_cast<CChildFrame*>(frame)) child->SetLayoutBarWidth(m_szVert.cx);
}

void SizingControlBar::OnDestroy() {
    if (m_bTracking) StopTracking(FALSE);
    if (m_tracker) m_tracker->deleteLater();
    // The dock that held the bar goes with it.
    if (QWidget* w = GetWidget())
        if (auto* dock = qobject_cast<QDockWidget*>(w->parentWidget())) {
            if (auto* body = qobject_cast<QMainWindow*>(dock->parentWidget())) body->removeDockWidget(dock);
            dock->deleteLater();
        }
    CControlBar::OnDestroy();
}
