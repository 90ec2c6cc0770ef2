#include "platform/ui/DocTemplate.h"

#include <QFileInfo>
#include <algorithm>

#include "platform/ui/Cursor.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/View.h"
#include "platform/ui/WinApp.h"

CDocTemplate::CDocTemplate(UINT nIDResource, DocumentFactory docClass, FrameFactory frameClass,
                           ViewFactory viewClass)
    : m_nIDResource(nIDResource), m_docClass(std::move(docClass)), m_frameClass(std::move(frameClass)),
      m_viewClass(std::move(viewClass)) {}

CDocTemplate::~CDocTemplate() {
    for (CDocument* d : m_docList) d->m_pDocTemplate = nullptr;
}

void CDocTemplate::LoadTemplate() {
    if (m_loaded) return;
    m_loaded = true;
    std::string s = AfxLoadString(m_nIDResource).str();
    size_t start = 0;
    for (;;) {
        size_t nl = s.find('\n', start);
        m_docStrings.emplace_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
}

BOOL CDocTemplate::GetDocString(CString& rString, DocStringIndex index) const {
    const_cast<CDocTemplate*>(this)->LoadTemplate();
    if (size_t(index) >= m_docStrings.size()) {
        rString.Empty();
        return FALSE;
    }
    rString = m_docStrings[size_t(index)];
    return !rString.IsEmpty();
}

void CDocTemplate::SetServerInfo(UINT nIDOleEmbedding, UINT nIDOleInPlaceServer, FrameFactory inPlaceFrameClass) {
    (void)nIDOleEmbedding;
    m_nIDServerResource = nIDOleInPlaceServer;
    m_inPlaceFrameClass = std::move(inPlaceFrameClass);
}

POSITION CDocTemplate::GetFirstDocPosition() const {
    return m_docList.empty() ? nullptr : reinterpret_cast<POSITION>(uintptr_t(1));
}

CDocument* CDocTemplate::GetNextDoc(POSITION& rPos) const {
    size_t i = reinterpret_cast<uintptr_t>(rPos);
    if (i == 0 || i > m_docList.size()) {
        rPos = nullptr;
        return nullptr;
    }
    CDocument* d = m_docList[i - 1];
    rPos = i < m_docList.size() ? reinterpret_cast<POSITION>(uintptr_t(i + 1)) : nullptr;
    return d;
}

void CDocTemplate::AddDocument(CDocument* pDoc) {
    if (std::find(m_docList.begin(), m_docList.end(), pDoc) != m_docList.end()) return;
    m_docList.push_back(pDoc);
    pDoc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc) {
    auto it = std::find(m_docList.begin(), m_docList.end(), pDoc);
    if (it != m_docList.end()) m_docList.erase(it);
    if (pDoc->m_pDocTemplate == this) pDoc->m_pDocTemplate = nullptr;
}

CDocument* CDocTemplate::CreateNewDocument() {
    if (!m_docClass) return nullptr;
    CDocument* doc = m_docClass();
    if (doc) AddDocument(doc);
    return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther) {
    if (!m_frameClass) return nullptr;
    CCreateContext context;
    context.m_pCurrentFrame = pOther;
    context.m_pCurrentDoc = pDoc;
    context.m_pNewViewClass = m_viewClass;
    context.m_pNewDocTemplate = this;
    CFrameWnd* frame = m_frameClass();
    if (!frame) return nullptr;
    CWinApp* app = AfxGetApp();
    CWnd* main = app ? app->m_pMainWnd : nullptr;
    if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, main, &context)) {
        if (!frame->IsWindow()) delete frame;
        return nullptr;
    }
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible) {
    pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

void CDocTemplate::SetDefaultTitle(CDocument* pDocument) {
    CString title;
    if (!GetDocString(title, docName) || title.IsEmpty()) title = AfxLoadString(AFX_IDS_UNTITLED);
    CString numbered;
    numbered.Format("%s%d", title.c_str(), ++m_nUntitledCount);
    pDocument->SetTitle(numbered);
}

static std::string Absolute(const char* path) {
    QFileInfo info(QString::fromUtf8(path));
    if (!info.exists()) return path;
    return info.absoluteFilePath().toStdString();
}

CDocument* CDocTemplate::OpenDocumentFile(const char* lpszPathName, BOOL bMakeVisible) {
    std::string path = lpszPathName ? Absolute(lpszPathName) : std::string();
    if (lpszPathName) {
        for (CDocument* d : m_docList) {
            if (d->GetPathName().str() != path) continue;
            // Already open: bring its frame forward.
            if (!d->GetViews().empty())
                if (CFrameWnd* f = d->GetViews().front()->GetParentFrame()) {
                    if (auto* child = dynamic_cast<CMDIChildWnd*>(f)) child->MDIActivate();
                    else f->ShowWindow(SW_SHOW);
                }
            return d;
        }
    }
    CDocument* doc = CreateNewDocument();
    if (!doc) return nullptr;
    BOOL autoDelete = doc->m_bAutoDelete;
    doc->m_bAutoDelete = FALSE; // not while the frame is made
    CFrameWnd* frame = CreateNewFrame(doc, nullptr);
    doc->m_bAutoDelete = autoDelete;
    if (!frame) {
        delete doc;
        return nullptr;
    }
    if (!lpszPathName) {
        SetDefaultTitle(doc);
        if (!doc->OnNewDocument()) {
            frame->DestroyWindow();
            return nullptr;
        }
    } else {
        BOOL opened;
        {
            CWaitCursor wait;
            opened = doc->OnOpenDocument(path.c_str());
        }
        if (!opened) {
            // Destroying the frame closes the document with its last view.
            if (!frame->DestroyWindow()) delete doc;
            return nullptr;
        }
        doc->SetPathName(path.c_str());
    }
    InitialUpdateFrame(frame, doc, bMakeVisible);
    return doc;
}

CDocument* CDocTemplate::OpenDocumentInPlace(BOOL bMakeVisible) {
    if (!m_inPlaceFrameClass) return nullptr;
    CDocument* doc = CreateNewDocument();
    if (!doc) return nullptr;
    CCreateContext context;
    context.m_pCurrentDoc = doc;
    context.m_pNewViewClass = m_viewClass;
    context.m_pNewDocTemplate = this;
    CFrameWnd* frame = m_inPlaceFrameClass();
    BOOL autoDelete = doc->m_bAutoDelete;
    doc->m_bAutoDelete = FALSE;
    BOOL made = frame && frame->LoadFrame(m_nIDServerResource, WS_OVERLAPPEDWINDOW, nullptr, &context);
    doc->m_bAutoDelete = autoDelete;
    if (!made) {
        if (frame && !frame->IsWindow()) delete frame;
        delete doc;
        return nullptr;
    }
    SetDefaultTitle(doc);
    doc->OnNewDocument();
    frame->InitialUpdateFrame(doc, bMakeVisible);
    return doc;
}

void CDocTemplate::CloseAllDocuments(BOOL) {
    for (CDocument* d : std::vector<CDocument*>(m_docList)) {
        if (std::find(m_docList.begin(), m_docList.end(), d) == m_docList.end()) continue;
        d->OnCloseDocument();
    }
}

BOOL CDocTemplate::SaveAllModified() {
    for (CDocument* d : std::vector<CDocument*>(m_docList))
        if (!d->SaveModified()) return FALSE;
    return TRUE;
}

CDocManager::~CDocManager() = default;

void CDocManager::AddDocTemplate(CDocTemplate* pTemplate) {
    if (!pTemplate) return;
    pTemplate->LoadTemplate();
    m_templates.emplace_back(pTemplate);
}

CDocument* CDocManager::OpenDocumentFile(const char* lpszFileName) {
    if (m_templates.empty()) return nullptr;
    return m_templates.front()->OpenDocumentFile(lpszFileName);
}

void CDocManager::CloseAllDocuments(BOOL bEndSession) {
    for (auto& t : m_templates) t->CloseAllDocuments(bEndSession);
}

BOOL CDocManager::SaveAllModified() {
    for (auto& t : m_templates)
        if (!t->SaveAllModified()) return FALSE;
    return TRUE;
}

int CDocManager::GetOpenDocumentCount() const {
    int n = 0;
    for (auto& t : m_templates) n += int(t->GetDocuments().size());
    return n;
}
