#include "viewer/frames/MainFrame.h"

#include <algorithm>
#include <vector>

#include "platform/sys/TempFiles.h"
#include "platform/ui/DocTemplate.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/res/FrameIds.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewerMenus.h"
#include "viewer/view/ViewPendingCommands.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

namespace {
const UINT kIndicators[] = {ID_SEPARATOR, ID_INDICATOR_POSITION, ID_INDICATOR_PAGE};

// The names of the viewer's temporary files: documents ("htp"), side files
// ("hpp") and the PDF a PostScript document was turned into (".t_p").
const char* const kTempPatterns[] = {"htp*.tmp", "hpp*.tmp", "htp*.t_p"};

// A document that never got a file or an address to show.
bool NeverLoaded(CDocument* doc) {
    if (!doc) return true;
    if (!doc->GetPathName().IsEmpty()) return false;
    auto* viewerDoc = dynamic_cast<CVrViewerDoc*>(doc);
    return !viewerDoc || viewerDoc->GetAddress().GetLength() == 0;
}
}  // namespace

CMainFrame::CMainFrame() {
    AfxRegisterViewerStrings();
    AfxRegisterViewerMenus();
    MapCommand(ID_WINDOW_MAXIMIZE, [this] { OnWindowMaximize(); });
    // Without a document there is no toolbar to show.
    MapUpdateUI(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) { OnUpdateViewToolbar(ui); });
    for (UINT id : PendingCommandIds()) MapUpdateUI(id, OnUpdatePendingCommand);
}

CMainFrame::~CMainFrame() = default;

int CMainFrame::OnCreate(LPCREATESTRUCT lpcs) {
    if (CMDIFrameWnd::OnCreate(lpcs) == -1) return -1;
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, ID_VIEW_STATUS_BAR) ||
        !m_wndStatusBar.SetIndicators(kIndicators, int(sizeof kIndicators / sizeof kIndicators[0])))
        return -1;
    return 0;
}

void CMainFrame::OnUpdateViewToolbar(CCmdUI* pCmdUI) {
    if (GetControlBar(ID_VIEW_TOOLBAR)) {
        pCmdUI->ContinueRouting();
        return;
    }
    pCmdUI->Enable(FALSE);
}

bool CMainFrame::IsWindowMenuPopup(const std::vector<UINT>& itemIds) const {
    return std::find(itemIds.begin(), itemIds.end(), UINT(ID_WINDOW_CLOSEALL)) != itemIds.end() ||
           CMDIFrameWnd::IsWindowMenuPopup(itemIds);
}

void CMainFrame::OnUpdateFrameTitle(BOOL bAddToTitle) {
    CMDIFrameWnd::OnUpdateFrameTitle(bAddToTitle);
    if (!IsWindow()) return;
    // A message that a document left (its failure) is shown only while that
    // document is the active one.
    auto* child = dynamic_cast<CChildFrame*>(MDIGetActive());
    CVrViewerView* view = child ? child->GetView() : nullptr;
    const CString message = view ? view->GetFrameMessage() : CString();
    SetMessageText(message.IsEmpty() ? AfxLoadString(AFX_IDS_IDLEMESSAGE) : message);
}

void CMainFrame::OnWindowMaximize() {
    if (CMDIChildWnd* child = MDIGetActive()) MDIMaximize(child);
}

void CMainFrame::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == ID_ACTIVE_DOCUMENT_CHECK) {
        KillTimer(ID_ACTIVE_DOCUMENT_CHECK);
        // Quit only once no document is open at all: a document whose fetch
        // failed part-way is not active but may still be shown (or hold
        // changed notes).
        CWinApp* app = AfxGetApp();
        if (app && app->GetDocManager()->GetOpenDocumentCount() == 0) {
            GarbageCollect(TRUE);
            QuitApplication();
            return;  // the frame may be gone
        }
    } else if (nIDEvent == ID_EMPTY_DOCUMENT_CHECK) {
        KillTimer(ID_EMPTY_DOCUMENT_CHECK);
        FindChildWindow();
    }
    CMDIFrameWnd::OnTimer(nIDEvent);
}

void CMainFrame::QuitApplication() { OnClose(); }

int CMainFrame::DeleteViewerTempFiles(const std::string& dir) {
    if (dir.empty()) return 0;
    int deleted = 0;
    for (const char* pattern : kTempPatterns) deleted += sys::DeleteUnusedFiles(dir, pattern);
    return deleted;
}

void CMainFrame::GarbageCollect(BOOL all) {
    if (all) DeleteViewerTempFiles(sys::GetTempPath());
}

void CMainFrame::FindChildWindow() {
    std::vector<std::pair<WndGuard, CMDIChildWnd*>> empty;
    for (CMDIChildWnd* child : GetChildFrames())
        if (NeverLoaded(child->GetActiveDocument())) empty.emplace_back(child->GetGuard(), child);
    for (auto& [life, child] : empty) {
        if (life.expired()) continue;  // went with a document closed before
        // A never-loaded document has nothing to save: it goes with its frames.
        if (CDocument* doc = child->GetActiveDocument()) doc->OnCloseDocument();
        else child->DestroyWindow();
    }
}

void CMainFrame::OnDestroy() {
    if (auto* app = CVrViewerAppBase::Get(); app && app->m_pMainWnd == this)
        app->SaveWindowPlacement();
    CMDIFrameWnd::OnDestroy();
}
