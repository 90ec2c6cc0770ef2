#include "viewer/view/PageSet.h"

#include <tiffio.h>

#include <algorithm>
#include <exception>

#include "dvilib/VrDvi.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/TiffPage.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"

using namespace viewgeo;

std::unique_ptr<PageSet> MakePageSet(int kind, CVrViewerView& view) {
    switch (kind) {
    case kDocDvi:
        return std::make_unique<DviPages>(view);
    case kDocTiff:
        return std::make_unique<TiffPages>(view);
    case kDocPsRaw:
        return std::make_unique<RawPsPages>(view);
    case kDocPs:
        return std::make_unique<PsPages>(view);
    case kDocGzip:
        return std::make_unique<PackedPages>(view);
    default:
        return std::make_unique<PageSet>(view);
    }
}

// ------------------------------------------------------------------ all kinds

void PageSet::PageCountChanged(int, int) {
    if (!m_view.m_initialViewEstablished) m_view.FindInitialViewTarget();
}

// --------------------------------------------------------------------- DVI

void DviPages::FillStatus(ViewStatus& vs) const {
    CVrViewerView& v = m_view;
    vs.GlassDispMag = v.m_glassSurface.dispMag;
    vs.paper = v.m_paper;
    vs.glassPageWidth = v.m_glassSurface.width;
    vs.glassPageHeight = v.m_glassSurface.height;
    vs.EnableColor = v.m_EnableColor;
    vs.hMargin = v.m_hMargin;
    vs.vMargin = v.m_vMargin;
    vs.targetName = String8("");
    vs.GSScreenBitsPerPixel = v.m_pageSurface.gsBitsPerPixel;
    vs.GlassGSBitsPerPixel = v.m_glassSurface.gsBitsPerPixel;
}

