// CVrViewerView: the page view of one document. It shows one page of a DVI,
// TIFF or PostScript/PDF document with its own scroll bars, page controls,
// toolbar band and download progress bar. Every change of what it shows goes
// through a ViewStatus record (GetViewStatus, change, SetStatus). DVI pages
// are drawn into a page bitmap in slices under timer 126, pictures last, and
// painting copies the bitmap into the window. What its document asks of it
// is declared in CDocumentView (DocumentView.h).
//
// Threads: everything runs on the UI thread. The operations the document's
// fetch thread calls (SetDocType, OnInitialUpdate, SetPageCount,
// SetInitialViewStatus, SetDownloadRange, SetDownloadPos) carry themselves to
// the UI thread through the dispatcher when called elsewhere.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/DList.h"
#include "base/String8.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviSelect.h"
#include "platform/gdi/DC.h"
#include "platform/ui/View.h"
#include "viewer/document/NoteList.h"
#include "viewer/document/ViewerDvi.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/DocumentView.h"
#include "viewer/view/PageSurface.h"
#include "viewer/view/ViewStatus.h"

class CVrViewerDoc;
class CCmdUI;
class CMsgReceiverWnd;
class VrDvi;
class ViewControls;
class MarginDlg;
class PageIndicatorDlg;
class CGlassWnd;
class CThumbnailView;

// ID_PAGE_PARTS_TIMER (126), the timer that draws the parts of a page not
// yet drawn, comes with the document.

// Command and control ids of the view.
constexpr UINT ID_VIEW_TOOLBAR_BAND = 59392;
constexpr UINT IDC_VIEW_HSCROLL = 1000;
constexpr UINT IDC_VIEW_VSCROLL = 1001;


// A visited place of the page history.
struct PageHistoryEntry {
    int page = 0;  // 0-based
    int DispMag = 0;
    int scrollX = 0;
    int scrollY = 0;
};

class CVrViewerView : public CDocumentView {
public:
    CVrViewerView();
    ~CVrViewerView() override;

    CVrViewerDoc* GetDocument() const;

    // ---- the object ----
    void SetDocType(int type) override;
    int GetDocType() const { return m_docType; }
    // Once per document.
    void OnInitialUpdate() override;
    // The band's height (the document sets 28 before a load).
    void SetTopOffset(int topOffset) { m_topOffset = topOffset; }

    // ---- status and progressive drawing ----
    // Fills vs with the view's state; returns topOffset.
    int GetViewStatus(ViewStatus& vs) override;
    int GetViewStatus(ViewStatus* vs) { return GetViewStatus(*vs); }
    // Applies a record (UI thread only).
    void SetStatus(ViewStatus& vs) override;
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
    // The document's highlight words on the current page, painted with
    // R2_MERGEPEN in their slots' colours (ViewHighlights.cpp).
    void DrawTextHighlights(CDC& dc, const ViewStatus& vs);
    // The rectangles (page pixels) of each slot, as last computed.
    const std::vector<std::vector<RECT>>& GetHighlightRects() const { return m_highlightRects; }
    // The highlight words on the glass's page bitmap (ViewHighlights.cpp).
    void DrawGlassHighlights();
    // Windows-font pages: characters of hits redrawn in colour on dc at
    // the drawer's scale, the page origin at (ox, oy); weight 0 keeps each
    // character's own boldness.
    void RedrawHitCharacters(CDC& dc, VrDviDrawer& drawer, const std::vector<VrDviSearch::CharRecord>& chars,
                             COLORREF colour, int weight, int ox, int oy);
    // The search hit's characters on a Windows-font page, as last shown.
    const std::vector<VrDviSearch::CharRecord>& GetSearchCharacters() const { return m_searchChars; }

    // ---- page count and initial view ----
    void SetPageCount(int count) override;
    int GetPageCount() const { return m_pageCount; }
    int GetScrollStepsDivisor() const { return m_scrollSteps; }
    void SetInitialViewStatus(const InitialViewRequest& request) override;
    void FindInitialViewTarget();
    // The document fetched a side file (its full address); redraws when the
    // page waits for it.
    void RedrawIfAwaitedFile(const String8& address) override;
    // A link to this view's document, handed over (ViewHyperlink.cpp): its
    // parameters are applied and its target found afresh.
    void TakeHyperlink(const char* url);
    // Follows a link address that no view took: out to the browser program,
    // or after a question (LinkLauncher.h); false when it was not started.
    bool LaunchLink(const std::string& address);
    // The document finished loading (no more pages will come).
    void SetLoadingComplete(int complete) override { m_loadingComplete = complete; }
    int IsInitialViewEstablished() const { return m_initialViewEstablished; }

