#include "viewer/view/PostScriptPage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/ghostscript/GSChildJob.h"
#include "platform/ghostscript/GSJobArgs.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/Cursor.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"

using namespace viewgeo;

namespace {

constexpr int kLongestJobLine = 999;
// How long Ghostscript may take over one pass of a page.
constexpr int kPsPageTimeLimitMs = 60000;
constexpr UINT kLinkCursor = 123;

// The arguments, or none when their line is too long.
std::vector<String8> WithinLimit(std::vector<String8> args) {
    size_t length = 0;
    for (const String8& a : args) length += size_t(a.GetLength()) + 1;
    if (length - 1 > size_t(kLongestJobLine)) args.clear();
    return args;
}

// The page view's job line up to the depth: the program, the library path
// and the bitmap device.
GSCommandLine PageJobLine(const char* libPath) {
    GSCommandLine line("gswin.exe");
    line.Library(libPath).Add("-sDEVICE=mswindll").Safer();
    line.Add("-dNOPLATFONTS").Add("-dQUIET").Add("-dNOPAUSE").Add("-dBATCH");
    return line;
}

}  // namespace

// ------------------------------------------------------------ the outputters

void PageSizeProbe::OnPageSize(GS*, int width, int height) {
    if (m_width < 0) {
        m_width = width;
        m_height = height;
    }
}

int PsRowStride(int width, int bitsPerPixel) {
    const int64_t w = std::max(width, 0);
    int64_t stride;
    switch (bitsPerPixel) {
    case 1: stride = (w + 31) / 32 * 4; break;
    case 4: stride = (w + 7) / 8 * 4; break;
    case 8: stride = (w + 3) / 4 * 4; break;
    default: stride = (w * 3 + 3) / 4 * 4; break;
    }
    return stride > INT32_MAX ? -1 : int(stride);
}

void PageRowCollector::OnPage(GS* gs, int width, int height) {
    if (m_ownsBuffers && m_pageTaken) return;
    m_pageTaken = 1;
    if (width < 1 || height < 1) return;
    m_width = width;
    m_height = height;
    const int stride = PsRowStride(width, m_bitsPerPixel);
    if (stride < 0 || size_t(stride) * size_t(height) > kPsPageMaxBytes) return;
    const size_t bytes = size_t(stride) * size_t(height);
    m_header.assign(kPsPageInfoBytes, 0);
    m_bits.reset(new (std::nothrow) uint8_t[bytes]);
    if (!m_bits) {
        m_header.clear();
        return;
    }
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(m_header.data());
    auto* palette = reinterpret_cast<RGBQUAD*>(m_header.data() + sizeof(BITMAPINFOHEADER));
    unsigned char* row = nullptr;
    gs->LockGSDevice();
    const int deviceStride = gs->GetBitmapRow(header, palette, &row, 0);
    // The device's rows are contiguous at the DIB stride of the depth asked.
    const bool ok = row && deviceStride == stride && header->biWidth == width && header->biHeight == height &&
                    header->biBitCount == (m_bitsPerPixel == 1 || m_bitsPerPixel == 4 || m_bitsPerPixel == 8
                                               ? m_bitsPerPixel
                                               : 24);
    if (ok) std::memcpy(m_bits.get(), row, bytes);
    gs->UnlockGSDevice();
    if (!ok) {
        m_bits.reset();
        m_header.clear();
    }
}

// ------------------------------------------------------------ pure arithmetic

PsPageFit FitPostScriptPage(int w100, int h100, int xRes, int yRes, int boxWidth, int boxHeight) {
    PsPageFit fit;
    fit.xRes = xRes;
    fit.yRes = yRes;
    fit.boxWidth = boxWidth;
    fit.boxHeight = boxHeight;
    if (w100 > 0 && h100 > 0 && xRes > 0 && yRes > 0 && (boxWidth > 0 || boxHeight >= 1)) {
        const double scaleX = boxWidth > 0 ? boxWidth / (w100 * xRes * 0.01) : 10000.0;
        const double scaleY = boxHeight > 0 ? boxHeight / (h100 * yRes * 0.01) : 10000.0;
        if (scaleX < scaleY) {
            fit.scale = scaleX;
            fit.boxHeight = int(double(h100) * boxWidth / w100 + 0.5);
        } else {
            fit.scale = scaleY;
            fit.boxWidth = int(double(w100) * boxHeight / h100 + 0.5);
        }
        fit.xRes = std::max(1, int(xRes * fit.scale + 0.5));
        fit.yRes = std::max(1, int(yRes * fit.scale + 0.5));
        fit.fitted = 1;
    }
    fit.scale10000 = int(std::lround(fit.scale * 10000.0));
    return fit;
}