void DviPages::SetStatus(ViewStatus& vs) {
    CVrViewerView& v = m_view;
    ViewerDvi* reader = v.Reader();
    if (!reader) return;
    for (ViewerDviDrawer* d : {&v.m_pageSurface.drawer, &v.m_glassSurface.drawer, &v.m_thumbDrawer})
        d->SetDocument(v.GetDocument());
    v.m_pageCount = reader->GetNPage();
    ViewStatus old;
    v.GetViewStatus(old);

    // Paper: the page's own from its specials; else, without a paper
    // special, the document's widest and tallest pages with an inch all
    // round; else the paper the specials left in force.
    PaperSize pagePaper = vs.paper;
    if (vs.page >= 0 && reader->GetPagePaper(vs.page, pagePaper)) {
        vs.paper = pagePaper;
    } else if (reader->IsPaperBySpecial()) {
        vs.paper = reader->GetPaper();
    } else if (v.m_showToolbar) {
        const double magRaw = int32_t(reader->GetAbsMag());
        if (magRaw > 0 && reader->GetDviDen() > 0) {
            const double k = double(reader->GetDviNum()) / reader->GetDviDen() * magRaw * 1e-8;
            const double w = reader->GetPageWidthDvi() * k, h = reader->GetPageHeightDvi() * k;
            if (w > 0 && h > 0)
                vs.paper =
                    PaperSize(Round((w + 508000 / magRaw) * 10000), Round((h + 508000 / magRaw) * 10000), 0);
        }
    }
    v.m_paper = vs.paper;
    v.m_DispMagSpec = vs.DispMagSpec;
    v.m_scrollBarFlags = vs.scrollBarFlags;
    v.m_showToolbar = vs.showToolbar;
    v.m_showMainToolbar = vs.showToolbar ? vs.showMainToolbar : 0;
    v.m_topOffset = v.m_showMainToolbar ? kBandHeight : 0;

    int paperW = 0, paperH = 0;
    v.m_paper.GetWidth(&paperW);
    v.m_paper.GetHeight(&paperH);

    int W = 0, H = 0;
    if (!v.m_windowCreated) {
        v.m_pageSurface.dispMag = ClampDispMag(vs.DispMag);
    } else {
        if (old.scrollBarFlags != v.m_scrollBarFlags || old.showToolbar != v.m_showToolbar ||
            old.showMainToolbar != v.m_showMainToolbar)
            v.ShowScrollBar();
        RECT area;
        v.GetPageAreaRect(&area);
        v.m_areaRight = area.right;
        v.m_areaBottom = area.bottom;
        W = area.right - area.left;
        H = area.bottom - v.m_topOffset;
        v.m_pageSurface.dispMag = FitDispMagDvi(v.m_DispMagSpec, vs.DispMag, paperW, paperH, v.m_resolutionX,
                                                v.m_resolutionY, W, H);
    }
    const int newW = BitmapSide(paperW, v.m_pageSurface.dispMag, v.m_resolutionX);
    const int newH = BitmapSide(paperH, v.m_pageSurface.dispMag, v.m_resolutionY);
    const bool tooLarge = newW < 0 || newH < 0;
    v.m_pageSurface.width = std::max(0, newW);
    v.m_pageSurface.height = std::max(0, newH);
    if (v.m_windowCreated)
        v.ApplyScrollPosition(vs, W, H);
    else
        v.m_scrollX = vs.scrollX, v.m_scrollY = vs.scrollY;

    v.m_glassSurface.dispMag = ClampDispMag(vs.GlassDispMag > 0 ? vs.GlassDispMag : v.m_glassSurface.dispMag);
    v.m_glassSurface.width = std::max(0, BitmapSide(paperW, v.m_glassSurface.dispMag, v.m_resolutionX));
    v.m_glassSurface.height = std::max(0, BitmapSide(paperH, v.m_glassSurface.dispMag, v.m_resolutionY));
    v.m_EnableColor = vs.EnableColor;
    v.m_hMargin = vs.hMargin;
    v.m_vMargin = vs.vMargin;
    v.m_pageSurface.gsBitsPerPixel = vs.GSScreenBitsPerPixel;
    v.m_glassSurface.gsBitsPerPixel = vs.GlassGSBitsPerPixel;
    v.m_originX = vs.originX;
    v.m_originY = vs.originY;
    v.m_workspaceColor = vs.workspaceColor;
    v.m_page = Clamp(vs.page, v.m_pageCount - 1);

    // The page bitmap.
    if (v.m_pageSurface.dispMag != old.DispMag || v.m_pageSurface.width != old.pageWidth ||
        v.m_pageSurface.height != old.pageHeight || tooLarge) {
        if (v.m_drawerReleased || tooLarge || !v.RecreateSurfaceBitmap(v.m_pageSurface, 0)) {
            v.m_pageSurface.drawer.Close();
            CString text;
            AfxFormatString1(text, IDS_VIEW_NO_MEMORY_FOR, "'hPageBitmap'");
            v.ReportToUserAndLog(text);
            v.m_pageSurface.width = v.m_pageSurface.height = 0;
            v.m_pageSurface.SetPartsDone();
            return;
        }
    }
    // The glass bitmap.
    const bool glassChanged =
        v.m_EnableColor != old.EnableColor || v.m_glassSurface.dispMag != old.GlassDispMag ||
        v.m_glassSurface.width != old.glassPageWidth || v.m_glassSurface.height != old.glassPageHeight;
    if (v.m_glassEnabled && glassChanged && !v.m_drawerReleased) {
        bool made = v.RecreateSurfaceBitmap(v.m_glassSurface, !v.m_EnableColor);
        if (!made && v.m_EnableColor && v.RecreateSurfaceBitmap(v.m_glassSurface, 1)) {
            made = true;
            v.m_EnableColor = 0;
            AfxShowMessageBox(&v, AfxLoadString(IDS_VIEW_GLASS_MONOCHROME), AfxLoadString(IDS_VIEW_APP_TITLE),
                              MB_SYSTEMMODAL | MB_ICONINFORMATION);
        }
        if (!made) {
            CString text;
            AfxFormatString1(text, IDS_VIEW_NO_MEMORY_FOR, "'hGlassPageBitmap'");
            v.ReportToUserAndLog(text);
            v.m_glassEnabled = 0;
        }
    }

    const bool pageValid = v.m_page >= 0 && v.m_page < v.m_pageCount;
    const bool hasTarget = !vs.targetName.IsNull() && vs.targetName.GetLength() > 0;
    const String8 target = hasTarget ? vs.targetName : String8();
    bool timerNeeded = false;
    bool drewPage = false;
    if (v.m_pageSurface.dispMag != old.DispMag || v.m_pageSurface.width != old.pageWidth ||
        v.m_pageSurface.height != old.pageHeight || v.m_hMargin != old.hMargin ||
        v.m_vMargin != old.vMargin || v.m_page != old.page ||
        v.m_pageSurface.gsBitsPerPixel != old.GSScreenBitsPerPixel || hasTarget) {
        drewPage = true;
        v.m_failedPage = -1;
        if (!v.m_initialViewEstablished || !pageValid) {
            v.StartSurface(v.m_pageSurface, nullptr, target);
            v.WriteWaiting(v.m_pageSurface.dc);
        } else if (v.StartSurface(v.m_pageSurface, reader, target)) {
            v.NameFallbackFont(*reader);
            if (v.m_windowCreated && !hasTarget) {
                // No blank page: it first shows when its text is drawn or a
                // frame has passed; slices under the timer draw the rest.
                v.DrawTextSlice(v.m_pageSurface, CVrViewerView::kFrame);
                v.m_pageRepaintPending = 0;
                v.m_lastPageRepaint = CVrViewerView::Clock::now();
            } else {
                // With a target (its position is needed now) or before the
                // window exists the text is drawn at once.
                try {
                    v.m_pageSurface.drawer.Draw(-1);
                    v.m_pageSurface.textPassEnded = 1;
                    v.m_pageSurface.textDone = 1;
                } catch (const std::exception& e) {
                    v.DrawFailed(v.m_pageSurface, e.what());
                } catch (...) {
                    v.DrawFailed(v.m_pageSurface, nullptr);
                }
            }
            timerNeeded = true;
        }
    }
    const bool glassRedraw = glassChanged || v.m_hMargin != old.hMargin || v.m_vMargin != old.vMargin ||
                             v.m_page != old.page ||
                             v.m_glassSurface.gsBitsPerPixel != old.GlassGSBitsPerPixel;
    if (v.m_glassEnabled && !v.m_drawerReleased && glassRedraw) {
        // The magnifier's page is drawn when the glass is next shown.
        v.m_glassSurface.drawer.Close();
        v.m_glassSurface.SetPartsDone();
        v.m_glassStale = 1;
        if (v.m_glassShown) v.PrepareGlass();
    }
    if (timerNeeded && v.m_windowCreated) {
        v.m_slowRetries = 0;
        v.SetTimer(ID_PAGE_PARTS_TIMER, 1);
    }

    // A target: scroll so that it sits 20 pixels inside the page area.
    if (hasTarget && v.m_pageSurface.drawer.IsTagFound()) {
        const int mx = v.m_pageSurface.drawer.GetTaghPos(), my = v.m_pageSurface.drawer.GetTagvPos();
        if (W * 2 / 3 + v.m_scrollX < mx)
            v.m_scrollX = mx - 20;
        else if (mx < v.m_scrollX)
            v.m_scrollX = v.m_originX;
        v.m_scrollX = Clamp(v.m_scrollX, v.m_pageSurface.width - W);
        v.m_scrollY = Clamp(my - 20, v.m_pageSurface.height - H);
        v.Invalidate(FALSE);
    }

    if (drewPage || v.m_scrollX != old.scrollX || v.m_scrollY != old.scrollY ||
        v.m_workspaceColor != old.workspaceColor || v.m_scrollBarFlags != old.scrollBarFlags ||
        v.m_showToolbar != old.showToolbar || v.m_showMainToolbar != old.showMainToolbar)
        v.Invalidate(FALSE);
    v.SetScrollBars(old, false);
}