    // ---- window, controls and scrolling ----
    // Once per view: status reset and the child controls; 0 on later calls.
    int SetWindow() override;
    virtual void ShowScrollBar();
    virtual void GetPageAreaRect(RECT* rect);
    // Scroll bar codes of ViewGeometry (kLineUp ...); pos for thumb codes.
    void OnHScroll(UINT nSBCode, UINT nPos);
    void OnVScroll(UINT nSBCode, UINT nPos);
    void OnSize(UINT nType, int cx, int cy) override;
    // Checks whether the document's file changed on disk (and reloads it).
    void OnSetFocus(CWnd* pOldWnd) override;
    // Modeless boxes of the view end before it.
    void OnDestroy() override;
    int DrawerSetting();
    int DrawerClear();
    void OnViewToolbar();
    void OnUpdateViewToolbar(CCmdUI* pCmdUI);
    // The frame's command states follow a change of this view (page, mode,
    // document), once the current message is done.
    void RequestCommandStates();
    // Save As (the document's command): enabled with a page to save.
    void OnUpdateFileSaveAs(CCmdUI* pCmdUI);
    void SetDownloadRange(int total) override;
    void SetDownloadPos(int position) override;
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
    // The band's zoom combo box: its chosen entry, and its list replaced by
    // the zoom menu (the item of the current zoom or fit mode checked).
    void OnZoomSelChange();
    void OnZoomDropDown();
    // The menu item checked for a fit mode and the zoom box's text (0: none).
    static UINT DropDownCheckedId(int fitMode, const char* zoomText);
    // Enter in the band's zoom and page combo boxes.
    void OnZoomBoxCommand();
    void OnPageBoxCommand();
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
    // The margin dialog ended: the view settings are saved and the view
    // forgets the box.
    void OnMarginDialogClosed(MarginDlg* dialog = nullptr);
    MarginDlg* GetMarginDialog() const { return m_pMarginDlg; }
    int GetMarginValue() const { return m_marginValue; }
    int GetMarginDispMag() const { return m_MarginDispMag; }
    void SetMarginDispMag(int value) { m_MarginDispMag = value; }
    void OnUpdatePageNumber(CCmdUI* pCmdUI);
    void OnUpdateZoom(CCmdUI* pCmdUI);
    void OnUpdateDocumentLoaded(CCmdUI* pCmdUI);

    // ---- PostScript and PDF pages ----
    // Renders page (0-based) of the PDF file at bitsPerPixel and the
    // resolutions (dots per inch); with a box side above 0 the page is
    // fitted into the box. 1 with the header (1068 bytes) and rows handed
    // out, and *scale (when given) the scale applied x 10000; 0 otherwise.
    static int RenderPostScriptPage(const char* file, int page, int bitsPerPixel, int xRes, int yRes,
                                    int boxWidth, int boxHeight, std::vector<uint8_t>* info,
                                    std::unique_ptr<uint8_t[]>* bits, int* scale);
    // A client point into PDF user space of the shown page; the 1-based page.
    int PageToLogical(POINT* point);
    // The link cursor over a PDF link; TRUE when it was set.
    BOOL SetPdfLinkCursor(POINT point);
    // Follows the PDF link at a client point: its page, or the browser for
    // an address.
    void FollowPdfLink(CPoint client);