std::vector<String8> PsProbeJobArgs(const char* libPath, int page) {
    GSCommandLine line = PageJobLine(libPath);
    line.Define("BitsPerPixel", 1).Resolution(100, 100).Add("-dNOFONTMAP");
    line.Define("FirstPage", page + 1).Define("LastPage", page + 1);
    return WithinLimit(line.Args());
}

std::vector<String8> PsRenderJobArgs(const char* libPath, int bitsPerPixel, int xRes, int yRes, int page,
                                     const PsPageFit* fit) {
    GSCommandLine line = PageJobLine(libPath);
    line.Define("BitsPerPixel", bitsPerPixel).Resolution(xRes, yRes);
    line.Define("FirstPage", page + 1).Define("LastPage", page + 1);
    if (fit && fit->fitted) line.PageSize(fit->boxWidth, fit->boxHeight);
    return WithinLimit(line.Args());
}

void PsPixelToLogical(int x, int y, int pageHeight, int resolutionX, int resolutionY, int dispMag, int* lx, int* ly) {
    const double s = dispMag * 0.0001;
    const double dpiX = resolutionX * 0.0001, dpiY = resolutionY * 0.0001;
    if (s <= 0 || dpiX <= 0 || dpiY <= 0) {
        *lx = *ly = 0;
        return;
    }
    *lx = int(x * (72.0 / dpiX) / s);
    *ly = int((pageHeight - y) * (72.0 / dpiY) / s);
}

void PsThumbnailSize(int pageWidth, int pageHeight, int dispMag, int* width, int* height) {
    const int percent = std::max(1, int(std::lround(dispMag / 100.0)));
    *width = int(100.0 / percent * pageWidth * 0.1);
    *height = int(100.0 / percent * pageHeight * 0.1);
}

// ------------------------------------------------------------ the page view

int CVrViewerView::RenderPostScriptPage(const char* file, int page, int bitsPerPixel, int xRes, int yRes,
                                        int boxWidth, int boxHeight, std::vector<uint8_t>* info,
                                        std::unique_ptr<uint8_t[]>* bits, int* scale) {
    GS* gs = GetGS();
    if (!file || !*file || page < 0 || xRes < 1 || yRes < 1) return 0;
    // Both passes run in a child process, so that a file that makes
    // Ghostscript crash or run on for ever costs only that child.
    PsPageFit fit = FitPostScriptPage(0, 0, xRes, yRes, boxWidth, boxHeight);
    if (boxWidth > 0 || boxHeight >= 1) {
        PageSizeProbe probe;
        const std::vector<String8> args = PsProbeJobArgs(gs->GetRastinPath(), page);
        if (args.empty() || GSChildJob::RunFile(gs, args, file, &probe, kPsPageTimeLimitMs).end ==
                                GSChildJob::End::TimedOut)
            return 0;
        if (probe.m_width > 0 && probe.m_height > 0)
            fit = FitPostScriptPage(probe.m_width, probe.m_height, xRes, yRes, boxWidth, boxHeight);
    }
    if (scale) *scale = fit.scale10000;

    PageRowCollector collector(bitsPerPixel, 1);
    std::vector<String8> args = PsRenderJobArgs(gs->GetRastinPath(), bitsPerPixel, fit.xRes, fit.yRes, page, &fit);
    if (args.empty()) return 0;
    // Anti-aliasing, as the device properties kPsAntiAliasCommand sets.
    if (bitsPerPixel >= 8) {
        args.push_back("-dGraphicsAlphaBits=4");
        args.push_back("-dTextAlphaBits=4");
    }
    GSChildJob::RunFile(gs, args, file, &collector, kPsPageTimeLimitMs);
    if (collector.m_header.empty() || !collector.m_bits) return 0;
    *info = std::move(collector.m_header);
    *bits = std::move(collector.m_bits);
    return 1;
}

