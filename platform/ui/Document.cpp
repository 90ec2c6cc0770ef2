#include "platform/ui/Document.h"

#include <algorithm>

#include "platform/ui/DocTemplate.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/View.h"
#include "platform/ui/WinApp.h"

CDocument::CDocument() = default;

CDocument::~CDocument() {
    for (CView* v : m_viewList) v->m_pDocument = nullptr;
    if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(const char* lpszTitle) {
    m_strTitle = lpszTitle;
    for (CView* v : m_viewList)
        if (CFrameWnd* f = v->GetParentFrame()) f->OnUpdateFrameTitle(TRUE);
}

void CDocument::SetPathName(const char* lpszPathName, BOOL bAddToMRU) {
    m_strPathName = lpszPathName ? lpszPathName : "";
    std::string p = m_strPathName.str();
    size_t slash = p.find_last_of("/\\");
    SetTitle(slash == std::string::npos ? p.c_str() : p.c_str() + slash + 1);
    if (bAddToMRU && !m_strPathName.IsEmpty())
        if (CWinApp* app = AfxGetApp()) app->AddToRecentFileList(m_strPathName);
}

POSITION CDocument::GetFirstViewPosition() const {
    return m_viewList.empty() ? nullptr : reinterpret_cast<POSITION>(uintptr_t(1));
}

CView* CDocument::GetNextView(POSITION& rPosition) const {
    size_t i = reinterpret_cast<uintptr_t>(rPosition);
    if (i == 0 || i > m_viewList.size()) {
        rPosition = nullptr;
        return nullptr;
    }
    CView* v = m_viewList[i - 1];
    rPosition = i < m_viewList.size() ? reinterpret_cast<POSITION>(uintptr_t(i + 1)) : nullptr;
    return v;
}

void CDocument::AddView(CView* pView) {
    if (!pView || std::find(m_viewList.begin(), m_viewList.end(), pView) != m_viewList.end()) return;
    m_viewList.push_back(pView);
    pView->m_pDocument = this;
    OnChangedViewList();
}

void CDocument::RemoveView(CView* pView) {
    auto it = std::find(m_viewList.begin(), m_viewList.end(), pView);
    if (it == m_viewList.end()) return;
    m_viewList.erase(it);
    pView->m_pDocument = nullptr;
    OnChangedViewList();
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, void* pHint) {
    for (CView* v : std::vector<CView*>(m_viewList))
        if (v != pSender) v->OnUpdate(pSender, lHint, pHint);
}

void CDocument::OnChangedViewList() {
    // The last view gone closes the document.
    if (m_viewList.empty() && m_bAutoDelete) OnCloseDocument();
}

BOOL CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.Empty();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(const char*) {
    DeleteContents();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(const char*) {
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::OnCloseDocument() {
    // Destroying the frames removes the views; the document must not delete
    // itself on the way.
    BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    std::vector<QPointer<QWidget>> frames;
    for (CView* v : m_viewList)
        if (CFrameWnd* f = v->GetParentFrame()) frames.push_back(f->GetWidget());
    for (auto& w : frames) {
        CFrameWnd* f = w ? dynamic_cast<CFrameWnd*>(CWnd::FromWidget(w)) : nullptr;
        if (!f) continue;
        PreCloseFrame(f);
        f->DestroyWindow();
    }
    // Views without a frame are detached.
    for (CView* v : std::vector<CView*>(m_viewList)) v->m_pDocument = nullptr;
    m_viewList.clear();
    m_bAutoDelete = autoDelete;
    DeleteContents();
    if (m_bAutoDelete) delete this;
}

BOOL CDocument::SaveModified() {
    if (!IsModified()) return TRUE;
    CString name = m_strPathName.IsEmpty() ? m_strTitle : m_strPathName;
    CString prompt;
    AfxFormatString1(prompt, AFX_IDP_ASK_TO_SAVE, name);
    switch (AfxMessageBox(prompt, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDCANCEL: return FALSE;
    case IDYES: return OnSaveDocument(m_strPathName);
    default: return TRUE;
    }
}

BOOL CDocument::CanCloseFrame(CFrameWnd* pFrameArg) {
    // Another frame still shows the document: nothing is lost.
    for (CView* v : m_viewList)
        if (CFrameWnd* f = v->GetParentFrame(); f && f != pFrameArg) return TRUE;
    return SaveModified();
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (DispatchOwn(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    return m_pDocTemplate && m_pDocTemplate->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}