void DviPages::ApplyRequest(const InitialViewRequest& request, ViewStatus& vs) const {
    if (request.hOffset > InitialViewRequest::kAbsent) vs.hMargin = Round(request.hOffset * 10000.0);
    if (request.vOffset > InitialViewRequest::kAbsent) vs.vMargin = Round(request.vOffset * 10000.0);
}

void DviPages::FindInitialViewTarget() {
    CVrViewerView& v = m_view;
    const InitialViewRequest& r = v.m_request;
    ViewerDvi* reader = v.Reader();
    if (!reader) return;
    const bool hasTag = r.targetTag.GetLength() > 0;
    const int pages = reader->GetNPage();
    const bool complete = v.m_loadingComplete || reader->GetMode() != ModeScanning;
    if (!hasTag) {
        if (r.firstPage < 0 && pages > 0) v.ShowInitialPage(0, String8(), true);
    } else if (int p = reader->FindTagPage(r.targetTag); p >= 0 && p < pages) {
        v.ShowInitialPage(p, r.targetTag, true);
    }
    if (!v.m_initialViewEstablished && r.firstPage >= 0 && r.firstPage < pages) {
        // With a tag still to come the page is shown once and kept.
        if (!hasTag) {
            v.ShowInitialPage(r.firstPage, String8(), true);
        } else if (!v.m_tagShown) {
            v.m_tagShown = 1;
            v.ShowInitialPage(r.firstPage, String8(), true);
            v.m_initialViewEstablished = 0;
        }
        if (hasTag && complete) {
            v.m_initialViewEstablished = 1;
            AfxShowMessageBox(&v, AfxLoadString(IDS_VIEW_LINK_MISSING),
                              AfxLoadString(IDS_VIEW_LINK_MISSING_CAPTION), MB_OK);
        }
    }
    if (!v.m_initialViewEstablished && complete && pages > 0) v.ShowInitialPage(0, String8(), true);
}

