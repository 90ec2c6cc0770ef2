#include "platform/ui/Wnd.h"

#include <algorithm>

#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWheelEvent>

#include "platform/ui/Cursor.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/VirtualKeys.h"

#include "platform/gdi/DC.h"

namespace {

const char* const kWndProperty = "afxWnd";

UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    UINT f = 0;
    if (buttons & Qt::LeftButton) f |= MK_LBUTTON;
    if (buttons & Qt::RightButton) f |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) f |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) f |= MK_SHIFT;
    if (mods & Qt::ControlModifier) f |= MK_CONTROL;
    return f;
}

UINT VirtualKeyOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return UINT('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return UINT('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + UINT(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    default: return 0;
    }
}

// The character codes a key press produces, control codes included.
std::u32string CharsOf(const QKeyEvent* e) {
    int key = e->key();
    if ((e->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::u32string(1, char32_t(key - Qt::Key_A + 1));
    if (key == Qt::Key_Backspace) return U"\x08";
    if (key == Qt::Key_Tab) return U"\x09";
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return U"\x0D";
    if (key == Qt::Key_Escape) return U"\x1B";
    return e->text().toStdU32String();
}

} // namespace

namespace {
// The modifiers of the key event being handled: key commands see the state
// the event carried, not the keyboard's state when they run.
thread_local const Qt::KeyboardModifiers* t_keyModifiers = nullptr;

class KeyEventScope {
public:
    explicit KeyEventScope(const QKeyEvent* e) : mods_(e->modifiers()), outer_(t_keyModifiers) {
        t_keyModifiers = &mods_;
    }
    ~KeyEventScope() { t_keyModifiers = outer_; }
    KeyEventScope(const KeyEventScope&) = delete;
    KeyEventScope& operator=(const KeyEventScope&) = delete;

private:
    Qt::KeyboardModifiers mods_;
    const Qt::KeyboardModifiers* outer_;
};
} // namespace

SHORT GetKeyState(int nVirtKey) {
    Qt::KeyboardModifiers mods = t_keyModifiers ? *t_keyModifiers : QGuiApplication::queryKeyboardModifiers();
    bool down = false;
    if (nVirtKey == int(VK_SHIFT)) down = mods & Qt::ShiftModifier;
    else if (nVirtKey == int(VK_CONTROL)) down = mods & Qt::ControlModifier;
    else if (nVirtKey == int(VK_MENU)) down = mods & Qt::AltModifier;
    else if (nVirtKey == int(VK_LBUTTON)) down = QGuiApplication::mouseButtons() & Qt::LeftButton;
    else if (nVirtKey == int(VK_RBUTTON)) down = QGuiApplication::mouseButtons() & Qt::RightButton;
    return down ? SHORT(0x8000) : SHORT(0);
}

// The widget of a drawing window: shows the back buffer and turns Qt events
// into the window's message handlers.
class SurfaceWidget : public QWidget {
    static constexpr int kPaintBand = 32;

public:
    SurfaceWidget(CWnd* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
    }
    void Detach() { owner_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        if (!owner_) return;
        WindowSurface& s = owner_->m_surface;
        if (s.width > 0 && s.height > 0) {
            QImage img(reinterpret_cast<const uchar*>(s.pixels.data()), s.width, s.height, s.width * 4,
                       QImage::Format_RGB32);
            const QRect r = e->rect() & img.rect();
            // In bands low enough that Qt copies them on this thread: its
            // pool threads would read the surface, which the window's
            // painting writes next, with hand-overs no checker sees.
            for (int y = r.top(); y <= r.bottom(); y += kPaintBand) {
                const QRect band(r.left(), y, r.width(), std::min(kPaintBand, r.bottom() + 1 - y));
                p.drawImage(band.topLeft(), img, band);
            }
        }
    }
    void resizeEvent(QResizeEvent*) override {
        if (!owner_) return;
        owner_->m_surface.Resize(width(), height());
        owner_->m_clientWidth = width();
        owner_->m_clientHeight = height();
        owner_->OnSize(isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED, width(), height());
        if (owner_) owner_->Invalidate();
    }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (owner_) owner_->OnClose();
    }
    void enterEvent(QEnterEvent*) override { SetCursorFor(); }
    void mouseMoveEvent(QMouseEvent* e) override {
        SetCursorFor();
        if (owner_) owner_->OnMouseMove(MouseFlags(e->buttons(), e->modifiers()), Pt(e));
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (!owner_) return;
        UINT f = MouseFlags(e->buttons(), e->modifiers());
        if (e->button() == Qt::LeftButton) owner_->OnLButtonDown(f, Pt(e));
        else if (e->button() == Qt::RightButton) owner_->OnRButtonDown(f, Pt(e));
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (!owner_) return;
        UINT f = MouseFlags(e->buttons(), e->modifiers());
        if (e->button() == Qt::LeftButton) owner_->OnLButtonUp(f, Pt(e));
        else if (e->button() == Qt::RightButton) owner_->OnRButtonUp(f, Pt(e));
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (owner_ && e->button() == Qt::LeftButton)
            owner_->OnLButtonDblClk(MouseFlags(e->buttons(), e->modifiers()), Pt(e));
    }
    void wheelEvent(QWheelEvent* e) override {
        if (!owner_) return;
        QPoint g = e->globalPosition().toPoint();
        if (!owner_->OnMouseWheel(MouseFlags(e->buttons(), e->modifiers()), short(e->angleDelta().y()),
                                  CPoint(g.x(), g.y())))
            e->ignore();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (!owner_) return;
        KeyEventScope scope(e);
        UINT vk = VirtualKeyOf(e->key());
        if (vk) owner_->OnKeyDown(vk, 1, e->isAutoRepeat() ? 0x4000 : 0);
        for (char32_t c : CharsOf(e)) {
            if (!owner_) break;
            owner_->OnChar(UINT(c), 1, 0);
        }
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        KeyEventScope scope(e);
        UINT vk = VirtualKeyOf(e->key());
        if (owner_ && vk) owner_->OnKeyUp(vk, 1, 0);
    }
    void focusInEvent(QFocusEvent*) override {
        if (owner_) owner_->OnSetFocus(nullptr);
    }
    void focusOutEvent(QFocusEvent*) override {
        if (owner_) owner_->OnKillFocus(nullptr);
    }

private:
    static CPoint Pt(const QMouseEvent* e) {
        QPoint p = e->position().toPoint();
        return CPoint(p.x(), p.y());
    }
    void SetCursorFor() {
        if (!owner_) return;
        AfxSetCursorWindow(this);
        if (!owner_->OnSetCursor(owner_, HTCLIENT, WM_MOUSEMOVE)) setCursor(Qt::ArrowCursor);
    }
    CWnd* owner_;
};

