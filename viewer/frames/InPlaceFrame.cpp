#include "viewer/frames/InPlaceFrame.h"

#include <QEvent>
#include <QMainWindow>

#include "platform/ui/DocTemplate.h"
#include "platform/ui/View.h"
#include "platform/ui/WinApp.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/frames/FrameCommands.h"
#include "viewer/frames/SizingTabBar.h"
#include "viewer/res/ViewerMenus.h"
#include "viewer/view/ViewPendingCommands.h"
#include "viewer/view/VrViewerView.h"

// Keeps the layout bar as high as the client area.
class InPlaceClientWatch : public QObject {
public:
    InPlaceClientWatch(CInPlaceFrame* frame, QObject* parent) : QObject(parent), frame_(frame), life_(frame->GetGuard()) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Resize && !life_.expired()) frame_->PlaceLayoutBar();
        return QObject::eventFilter(o, e);
    }

private:
    CInPlaceFrame* frame_;
    WndGuard life_;
};

CInPlaceFrame::CInPlaceFrame() {
    AfxRegisterViewerMenus();
    for (UINT id : PendingCommandIds()) MapUpdateUI(id, OnUpdatePendingCommand);
}

CInPlaceFrame::~CInPlaceFrame() = default;

int CInPlaceFrame::OnCreate(LPCREATESTRUCT lpcs) {
    if (COleDocIPFrameWnd::OnCreate(lpcs) == -1) return -1;
    DragAcceptFiles(TRUE);
    if (QWidget* client = GetBody() ? GetBody()->centralWidget() : nullptr)
        client->installEventFilter(new InPlaceClientWatch(this, client));
    return 0;
}

void CInPlaceFrame::RecalcLayout(BOOL bNotify) {
    PlaceLayoutBar();
    COleDocIPFrameWnd::RecalcLayout(bNotify);
    COleDocIPFrameWnd::RecalcLayout(bNotify);
}

BOOL CInPlaceFrame::OnCreateControlBars(CFrameWnd*, CFrameWnd*) { return TRUE; }

void CInPlaceFrame::RepositionFrame(LPCRECT lpPosRect, LPCRECT lpClipRect) {
    if (!lpPosRect) return;
    CRect pos(*lpPosRect);
    pos.left = InPlaceDocumentLeft(m_layoutBarWidth);
    COleDocIPFrameWnd::RepositionFrame(&pos, lpClipRect);
    PlaceLayoutBar();
}

BOOL CInPlaceFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    CView* active = GetActiveView();
    if (active && active->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    if (ForwardFrameCommand(GetView(), active, nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    if (DispatchOwn(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CInPlaceFrame::CreateLayoutBar(int width, CVrViewerView* view) {
    if (m_pLayoutBar) DestroyLayoutBar();
    MakeLayoutBar(width, view, false);
    // The document window moves beside the new bar.
    m_layoutBarWidth = m_pLayoutBar ? width : 0;
    Reposition();
    RecalcLayout();
}

void CInPlaceFrame::SetLayoutBarWidth(int w) {
    if (w >= 1) StoreLayoutBarWidth(GetView(), w);
    m_layoutBarWidth = w;
    Reposition();
}

void CInPlaceFrame::Reposition() {
    QWidget* area = GetBody() ? GetBody()->centralWidget() : nullptr;
    CRect client = area ? CRect(0, 0, area->width(), area->height()) : CRect();
    CRect pos(m_layoutBarWidth, client.top, client.right, client.bottom);
    RepositionFrame(&pos, &client);
}

void CInPlaceFrame::DestroyLayoutBar() {
    if (RemoveLayoutBar()) SetLayoutBarWidth(0);
}

void CInPlaceFrame::PlaceLayoutBar() {
    if (!m_pLayoutBar || !m_pLayoutBar->GetWidget() || !GetBody()) return;
    QWidget* client = GetBody()->centralWidget();
    QWidget* bar = m_pLayoutBar->GetWidget();
    if (!client) return;
    m_pLayoutBar->ApplySize();
    bar->setGeometry(0, 0, m_pLayoutBar->GetVertSize().cx, client->height());
    bar->raise();
}