void DviPages::PageCountChanged(int previous, int count) {
    if (!m_view.m_initialViewEstablished) return PageSet::PageCountChanged(previous, count);
    // The paper may follow from the document's end, now known: the same
    // record redraws nothing unless the page size changed.
    ViewStatus vs;
    m_view.GetViewStatus(vs);
    m_view.SetStatus(vs);
}

bool DviPages::Paint(CDC& dc, const RECT& area, const ViewStatus& vs) {
    CVrViewerView& v = m_view;
    ViewerDvi* reader = v.Reader();
    if (!reader || vs.page < 0 || vs.page >= reader->GetNPage() || v.m_pageSurface.width <= 0) return false;
    v.PaintFrame(dc, area, vs, false);
    // The visible part of the page; the workspace below it stays.
    v.m_pageSurface.CopyTo(dc, 0, vs.topOffset, area.right, area.bottom - vs.topOffset, vs.scrollX,
                           vs.scrollY);
    // The rule and corner go over the page's edge as well.
    v.PaintFrame(dc, area, vs, false);
    v.DrawTextHighlights(dc, vs);
    v.PaintOverlays(dc, area, vs);
    v.PaintNotes(dc, vs);
    return true;
}

void DviPages::Print() {
    m_view.PrintDviDocument();
}

// ------------------------------------------------------ TIFF and PDF images

void ImagePages::Start() {
    m_view.m_imageInfo.clear();
    m_view.m_imageBits.reset();
    // The settings these types saved (the view was made as DVI).
    m_view.LoadViewSettings();
}

void ImagePages::FindInitialViewTarget() {
    CVrViewerView& v = m_view;
    const InitialViewRequest& r = v.m_request;
    if (r.firstPage < 0) {
        if (v.m_pageCount > 0) v.ShowInitialPage(0, String8(), false);
    } else if (r.firstPage < v.m_pageCount) {
        v.ShowInitialPage(r.firstPage, String8(), true);
    }
}

void ImagePages::PageCountChanged(int previous, int count) {
    CVrViewerView& v = m_view;
    if (v.m_initialViewEstablished && (count < previous || (previous <= v.m_page && v.m_page < count)))
        v.ForceRedraw();
    if (!v.m_initialViewEstablished) v.FindInitialViewTarget();
}