    // ---- printing ----
    // One band of a TIFF page printed with StretchDIBits: the destination
    // rectangle and the source rows (counted from the bottom).
    struct TiffPrintBand {
        int x, y, width, height, sourceY, sourceHeight;
    };
    static std::vector<TiffPrintBand> TiffPrintBands(int width, int height, int bitCount, double scaleX,
                                                     double scaleY, int offsetX, int offsetY, int physicalWidth,
                                                     int physicalHeight);
    void OnFilePrint();
    void OnUpdateFilePrint(CCmdUI* pCmdUI);
    // ---- pointer and character input ----
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnRButtonUp(UINT nFlags, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) override;
    void OnKillFocus(CWnd* pNewWnd) override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) override;
    void HideMagnifierGlass();
    // Page-bitmap coordinates of a client point.
    CPoint PagePoint(CPoint client) const;
    int IsGlassShown() const { return m_glassShown; }
    int GetScrollDirection() const { return m_scrollDirection; }
    // The cursor role OnSetCursor picked last (a resource or IDC_ id).
    UINT GetCursorId() const { return m_cursorId; }

    // ---- keyboard ----
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) override;

    // ---- view modes, selection and copying ----
    struct ImageSelection {
        int active = 0;
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        int scrollX1 = 0, scrollY1 = 0, scrollX2 = 0, scrollY2 = 0;
        int page = 0;
    };
    void OnViewMode();
    void OnTextSelect();
    void OnColumnSelect();
    void OnImageSelect();
    void OnUpdateViewMode(CCmdUI* pCmdUI);
    void OnUpdateTextSelect(CCmdUI* pCmdUI);
    void OnUpdateColumnSelect(CCmdUI* pCmdUI);
    void OnUpdateImageSelect(CCmdUI* pCmdUI);
    // Command 40008: a test box; checked in the selection modes.
    void OnEditMode();
    void OnUpdateEditMode(CCmdUI* pCmdUI);
    // The main toolbar's drop-down arrow of a button (screen rectangle).
    void OnToolbarDropDown(UINT nButtonId, const RECT& buttonScreenRect);
    void OnEditCancel();
    void OnEditCopy();
    void ContinueSelectionNextPage();
    void ContinueSelectionPrevPage();
    int StartImageSelection(int x, int y, int page);
    int ExtendImageSelection(int x, int y);
    void ClearImageSelection();
    VrDviSelect& GetSelection() { return m_select; }
    int GetSelectionSegment() const { return m_segment; }
    int GetSelectionFirstPage() const { return m_selFirstPage; }
    int GetSelectionPageCount() const { return m_selPageCount; }
    const ImageSelection& GetImageSelection() const { return m_imageSel; }
    // The clipboard text of the selection (UTF-8, "\n" line ends).
    CString SelectionClipboardText();

    // ---- search ----
    void OnSearch();
    const std::vector<RECT>& GetSearchMarks() const { return m_searchRects; }

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
    // ID_VIEWER_OPTIONS: the preference sheet for this view's document type.
    void OnViewerOptions();
    void OnUpdateViewerOptions(CCmdUI* pCmdUI);
    // ID_DOCUMENT_INFO: the document's address, fonts and pictures.
    void OnDocumentInformation();
    // Names in the status bar, once per document, the first font that the
    // page drawer drew without an installed face.
    void NameFallbackFont(VrDvi& reader);
    // ID_FILE_OPEN: the application's File Open.
    void OnFileOpen();

    // ---- for the document, frames and tests ----
    CDC& GetPageDC() { return m_pageSurface.dc; }
    VrDviDrawer& GetPageDrawer() { return m_pageSurface.drawer; }
    const CString& GetStatusText() const { return m_statusText; }
    void SetStatusText(const CString& text) override {
        m_statusText = text;
        Invalidate(FALSE);
    }
    // The text the main frame's message pane shows while this view's frame
    // is the active one (empty: the idle message); setting it shows it at
    // once when the frame is active.
    const CString& GetFrameMessage() const { return m_frameMessage; }
    void SetFrameMessage(const CString& text) override;
    // Before a load from a web address or a reload: drawing stops, the
    // initial view is to be found again, and "Retrieving..." shows. 1.
    int SetRetrievingStatus() override;
    // Page-part flags, in the order pageTextDone, pagePicturesTried,
    // glassTextDone, glassPicturesTried, pagePicturesDone, glassPicturesDone.
    const int* GetPagePartFlags() const { return m_partFlags; }
    void SetGlassEnabled(int enabled) { m_glassEnabled = enabled; }
    // The magnifier: its window (made by SetWindow), the magnified page
    // and the glass size.
    CGlassWnd* GetGlassWnd() const { return m_pGlassWnd.get(); }
    PageSurface& GetGlassSurface() { return m_glassSurface; }
    CDC& GetGlassDC() { return m_glassSurface.dc; }
    // Draws the magnifier's page when the shown page changed since it was
    // last drawn; done when the glass is about to show.
    void PrepareGlass();
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
    // The Ghostscript library loads.
    static bool IsGhostscriptInstalled();
    // Records in the installation's key that the first run is over.
    void FinishFirstRun();

    // ---- notes ----
    // The index of the note whose icon lies under the client point, or -1.
    int NoteAtPoint(CPoint point);
    NoteList& GetNotes() override { return m_notes; }
    int GetSelectedNote() const { return m_selectedNote; }
    void SetSelectedNote(int index) { m_selectedNote = index; }
    // A new note at the client point on the shown page; its index, or -1.
    int AddNoteAt(CPoint point);
    // Moves note index so that its icon's top-left lies at the client point.
    void MoveNoteTo(int index, CPoint point);
    // Opens the note window on note index (editable unless readOnly).
    void OpenNoteWindow(int index, bool isNew, bool readOnly = false);
    void CloseNoteWindow() override;
    void OnNote();
    void OnNoteEdit();
    void OnNoteDelete();
    void OnNoteProperties();
    void OnShowNoteIcon();
    void OnUpdateNote(CCmdUI* pCmdUI);
    void OnUpdateNoteCommand(CCmdUI* pCmdUI);
    void OnUpdateShowNoteIcon(CCmdUI* pCmdUI);
    int GetViewMode() const { return m_viewMode; }
    int IsShowingNoteIcons() const { return m_showNoteIcons; }

    CWnd* m_pNoteWnd = nullptr;  // the open note window, if any

