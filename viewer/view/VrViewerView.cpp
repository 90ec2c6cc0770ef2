#include "viewer/view/VrViewerView.h"

#include <tiffio.h>

#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <strings.h>

#include <cstring>
#include <exception>

#include "dvilib/VrDvi.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/UiDispatcher.h"
#include "platform/ui/WindowDC.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/PageIndicatorDlg.h"
#include "viewer/view/GlassWnd.h"
#include "viewer/view/LayoutBarHost.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/TiffPage.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/ViewHyperlink.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/res/ViewerStrings.h"

using namespace viewgeo;

namespace {
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kRuleColour = 0x282828;
constexpr COLORREF kCornerColour = 0xC8D0D4;
}  // namespace

CVrViewerView::CVrViewerView() {
    AfxRegisterViewerStrings();
    MapCommand(ID_VIEW_TOOLBAR_BAND, &CVrViewerView::OnViewToolbar);
    MapUpdateUI(ID_VIEW_TOOLBAR_BAND, &CVrViewerView::OnUpdateViewToolbar);
    MapNavigationCommands();
    m_pMsgReceiver = std::make_unique<CMsgReceiverWnd>(this);
    MapInputCommands();
    MapKeyboardCommands();
    MapSelectionCommands();
    MapSearchCommands();
    MapNoteCommands();
    MapToolbarCommands();
    MapPrintCommands();
    MapLayoutCommands();
    MapOptionsCommands();
    MapDocInfoCommands();
    MapFileCommands();
    LoadViewSettings();
    if (!DrawerSetting()) AfxShowMessageBox(nullptr, AfxLoadString(IDS_VIEW_MEMORY_LACKING), nullptr, MB_SYSTEMMODAL);
}

CVrViewerView::~CVrViewerView() {
    m_pMsgReceiver.reset();
    CloseMarginDialog();
    m_pageTip.reset();
    SaveViewSettingsToRegistry();
    m_alive.reset();
    CloseNoteWindow();
    if (m_pThumbnailView) m_pThumbnailView->DetachVrView();
    DrawerClear();
    m_statusText.Empty();
    m_controls.reset();
}

CVrViewerDoc* CVrViewerView::GetDocument() const { return dynamic_cast<CVrViewerDoc*>(CView::GetDocument()); }

ViewerDvi* CVrViewerView::Reader() const {
    CVrViewerDoc* doc = GetDocument();
    return doc ? &doc->GetReader() : nullptr;
}

void CVrViewerView::AppendErrorLog(const CString& text) {
    if (CVrViewerDoc* doc = GetDocument()) doc->AppendErrorText(text);
}

void CVrViewerView::ReportToUserAndLog(const CString& text, const char* caption, UINT type) {
    AfxShowMessageBox(this, text, caption, type);
    CString line("\n");
    line += text;
    AppendErrorLog(line);
}

void CVrViewerView::PostToUi(std::function<void()> fn) {
    std::weak_ptr<int> alive = m_alive;
    UiDispatcher::Post([alive, fn = std::move(fn)] {
        if (alive.lock()) fn();
    });
}

// ---------------------------------------------------------------- the object

void CVrViewerView::SetDocType(int type) {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this, type] { SetDocType(type); });
    m_docType = type;
    RequestCommandStates();
    if (type == kDocTiff || type == kDocPs) {
        m_imageInfo.clear();
        m_imageBits.reset();
        // The settings these types saved (the view was made as DVI).
        LoadViewSettings();
    }
    // The program that opens web links (used by the link commands).
    m_browserPath = "xdg-open";
    if (type == kDocPs) CheckGhostscriptInstalled();
}

void CVrViewerView::OnInitialUpdate() {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this] { OnInitialUpdate(); });
    if (m_initialUpdateDone) return;
    CView::OnInitialUpdate();
    m_initialUpdateDone = 1;
    // The first-run step belongs to the first document of a run only.
    if (auto* app = CVrViewerAppBase::Get(); app && app->m_firstRun) {
        app->m_firstRun = 0;
        FinishFirstRun();
    }
}

// ------------------------------------------------------------------- status

int CVrViewerView::GetViewStatus(ViewStatus& vs) {
    if (!m_showToolbar) m_showMainToolbar = 0;
    m_topOffset = m_showMainToolbar ? 28 : 0;
    vs.resolutionX = m_resolutionX;
    vs.resolutionY = m_resolutionY;
    vs.DispMag = m_pageSurface.dispMag;
    vs.DispMagSpec = m_DispMagSpec;
    vs.pageWidth = m_pageSurface.width;
    vs.pageHeight = m_pageSurface.height;
    vs.scrollX = m_scrollX;
    vs.scrollY = m_scrollY;
    vs.originX = m_originX;
    vs.originY = m_originY;
    vs.workspaceColor = m_workspaceColor;
    vs.page = m_page;
    vs.scrollBarFlags = m_scrollBarFlags;
    vs.showToolbar = m_showToolbar;
    vs.showMainToolbar = m_showMainToolbar;
    vs.topOffset = m_topOffset;
    if (m_docType == kDocDvi) {
        vs.GlassDispMag = m_glassSurface.dispMag;
        vs.paper = m_paper;
        vs.glassPageWidth = m_glassSurface.width;
        vs.glassPageHeight = m_glassSurface.height;
        vs.EnableColor = m_EnableColor;
        vs.hMargin = m_hMargin;
        vs.vMargin = m_vMargin;
        vs.targetName = String8("");
        vs.GSScreenBitsPerPixel = m_pageSurface.gsBitsPerPixel;
        vs.GlassGSBitsPerPixel = m_glassSurface.gsBitsPerPixel;
    }
    if (m_docType == kDocPs) vs.GSScreenBitsPerPixel = m_pageSurface.gsBitsPerPixel;
    if (m_docType == kDocTiff || m_docType == kDocPs) vs.rotation = m_rotation;
    if (m_docType == kDocTiff) {
        vs.tiffWidth = m_tiffWidth;
        vs.tiffHeight = m_tiffHeight;
    }
    return m_topOffset;
}