void CVrViewerView::SetStatusPs(ViewStatus& vs) {
    ViewStatus old;
    GetViewStatus(old);
    m_DispMagSpec = vs.DispMagSpec;
    m_scrollBarFlags = vs.scrollBarFlags;
    int W = 0, H = 0;
    if (m_windowCreated) {
        if (old.scrollBarFlags != m_scrollBarFlags) ShowScrollBar();
        RECT area;
        GetPageAreaRect(&area);
        W = area.right - area.left;
        H = area.bottom - m_topOffset;
    }
    m_pageSurface.dispMag = ClampDispMag(vs.DispMag);
    m_page = Clamp(vs.page, m_pageCount);
    m_originX = vs.originX;
    m_originY = vs.originY;
    m_workspaceColor = vs.workspaceColor;
    m_pageSurface.gsBitsPerPixel = vs.GSScreenBitsPerPixel;

    const bool fitMode = m_DispMagSpec == kFitWidth || m_DispMagSpec == kFitPage;
    const int fitWidth = fitMode ? W : -1;
    const int fitHeight = m_DispMagSpec == kFitPage ? H : -1;
    // A fitted page follows the page area's size as well.
    const bool boxChanged = fitMode && (fitWidth != m_psFitWidth || fitHeight != m_psFitHeight);
    CVrViewerDoc* doc = GetDocument();
    const String8 file = doc && m_docType == kDocPs ? doc->GetTempFileName() : String8();
    if ((m_DispMagSpec != old.DispMagSpec || m_pageSurface.dispMag != old.DispMag ||
         m_pageSurface.gsBitsPerPixel != old.GSScreenBitsPerPixel || m_page != old.page || boxChanged) &&
        m_initialViewEstablished && m_page >= 0 && m_page < m_pageCount && file.GetLength() > 0) {
        CWaitCursor wait;
        m_busy = 1;
        m_renderState = -1;
        Invalidate(FALSE);
        UpdateWindow();
        m_imageInfo.clear();
        m_imageBits.reset();
        const double dpiX = m_resolutionX * 0.0001, dpiY = m_resolutionY * 0.0001;
        const double mag = fitMode ? 1.0 : m_pageSurface.dispMag * 0.0001;
        int scale = 10000;
        if (RenderPostScriptPage(file.c_str(), m_page, m_pageSurface.gsBitsPerPixel, int(dpiX * mag + 0.5),
                                 int(dpiY * mag + 0.5), fitWidth, fitHeight, &m_imageInfo, &m_imageBits, &scale)) {
            const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(m_imageInfo.data());
            m_pageSurface.width = h->biWidth;
            m_pageSurface.height = std::abs(h->biHeight);
            if (fitMode) m_pageSurface.dispMag = scale;
        } else {
            m_imageInfo.clear();
            m_imageBits.reset();
        }
        m_psFitWidth = fitWidth;
        m_psFitHeight = fitHeight;
        m_busy = 0;
        m_renderState = 0;
    }
    if (m_windowCreated) ApplyScrollPosition(vs, W, H);
    else m_scrollX = vs.scrollX, m_scrollY = vs.scrollY;
    if (m_pageSurface.dispMag != old.DispMag || m_page != old.page || m_workspaceColor != old.workspaceColor ||
        m_scrollX != old.scrollX || m_scrollY != old.scrollY || m_scrollBarFlags != old.scrollBarFlags ||
        m_pageSurface.width != old.pageWidth || m_pageSurface.height != old.pageHeight)
        Invalidate(FALSE);
    SetScrollBars(old, false);
}

int CVrViewerView::PageToLogical(POINT* point) {
    ViewStatus vs;
    GetViewStatus(vs);
    const int x = vs.scrollX + point->x;
    const int y = point->y - vs.topOffset + vs.scrollY;
    int lx = 0, ly = 0;
    PsPixelToLogical(x, y, vs.pageHeight, vs.resolutionX, vs.resolutionY, vs.DispMag, &lx, &ly);
    point->x = lx;
    point->y = ly;
    return vs.page + 1;
}

int CVrViewerView::PdfLinkAt(POINT point, std::string* uri) {
    CVrViewerDoc* doc = GetDocument();
    if (!doc || m_docType != kDocPs || !m_imageBits || point.y < m_topOffset) return 0;
    const auto links = doc->GetPdfLinks();
    if (links->empty()) return 0;
    const int page = PageToLogical(&point);
    return FindLinkAtPoint(page, point.x, point.y, int(links->size()), links->data(), uri);
}

BOOL CVrViewerView::SetPdfLinkCursor(POINT point) {
    if (!PdfLinkAt(point, nullptr)) return FALSE;
    HCURSOR cursor = AfxLoadCursor(kLinkCursor);
    SetCursor(cursor ? cursor : AfxLoadStandardCursor(IDC_HAND));
    return TRUE;
}

void CVrViewerView::FollowPdfLink(CPoint client) {
    std::string uri;
    const int target = PdfLinkAt(client, &uri);
    if (target > 0) GotoPage(target - 1);
    else if (target == -2 && !uri.empty()) LaunchLink(uri);
}
