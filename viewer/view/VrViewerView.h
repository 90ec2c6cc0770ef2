// CVrViewerView: the page view of one document. It shows one page of a DVI,
// TIFF or PostScript/PDF document with its own scroll bars, page controls,
// toolbar band and download progress bar. Every change of what it shows goes
// through a ViewStatus record (GetViewStatus, change, SetStatus). DVI pages
// are drawn into a page bitmap in slices under timer 126, pictures last, and
// painting copies the bitmap into the window.
//
// Threads: everything runs on the UI thread. The operations the document's
// fetch thread calls (SetDocType, OnInitialUpdate, SetPageCount,
// SetInitialViewStatus, SetDownloadRange, SetDownloadPos) carry themselves to
// the UI thread through the dispatcher when called elsewhere.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/DList.h"
#include "base/String8.h"
#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/DC.h"
#include "platform/ui/View.h"
#include "viewer/app/VrViewerDoc.h"
#include "viewer/view/ViewCommandIds.h"
#include "viewer/view/ViewStatus.h"

class CVrViewerDoc;
class CCmdUI;
class VrDvi;
class ViewControls;
class CGlassWnd;
class CThumbnailView;

// ID_PAGE_PARTS_TIMER (126), the timer that draws the parts of a page not
// yet drawn, comes with the document.

// Command and control ids of the view.
constexpr UINT ID_VIEW_TOOLBAR_BAND = 59392;
constexpr UINT IDC_VIEW_HSCROLL = 1000;
constexpr UINT IDC_VIEW_VSCROLL = 1001;

// Messages of the view (string table ids).
constexpr UINT IDS_VIEW_MEMORY_LACKING = 45250;
constexpr UINT IDS_VIEW_NO_MEMORY_FOR = 45251;
constexpr UINT IDS_VIEW_GLASS_MONOCHROME = 145;
constexpr UINT IDS_VIEW_APP_TITLE = 133;
constexpr UINT IDS_VIEW_PAGE_TIP = 61896;
constexpr UINT IDS_VIEW_POSITION = 59145;
constexpr UINT IDS_VIEW_SELECTION_RANGE = 59147;
constexpr UINT IDS_VIEW_GHOSTSCRIPT_MISSING = 45102;

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

// A visited place of the page history.
struct PageHistoryEntry {
    int page = 0;  // 0-based
    int DispMag = 0;
    int scrollX = 0;
    int scrollY = 0;
};

class CVrViewerView : public CView {
public:
    CVrViewerView();
    ~CVrViewerView() override;

    CVrViewerDoc* GetDocument() const;

    // ---- the object ----
    void SetDocType(int type);
    int GetDocType() const { return m_docType; }
    // Once per document.
    void OnInitialUpdate() override;
    // The band's height (the document sets 28 before a load).
    void SetTopOffset(int topOffset) { m_topOffset = topOffset; }

    // ---- status and progressive drawing ----
    // Fills vs with the view's state; returns topOffset.
    int GetViewStatus(ViewStatus& vs);
    int GetViewStatus(ViewStatus* vs) { return GetViewStatus(*vs); }
    // Applies a record (UI thread only).
    void SetStatus(ViewStatus& vs);
    // Draws the next undrawn part of the current DVI page: 1 when it did
    // some work, 0 when there was nothing to do.
    int DrawNonDrawnPartOfPage();
    void OnTimer(UINT_PTR nIDEvent) override;

    // ---- painting ----
    void OnPaint() override;
    void OnDraw(CDC* pDC) override;
    // Removes from each entry what later entries cover on the same row:
    // rectangles shortened, dropped (all -1) or split (right piece appended).
    static void RemoveHighlightOverlaps(std::vector<std::vector<RECT>>& entries);

    // ---- page count and initial view ----
    void SetPageCount(int count);
    int GetPageCount() const { return m_pageCount; }
    int GetScrollStepsDivisor() const { return m_scrollSteps; }
    void SetInitialViewStatus(const InitialViewRequest& request);
    void FindInitialViewTarget();
    // The document fetched a side file; redraws when the page waits for it.
    void RedrawIfAwaitedFile(const String8& address);
    // The document finished loading (no more pages will come).
    void SetLoadingComplete(int complete) { m_loadingComplete = complete; }
    int IsInitialViewEstablished() const { return m_initialViewEstablished; }