void CVrViewerView::SetStatus(ViewStatus& vs) {
    if (!UiDispatcher::IsUiThread()) {
        ViewStatus copy = vs;
        return PostToUi([this, copy]() mutable { SetStatus(copy); });
    }
    if (!GetDocument()) return;
    const int oldPage = m_page;
    switch (m_docType) {
    case kDocDvi: SetStatusDvi(vs); break;
    case kDocTiff: SetStatusTiff(vs); break;
    case kDocPs: SetStatusPs(vs); break;
    default: break;
    }
    if (m_pThumbnailView && m_page != oldPage && m_page >= 0) m_pThumbnailView->AdjustPos(m_page);
    RequestCommandStates();
}

bool CVrViewerView::RecreateBitmap(CDC& dc, CBitmap& bitmap, int width, int height, int mono) {
    dc.SelectObject(&m_stockBitmap);
    bitmap.DeleteObject();
    if (width < 0 || height < 0) return false;
    const BOOL made = mono ? bitmap.CreateBitmap(std::max(1, width), std::max(1, height), 1, 1, nullptr)
                           : bitmap.CreateCompatibleBitmap(nullptr, std::max(1, width), std::max(1, height));
    if (!made) return false;
    dc.SelectObject(&bitmap);
    return true;
}

void CVrViewerView::WriteWaiting(CDC& dc) {
    CFont font;
    font.CreateFont(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    CFont* old = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(0);
    dc.TextOut(10, m_topOffset + 10, "Waiting for the desired page...");
    dc.SelectObject(old);
}

void CVrViewerView::ApplyScrollPosition(ViewStatus& vs, int W, int H) {
    if (m_DispMagSpec == kFitNone) m_marginShift = 0;
    const Scroll s = ScrollPosition(m_DispMagSpec, vs.scrollX, vs.scrollY, m_pageSurface.width, m_pageSurface.height,
                                    W, H, m_fitWidth, m_fitHeight, m_marginAdjust, m_MarginDispMag);
    m_scrollX = s.x;
    m_scrollY = s.y;
}

void CVrViewerView::SetStatusDvi(ViewStatus& vs) {
    ViewerDvi* reader = Reader();
    if (!reader) return;
    for (ViewerDviDrawer* d : {&m_pageSurface.drawer, &m_glassSurface.drawer, &m_thumbDrawer})
        d->SetDocument(GetDocument());
    m_pageCount = reader->GetNPage();
    ViewStatus old;
    GetViewStatus(old);

    // Paper: the page's own from its specials; else, without a paper
    // special, the document's widest and tallest pages with an inch all
    // round; else the paper the specials left in force.
    PaperSize pagePaper = vs.paper;
    if (vs.page >= 0 && reader->GetPagePaper(vs.page, pagePaper)) {
        vs.paper = pagePaper;
    } else if (reader->IsPaperBySpecial()) {
        vs.paper = reader->GetPaper();
    } else if (m_showToolbar) {
        const double magRaw = int32_t(reader->GetAbsMag());
        if (magRaw > 0 && reader->GetDviDen() > 0) {
            const double k = double(reader->GetDviNum()) / reader->GetDviDen() * magRaw * 1e-8;
            const double w = reader->GetPageWidthDvi() * k, h = reader->GetPageHeightDvi() * k;
            if (w > 0 && h > 0)
                vs.paper = PaperSize(Round((w + 508000 / magRaw) * 10000), Round((h + 508000 / magRaw) * 10000), 0);
        }
    }
    m_paper = vs.paper;
    m_DispMagSpec = vs.DispMagSpec;
    m_scrollBarFlags = vs.scrollBarFlags;
    m_showToolbar = vs.showToolbar;
    m_showMainToolbar = vs.showToolbar ? vs.showMainToolbar : 0;
    m_topOffset = m_showMainToolbar ? 28 : 0;

    int paperW = 0, paperH = 0;
    m_paper.GetWidth(&paperW);
    m_paper.GetHeight(&paperH);

    int W = 0, H = 0;
    if (!m_windowCreated) {
        m_pageSurface.dispMag = ClampDispMag(vs.DispMag);
    } else {
        if (old.scrollBarFlags != m_scrollBarFlags || old.showToolbar != m_showToolbar ||
            old.showMainToolbar != m_showMainToolbar)
            ShowScrollBar();
        RECT area;
        GetPageAreaRect(&area);
        m_areaRight = area.right;
        m_areaBottom = area.bottom;
        W = area.right - area.left;
        H = area.bottom - m_topOffset;
        m_pageSurface.dispMag =
            FitDispMagDvi(m_DispMagSpec, vs.DispMag, paperW, paperH, m_resolutionX, m_resolutionY, W, H);
    }
    const int newW = BitmapSide(paperW, m_pageSurface.dispMag, m_resolutionX);
    const int newH = BitmapSide(paperH, m_pageSurface.dispMag, m_resolutionY);
    const bool tooLarge = newW < 0 || newH < 0;
    m_pageSurface.width = std::max(0, newW);
    m_pageSurface.height = std::max(0, newH);
    if (m_windowCreated) ApplyScrollPosition(vs, W, H);
    else m_scrollX = vs.scrollX, m_scrollY = vs.scrollY;

    m_glassSurface.dispMag = ClampDispMag(vs.GlassDispMag > 0 ? vs.GlassDispMag : m_glassSurface.dispMag);
    m_glassSurface.width = std::max(0, BitmapSide(paperW, m_glassSurface.dispMag, m_resolutionX));
    m_glassSurface.height = std::max(0, BitmapSide(paperH, m_glassSurface.dispMag, m_resolutionY));
    m_EnableColor = vs.EnableColor;
    m_hMargin = vs.hMargin;
    m_vMargin = vs.vMargin;
    m_pageSurface.gsBitsPerPixel = vs.GSScreenBitsPerPixel;
    m_glassSurface.gsBitsPerPixel = vs.GlassGSBitsPerPixel;
    m_originX = vs.originX;
    m_originY = vs.originY;
    m_workspaceColor = vs.workspaceColor;
    m_page = Clamp(vs.page, m_pageCount - 1);

    // The page bitmap.
    if (m_pageSurface.dispMag != old.DispMag || m_pageSurface.width != old.pageWidth ||
        m_pageSurface.height != old.pageHeight || tooLarge) {
        if (m_drawerReleased || tooLarge || !RecreateSurfaceBitmap(m_pageSurface, 0)) {
            m_pageSurface.drawer.Close();
            CString text;
            AfxFormatString1(text, IDS_VIEW_NO_MEMORY_FOR, "'hPageBitmap'");
            ReportToUserAndLog(text);
            m_pageSurface.width = m_pageSurface.height = 0;
            m_pageSurface.SetPartsDone();
            return;
        }
    }
    // The glass bitmap.
    const bool glassChanged = m_EnableColor != old.EnableColor || m_glassSurface.dispMag != old.GlassDispMag ||
                              m_glassSurface.width != old.glassPageWidth ||
                              m_glassSurface.height != old.glassPageHeight;
    if (m_glassEnabled && glassChanged && !m_drawerReleased) {
        bool made = RecreateSurfaceBitmap(m_glassSurface, !m_EnableColor);
        if (!made && m_EnableColor && RecreateSurfaceBitmap(m_glassSurface, 1)) {
            made = true;
            m_EnableColor = 0;
            AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_GLASS_MONOCHROME), AfxLoadString(IDS_VIEW_APP_TITLE),
                              MB_SYSTEMMODAL | MB_ICONINFORMATION);
        }
        if (!made) {
            CString text;
            AfxFormatString1(text, IDS_VIEW_NO_MEMORY_FOR, "'hGlassPageBitmap'");
            ReportToUserAndLog(text);
            m_glassEnabled = 0;
        }
    }

    const bool pageValid = m_page >= 0 && m_page < m_pageCount;
    const bool hasTarget = !vs.targetName.IsNull() && vs.targetName.GetLength() > 0;
    const String8 target = hasTarget ? vs.targetName : String8();
    bool timerNeeded = false;
    bool drewPage = false;
    if (m_pageSurface.dispMag != old.DispMag || m_pageSurface.width != old.pageWidth ||
        m_pageSurface.height != old.pageHeight || m_hMargin != old.hMargin || m_vMargin != old.vMargin ||
        m_page != old.page || m_pageSurface.gsBitsPerPixel != old.GSScreenBitsPerPixel || hasTarget) {
        drewPage = true;
        m_failedPage = -1;
        if (!m_initialViewEstablished || !pageValid) {
            StartSurface(m_pageSurface, nullptr, target);
            WriteWaiting(m_pageSurface.dc);
        } else if (StartSurface(m_pageSurface, reader, target)) {
            NameFallbackFont(*reader);
            if (m_windowCreated && !hasTarget) {
                // No blank page: it first shows when its text is drawn or a
                // frame has passed; slices under the timer draw the rest.
                DrawTextSlice(m_pageSurface, kFrame);
                m_pageRepaintPending = 0;
                m_lastPageRepaint = Clock::now();
            } else {
                // With a target (its position is needed now) or before the
                // window exists the text is drawn at once.
                try {
                    m_pageSurface.drawer.Draw(-1);
                    m_pageSurface.textPassEnded = 1;
                    m_pageSurface.textDone = 1;
                } catch (const std::exception& e) {
                    DrawFailed(m_pageSurface, e.what());
                } catch (...) {
                    DrawFailed(m_pageSurface, nullptr);
                }
            }
            timerNeeded = true;
        }
    }
    const bool glassRedraw = glassChanged || m_hMargin != old.hMargin || m_vMargin != old.vMargin ||
                             m_page != old.page || m_glassSurface.gsBitsPerPixel != old.GlassGSBitsPerPixel;
    if (m_glassEnabled && !m_drawerReleased && glassRedraw) {
        // The magnifier's page is drawn when the glass is next shown.
        m_glassSurface.drawer.Close();
        m_glassSurface.SetPartsDone();
        m_glassStale = 1;
        if (m_glassShown) PrepareGlass();
    }
    if (timerNeeded && m_windowCreated) {
        m_slowRetries = 0;
        SetTimer(ID_PAGE_PARTS_TIMER, 1);
    }

    // A target: scroll so that it sits 20 pixels inside the page area.
    if (hasTarget && m_pageSurface.drawer.IsTagFound()) {
        const int mx = m_pageSurface.drawer.GetTaghPos(), my = m_pageSurface.drawer.GetTagvPos();
        if (W * 2 / 3 + m_scrollX < mx) m_scrollX = mx - 20;
        else if (mx < m_scrollX) m_scrollX = m_originX;
        m_scrollX = Clamp(m_scrollX, m_pageSurface.width - W);
        m_scrollY = Clamp(my - 20, m_pageSurface.height - H);
        Invalidate(FALSE);
    }

    if (drewPage || m_scrollX != old.scrollX || m_scrollY != old.scrollY ||
        m_workspaceColor != old.workspaceColor || m_scrollBarFlags != old.scrollBarFlags ||
        m_showToolbar != old.showToolbar || m_showMainToolbar != old.showMainToolbar)
        Invalidate(FALSE);
    SetScrollBars(old, false);
}

