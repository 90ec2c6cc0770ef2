// The page view's progressive drawing of DVI pages: each surface (the page
// and the magnifier's page) is opened on the current page, then its text is
// drawn in slices and its pictures one at a time under the page-parts timer.
#include <algorithm>
#include <exception>


#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"

using namespace viewgeo;

namespace {
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kLinkColour = 0xFF0000;
}  // namespace

bool CVrViewerView::RecreateSurfaceBitmap(PageSurface& surface, int mono) {
    surface.drawer.Close();
    return RecreateBitmap(surface.dc, surface.bitmap, surface.width, surface.height, mono);
}

bool CVrViewerView::StartSurface(PageSurface& surface, ViewerDvi* reader, const String8& target) {
    surface.drawer.Close();
    surface.SetPartsDone();
    // An opened drawer clears the bitmap with the page's background itself.
    if (!reader || !surface.drawer.Open(surface.dc, *reader, m_page, fpreal4(surface.dispMag),
                                        MarginPixels(m_hMargin, m_resolutionX, surface.dispMag),
                                        MarginPixels(m_vMargin, m_resolutionY, surface.dispMag), kLinkColour,
                                        target)) {
        surface.dc.FillSolidRect(0, 0, surface.width, surface.height, kWhite);
        return false;
    }
    surface.drawer.SetGSBitsPerPixel(surface.gsBitsPerPixel);
    // The watermark lies under the page.
    surface.drawer.DrawWatermark(reader->GetWatermarkInstruction());
    surface.textPassEnded = 0;
    surface.marksInverted = 0;
    surface.textDone = surface.picturesTried = surface.picturesDone = 0;
    return true;
}

void CVrViewerView::DrawFailed(PageSurface& surface, const char* message) {
    surface.drawer.Close();
    surface.SetPartsDone();
    // Once per page: the glass's failure of the same page says nothing new.
    if (m_failedPage == m_page) return;
    m_failedPage = m_page;
    if (message) {
        CString text("SetStatus에서 발생한 오류\n");
        text += CString(message).Left(255);
        ReportToUserAndLog(text);
    } else {
        AppendErrorLog(AfxLoadString(IDS_VIEW_UNDEFINED_FORMAT));
    }
}

int CVrViewerView::DrawTextSlice(PageSurface& surface, Clock::duration budget) {
    const Clock::time_point start = Clock::now();
    do {
        if (!surface.drawer.IsWorking()) {
            surface.textDone = 1;
            break;
        }
        try {
            if (surface.drawer.Draw(surface.sliceLength)) {
                surface.textDone = 1;
                surface.textPassEnded = 1;
                if (&surface == &m_glassSurface) DrawGlassHighlights();
            }
        } catch (const std::exception& e) {
            DrawFailed(surface, e.what());
        } catch (...) {
            DrawFailed(surface, nullptr);
        }
    } while (!surface.textDone && Clock::now() - start < budget);
    if (&surface == &m_pageSurface) RepaintDrawnPage(surface.textDone != 0);
    return 1;
}

void CVrViewerView::RepaintDrawnPage(bool now) {
    m_pageRepaintPending = 1;
    if (now || Clock::now() - m_lastPageRepaint >= kFrame) FlushPageRepaint();
}

void CVrViewerView::FlushPageRepaint() {
    if (!m_pageRepaintPending) return;
    m_pageRepaintPending = 0;
    m_lastPageRepaint = Clock::now();
    // The page's visible part: the band, the workspace and the bars stay.
    RECT area;
    GetPageAreaRect(&area);
    const RECT r{0, m_topOffset, std::min<int>(area.right, m_pageSurface.width - m_scrollX),
                 std::min<int>(area.bottom, m_topOffset + m_pageSurface.height - m_scrollY)};
    InvalidateRect(&r, FALSE);
}

void CVrViewerView::PrepareGlass() {
    if (!m_glassStale || !m_glassEnabled || m_drawerReleased) return;
    m_glassStale = 0;
    ViewerDvi* reader = Reader();
    const bool pageValid = reader && m_initialViewEstablished && m_page >= 0 && m_page < m_pageCount;
    if (!StartSurface(m_glassSurface, pageValid ? reader : nullptr, String8())) return;
    // Shown now: its text at once, its pictures under the timer.
    DrawTextSlice(m_glassSurface, Clock::duration::max());
    if (m_windowCreated && !m_glassSurface.PartsDone()) {
        m_slowRetries = 0;
        SetTimer(ID_PAGE_PARTS_TIMER, 1);
    }
}

