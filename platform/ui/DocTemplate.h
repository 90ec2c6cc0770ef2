// Document templates and the document manager: a template ties a document
// class to its frame and view classes and to its resources (string, menu and
// accelerators); the manager keeps the templates of the application.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/core/CString.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Document.h"

class CFrameWnd;
class CView;
class CWnd;

using DocumentFactory = std::function<CDocument*()>;
using FrameFactory = std::function<CFrameWnd*()>;
using ViewFactory = std::function<CView*()>;

template <class T>
std::function<T*()> AfxFactory() {
    return [] { return new T(); };
}
template <class T, class Base>
std::function<Base*()> AfxFactoryAs() {
    return []() -> Base* { return new T(); };
}

// What a frame needs to make its view.
struct CCreateContext {
    ViewFactory m_pNewViewClass;
    CDocument* m_pCurrentDoc = nullptr;
    class CDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pLastView = nullptr;
    CFrameWnd* m_pCurrentFrame = nullptr;
};

class CDocTemplate : public CCmdTarget {
public:
    // Parts of the template string ("\n"-separated).
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };

    CDocTemplate(UINT nIDResource, DocumentFactory docClass, FrameFactory frameClass, ViewFactory viewClass);
    ~CDocTemplate() override;

    UINT GetResourceID() const { return m_nIDResource; }
    // Loads the template string from the string table (once).
    void LoadTemplate();
    BOOL GetDocString(CString& rString, DocStringIndex index) const;

    // Resources of the in-place frame (menu and accelerators) and its class.
    void SetServerInfo(UINT nIDOleEmbedding, UINT nIDOleInPlaceServer, FrameFactory inPlaceFrameClass);
    UINT GetInPlaceResourceID() const { return m_nIDServerResource; }

    // Documents of this template, in the order they were opened.
    POSITION GetFirstDocPosition() const;
    CDocument* GetNextDoc(POSITION& rPos) const;
    const std::vector<CDocument*>& GetDocuments() const { return m_docList; }
    void AddDocument(CDocument* pDoc);
    void RemoveDocument(CDocument* pDoc);

    // Opens a document: an already open one with the same path is activated
    // and returned; otherwise document, frame and view are made, the document
    // opens the file (null path: a new document) and the frame is shown.
    // Null on failure.
    virtual CDocument* OpenDocumentFile(const char* lpszPathName, BOOL bMakeVisible = TRUE);
    // A new document shown in an in-place frame (no file is opened).
    CDocument* OpenDocumentInPlace(BOOL bMakeVisible = TRUE);

    CDocument* CreateNewDocument();
    CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther);
    void InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible = TRUE);
    void SetDefaultTitle(CDocument* pDocument);

    virtual void CloseAllDocuments(BOOL bEndSession);
    virtual BOOL SaveAllModified();

private:
    UINT m_nIDResource;
    UINT m_nIDServerResource = 0;
    DocumentFactory m_docClass;
    FrameFactory m_frameClass;
    FrameFactory m_inPlaceFrameClass;
    ViewFactory m_viewClass;
    std::vector<CString> m_docStrings;
    bool m_loaded = false;
    std::vector<CDocument*> m_docList;
    int m_nUntitledCount = 0;
};

// Several documents, each in its own MDI child frame.
class CMultiDocTemplate : public CDocTemplate {
public:
    using CDocTemplate::CDocTemplate;
};

class CDocManager {
public:
    CDocManager() = default;
    ~CDocManager();
    CDocManager(const CDocManager&) = delete;
    CDocManager& operator=(const CDocManager&) = delete;

    // Takes ownership of the template.
    void AddDocTemplate(CDocTemplate* pTemplate);
    const std::vector<std::unique_ptr<CDocTemplate>>& GetTemplates() const { return m_templates; }
    CDocument* OpenDocumentFile(const char* lpszFileName);
    void CloseAllDocuments(BOOL bEndSession);
    BOOL SaveAllModified();
    int GetOpenDocumentCount() const;

private:
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
};