void CVrViewerView::SetScrollBars(const ViewStatus& old, bool force) {
    if (!m_windowCreated || !m_controls || !m_scrollBarFlags) return;
    RECT area;
    GetPageAreaRect(&area);
    if (force || m_pageSurface.width != old.pageWidth || m_scrollX != old.scrollX ||
        m_scrollBarFlags != old.scrollBarFlags) {
        const BarValues h = HorizontalBar(m_pageSurface.width, area.right - area.left, m_scrollX);
        m_controls->SetBar(false, h.max, h.page, h.pos);
    }
    if (force || m_pageSurface.height != old.pageHeight || m_scrollY != old.scrollY ||
        m_scrollBarFlags != old.scrollBarFlags || m_page != old.page) {
        const BarValues v = VerticalBar(m_pageSurface.height, m_pageCount, area.bottom - area.top, m_page, m_scrollY,
                                        m_scrollSteps);
        m_controls->SetBar(true, v.max, v.page, v.pos);
    }
}

void CVrViewerView::SetStatusTiff(ViewStatus& vs) {
    ViewStatus old;
    GetViewStatus(old);
    m_page = Clamp(vs.page, m_pageCount);
    m_rotation = vs.rotation;
    m_tiffWidth = m_tiffHeight = 0;
    const bool pageValid = m_initialViewEstablished && m_page < m_pageCount;
    CVrViewerDoc* doc = GetDocument();
    const String8 file = doc ? doc->GetTempFileName() : String8();
    if (pageValid && !file.IsNull()) {
        if (TIFF* tif = TIFFOpen(file.c_str(), "r")) {
            uint32_t w = 0, h = 0;
            if (TIFFSetDirectory(tif, tdir_t(m_page)) && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) &&
                TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h)) {
                m_tiffWidth = int(std::min<uint32_t>(w, kTiffMaxSide));
                m_tiffHeight = int(std::min<uint32_t>(h, kTiffMaxSide));
                if (m_rotation == 1 || m_rotation == 3) std::swap(m_tiffWidth, m_tiffHeight);
            }
            TIFFClose(tif);
        }
    }
    m_DispMagSpec = vs.DispMagSpec;
    m_scrollBarFlags = vs.scrollBarFlags;
    int W = 0, H = 0;
    if (m_windowCreated) {
        if (old.scrollBarFlags != m_scrollBarFlags) ShowScrollBar();
        RECT area;
        GetPageAreaRect(&area);
        W = area.right - area.left;
        H = area.bottom - m_topOffset;
        m_pageSurface.dispMag = FitDispMagTiff(m_DispMagSpec, vs.DispMag, m_tiffWidth, m_tiffHeight, W, H);
    } else {
        m_pageSurface.dispMag = ClampDispMag(vs.DispMag);
    }
    m_pageSurface.width = int(m_pageSurface.dispMag * double(m_tiffWidth) * 0.0001 + 0.5);
    m_pageSurface.height = int(m_pageSurface.dispMag * double(m_tiffHeight) * 0.0001 + 0.5);
    if (m_windowCreated) ApplyScrollPosition(vs, W, H);
    else m_scrollX = vs.scrollX, m_scrollY = vs.scrollY;
    m_originX = vs.originX;
    m_originY = vs.originY;
    m_workspaceColor = vs.workspaceColor;
    const bool redraw = m_pageSurface.dispMag != old.DispMag || m_rotation != old.rotation || m_page != old.page;
    // Full-resolution blocks serve every zoom they are decoded for: a zoom
    // change alone decodes again only where the reduced grey block is due.
    bool sameImage = false;
    if (m_imageBits && m_imageInfo.size() >= sizeof(BITMAPINFOHEADER) && m_page == old.page &&
        m_rotation == old.rotation) {
        const int bits = reinterpret_cast<const BITMAPINFOHEADER*>(m_imageInfo.data())->biBitCount;
        sameImage = bits == 32 || (bits == 1 && m_pageSurface.dispMag >= 10000);
    }
    if (redraw && !sameImage && pageValid && !file.IsNull()) {
        m_imageBits.reset();
        m_imageInfo.assign(kTiffPageInfoBytes, 0);
        std::string failure;
        if (TIFF* tif = TIFFOpen(file.c_str(), "r")) {
            if (TIFFSetDirectory(tif, tdir_t(m_page))) {
                m_imageBits = DecodeTiffPage(tif, reinterpret_cast<BITMAPINFO*>(m_imageInfo.data()), &m_rotation,
                                             &m_pageSurface.dispMag);
                if (!m_imageBits) failure = TiffPageFailure(tif, m_page, m_pageSurface.dispMag);
            }
            TIFFClose(tif);
        }
        m_pageImageFailed = !failure.empty();
        // Like a failed load: the view and the status bar say why.
        if (m_pageImageFailed) {
            SetStatusText(failure.c_str());
            if (doc) doc->AppendErrorText(("\n" + failure).c_str());
            if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->SetMessageText(failure.c_str());
        }
    }
    if (redraw || m_workspaceColor != old.workspaceColor || m_scrollBarFlags != old.scrollBarFlags ||
        (m_windowCreated && (m_scrollX != old.scrollX || m_scrollY != old.scrollY)))
        Invalidate(FALSE);
    SetScrollBars(old, false);
}

