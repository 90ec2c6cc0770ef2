#include "viewer/view/PageSet.h"

#include <algorithm>

#include "dvilib/VrDvi.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"

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
    m_view.SetStatusDvi(vs);
}

void DviPages::ApplyRequest(const InitialViewRequest& request, ViewStatus& vs) const {
    if (request.hOffset > InitialViewRequest::kAbsent) vs.hMargin = viewgeo::Round(request.hOffset * 10000.0);
    if (request.vOffset > InitialViewRequest::kAbsent) vs.vMargin = viewgeo::Round(request.vOffset * 10000.0);
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
        const char* text = v.m_busy              ? (v.m_renderState == -1 ? "Waiting..." : "Done")
                           : v.m_pageImageFailed ? v.m_statusText.c_str()
                                                 : NoImageText();
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
    m_view.SetStatusTiff(vs);
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

void PsPages::SetStatus(ViewStatus& vs) {
    m_view.SetStatusPs(vs);
}

void PsPages::Print() {
    m_view.PrintPostScriptDocument();
}

void RawPsPages::Print() {
    m_view.PrintPostScriptDocument();
}