CWnd::CWnd() = default;

CWnd::~CWnd() { DetachAndRelease(false); }

CWnd* CWnd::FromWidget(const QWidget* widget) {
    if (!widget) return nullptr;
    return reinterpret_cast<CWnd*>(widget->property(kWndProperty).value<quintptr>());
}

QWidget* CWnd::CreateSurfaceWidget(QWidget* parent) { return new SurfaceWidget(this, parent); }

BOOL CWnd::Create(const char*, const char* lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID) {
    if (m_widget) return FALSE;
    CREATESTRUCT cs;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = pParentWnd;
    if (!PreCreateWindow(cs)) return FALSE;
    m_dwStyle = cs.style;
    m_nID = nID;
    QWidget* parent = pParentWnd ? pParentWnd->GetClientWidget() : nullptr;
    QWidget* w = CreateSurfaceWidget(parent);
    if (cs.lpszName) w->setWindowTitle(QString::fromUtf8(cs.lpszName));
    if (cs.cx > 0 && cs.cy > 0) w->setGeometry(cs.x, cs.y, cs.cx, cs.cy);
    AttachWidget(w, pParentWnd);
    if (OnCreate(&cs) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if (m_dwStyle & WS_DISABLED) w->setEnabled(false);
    if (m_dwStyle & WS_VISIBLE) w->show();
    return TRUE;
}

void CWnd::AttachWidget(QWidget* widget, CWnd* pParent) {
    m_widget = widget;
    m_pParentWnd = pParent;
    m_life.store(std::make_shared<int>(0));
    widget->setProperty(kWndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
    m_surface.Resize(widget->width(), widget->height());
    m_clientWidth = widget->width();
    m_clientHeight = widget->height();
    QObject::connect(widget, &QObject::destroyed, [this, widget] {
        if (m_widget.isNull() || m_widget.data() == widget) {
            m_widget = nullptr;
            WidgetGone();
        }
    });
}

void CWnd::WidgetGone() {
    // The widget was deleted by its parent: the window is destroyed.
    if (!m_life.load()) return;
    OnDestroy();
    DetachAndRelease(true);
}

void CWnd::DetachAndRelease(bool callPostNcDestroy) {
    for (auto& [id, timer] : m_timers) {
        timer->stop();
        timer->deleteLater();
    }
    m_timers.clear();
    bool had = m_life.exchange(nullptr) != nullptr;
    m_destroying = false;
    if (QWidget* w = m_widget.data()) {
        m_widget = nullptr;
        w->disconnect();
        w->setProperty(kWndProperty, QVariant());
        if (auto* sw = dynamic_cast<SurfaceWidget*>(w)) sw->Detach();
        w->hide();
        w->deleteLater();
    }
    m_widget = nullptr;
    if (had && callPostNcDestroy) PostNcDestroy();
}

BOOL CWnd::DestroyWindow() {
    if (!m_widget || m_destroying) return FALSE;
    m_destroying = true;
    OnDestroy();
    // Child windows go first, so none outlives its parent's window.
    QList<QPointer<QWidget>> children;
    for (QWidget* c : m_widget->findChildren<QWidget*>())
        if (FromWidget(c)) children.append(c);
    for (auto& c : children)
        if (CWnd* child = c ? FromWidget(c) : nullptr) child->DestroyWindow();
    DetachAndRelease(true);
    return TRUE;
}

CWnd* CWnd::GetParent() const { return m_pParentWnd; }

void CWnd::GetClientRect(LPRECT lpRect) const {
    if (!lpRect) return;
    *lpRect = CRect(0, 0, m_clientWidth.load(), m_clientHeight.load());
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    if (!lpRect) return;
    if (!m_widget) {
        *lpRect = CRect();
        return;
    }
    QRect g = m_widget->frameGeometry();
    QPoint tl = m_widget->isWindow() ? g.topLeft() : m_widget->mapToGlobal(QPoint(0, 0));
    *lpRect = CRect(tl.x(), tl.y(), tl.x() + g.width(), tl.y() + g.height());
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT nFlags) {
    if (!UiDispatcher::IsUiThread()) {
        UiDispatcher::Post(GetGuard(), [=, this] { SetWindowPos(nullptr, x, y, cx, cy, nFlags); });
        return TRUE;
    }
    if (!m_widget) return FALSE;
    if (!(nFlags & SWP_NOMOVE)) m_widget->move(x, y);
    if (!(nFlags & SWP_NOSIZE)) m_widget->resize(cx < 0 ? 0 : cx, cy < 0 ? 0 : cy);
    if (nFlags & SWP_SHOWWINDOW) m_widget->show();
    if (nFlags & SWP_HIDEWINDOW) m_widget->hide();
    return TRUE;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL) {
    SetWindowPos(nullptr, x, y, nWidth, nHeight, SWP_NOZORDER);
}

void CWnd::MoveWindow(const RECT& rect, BOOL bRepaint) {
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, bRepaint);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    if (!UiDispatcher::IsUiThread()) {
        UiDispatcher::Post(GetGuard(), [=, this] { ShowWindow(nCmdShow); });
        return TRUE;
    }
    if (!m_widget) return FALSE;
    BOOL wasVisible = m_widget->isVisible();
    switch (nCmdShow) {
    case SW_HIDE: m_widget->hide(); break;
    case SW_SHOWMAXIMIZED: m_widget->showMaximized(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: m_widget->showMinimized(); break;
    case SW_RESTORE: m_widget->showNormal(); break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        m_widget->setAttribute(Qt::WA_ShowWithoutActivating);
        m_widget->show();
        break;
    default: m_widget->show(); break;
    }
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const { return m_widget && m_widget->isVisible(); }

BOOL CWnd::EnableWindow(BOOL bEnable) {
    if (!m_widget) return FALSE;
    BOOL wasDisabled = !m_widget->isEnabled();
    m_widget->setEnabled(bEnable != 0);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_widget && m_widget->isEnabled(); }

void CWnd::SetWindowText(const char* lpszString) {
    if (m_widget) m_widget->setWindowTitle(QString::fromUtf8(lpszString ? lpszString : ""));
}

CString CWnd::GetWindowText() const {
    if (!m_widget) return CString();
    return CString(m_widget->windowTitle().toStdString());
}

CWnd* CWnd::SetFocus() {
    CWnd* old = GetFocus();
    if (m_widget) m_widget->setFocus();
    return old;
}

CWnd* CWnd::GetFocus() {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (CWnd* wnd = FromWidget(w)) return wnd;
    return nullptr;
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    if (!lpPoint || !m_widget) return;
    QPoint g = m_widget->mapToGlobal(QPoint(lpPoint->x, lpPoint->y));
    lpPoint->x = g.x();
    lpPoint->y = g.y();
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    if (!lpPoint || !m_widget) return;
    QPoint c = m_widget->mapFromGlobal(QPoint(lpPoint->x, lpPoint->y));
    lpPoint->x = c.x();
    lpPoint->y = c.y();
}

void CWnd::SetCapture() {
    if (m_widget) m_widget->grabMouse();
}

void CWnd::ReleaseCapture() {
    if (QWidget* g = QWidget::mouseGrabber()) g->releaseMouse();
}

namespace {
// The part of a window's rectangle that its shown opaque child windows leave
// uncovered: as on the designed platform, painting a window does not repaint
// its children (scroll bars, toolbar bands), which paint themselves when they
// change. A child that lets the window show through is repainted with it.
QRegion OutsideChildren(QWidget* widget, const QRect& rect) {
    QRegion region(rect);
    for (QObject* o : widget->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child || child->isWindow() || !child->isVisible()) continue;
        if (child->autoFillBackground() || child->testAttribute(Qt::WA_OpaquePaintEvent) ||
            qobject_cast<QAbstractSlider*>(child))
            region -= child->geometry();
    }
    return region;
}
}  // namespace

void CWnd::Invalidate(BOOL bErase) { InvalidateRect(nullptr, bErase); }

void CWnd::InvalidateRect(const RECT* lpRect, BOOL bErase) {
    if (!UiDispatcher::IsUiThread()) {
        const bool all = !lpRect;
        const RECT r = lpRect ? *lpRect : RECT{0, 0, 0, 0};
        UiDispatcher::Post(GetGuard(), [this, all, r, bErase] { InvalidateRect(all ? nullptr : &r, bErase); });
        return;
    }
    if (!m_widget) return;
    if (!lpRect) {
        m_invalidAll = true;
    } else {
        if (lpRect->left >= lpRect->right || lpRect->top >= lpRect->bottom) return;
        if (m_invalid.left >= m_invalid.right || m_invalid.top >= m_invalid.bottom) {
            m_invalid = *lpRect;
        } else {
            m_invalid.left = std::min(m_invalid.left, lpRect->left);
            m_invalid.top = std::min(m_invalid.top, lpRect->top);
            m_invalid.right = std::max(m_invalid.right, lpRect->right);
            m_invalid.bottom = std::max(m_invalid.bottom, lpRect->bottom);
        }
    }
    m_paintPending = true;
    if (m_paintQueued) return;
    m_paintQueued = true;
    UiDispatcher::Post(GetGuard(), [this] {
        m_paintQueued = false;
        DeliverPaint();
    });
}

void CWnd::UpdateWindow() {
    if (!UiDispatcher::IsUiThread()) {
        UiDispatcher::Post(GetGuard(), [this] { UpdateWindow(); });
        return;
    }
    if (!m_widget || !m_paintPending) return;
    const QRect painted = DeliverPaint();
    if (m_widget && !painted.isEmpty()) m_widget->repaint(OutsideChildren(m_widget, painted));
}

bool CWnd::GetPaintRect(RECT* rect) const {
    if (!m_painting) return false;
    *rect = m_paintRect;
    return true;
}

QRect CWnd::DeliverPaint() {
    if (!m_widget || !m_paintPending) return QRect();
    m_paintPending = false;
    RECT r{0, 0, m_surface.width, m_surface.height};
    const bool all = m_invalidAll;
    if (!all) {
        r.left = std::max(r.left, m_invalid.left);
        r.top = std::max(r.top, m_invalid.top);
        r.right = std::min(r.right, m_invalid.right);
        r.bottom = std::min(r.bottom, m_invalid.bottom);
    }
    m_invalidAll = false;
    m_invalid = RECT{0, 0, 0, 0};
    if (!all && (r.left >= r.right || r.top >= r.bottom)) return QRect();
    m_paintRect = r;
    m_painting = true;
    OnPaint();
    m_painting = false;
    if (!m_widget) return QRect();
    const QRect painted = all ? m_widget->rect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    m_widget->update(OutsideChildren(m_widget, painted));
    return painted;
}

void CWnd::OnPaint() {}

std::unique_ptr<CDC> CWnd::GetSurfaceDC() { return CreateSurfaceDC(m_surface); }

void CWnd::OnSize(UINT, int, int) {}

void CWnd::OnClose() { DestroyWindow(); }

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*) {
    if (!UiDispatcher::IsUiThread()) {
        UiDispatcher::Post(GetGuard(), [=, this] { StartTimerOnUi(nIDEvent, nElapse); });
        return nIDEvent;
    }
    if (!m_widget) return 0;
    StartTimerOnUi(nIDEvent, nElapse);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    if (!UiDispatcher::IsUiThread()) {
        UiDispatcher::Post(GetGuard(), [=, this] { StopTimerOnUi(nIDEvent); });
        return TRUE;
    }
    bool had = m_timers.count(nIDEvent) > 0;
    StopTimerOnUi(nIDEvent);
    return had;
}

bool CWnd::HasTimer(UINT_PTR nIDEvent) const { return m_timers.count(nIDEvent) > 0; }

void CWnd::StartTimerOnUi(UINT_PTR id, UINT ms) {
    if (!m_widget) return;
    QTimer*& t = m_timers[id];
    if (!t) {
        t = new QTimer();
        QObject::connect(t, &QTimer::timeout, [this, id] { OnTimer(id); });
    }
    t->start(int(ms));
}

void CWnd::StopTimerOnUi(UINT_PTR id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    QTimer* t = it->second;
    m_timers.erase(it);
    // The timer may be the sender of the running OnTimer.
    t->stop();
    t->deleteLater();
}

void CWnd::OnTimer(UINT_PTR) {}

int CWnd::MessageBox(const char* lpszText, const char* lpszCaption, UINT nType) {
    return AfxShowMessageBox(this, lpszText, lpszCaption, nType);
}

BOOL CWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    return DispatchOwn(nID, nCode, pExtra, pHandlerInfo);
}