// ----------------------------------------------------------------- painting

void CVrViewerView::OnDraw(CDC*) {}

void CVrViewerView::StretchPageImage(CDC& dc, int x, int y) {
    if (!m_imageBits || m_imageInfo.empty()) return;
    // The whole image over the whole page: every visible pixel maps the same
    // way at any scroll position. Rows are stored bottom-up.
    const auto* info = reinterpret_cast<const BITMAPINFO*>(m_imageInfo.data());
    const int iw = info->bmiHeader.biWidth, ih = std::abs(info->bmiHeader.biHeight);
    const int oldMode = dc.SetStretchBltMode(COLORONCOLOR);
    dc.StretchDIBits(x, y, m_pageSurface.width, m_pageSurface.height, 0, 0, iw, ih, m_imageBits.get(), info,
                     DIB_RGB_COLORS, SRCCOPY);
    dc.SetStretchBltMode(oldMode);
}

void CVrViewerView::PaintFrame(CDC& dc, const RECT& area, const ViewStatus& vs, bool cornerAlways) {
    CBrush brush(vs.workspaceColor);
    CBrush* oldBrush = dc.SelectObject(&brush);
    CGdiObject* oldPen = dc.SelectStockObject(NULL_PEN);
    const int pageRight = vs.pageWidth - vs.scrollX;
    const int pageBottom = vs.topOffset - vs.scrollY + vs.pageHeight;
    if (pageRight < area.right) dc.Rectangle(pageRight, vs.topOffset, area.right + 1, area.bottom + 1);
    if (pageBottom < area.bottom) dc.Rectangle(area.left, pageBottom, area.right + 1, area.bottom + 1);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
    if ((cornerAlways && vs.scrollBarFlags == 3) || (!cornerAlways && (vs.scrollBarFlags & 1)))
        dc.FillSolidRect(area.right, area.bottom, 17, 17, kCornerColour);
    if (vs.showToolbar && vs.topOffset > 0) {
        CPen pen(PS_SOLID, 2, kRuleColour);
        CPen* old = dc.SelectObject(&pen);
        dc.MoveTo(-1, vs.topOffset - 1);
        dc.LineTo(area.right + 17, vs.topOffset - 1);
        dc.SelectObject(old);
    }
}