void CVrViewerView::DrawPictures(PageSurface& surface, int& pictureDrawn, int& reachedEnd) {
    pictureDrawn = 0;
    reachedEnd = 1;
    bool undrawnLeft = false;
    for (auto it = surface.drawer.GetPictList().Begin(); it; it.Next()) {
        VrDviDrawer::PictInfo* p = it.Value().get();
        if (!p || p->drawn != 0) continue;
        const int r = DrawPicture(surface.drawer, *p);
        if (r > 0) {
            p->drawn = 1;
            pictureDrawn = 1;
            if (&surface == &m_pageSurface) RepaintDrawnPage(false);
            // Stop the walk; what follows waits for the next tick.
            for (it.Next(); it; it.Next())
                if (it.Value() && it.Value()->drawn == 0) undrawnLeft = true;
            reachedEnd = 0;
            break;
        }
        if (r < 0) p->drawn = -1;  // never drawable: no more retries
        else undrawnLeft = true;
    }
    if (!undrawnLeft) surface.picturesDone = 1;
}

int CVrViewerView::DrawPicture(VrDviDrawer& drawer, VrDviDrawer::PictInfo& picture) {
    if (drawer.DrawPicture(&picture)) return 1;
    // A file that is there but cannot be drawn never will be; a missing one
    // may still come while the document is being fetched.
    if (auto in = drawer.OpenPictFileStream(&picture, nullptr)) {
        drawer.ClosePictFileStream(&picture, std::move(in));
        return -1;
    }
    CVrViewerDoc* doc = GetDocument();
    if (!doc || !doc->IsWorkerRunning()) return -1;
    // The page waits for this side file; its arrival redraws the page.
    if (FetchedFile* file = doc->FindFetchedFile(picture.fileName, 0)) m_awaitedFile = file->GetFullAddress();
    return 0;
}

int CVrViewerView::DrawNonDrawnPartOfPage() {
    ViewerDvi* reader = Reader();
    if (m_docType != kDocDvi || !reader || !reader->IsOpened()) return 0;
    PageSurface& page = m_pageSurface;
    PageSurface& glass = m_glassSurface;
    if (!page.textDone) return DrawTextSlice(page, kTick);
    if (!page.picturesTried || (glass.textDone && glass.picturesDone)) {
        const int tried = page.picturesTried;
        int drawn = 0, end = 1;
        DrawPictures(page, drawn, end);
        if (!tried) {
            if (end) page.picturesTried = 1;
            return 1;
        }
    }
    if (m_glassEnabled && !glass.textDone) return DrawTextSlice(glass, Clock::duration::zero());
    if (!m_glassEnabled) {
        glass.textDone = glass.picturesTried = 1;
        return 0;
    }
    if (glass.picturesTried && (!page.textDone || !page.picturesDone || !glass.textDone)) return 0;
    const int tried = glass.picturesTried;
    int drawn = 0, end = 1;
    DrawPictures(glass, drawn, end);
    if (!tried) {
        if (end) glass.picturesTried = 1;
        if (end) DrawGlassHighlights();
        return 1;
    }
    return 0;
}

void CVrViewerView::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == ID_SELECTION_SCROLL_TIMER) return OnSelectionScrollTimer();
    if (nIDEvent != ID_PAGE_PARTS_TIMER) return CView::OnTimer(nIDEvent);
    const int* f = m_partFlags;
    if (std::find(f, f + kPartFlagCount, 0) != f + kPartFlagCount) DrawNonDrawnPartOfPage();
    // What the page's last slices drew shows when it is complete or a frame
    // has passed.
    if (m_pageRepaintPending && (m_pageSurface.PartsDone() || Clock::now() - m_lastPageRepaint >= kFrame))
        FlushPageRepaint();
    if (std::find(f, f + kPartFlagCount, 0) == f + kPartFlagCount) {
        KillTimer(ID_PAGE_PARTS_TIMER);
    } else if (f[kPageTextDone] && f[kPagePicturesTried] && f[kGlassTextDone] && f[kGlassPicturesTried]) {
        if (!m_slowRetries) SetTimer(ID_PAGE_PARTS_TIMER, 100);
        m_slowRetries = 1;
        return;
    }
    m_slowRetries = 0;
}

