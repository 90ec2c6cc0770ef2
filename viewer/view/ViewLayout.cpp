// The page view's smaller services: the layout bar with the page-size table
// that lays out its thumbnail strip and the thumbnails themselves, the
// position pane, the page slider, the Ghostscript check and the first run.
#include <tiffio.h>

#include <QCursor>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <exception>

#include "dvilib/VrDvi.h"
#include "platform/ghostscript/GS.h"
#include "platform/sys/Registry.h"
#include "platform/sys/ShellOpen.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/UiDispatcher.h"
#include "platform/ui/WinApp.h"
#include "viewer/prefs/FileAssocPPage.h"
#include "viewer/view/LayoutBarHost.h"
#include "viewer/res/FrameIds.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/PageSliderDlg.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/TiffPage.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kLinkColour = 0xFF0000;

// Thumbnail sizes of a TIFF file's first `count` pages, read in one pass.
std::vector<std::pair<int, int>> TiffThumbnailSizes(const char* file, int count, int rotation) {
    std::vector<std::pair<int, int>> sizes(size_t(count), {0, 0});
    TIFF* tif = file ? TIFFOpen(file, "r") : nullptr;
    if (!tif) return sizes;
    for (int i = 0; i < count; ++i) {
        uint32_t w = 0, h = 0;
        if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h)) {
            const auto side = [](uint32_t v) {
                v = std::min<uint32_t>(v, kTiffMaxSide);
                return v ? std::max(1, int(std::trunc(v * double(CVrViewerView::kThumbnailDispMag) * 0.0001 + 0.5))) : 0;
            };
            int tw = side(w), th = side(h);
            if (rotation == 1 || rotation == 3) std::swap(tw, th);
            sizes[size_t(i)] = {tw, th};
        }
        if (!TIFFReadDirectory(tif)) break;
    }
    TIFFClose(tif);
    return sizes;
}

}  // namespace

void CVrViewerView::BuildPageSizeTable() {
    ++m_pageSizeSerial;
    m_pageSizeTable.clear();
    CVrViewerDoc* doc = GetDocument();
    if (!doc || m_pageCount <= 0) return;
    const int count = m_pageCount;
    std::vector<std::pair<int, int>> sizes;
    if (m_docType == kDocPs) {
        // Every page at the current page's size, at 10 % of the current zoom.
        const int percent = std::max(1, (m_pageSurface.dispMag + 50) / 100);
        const int w = int(100.0 / percent * m_pageSurface.width * 0.1);
        const int h = int(100.0 / percent * m_pageSurface.height * 0.1);
        sizes.assign(size_t(count), {w, h});
    } else if (m_docType == kDocTiff) {
        const String8 file = doc->GetTempFileName();
        sizes = TiffThumbnailSizes(file.IsNull() ? nullptr : file.c_str(), count, m_rotation);
    } else {
        // Each page on its own paper; pages the reader has no entry for on
        // the view's.
        ViewerDvi* reader = Reader();
        sizes.resize(size_t(count));
        for (int i = 0; i < count; ++i) {
            PaperSize paper = m_paper;
            if (reader) reader->GetPagePaper(i, paper);
            int paperW = 0, paperH = 0;
            paper.GetWidth(&paperW);
            paper.GetHeight(&paperH);
            sizes[size_t(i)] = {std::max(0, viewgeo::BitmapSide(paperW, kThumbnailDispMag, m_resolutionX)),
                                std::max(0, viewgeo::BitmapSide(paperH, kThumbnailDispMag, m_resolutionY))};
        }
    }
    m_pageSizeTable.resize(size_t(count));
    int top = kThumbnailGap;
    for (int i = 0; i < count; ++i) {
        PageSizeEntry& e = m_pageSizeTable[size_t(i)];
        e.zoom = kThumbnailDispMag;
        e.page = i;
        e.width = sizes[size_t(i)].first;
        e.height = sizes[size_t(i)].second;
        e.left = kThumbnailGap;
        e.top = top;
        e.right = e.left + e.width;
        e.bottom = e.top + e.height;
        // The page number's label lies in the space below the thumbnail.
        top = e.bottom + thumbgeo::kLabelHeight + kThumbnailGap;
    }
}

bool CVrViewerView::ThumbnailsReady() const {
    return !m_pageSizeTable.empty() && m_windowCreated && !m_busy && !m_drawerReleased;
}

const BITMAPINFO* CVrViewerView::GetThumbnailInfo() const {
    return m_thumbInfo.empty() ? nullptr : reinterpret_cast<const BITMAPINFO*>(m_thumbInfo.data());
}

