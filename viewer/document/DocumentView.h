// CDocumentView: the page view as its document sees it, the calls the
// document makes on its view. At the start of a load they come on the UI
// thread; from the worker they go through CVrViewerDoc::PostView, which
// queues them to the UI thread and drops them once the view has gone.
// CVrViewerView implements them; the document includes nothing else of the
// view.
#pragma once

#include "base/String8.h"
#include "platform/ui/View.h"
#include "viewer/document/NoteList.h"
#include "viewer/document/ViewStatus.h"

// What the document's address asks of the first view (absent values as
// their sentinels).
struct InitialViewRequest {
    static constexpr int kAbsent = -134217727;
    String8 targetTag;           // empty: none
    int firstPage = -1;          // 0-based, negative: none
    int targetX = kAbsent, targetY = kAbsent;        // pixels
    int targetXsp = kAbsent, targetYsp = kAbsent;    // scaled points
    int dispMag = -1000000;      // > 0 zoom; -10000 fit width; -20000 fit page
    int hOffset = kAbsent, vOffset = kAbsent;        // millimetres
    COLORREF workspaceColor = 0x1000000;             // valid below 0x1000000
    int scrollBarFlags = 4;      // 4: absent
    int showToolbar = 2;         // 2: absent
    int showMainToolbar = 2;
    int glassEnabled = -1;       // negative: absent (the view keeps its own)
};

// Height in pixels of the page view's toolbar band, when shown.
constexpr int kBandHeight = 28;

class CDocumentView : public CView {
public:
    // ---- a load's start ----
    // A load begins: fromWeb when the document comes from a web address;
    // the toolbar band takes its height again.
    virtual void StartLoad(bool fromWeb) = 0;
    // The document came from a web address.
    virtual bool IsFromWeb() const = 0;
    // Once per view: status reset and the child controls; 0 on later calls.
    virtual int SetWindow() = 0;
    // Before a load from a web address or a reload: drawing stops, the
    // initial view is to be found again, and "Retrieving..." shows. 1.
    virtual int SetRetrievingStatus() = 0;
    // The document finished loading (1: no more pages will come).
    virtual void SetLoadingComplete(int complete) = 0;

    // ---- what the fetch finds ----
    // The type known from the first bytes (kDocDvi ...).
    virtual void SetDocType(int type) = 0;
    virtual void SetPageCount(int count) = 0;
    // The document's address parameters, for the first display.
    virtual void SetInitialViewStatus(const InitialViewRequest& request) = 0;
    // A side file arrived (its full address); redraws when the page waits
    // for it.
    virtual void RedrawIfAwaitedFile(const String8& address) = 0;
    // Download progress: the expected size, then the bytes received.
    virtual void SetDownloadRange(int total) = 0;
    virtual void SetDownloadPos(int position) = 0;
    virtual void SetStatusText(const CString& text) = 0;
    // What the main frame's message pane shows while the view's frame is
    // the active one (empty: the idle message).
    virtual void SetFrameMessage(const CString& text) = 0;

    // ---- the view's state ----
    // Fills vs with the view's state; returns topOffset.
    virtual int GetViewStatus(ViewStatus& vs) = 0;
    // Applies a record (UI thread only).
    virtual void SetStatus(ViewStatus& vs) = 0;

    // ---- notes, saved with the document ----
    virtual NoteList& GetNotes() = 0;
    virtual void CloseNoteWindow() = 0;
};