    // ---- window, controls and scrolling ----
    // Once per view: status reset and the child controls; 0 on later calls.
    int SetWindow();
    virtual void ShowScrollBar();
    virtual void GetPageAreaRect(RECT* rect);
    // Scroll bar codes of ViewGeometry (kLineUp ...); pos for thumb codes.
    void OnHScroll(UINT nSBCode, UINT nPos);
    void OnVScroll(UINT nSBCode, UINT nPos);
    void OnSize(UINT nType, int cx, int cy) override;
    // Checks whether the document's file changed on disk (and reloads it).
    void OnSetFocus(CWnd* pOldWnd) override;
    int DrawerSetting();
    int DrawerClear();
    void OnViewToolbar();
    void OnUpdateViewToolbar(CCmdUI* pCmdUI);
    void SetDownloadRange(int total);
    void SetDownloadPos(int position);
    ViewControls* GetControls() const { return m_controls.get(); }

    // ---- navigation and page history ----
    static constexpr int kHistoryLimit = 50;
    void OnNextPage();
    void OnPrevPage();
    void OnFirstPage();
    void OnLastPage();
    void OnHistoryBack();
    void OnHistoryForward();
    void OnGotoPageDialog();
    // Records the place and shows page (0-based; SetStatus clamps it).
    void GotoPage(int page);
    void OnUpdateNextPage(CCmdUI* pCmdUI);
    void OnUpdatePrevPage(CCmdUI* pCmdUI);
    void OnUpdateFirstPage(CCmdUI* pCmdUI);
    void OnUpdateLastPage(CCmdUI* pCmdUI);
    void OnUpdateHistoryBack(CCmdUI* pCmdUI);
    void OnUpdateHistoryForward(CCmdUI* pCmdUI);
    const DList<PageHistoryEntry>& GetHistory() const { return m_history; }
    const DList<PageHistoryEntry>::Node* GetCurrentHistoryEntry() const { return m_historyCurrent; }