void CVrViewerView::OnPaint() {
    if (!GetDocument()) return;
    CPaintDC dc(this);
    RECT area;
    GetPageAreaRect(&area);
    ViewStatus vs;
    GetViewStatus(vs);
    ViewerDvi* reader = Reader();
    if (m_docType == kDocDvi && reader && vs.page >= 0 && vs.page < reader->GetNPage() && m_pageSurface.width > 0) {
        PaintFrame(dc, area, vs, false);
        // The visible part of the page; the workspace below it stays.
        m_pageSurface.CopyTo(dc, 0, vs.topOffset, area.right, area.bottom - vs.topOffset, vs.scrollX, vs.scrollY);
        // The rule and corner go over the page's edge as well.
        PaintFrame(dc, area, vs, false);
        DrawTextHighlights(dc, vs);
        PaintOverlays(dc, area, vs);
        PaintNotes(dc, vs);
        return;
    }
    if ((m_docType == kDocTiff || m_docType == kDocPs) && vs.page >= 0 && vs.page < m_pageCount) {
        PaintFrame(dc, area, vs, true);
        if (m_imageBits && !m_imageInfo.empty()) {
            const int w = std::min<int>(area.right, vs.pageWidth - vs.scrollX);
            const int h = std::min<int>(area.bottom - vs.topOffset, vs.pageHeight - vs.scrollY);
            if (w > 0 && h > 0) {
                const int saved = dc.SaveDC();
                dc.IntersectClipRect(0, vs.topOffset, w, vs.topOffset + h);
                StretchPageImage(dc, -vs.scrollX, vs.topOffset - vs.scrollY);
                dc.RestoreDC(saved);
            }
        } else {
            CFont font;
            font.CreateFont(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
            CFont* old = dc.SelectObject(&font);
            const char* text = m_busy               ? (m_renderState == -1 ? "Waiting..." : "Done")
                               : m_pageImageFailed  ? m_statusText.c_str()
                               : m_docType == kDocPs ? "This file spec. does not support."
                                                    : "";
            dc.TextOut(10, vs.topOffset + 10, text);
            dc.SelectObject(old);
        }
        PaintOverlays(dc, area, vs);
        return;
    }
    // No page to show.
    CBrush white(kWhite);
    CBrush* oldBrush = dc.SelectObject(&white);
    dc.Rectangle(area.left, vs.topOffset, area.right, area.bottom);
    dc.SelectObject(oldBrush);
    CFont font;
    font.CreateFont(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    CFont* old = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(10, vs.topOffset + 10, m_statusText);
    dc.SelectObject(old);
}

void CVrViewerView::RemoveHighlightOverlaps(std::vector<std::vector<RECT>>& entries) {
    for (size_t i = 0; i < entries.size(); ++i)
        for (size_t j = i + 1; j < entries.size(); ++j)
            for (const RECT& b : entries[j]) {
                if (b.left < 0 && b.right < 0) continue;
                // Index loop: a split appends to entries[i].
                for (size_t k = 0; k < entries[i].size(); ++k) {
                    RECT& a = entries[i][k];
                    if (a.top != b.top || (a.left < 0 && a.right < 0)) continue;
                    if (b.right <= a.left || b.left >= a.right) continue;  // apart
                    if (b.left <= a.left && b.right >= a.right) {
                        a = RECT{-1, -1, -1, -1};  // covered
                    } else if (b.left <= a.left) {
                        a.left = b.right;  // covered on the left
                    } else if (b.right >= a.right) {
                        a.right = b.left;  // covered on the right
                    } else {
                        RECT right{b.right, a.top, a.right, a.bottom};
                        a.right = b.left;
                        entries[i].push_back(right);
                    }
                }
            }
}

// ------------------------------------------------ page count, initial view

void CVrViewerView::SetPageCount(int count) {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this, count] { SetPageCount(count); });
    const int previous = m_pageCount;
    m_pageCount = count;
    m_scrollSteps = ScrollStepsDivisor(count, m_scrollSteps);
    if (m_windowCreated && m_scrollBarFlags && m_controls) {
        RECT area;
        GetPageAreaRect(&area);
        const BarValues v = VerticalBar(m_pageSurface.height, count, area.bottom - area.top, std::max(0, m_page),
                                        m_scrollY, m_scrollSteps);
        m_controls->SetBar(true, v.max, v.page, v.pos);
    }
    if (m_docType == kDocTiff || m_docType == kDocPs) {
        if (m_initialViewEstablished && (count < previous || (previous <= m_page && m_page < count))) ForceRedraw();
        if (!m_initialViewEstablished) FindInitialViewTarget();
    } else if (!m_initialViewEstablished) {
        FindInitialViewTarget();
    } else if (m_docType == kDocDvi) {
        // The paper may follow from the document's end, now known: the same
        // record redraws nothing unless the page size changed.
        ViewStatus vs;
        GetViewStatus(vs);
        SetStatus(vs);
    }
    if ((m_pThumbnailView || m_layoutBar.show) && int(m_pageSizeTable.size()) != count) BuildPageSizeTable();
    UpdateToolbarStatus();
    UpdateWindow();
    RequestCommandStates();
}