int CVrViewerView::CreateThumbnail(int page) {
    CVrViewerDoc* doc = GetDocument();
    if (!doc || m_drawerReleased || page < 0 || page >= int(m_pageSizeTable.size())) return 0;
    const PageSizeEntry e = m_pageSizeTable[size_t(page)];
    if (e.width <= 0 || e.height <= 0) return 0;
    if (m_docType == kDocDvi) {
        VrDvi* reader = Reader();
        if (!reader || page >= reader->GetNPage()) return 0;
        m_thumbDrawer.Close();
        if (!RecreateBitmap(m_thumbDC, m_thumbBitmap, e.width, e.height, 0)) {
            if (!m_thumbMemoryReported) {
                m_thumbMemoryReported = 1;
                ReportToUserAndLog(AfxLoadString(IDS_VIEW_THUMBNAIL_MEMORY));
            }
            return 0;
        }
        m_thumbDC.FillSolidRect(0, 0, e.width, e.height, kWhite);
        // The reader keeps the screen's devices: a thumbnail leaves them as
        // they were.
        VrDvi::DeviceSlot savedDevices[VrDvi::kDeviceSlots];
        for (int i = 0; i < VrDvi::kDeviceSlots; ++i) savedDevices[i] = reader->GetDeviceSlot(i);
        int made = 0;
        if (m_thumbDrawer.Open(m_thumbDC, *reader, page, fpreal4(e.zoom),
                               viewgeo::MarginPixels(m_hMargin, m_resolutionX, e.zoom),
                               viewgeo::MarginPixels(m_vMargin, m_resolutionY, e.zoom), kLinkColour, String8())) {
            m_thumbDrawer.SetGSBitsPerPixel(m_pageSurface.gsBitsPerPixel);
            // A page that cannot be drawn keeps what was drawn of it.
            try {
                m_thumbDrawer.Draw(-1);
            } catch (const std::exception&) {
            } catch (...) {
            }
            m_thumbDrawer.Close();
            made = 1;
        }
        for (int i = 0; i < VrDvi::kDeviceSlots; ++i) reader->SetDeviceSlot(i, savedDevices[i]);
        return made;
    }
    if (m_docType == kDocTiff) {
        m_thumbBits.reset();
        m_thumbInfo.assign(kTiffPageInfoBytes, 0);
        const String8 file = doc->GetTempFileName();
        if (TIFF* tif = file.IsNull() ? nullptr : TIFFOpen(file.c_str(), "r")) {
            const int zoom = e.zoom;
            if (TIFFSetDirectory(tif, tdir_t(page)))
                m_thumbBits = DecodeTiffPage(tif, reinterpret_cast<BITMAPINFO*>(m_thumbInfo.data()), &m_rotation, &zoom);
            TIFFClose(tif);
        }
        if (!m_thumbBits) m_thumbInfo.clear();
        return m_thumbBits ? 1 : 0;
    }
    if (m_docType == kDocPs) {
        // Always fitted to the entry's width and height.
        m_thumbBits.reset();
        m_thumbInfo.clear();
        const String8 file = doc->GetTempFileName();
        if (file.GetLength() > 0 &&
            !RenderPostScriptPage(file.c_str(), page, m_pageSurface.gsBitsPerPixel, int(m_resolutionX * 0.0001 + 0.5),
                                  int(m_resolutionY * 0.0001 + 0.5), e.width, e.height, &m_thumbInfo, &m_thumbBits,
                                  nullptr)) {
            m_thumbBits.reset();
            m_thumbInfo.clear();
        }
        return m_thumbBits ? 1 : 0;
    }
    return 0;
}

// --------------------------------------------------------------- layout bar

int CVrViewerView::LayoutBarWidth(int stored, int areaRight) {
    return stored < 1 || stored >= areaRight ? 200 : stored;
}

void CVrViewerView::OnLayoutBar() {
    LayoutBarHost* frame = LayoutBarHostOf(GetParentFrame());
    if (!frame) return;
    if (!m_layoutBar.show || !frame->HasLayoutBar()) {
        RECT area;
        GetPageAreaRect(&area);
        // A document opened at start-up is shown before its frame is laid
        // out: the window the view lives in bounds the bar then.
        int room = int(area.right);
        if (QWidget* w = GetWidget()) room = std::max(room, w->window()->width());
        const int width = LayoutBarWidth(m_layoutBar.width, room);
        if (m_layoutBar.viewNum > 1) m_layoutBar.viewNum = 0;
        BuildPageSizeTable();
        frame->CreateLayoutBar(width, this);
        m_layoutBar.show = frame->SelectLayoutBarTab(m_layoutBar.viewNum) ? 1 : 0;
    } else {
        // The frame lays itself out again without the bar.
        frame->DestroyLayoutBar();
        m_layoutBar.show = 0;
    }
    SaveLayoutBarStatusToRegistry();
}

void CVrViewerView::ResetLayoutBar() {
    // The bar comes back on the tab it was left on.
    m_layoutBar.show = 0;
    OnLayoutBar();
}