protected:
    // The go-to-page dialog: shows the page count and the current page
    // (1-based); the entered page (1-based), or -1 when cancelled.
    virtual int RunGotoPageDialog(int pageCount, int currentPage);
    // The Note Properties dialog on the author name; false when cancelled.
    virtual bool RunNotePropertiesDialog(const NoteRecord& note, std::string& user);
    // Opens the modeless margin dialog at value (percent); false when it
    // cannot be shown. The dialog reports through SetMarginShift and
    // OnMarginDialogClosed.
    virtual bool OpenMarginDialog(int value);
    // Starts the program that opens web addresses on address, as its one
    // argument (see LinkLauncher.h); false when it cannot be started.
    virtual bool LaunchBrowser(const String8& address);
    // Offers a link's address to every view of the process, this one
    // included; 1 when one of them took it.
    virtual int OfferHyperlinkToViews(const String8& address);
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
    // Page parts still to draw (1 = done), for both surfaces.
    int m_partFlags[kPartFlagCount] = {1, 1, 1, 1, 1, 1};
    // The page and the magnifier's page.
    PageSurface m_pageSurface{m_partFlags, kPageTextDone, kPagePicturesTried, kPagePicturesDone, 500, 10000, 8};
    PageSurface m_glassSurface{m_partFlags, kGlassTextDone, kGlassPicturesTried, kGlassPicturesDone, 200, 25000, 1};
    ViewerDvi* Reader() const;
    // Runs fn on the UI thread later, while the view lives.
    void PostToUi(std::function<void()> fn);
    void SetStatusDvi(ViewStatus& vs);
    void SetStatusTiff(ViewStatus& vs);
    void SetStatusPs(ViewStatus& vs);
    // The PDF link's target at a client point (FindLinkAtPoint's result).
    int PdfLinkAt(POINT point, std::string* uri);
    void SetScrollBars(const ViewStatus& old, bool force);
    void ApplyScrollPosition(ViewStatus& vs, int W, int H);
    bool RecreateBitmap(CDC& dc, CBitmap& bitmap, int width, int height, int mono);
    // The surface's drawer closed and its bitmap made afresh at its size.
    bool RecreateSurfaceBitmap(PageSurface& surface, int mono);
    // Closes the surface's drawer and opens it on the current page (reader
    // null: none); true when it opened and the page's parts are to draw.
    bool StartSurface(PageSurface& surface, ViewerDvi* reader, const String8& target);
    void WriteWaiting(CDC& dc);
    // Text slices of a surface until its text is drawn or the budget has
    // passed (at least one); true when something was done.
    using Clock = std::chrono::steady_clock;
    int DrawTextSlice(PageSurface& surface, Clock::duration budget);
    // The page's visible part repainted with what was drawn: now, or when a
    // frame has passed since the last repaint (else it waits for a later
    // call or the flush).
    void RepaintDrawnPage(bool now);
    void FlushPageRepaint();
    // A surface's next picture; see DrawNonDrawnPartOfPage.
    void DrawPictures(PageSurface& surface, int& pictureDrawn, int& reachedEnd);
    // Ends the drawing of a surface that threw; reports once per page.
    void DrawFailed(PageSurface& surface, const char* message);
    void ForceRedraw();
    void ShowInitialPage(int page, const String8& tag, bool toolbarRefresh);
    void TargetPosition(ViewStatus& vs);
    void PaintFrame(CDC& dc, const RECT& area, const ViewStatus& vs, bool cornerAlways);
    // The TIFF or PostScript image stretched over the page, its corner at (x, y).
    void StretchPageImage(CDC& dc, int x, int y);
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
    void MapInputCommands();
    void MapKeyboardCommands();
    void MapSelectionCommands();
    void MapSearchCommands();
    // Input.
    void SetViewCursor(UINT id);
    void UpdateCursor(CPoint client);
    void PlaceGlass(CPoint client);
    void ShowContextMenu(CPoint client);
    void FollowDviLink(const String8& reference);
    int ScrollDirectionAt(CPoint client) const;
    void SetScrollDirection(int direction);
    void OnSelectionScrollTimer();
    void StopDrag();
    // The selection engine at a client point: page pixels in WinFont mode,
    // else DVI units.
    CPoint SelectPoint(int pageX, int pageY) const;
    bool OpenSelection(int page);
    void PaintOverlays(CDC& dc, const RECT& area, const ViewStatus& vs);
    void SwitchMode(int mode);
    void ClearSearchMarks();
    int ShowSearchHit(const VrDviSearch::Result& hit, CPoint& dialogPoint);
    void MapNavigationCommands();
    void MapPrintCommands();
    void PrintDviDocument();
    void PrintTiffDocument();
    void PrintPostScriptDocument();
    void MapNoteCommands();
    void PaintNotes(CDC& dc, const ViewStatus& vs);
    void MapLayoutCommands();
    void MapOptionsCommands();
    void MapDocInfoCommands();
    void MapFileCommands();
    void ConnectNavigationControls();
    void MapToolbarCommands();
    void ConnectToolbarControls();
    // The page and zoom combo boxes of the band (unless they have the focus).
    void UpdateBandBoxes();
    // "%d/%d" of the page, or "?/%d" before the initial view.
    QString PageBoxText() const;
    void CloseMarginDialog();
    // The page tip beside the vertical bar while its thumb is dragged.
    void ShowPageTip(int page);
    void HidePageTip();

    // Notes.
    NoteList m_notes;
    int m_selectedNote = -1;
    int m_showNoteIcons = 1;
    CPoint m_noteWndPos{20, 48};

    // Interaction.
    int m_viewMode = 0;
    int m_windowCreated = 0;
    int m_pageCount = 0;

    // Displayed state (mirrored by ViewStatus).
    int m_resolutionX = 960000, m_resolutionY = 960000;
    int m_DispMagSpec = 0;
    int m_MarginDispMag = 0;
    PaperSize m_paper{2100000, 2970000, 0};
    int m_tiffWidth = 0, m_tiffHeight = 0;
    int m_hMargin = 254000, m_vMargin = 254000;
    int m_page = 0;
    int m_scrollX = 0, m_scrollY = 0;
    int m_originX = 0, m_originY = 0;
    int m_scrollBarFlags = 3;
    int m_showToolbar = 1;
    int m_showMainToolbar = 1;
    // The band as the person last chose it: what the settings keep (an
    // address may hide the band for its document only).
    int m_showMainToolbarSetting = 1;
    int m_progressShown = 1;
    COLORREF m_workspaceColor = 0x808080;
    int m_rotation = 0;

    int m_GSPrintBitsPerPixel = 1;
    int m_initialStatusApplied = 0;
    int m_initialViewEstablished = 0;
    int m_loadingComplete = 0;
    int m_areaRight = 0, m_areaBottom = 0;
    // Remembered fit sizes of the margin modes and the margin-adjust state.
    int m_fitWidth = 0, m_fitHeight = 0, m_marginAdjust = 0, m_marginShift = 0;
    int m_marginValue = 0, m_lastMarginFitMode = 0, m_marginDialogOpen = 0;
    MarginDlg* m_pMarginDlg = nullptr;
    std::unique_ptr<PageIndicatorDlg> m_pageTip;

    // Visited places, oldest first.
    DList<PageHistoryEntry> m_history;
    int m_historyCount = 0;
    DList<PageHistoryEntry>::Node* m_historyCurrent = nullptr;
    // The zoom box's text as the view last wrote it.
    std::string m_zoomBoxText;


    // Magnifier glass.
    int m_glassShown = 0;
    int m_EnableColor = 0;
    int m_glassEnabled = 1;
    // The magnifier's page is not yet drawn for the shown page.
    int m_glassStale = 0;
    int m_glassWidth = 200, m_glassHeight = 200;
    std::unique_ptr<CGlassWnd> m_pGlassWnd;

    // Thumbnails.
    CDC m_thumbDC;
    CBitmap m_thumbBitmap;
    ViewerDviDrawer m_thumbDrawer;
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

    // A page is first shown when its text is drawn or after a frame, and
    // repainted at most once per frame while it is drawn.
    static constexpr Clock::duration kFrame = std::chrono::milliseconds(16);
    // Text drawn per timer tick: the window answers input between ticks.
    static constexpr Clock::duration kTick = std::chrono::milliseconds(8);
    int m_pageRepaintPending = 0;
    Clock::time_point m_lastPageRepaint;
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
    int m_psFitWidth = 0, m_psFitHeight = 0;  // the box a PostScript page was fitted to
    String8 m_browserPath;
    InitialViewRequest m_request;
    int m_tagShown = 0;
    // TIFF and PostScript page image: a DIB header with colours, and rows.
    std::vector<uint8_t> m_imageInfo;
    std::unique_ptr<uint8_t[]> m_imageBits;
    bool m_pageImageFailed = false;  // the TIFF page shown could not be decoded
    // The side file the page waits for (empty: none).
    String8 m_awaitedFile;
    // Highlight words: rectangles per slot (pixels of the drawer's page),
    // or on Windows-font pages the characters per slot.
    void FindHighlightWords();
    void FindHighlightWords(VrDviDrawer& drawer, std::vector<std::vector<RECT>>& rects,
                            std::vector<std::vector<VrDviSearch::CharRecord>>& chars);
    bool HasHighlightWords();
    void FillHighlightRects(CDC& dc, const std::vector<std::vector<RECT>>& rects, int ox, int oy);
    std::vector<std::vector<RECT>> m_highlightRects;
    std::vector<std::vector<VrDviSearch::CharRecord>> m_highlightChars;
    int m_highlightZoom = 0, m_highlightPage = -1;
    std::unique_ptr<CMsgReceiverWnd> m_pMsgReceiver;
    int m_initialUpdateDone = 0;
    int m_slowRetries = 0;
    // A bitmap to select while a DC's own bitmap is replaced.
    CBitmap m_stockBitmap;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    // Pointer and keyboard state.
    CPoint m_pressPoint{0, 0};
    CPoint m_pressPagePoint{0, 0};
    int m_buttonDown = 0;
    int m_contextMenuActive = 0;
    int m_scrollDirection = 0;
    int m_noteUnderPointer = 0;
    int m_draggingNote = 0;
    int m_dragNote = -1;
    CPoint m_grabOffset{0, 0};
    RECT m_dragOutline{0, 0, 0, 0};
    int m_noteOpenedByHover = 0;
    int m_wheelRest = 0;
    UINT m_lastKeyDown = 0;
    UINT m_cursorId = 0;
    int m_glassSourceX = 0, m_glassSourceY = 0;
    // Text selection: the engine on the current page, and per page carried
    // over (segment) its text, rectangles and zoom.
    VrDviSelect m_select;
    int m_columnSelect = 0;
    int m_segment = -1;
    std::vector<String8> m_segmentText;
    std::vector<std::vector<VrDviSelect::Rectangle>> m_segmentRects;
    std::vector<double> m_segmentZoom;
    int m_selFirstPage = -1, m_selPageCount = 0;
    int m_anchorX = 0, m_anchorY = 0;
    ImageSelection m_imageSel;
    // Search: the last text, direction (0 up, 1 down), case flag and marks.
    CString m_searchText;
    int m_searchDirection = 1;
    int m_searchCase = 0;
    std::vector<RECT> m_searchRects;
    std::vector<VrDviSearch::CharRecord> m_searchChars;

    CString m_statusText{"Retrieving..."};
    CString m_frameMessage;
    std::unique_ptr<ViewControls> m_controls;
    LayoutBarStatus m_layoutBar;
};