void CVrViewerView::ForceRedraw() {
    ViewStatus vs;
    GetViewStatus(vs);
    m_page = -1;
    SetStatus(vs);
}

void CVrViewerView::SetInitialViewStatus(const InitialViewRequest& request) {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this, request] { SetInitialViewStatus(request); });
    if (!GetDocument() || m_initialStatusApplied) return;
    m_initialStatusApplied = 1;
    m_request = request;
    m_highlightPage = -1;  // the words may be new
    ViewStatus vs;
    GetViewStatus(vs);
    if (request.dispMag > 0) {
        vs.DispMagSpec = 0;
        vs.DispMag = request.dispMag;
    } else if (request.dispMag == -10000) {
        vs.DispMagSpec = kFitWidth;
    } else if (request.dispMag == -20000) {
        vs.DispMagSpec = kFitPage;
    }
    if (m_docType == kDocDvi) {
        if (request.hOffset > InitialViewRequest::kAbsent) vs.hMargin = Round(request.hOffset * 10000.0);
        if (request.vOffset > InitialViewRequest::kAbsent) vs.vMargin = Round(request.vOffset * 10000.0);
    }
    if (request.workspaceColor < 0x1000000) vs.workspaceColor = request.workspaceColor;
    if (request.scrollBarFlags != 4) vs.scrollBarFlags = request.scrollBarFlags;
    if (request.showToolbar != 2) vs.showToolbar = request.showToolbar;
    if (request.showMainToolbar != 2) vs.showMainToolbar = request.showMainToolbar;
    if (request.glassEnabled >= 0) vs.glassEnabled = m_glassEnabled = request.glassEnabled;
    SetStatus(vs);
    ShowScrollBar();
    FindInitialViewTarget();
    // Outside a browser the layout bar comes back as it was left.
    if (LayoutBarHost* frame = LayoutBarHostOf(GetParentFrame()); !frame || !frame->IsInPlaceFrame()) {
        LoadLayoutBarStatusFromRegistry();
        if (m_layoutBar.show) ResetLayoutBar();
    }
}

void CVrViewerView::TargetPosition(ViewStatus& vs) {
    const InitialViewRequest& r = m_request;
    const int absent = -134217726;
    if (r.targetX >= absent) vs.scrollX = r.targetX;
    else if (r.targetXsp >= absent) vs.scrollX = int(m_resolutionX * double(r.targetXsp) * vs.DispMag * 2.111358663691712e-15);
    else vs.scrollX = m_originX;
    if (r.targetY >= absent) vs.scrollY = r.targetY;
    else if (r.targetYsp >= absent) vs.scrollY = int(m_resolutionY * double(r.targetYsp) * vs.DispMag * 2.111358663691712e-15);
    else vs.scrollY = m_originY;
}

