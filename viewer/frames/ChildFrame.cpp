#include "viewer/frames/ChildFrame.h"

#include "platform/ui/DocTemplate.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"
#include "viewer/frames/FrameCommands.h"
#include "viewer/res/FrameIds.h"
#include "viewer/frames/SizingTabBar.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ContentsView.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

std::unique_ptr<SizingTabBar> MakeLayoutBar(CFrameWnd* frame, int width, CVrViewerView* view, bool dock) {
    AfxRegisterViewerStrings();
    frame->EnableDocking(CBRS_ALIGN_ANY);
    auto bar = std::make_unique<SizingTabBar>();
    if (!bar->Create(frame, width, 1, IDW_LAYOUT_BAR, WS_CHILD | WS_VISIBLE | CBRS_TOP)) return nullptr;
    bar->SetBarStyle(bar->GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC);
    bar->EnableDocking(CBRS_ALIGN_LEFT);
    if (dock) frame->DockControlBar(bar.get(), AFX_IDW_DOCKBAR_LEFT);
    else bar->SetDockBarID(AFX_IDW_DOCKBAR_LEFT);
    bar->ApplySize();
    bar->AddView(AfxLoadString(IDS_TAB_CONTENTS), AfxFactoryAs<CContentsView, CView>());
    bar->AddView(AfxLoadString(IDS_TAB_THUMBNAILS), AfxFactoryAs<CThumbnailView, CView>());
    if (auto* contents = dynamic_cast<CContentsView*>(bar->GetTabView(0))) contents->ReadTocFile(view);
    if (auto* thumbnails = dynamic_cast<CThumbnailView*>(bar->GetTabView(1))) thumbnails->SetVrView(view);
    return bar;
}

void StoreLayoutBarViewNum(CVrViewerView* view, int n) {
    if (!view) return;
    view->GetLayoutBarStatus().viewNum = n;
    view->SaveLayoutBarStatusToRegistry();
}

void StoreLayoutBarWidth(CVrViewerView* view, int w) {
    if (!view) return;
    view->GetLayoutBarStatus().width = w;
    view->SaveLayoutBarStatusToRegistry();
}

CChildFrame::CChildFrame() {
    MapCommand(ID_WINDOW_CLOSEALL, [this] {
        if (auto* doc = dynamic_cast<CVrViewerDoc*>(GetActiveDocument())) doc->OnWindowCloseall();
    });
}

CChildFrame::~CChildFrame() = default;

BOOL CChildFrame::PreCreateWindow(CREATESTRUCT& cs) {
    cs.style = WS_CHILD | WS_VISIBLE | WS_MAXIMIZE | WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
    return CMDIChildWnd::PreCreateWindow(cs);
}

void CChildFrame::RecalcLayout(BOOL bNotify) {
    if (m_pLayoutBar) m_pLayoutBar->ApplySize();
    CMDIChildWnd::RecalcLayout(bNotify);
    CMDIChildWnd::RecalcLayout(bNotify);
}

BOOL CChildFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    CView* active = GetActiveView();
    if (active && active->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    if (DispatchOwn(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    return ForwardFrameCommand(GetView(), active, nID, nCode, pExtra, pHandlerInfo);
}

void CChildFrame::CreateLayoutBar(int width, CVrViewerView* view) {
    if (m_pLayoutBar) DestroyLayoutBar();
    MakeLayoutBar(width, view, true);
    RecalcLayout();
}

void CChildFrame::SetLayoutBarWidth(int w) { StoreLayoutBarWidth(GetView(), w); }

void CChildFrame::DestroyLayoutBar() {
    if (RemoveLayoutBar()) RecalcLayout();
}