bool ImagePages::Paint(CDC& dc, const RECT& area, const ViewStatus& vs) {
    CVrViewerView& v = m_view;
    if (vs.page < 0 || vs.page >= v.m_pageCount) return false;
    v.PaintFrame(dc, area, vs, true);
    if (v.m_imageBits && !v.m_imageInfo.empty()) {
        const int w = std::min<int>(area.right, vs.pageWidth - vs.scrollX);
        const int h = std::min<int>(area.bottom - vs.topOffset, vs.pageHeight - vs.scrollY);
        if (w > 0 && h > 0) {
            const int saved = dc.SaveDC();
            dc.IntersectClipRect(0, vs.topOffset, w, vs.topOffset + h);
            v.StretchPageImage(dc, -vs.scrollX, vs.topOffset - vs.scrollY);
            dc.RestoreDC(saved);
        }
    } else {
        CFont font;
        font.CreateFont(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
        CFont* old = dc.SelectObject(&font);
        const CString none = NoImageTextId() ? AfxLoadString(NoImageTextId()) : CString();
        const char* text = v.m_busy              ? (v.m_renderState == -1 ? "Waiting..." : "Done")
                           : v.m_pageImageFailed ? v.m_statusText.c_str()
                                                 : none.c_str();
        dc.TextOut(10, vs.topOffset + 10, text);
        dc.SelectObject(old);
    }
    v.PaintOverlays(dc, area, vs);
    return true;
}

void TiffPages::FillStatus(ViewStatus& vs) const {
    vs.rotation = m_view.m_rotation;
    vs.tiffWidth = m_view.m_tiffWidth;
    vs.tiffHeight = m_view.m_tiffHeight;
}

void TiffPages::SetStatus(ViewStatus& vs) {
    CVrViewerView& v = m_view;
    ViewStatus old;
    v.GetViewStatus(old);
    v.m_page = Clamp(vs.page, v.m_pageCount);
    v.m_rotation = vs.rotation;
    v.m_tiffWidth = v.m_tiffHeight = 0;
    const bool pageValid = v.m_initialViewEstablished && v.m_page < v.m_pageCount;
    CVrViewerDoc* doc = v.GetDocument();
    const String8 file = doc ? doc->GetTempFileName() : String8();
    if (pageValid && !file.IsNull()) {
        if (TIFF* tif = TIFFOpen(file.c_str(), "r")) {
            uint32_t w = 0, h = 0;
            if (TIFFSetDirectory(tif, tdir_t(v.m_page)) && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) &&
                TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h)) {
                v.m_tiffWidth = int(std::min<uint32_t>(w, kTiffMaxSide));
                v.m_tiffHeight = int(std::min<uint32_t>(h, kTiffMaxSide));
                if (v.m_rotation == 1 || v.m_rotation == 3) std::swap(v.m_tiffWidth, v.m_tiffHeight);
            }
            TIFFClose(tif);
        }
    }
    v.m_DispMagSpec = vs.DispMagSpec;
    v.m_scrollBarFlags = vs.scrollBarFlags;
    int W = 0, H = 0;
    if (v.m_windowCreated) {
        if (old.scrollBarFlags != v.m_scrollBarFlags) v.ShowScrollBar();
        RECT area;
        v.GetPageAreaRect(&area);
        W = area.right - area.left;
        H = area.bottom - v.m_topOffset;
        v.m_pageSurface.dispMag =
            FitDispMagTiff(v.m_DispMagSpec, vs.DispMag, v.m_tiffWidth, v.m_tiffHeight, W, H);
    } else {
        v.m_pageSurface.dispMag = ClampDispMag(vs.DispMag);
    }
    v.m_pageSurface.width = int(v.m_pageSurface.dispMag * double(v.m_tiffWidth) * 0.0001 + 0.5);
    v.m_pageSurface.height = int(v.m_pageSurface.dispMag * double(v.m_tiffHeight) * 0.0001 + 0.5);
    if (v.m_windowCreated)
        v.ApplyScrollPosition(vs, W, H);
    else
        v.m_scrollX = vs.scrollX, v.m_scrollY = vs.scrollY;
    v.m_originX = vs.originX;
    v.m_originY = vs.originY;
    v.m_workspaceColor = vs.workspaceColor;
    const bool redraw =
        v.m_pageSurface.dispMag != old.DispMag || v.m_rotation != old.rotation || v.m_page != old.page;
    // Full-resolution blocks serve every zoom they are decoded for: a zoom
    // change alone decodes again only where the reduced grey block is due.
    bool sameImage = false;
    if (v.m_imageBits && v.m_imageInfo.size() >= sizeof(BITMAPINFOHEADER) && v.m_page == old.page &&
        v.m_rotation == old.rotation) {
        const int bits = reinterpret_cast<const BITMAPINFOHEADER*>(v.m_imageInfo.data())->biBitCount;
        sameImage = bits == 32 || (bits == 1 && v.m_pageSurface.dispMag >= 10000);
    }
    if (redraw && !sameImage && pageValid && !file.IsNull()) {
        v.m_imageBits.reset();
        v.m_imageInfo.assign(kTiffPageInfoBytes, 0);
        std::string failure;
        if (TIFF* tif = TIFFOpen(file.c_str(), "r")) {
            if (TIFFSetDirectory(tif, tdir_t(v.m_page))) {
                v.m_imageBits = DecodeTiffPage(tif, reinterpret_cast<BITMAPINFO*>(v.m_imageInfo.data()),
                                               &v.m_rotation, &v.m_pageSurface.dispMag);
                if (!v.m_imageBits) failure = TiffPageFailure(tif, v.m_page, v.m_pageSurface.dispMag);
            }
            TIFFClose(tif);
        }
        v.m_pageImageFailed = !failure.empty();
        // Like a failed load: the view and the status bar say why.
        if (v.m_pageImageFailed) {
            v.SetStatusText(failure.c_str());
            if (doc) doc->AppendErrorText(("\n" + failure).c_str());
            if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd()))
                frame->SetMessageText(failure.c_str());
        }
    }
    if (redraw || v.m_workspaceColor != old.workspaceColor || v.m_scrollBarFlags != old.scrollBarFlags ||
        (v.m_windowCreated && (v.m_scrollX != old.scrollX || v.m_scrollY != old.scrollY)))
        v.Invalidate(FALSE);
    v.SetScrollBars(old, false);
}

void TiffPages::Print() {
    m_view.PrintTiffDocument();
}

void PsPages::Start() {
    ImagePages::Start();
    m_view.CheckGhostscriptInstalled();
}

void PsPages::FillStatus(ViewStatus& vs) const {
    vs.GSScreenBitsPerPixel = m_view.m_pageSurface.gsBitsPerPixel;
    vs.rotation = m_view.m_rotation;
}

void PsPages::Print() {
    m_view.PrintPostScriptDocument();
}

void RawPsPages::Print() {
    m_view.PrintPostScriptDocument();
}