void CVrViewerView::ShowInitialPage(int page, const String8& tag, bool toolbarRefresh) {
    m_initialViewEstablished = 1;
    ViewStatus vs;
    GetViewStatus(vs);
    m_page = -1;
    vs.page = page;
    TargetPosition(vs);
    vs.targetName = tag;
    SetStatus(vs);
    if (toolbarRefresh) UpdateToolbarStatus();
}

void CVrViewerView::FindInitialViewTarget() {
    if (!GetDocument() || !m_initialStatusApplied || m_initialViewEstablished) return;
    const InitialViewRequest& r = m_request;
    if (m_docType == kDocTiff || m_docType == kDocPs) {
        if (r.firstPage < 0) {
            if (m_pageCount > 0) ShowInitialPage(0, String8(), false);
        } else if (r.firstPage < m_pageCount) {
            ShowInitialPage(r.firstPage, String8(), true);
        }
        return;
    }
    if (m_docType != kDocDvi) return;
    ViewerDvi* reader = Reader();
    if (!reader) return;
    const bool hasTag = r.targetTag.GetLength() > 0;
    const int pages = reader->GetNPage();
    const bool complete = m_loadingComplete || reader->GetMode() != ModeScanning;
    if (!hasTag) {
        if (r.firstPage < 0 && pages > 0) ShowInitialPage(0, String8(), true);
    } else if (int p = reader->FindTagPage(r.targetTag); p >= 0 && p < pages) {
        ShowInitialPage(p, r.targetTag, true);
    }
    if (!m_initialViewEstablished && r.firstPage >= 0 && r.firstPage < pages) {
        // With a tag still to come the page is shown once and kept.
        if (!hasTag) {
            ShowInitialPage(r.firstPage, String8(), true);
        } else if (!m_tagShown) {
            m_tagShown = 1;
            ShowInitialPage(r.firstPage, String8(), true);
            m_initialViewEstablished = 0;
        }
        if (hasTag && complete) {
            m_initialViewEstablished = 1;
            AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_LINK_MISSING), AfxLoadString(IDS_VIEW_LINK_MISSING_CAPTION), MB_OK);
        }
    }
    if (!m_initialViewEstablished && complete && pages > 0) ShowInitialPage(0, String8(), true);
}

void CVrViewerView::RedrawIfAwaitedFile(const String8& address) {
    if (m_docType != kDocDvi || m_awaitedFile.GetLength() == 0) return;
    if (strcasecmp(address.c_str(), m_awaitedFile.c_str()) != 0) return;
    m_awaitedFile = String8();
    ForceRedraw();
}

// ------------------------------------------------------ window and controls

int CVrViewerView::SetWindow() {
    if (!m_setupPending) return 0;
    m_setupPending = 0;
    m_glassShown = 0;
    ViewStatus vs;
    GetViewStatus(vs);
    m_page = -1;
    m_pageSurface.width = -1;
    m_scrollX = -1;
    SetStatus(vs);
    if (QWidget* w = GetWidget()) {
        m_controls = std::make_unique<ViewControls>(
            w, m_isBrowser,
            [this](bool vertical, int code, int pos) {
                if (vertical) OnVScroll(UINT(code), UINT(pos));
                else OnHScroll(UINT(code), UINT(pos));
            },
            [this](unsigned id) {
                WndGuard life = GetGuard();
                OnCmdMsg(id, CN_COMMAND, nullptr, nullptr);
                if (!life.expired()) RequestCommandStates();
            });
        ConnectNavigationControls();
        m_windowCreated = 1;
        if (!m_pGlassWnd) {
            m_pGlassWnd = std::make_unique<CGlassWnd>(this);
            m_pGlassWnd->CreateGlass(this);
        }
    }
    ViewerDvi* reader = Reader();
    if (m_docType == kDocDvi && reader && reader->IsOpened()) m_pageCount = reader->GetNPage();
    else SetDownloadPos(0);
    if (m_windowCreated) SetFocus();
    return 1;
}

void CVrViewerView::GetPageAreaRect(RECT* rect) {
    RECT client{0, 0, 0, 0};
    if (IsWindow()) GetClientRect(&client);
    *rect = PageAreaRect(client, m_scrollBarFlags, m_showMainToolbar, m_topOffset);
}

void CVrViewerView::ShowScrollBar() {
    if (!GetDocument() || (m_isBrowser && m_setupPending) || !m_initialStatusApplied || !m_controls) return;
    RECT area;
    GetPageAreaRect(&area);
    if (area.bottom - area.top <= 0) return;
    m_controls->Layout(area, m_scrollBarFlags, m_showToolbar, m_showMainToolbar, m_topOffset, m_downloading);
    ViewStatus none;
    none.pageWidth = none.pageHeight = -1;
    SetScrollBars(none, true);
    Invalidate(TRUE);
}

void CVrViewerView::OnHScroll(UINT nSBCode, UINT nPos) {
    ViewStatus vs;
    GetViewStatus(vs);
    vs.scrollX = HScroll(int(nSBCode), int(nPos), vs.scrollX);
    SetStatus(vs);
    SetFocus();
}

void CVrViewerView::OnVScroll(UINT nSBCode, UINT nPos) {
    ViewStatus vs;
    GetViewStatus(vs);
    RECT area;
    GetPageAreaRect(&area);
    const PageScroll s = VScroll(int(nSBCode), int(nPos), vs.page, vs.scrollY, vs.pageHeight, m_pageCount,
                                 area.bottom - vs.topOffset, vs.originY, m_scrollSteps);
    if (nSBCode == kThumbTrack || nSBCode == kThumbPosition) ShowPageTip(s.page);
    else HidePageTip();
    vs.page = s.page;
    vs.scrollY = s.scrollY;
    SetStatus(vs);
    UpdateToolbarStatus();
    SetFocus();
}