// ------------------------------------------------------------ position pane

CString CVrViewerView::PositionText(int x, int y, int resolutionX, int resolutionY) {
    AfxRegisterViewerStrings();
    const auto mm = [](int p, int resolution) {
        const double dpi = resolution * 0.0001;
        return dpi > 0 ? std::trunc(p / dpi * 254 + 0.5) * 0.1 : 0.0;
    };
    CString text;
    text.Format(AfxLoadString(IDS_VIEW_POSITION), mm(x, resolutionX), mm(y, resolutionY));
    return text;
}

void CVrViewerView::OnUpdateIndicatorPosition(CCmdUI* pCmdUI) {
    VrDvi* reader = Reader();
    if (!GetDocument() || (m_docType == kDocDvi && (!reader || !reader->IsOpened()))) {
        pCmdUI->Enable(FALSE);
        return;
    }
    pCmdUI->Enable(TRUE);
    if (m_viewMode == 0) {
        QWidget* w = GetWidget();
        const QPoint cursor = w ? w->mapFromGlobal(QCursor::pos()) : QPoint();
        RECT area;
        GetPageAreaRect(&area);
        pCmdUI->SetText(PositionText(cursor.x() - area.left + m_scrollX, cursor.y() - area.top + m_scrollY,
                                     m_resolutionX, m_resolutionY));
    } else if (m_viewMode == 2) {
        CString text;
        text.Format(AfxLoadString(IDS_VIEW_SELECTION_RANGE), m_selectionStart, m_selectionEnd);
        pCmdUI->SetText(text);
    } else {
        pCmdUI->SetText("");
    }
}

// -------------------------------------------------------------- page slider

void CVrViewerView::OnUpdateGotoPageSlider(CCmdUI* pCmdUI) { pCmdUI->Enable(m_pageCount >= 2); }

void CVrViewerView::OnGotoPageSlider() {
    if (m_pageCount < 2) return;
    ViewStatus vs;
    GetViewStatus(vs);
    PageSliderDlg dialog(this);
    dialog.SetRange(1, m_pageCount);
    dialog.SetPos(vs.page + 1);
    if (dialog.DoModal() != IDOK) return;
    GotoPage(dialog.GetPos() - 1);
    UpdateToolbarStatus();
}

// -------------------------------------------------------------- Ghostscript

namespace {

std::function<bool()>& GhostscriptProbe() {
    static std::function<bool()> probe;
    return probe;
}

bool GhostscriptLoads() {
    if (const auto& probe = GhostscriptProbe()) return probe();
    GS* gs = GetGS();
    if (!gs) return false;
    if (gs->IsGSDLLLoaded()) return true;
    auto* app = CVrViewerAppBase::Get();
    return gs->LoadGSDLL(kGSLibraryName, app ? app->m_ghostscriptLibPath.c_str() : "") != 0;
}

}  // namespace

bool CVrViewerView::IsGhostscriptInstalled() { return GhostscriptLoads(); }

std::function<bool()> CVrViewerView::SetGhostscriptProbe(std::function<bool()> probe) {
    std::function<bool()> old = std::move(GhostscriptProbe());
    GhostscriptProbe() = std::move(probe);
    return old;
}

void CVrViewerView::CheckGhostscriptInstalled() {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this] { CheckGhostscriptInstalled(); });
    if (m_docType != 2 && m_docType != kDocPs) return;
    if (GhostscriptLoads()) return;
    // Only the person's Yes opens the download page.
    if (AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_GHOSTSCRIPT_MISSING), nullptr,
                          MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) != IDYES)
        return;
    sys::ShellOpen(kGhostscriptDownloadPage);
}

// ---------------------------------------------------------------- first run

void CVrViewerView::FinishFirstRun() {
    if (!UiDispatcher::IsUiThread()) return PostToUi([this] { FinishFirstRun(); });
    // The installation's key lives in the user's own store, so the user can write it.
    sys::Registry& reg = sys::Registry::Default();
    if (!reg.KeyExists(sys::RegRoot::LocalMachine, CVrViewerAppBase::kInstallKey)) return;
    reg.SetString(sys::RegRoot::LocalMachine, CVrViewerAppBase::kInstallKey, "FirstRunning", "FALSE");
}

void CVrViewerView::MapLayoutCommands() {
    MapCommand(ID_LAYOUT_BAR, &CVrViewerView::OnLayoutBar);
    MapCommand(ID_GOTO_PAGE, &CVrViewerView::OnGotoPageSlider);
    MapUpdateUI(ID_GOTO_PAGE, &CVrViewerView::OnUpdateGotoPageSlider);
    MapUpdateUI(ID_INDICATOR_POSITION, &CVrViewerView::OnUpdateIndicatorPosition);
}
