// CDocument: the data of one open document and the list of its views.
#pragma once

#include <vector>

#include "platform/core/CString.h"
#include "platform/ui/CmdTarget.h"

class CDocTemplate;
class CFrameWnd;
class CView;

// Iteration position over a framework list (views of a document, documents
// of a template): null at the end.
using POSITION = struct AfxPosition*;

class CDocument : public CCmdTarget {
public:
    CDocument();
    ~CDocument() override;

    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const char* lpszTitle);
    const CString& GetPathName() const { return m_strPathName; }
    // Also sets the title to the file name part and, when asked, adds the
    // path to the application's recent files.
    virtual void SetPathName(const char* lpszPathName, BOOL bAddToMRU = TRUE);
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    // Views.
    POSITION GetFirstViewPosition() const;
    CView* GetNextView(POSITION& rPosition) const;
    const std::vector<CView*>& GetViews() const { return m_viewList; }
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    void UpdateAllViews(CView* pSender, LPARAM lHint = 0, void* pHint = nullptr);
    virtual void OnChangedViewList();

    // Life cycle.
    virtual BOOL OnNewDocument();
    virtual BOOL OnOpenDocument(const char* lpszPathName);
    virtual BOOL OnSaveDocument(const char* lpszPathName);
    // Destroys the frames of every view, then the document (when auto-deleting).
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    // TRUE when the document may close: not modified, or the user agreed.
    virtual BOOL SaveModified();
    virtual BOOL CanCloseFrame(CFrameWnd* pFrame);
    virtual void PreCloseFrame(CFrameWnd*) {}

    // Own map, then the document template.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    BOOL m_bAutoDelete = TRUE;

protected:
    friend class CDocTemplate;
    CString m_strTitle;
    CString m_strPathName;
    CDocTemplate* m_pDocTemplate = nullptr;
    std::vector<CView*> m_viewList;
    BOOL m_bModified = FALSE;
};