void CVrViewerView::OnSize(UINT nType, int cx, int cy) {
    CView::OnSize(nType, cx, cy);
    if (LayoutBarHost* frame = LayoutBarHostOf(GetParentFrame());
        m_layoutBarPending && frame && frame->IsInPlaceFrame()) {
        m_layoutBarPending = 0;
        LoadLayoutBarStatusFromRegistry();
        if (m_layoutBar.show) ResetLayoutBar();
    }
    if (!m_windowCreated || m_setupPending) return;
    ViewStatus vs;
    GetViewStatus(vs);
    m_page = -1;
    m_scrollBarFlags = m_scrollBarFlags ? 0 : 3;
    SetStatus(vs);
    UpdateToolbarStatus();
}

void CVrViewerView::OnSetFocus(CWnd* pOldWnd) {
    CView::OnSetFocus(pOldWnd);
    if (CVrViewerDoc* doc = GetDocument(); doc && doc->IsReloadable()) doc->CheckReloadFile();
}

int CVrViewerView::SetRetrievingStatus() {
    // No glass over a page that goes.
    if (m_pGlassWnd && m_pGlassWnd->IsWindow()) m_pGlassWnd->ShowWindow(SW_HIDE);
    m_glassShown = 0;
    // The reader is about to be closed: nothing may draw from it.
    KillTimer(ID_PAGE_PARTS_TIMER);
    m_pageSurface.drawer.Close();
    m_glassSurface.drawer.Close();
    std::fill(m_partFlags, m_partFlags + kPartFlagCount, 1);
    m_initialStatusApplied = 0;
    m_initialViewEstablished = 0;
    m_tagShown = 0;
    m_page = -1;
    if (!m_frameMessage.IsEmpty()) SetFrameMessage(CString());
    SetStatusText("Retrieving...");
    return 1;
}

int CVrViewerView::DrawerSetting() {
    m_drawerReleased = 0;
    m_stockBitmap.CreateBitmap(1, 1, 1, 1, nullptr);
    for (CDC* dc : {&m_pageSurface.dc, &m_glassSurface.dc, &m_thumbDC}) {
        if (!dc->CreateCompatibleDC(nullptr)) {
            CString text;
            AfxFormatString1(text, IDS_VIEW_NO_MEMORY_FOR, "'PageDC or GlassPageDC or ThumbnailDC'");
            AfxShowMessageBox(nullptr, text, nullptr, MB_SYSTEMMODAL);
            m_drawerReleased = 1;
            return 0;
        }
    }
    const bool made = m_pageSurface.bitmap.CreateCompatibleBitmap(nullptr, 1, 1) &&
                      m_glassSurface.bitmap.CreateBitmap(1, 1, 1, 1, nullptr) &&
                      m_thumbBitmap.CreateCompatibleBitmap(nullptr, 1, 1);
    if (!made) {
        CString text;
        AfxFormatString1(text, IDS_VIEW_NO_MEMORY_FOR, "'hPageBitmap or hGlassPageBitmap or ThumbnailBitmap'");
        AfxShowMessageBox(nullptr, text, nullptr, MB_SYSTEMMODAL);
        DrawerClear();
        return 0;
    }
    m_pageSurface.dc.SelectObject(&m_pageSurface.bitmap);
    m_glassSurface.dc.SelectObject(&m_glassSurface.bitmap);
    m_thumbDC.SelectObject(&m_thumbBitmap);
    m_resolutionX = m_pageSurface.dc.GetDeviceCaps(LOGPIXELSX) * 10000;
    m_resolutionY = m_pageSurface.dc.GetDeviceCaps(LOGPIXELSY) * 10000;
    return 1;
}

int CVrViewerView::DrawerClear() {
    if (m_drawerReleased) return 0;
    m_drawerReleased = 1;
    m_pageSurface.drawer.Close();
    m_glassSurface.drawer.Close();
    m_thumbDrawer.Close();
    for (CDC* dc : {&m_pageSurface.dc, &m_glassSurface.dc, &m_thumbDC}) dc->SelectObject(&m_stockBitmap);
    m_pageSurface.bitmap.DeleteObject();
    m_glassSurface.bitmap.DeleteObject();
    m_thumbBitmap.DeleteObject();
    m_imageInfo.clear();
    m_imageBits.reset();
    return 1;
}

void CVrViewerView::OnViewToolbar() {
    m_showMainToolbar = m_showMainToolbarSetting = !m_showMainToolbar;
    m_topOffset = m_showMainToolbar ? 28 : 0;
    ShowScrollBar();
    ViewStatus vs;
    GetViewStatus(vs);
    m_page = -1;
    SetStatus(vs);
    UpdateToolbarStatus();
}

void CVrViewerView::OnUpdateViewToolbar(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_controls && m_controls->BandVisible() ? 2 : 0);
}

void CVrViewerView::SetDownloadRange(int total) {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this, total] { SetDownloadRange(total); });
    if (!m_controls) return;
    if (total != 0 && !m_downloading) {
        m_downloading = 1;
        ShowScrollBar();
    }
    m_controls->SetProgressRange(total);
}

void CVrViewerView::SetDownloadPos(int position) {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this, position] { SetDownloadPos(position); });
    if (!m_controls) return;
    m_controls->SetProgressPos(position);
    if (position == 0 && m_downloading) {
        m_downloading = 0;
        ShowScrollBar();
    }
}