    // ---- zoom, fit modes and the page and zoom boxes ----
    // Preset zooms in percent, largest first.
    static constexpr int kZoomPresets[8] = {200, 150, 120, 100, 90, 80, 70, 50};
    void UpdateToolbarStatus();
    // Applies the texts of the page and zoom boxes.
    void ApplyToolbarEdits();
    LRESULT OnToolbarEditEnter(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnZoomStepUp(WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT OnZoomStepDown(WPARAM wParam = 0, LPARAM lParam = 0);
    // An entry chosen from the zoom list: 1..300 percent.
    void OnZoomSelChange(const char* entry);
    void SetZoomPercent(int percent);
    void OnZoom200() { SetZoomPercent(200); }
    void OnZoom150() { SetZoomPercent(150); }
    void OnZoom120() { SetZoomPercent(120); }
    void OnZoom100() { SetZoomPercent(100); }
    void OnZoom90() { SetZoomPercent(90); }
    void OnZoom80() { SetZoomPercent(80); }
    void OnZoom70() { SetZoomPercent(70); }
    void OnZoom50() { SetZoomPercent(50); }
    void OnFitToWidth();
    void OnFitToHeight();
    void OnFitToWidthAdjustMargin();
    void OnFitToHeightAdjustMargin();
    void OnAdjustMargin();
    void OnUpdateAdjustMargin(CCmdUI* pCmdUI);
    // A margin value (percent) from the margin dialog.
    void SetMarginShift(int value);
    // The margin dialog ended.
    void OnMarginDialogClosed() { m_marginDialogOpen = 0; }
    int GetMarginValue() const { return m_marginValue; }
    int GetMarginDispMag() const { return m_MarginDispMag; }
    void SetMarginDispMag(int value) { m_MarginDispMag = value; }
    void OnUpdatePageNumber(CCmdUI* pCmdUI);
    void OnUpdateZoom(CCmdUI* pCmdUI);
    void OnUpdateDocumentLoaded(CCmdUI* pCmdUI);

    // ---- view settings ----
    // The layout bar as the frames and the Layout Bar command keep it.
    struct LayoutBarStatus {
        int show = 0;     // 1 shown
        int viewNum = 0;  // the tab shown
        int width = 200;  // pixels
    };
    LayoutBarStatus& GetLayoutBarStatus() { return m_layoutBar; }
    // The display, glass and zoom values of the settings for the DocType
    // (at construction, and again when the type becomes TIFF or PostScript).
    void LoadViewSettings();
    void SaveViewSettingsToRegistry();
    void LoadLayoutBarStatusFromRegistry();
    void SaveLayoutBarStatusToRegistry();
    // ID_FILE_OPEN: the application's File Open.
    void OnFileOpen();

    // ---- for the document, frames and tests ----
    CDC& GetPageDC() { return m_pageDC; }
    VrDviDrawer& GetPageDrawer() { return m_pageDrawer; }
    const CString& GetStatusText() const { return m_statusText; }
    void SetStatusText(const CString& text) {
        m_statusText = text;
        Invalidate(FALSE);
    }
    // Before a load from a web address or a reload: drawing stops, the
    // initial view is to be found again, and "Retrieving..." shows. 1.
    int SetRetrievingStatus();
    // Page-part flags, in the order pageTextDone, pagePicturesTried,
    // glassTextDone, glassPicturesTried, pagePicturesDone, glassPicturesDone.
    const int* GetPagePartFlags() const { return m_partFlags; }
    void SetGlassEnabled(int enabled) { m_glassEnabled = enabled; }
    // The magnifier: its window (made by SetWindow), the magnified page
    // bitmap's DC and the glass size.
    CGlassWnd* GetGlassWnd() const { return m_pGlassWnd.get(); }
    CDC& GetGlassDC() { return m_glassDC; }
    int GetGlassWidth() const { return m_glassWidth; }
    int GetGlassHeight() const { return m_glassHeight; }

    // ---- layout bar and thumbnails (ViewLayout.cpp) ----
    // One entry per page, all 32-bit: the thumbnail's zoom (DispMag units),
    // the page index and its rectangle in the thumbnail strip.
    struct PageSizeEntry {
        int32_t zoom, page, width, height, left, top, right, bottom;
    };
    static constexpr int kThumbnailGap = 8;
    static constexpr int kThumbnailDispMag = 1000;
    static constexpr COLORREF kThumbnailShadow = 0x808080;
    void BuildPageSizeTable();
    const std::vector<PageSizeEntry>& GetPageSizeTable() const { return m_pageSizeTable; }
    // Changes whenever the table is rebuilt.
    int GetPageSizeTableSerial() const { return m_pageSizeSerial; }
    // Renders a page's thumbnail at its entry's size: DVI pages into the
    // thumbnail DC, TIFF pages into the thumbnail DIB. 1 when there is an image.
    int CreateThumbnail(int page);
    // The thumbnails can be made now (a table, a window, no page rendering).
    bool ThumbnailsReady() const;
    CDC& GetThumbnailDC() { return m_thumbDC; }
    const BITMAPINFO* GetThumbnailInfo() const;
    const uint8_t* GetThumbnailBits() const { return m_thumbBits.get(); }
    // The thumbnail tab, told of page changes (null: none).
    void SetThumbnailView(CThumbnailView* view) { m_pThumbnailView = view; }
    // Shows or removes the frame's layout bar; ResetLayoutBar shows it on
    // its first tab.
    void OnLayoutBar();
    void ResetLayoutBar();
    // The width a layout bar opens with: the stored one, or 200 when it is
    // below 1 or not narrower than the page area.
    static int LayoutBarWidth(int stored, int areaRight);

    // ---- position pane, page slider, Ghostscript, first run (ViewLayout.cpp) ----
    // "(x mm,y mm)" of a page-bitmap point at the resolutions (dpi x 10000).
    static CString PositionText(int x, int y, int resolutionX, int resolutionY);
    void OnUpdateIndicatorPosition(CCmdUI* pCmdUI);
    void OnGotoPageSlider();
    void OnUpdateGotoPageSlider(CCmdUI* pCmdUI);
    // For a PostScript or PDF document: offers the Ghostscript download when
    // the library does not load.
    void CheckGhostscriptInstalled();
    // Whether the Ghostscript library loads (tests replace it to inject a
    // missing library); returns the one installed before.
    static std::function<bool()> SetGhostscriptProbe(std::function<bool()> probe);
    // Records in the installation's key that the first run is over.
    void FinishFirstRun();

    // Set by the document.
    int m_isBrowser = 0;         // the document came from a web address
    int m_topOffset = 28;        // height of the view's toolbar band
    CWnd* m_pNoteWnd = nullptr;  // the open note window, if any

protected:
    // The go-to-page dialog: shows the page count and the current page
    // (1-based); the entered page (1-based), or -1 when cancelled.
    virtual int RunGotoPageDialog(int pageCount, int currentPage);
    // Opens the modeless margin dialog at value (percent); false when it
    // cannot be shown. The dialog reports through SetMarginShift and
    // OnMarginDialogClosed.
    virtual bool OpenMarginDialog(int value);
    // Draws one picture of a page: 1 drawn, 0 not yet (its file may still
    // come), -1 never (the picture cannot be drawn).
    virtual int DrawPicture(VrDviDrawer& drawer, VrDviDrawer::PictInfo& picture);
    // Reports a failure in a system-modal box and appends it to the
    // document's error log.
    void ReportToUserAndLog(const CString& text, const char* caption = nullptr, UINT type = MB_SYSTEMMODAL);
    void AppendErrorLog(const CString& text);

private:
    enum { kPageTextDone, kPagePicturesTried, kGlassTextDone, kGlassPicturesTried, kPagePicturesDone,
           kGlassPicturesDone, kPartFlagCount };
    VrDvi* Reader() const;
    // Runs fn on the UI thread later, while the view lives.
    void PostToUi(std::function<void()> fn);
    void SetStatusDvi(ViewStatus& vs);
    void SetStatusTiff(ViewStatus& vs);
    void SetStatusPs(ViewStatus& vs);
    void SetScrollBars(const ViewStatus& old, bool force);
    void ApplyScrollPosition(ViewStatus& vs, int W, int H);
    bool RecreateBitmap(CDC& dc, CBitmap& bitmap, int width, int height, int mono);
    void WriteWaiting(CDC& dc);
    // Page text or glass text: one slice; true when something was done.
    int DrawTextSlice(bool glass);
    // Page or glass pictures: next picture; see DrawNonDrawnPartOfPage.
    void DrawPictures(bool glass, int& pictureDrawn, int& reachedEnd);
    // Ends the drawing of a page or glass page that threw; reports once per page.
    void DrawFailed(bool glass, const char* message);
    void ForceRedraw();
    void ShowInitialPage(int page, const String8& tag, bool toolbarRefresh);
    void TargetPosition(ViewStatus& vs);
    void PaintFrame(CDC& dc, const RECT& area, const ViewStatus& vs, bool cornerAlways);
    // History.
    void UpdateHistoryEntry();
    void PushHistoryEntry();
    void RecordAndShow(int page);
    void ShowHistoryEntry(DList<PageHistoryEntry>::Node* entry);
    // DVI: a document whose reader has a file open (the page count is
    // refreshed); other types: true.
    bool CanShowPages();
    int EnableForDvi(CCmdUI* pCmdUI);
    void ApplyZoomRecord(ViewStatus& vs);
    void ApplyFit(int mode, const char* boxText);
    void MapNavigationCommands();
    void MapLayoutCommands();
    void MapFileCommands();
    void ConnectNavigationControls();

    // Interaction.
    int m_viewMode = 0;
    int m_windowCreated = 0;
    int m_pageCount = 0;

    // Displayed state (mirrored by ViewStatus).
    int m_resolutionX = 960000, m_resolutionY = 960000;
    int m_DispMag = 10000;
    int m_DispMagSpec = 0;
    int m_MarginDispMag = 0;
    PaperSize m_paper{2100000, 2970000, 0};
    int m_pageWidth = 0, m_pageHeight = 0;
    int m_tiffWidth = 0, m_tiffHeight = 0;
    int m_hMargin = 254000, m_vMargin = 254000;
    int m_page = 0;
    int m_scrollX = 0, m_scrollY = 0;
    int m_originX = 0, m_originY = 0;
    int m_scrollBarFlags = 3;
    int m_showToolbar = 1;
    int m_showMainToolbar = 1;
    int m_progressShown = 1;
    COLORREF m_workspaceColor = 0x808080;
    int m_rotation = 0;

    int m_GSScreenBitsPerPixel = 8;
    int m_GSPrintBitsPerPixel = 1;
    int m_initialStatusApplied = 0;
    int m_initialViewEstablished = 0;
    int m_loadingComplete = 0;
    int m_areaRight = 0, m_areaBottom = 0;
    // Remembered fit sizes of the margin modes and the margin-adjust state.
    int m_fitWidth = 0, m_fitHeight = 0, m_marginAdjust = 0, m_marginShift = 0;
    int m_marginValue = 0, m_lastMarginFitMode = 0, m_marginDialogOpen = 0;

    // Visited places, oldest first.
    DList<PageHistoryEntry> m_history;
    int m_historyCount = 0;
    DList<PageHistoryEntry>::Node* m_historyCurrent = nullptr;
    // The zoom box's text as the view last wrote it.
    std::string m_zoomBoxText;

    // Page drawing.
    CDC m_pageDC;
    CBitmap m_pageBitmap;
    VrDviDrawer m_pageDrawer;

    // Magnifier glass.
    int m_glassShown = 0;
    int m_EnableColor = 0;
    int m_glassEnabled = 1;
    int m_glassWidth = 200, m_glassHeight = 200;
    int m_GlassDispMag = 25000;
    VrDviDrawer m_glassDrawer;
    CDC m_glassDC;
    CBitmap m_glassBitmap;
    int m_glassPageWidth = 0, m_glassPageHeight = 0;
    int m_GlassGSBitsPerPixel = 1;
    std::unique_ptr<CGlassWnd> m_pGlassWnd;

    // Thumbnails.
    CDC m_thumbDC;
    CBitmap m_thumbBitmap;
    VrDviDrawer m_thumbDrawer;
    std::vector<PageSizeEntry> m_pageSizeTable;
    int m_pageSizeSerial = 0;
    std::vector<uint8_t> m_thumbInfo;
    std::unique_ptr<uint8_t[]> m_thumbBits;
    CThumbnailView* m_pThumbnailView = nullptr;
    int m_thumbMemoryReported = 0;
    // The text selection's start and end indices (-1: none).
    int m_selectionStart = -1, m_selectionEnd = -1;
    // The layout bar of an in-place view is set up at its first size.
    int m_layoutBarPending = 1;

    // Page parts still to draw (1 = done) and, per target, whether the last
    // text pass ran to its end.
    int m_partFlags[kPartFlagCount] = {1, 1, 1, 1, 1, 1};
    int m_pageTextPassEnded = 0, m_glassTextPassEnded = 0;
    // A page that failed to draw reports once.
    int m_failedPage = -1;
    int m_drawerReleased = 1;
    int m_setupPending = 1;
    int m_downloading = 0;
    int m_scrollSteps = 1;
    int m_tipTop = -1;

    // Document type data.
    int m_docType = 0;
    int m_busy = 0;
    int m_renderState = 0;
    String8 m_browserPath;
    InitialViewRequest m_request;
    int m_tagShown = 0;
    // TIFF and PostScript page image: a DIB header with colours, and rows.
    std::vector<uint8_t> m_imageInfo;
    std::unique_ptr<uint8_t[]> m_imageBits;
    // The side file the page waits for (empty: none).
    String8 m_awaitedFile;
    int m_initialUpdateDone = 0;
    int m_slowRetries = 0;
    // A bitmap to select while a DC's own bitmap is replaced.
    CBitmap m_stockBitmap;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    CString m_statusText{"Retrieving..."};
    std::unique_ptr<ViewControls> m_controls;
    LayoutBarStatus m_layoutBar;
};
