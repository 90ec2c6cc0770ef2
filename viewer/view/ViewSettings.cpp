// The page view's settings in the viewer's own profile: "Display" (paper,
// margins, zoom, colour depths, the toolbar band), "MagGlass" (the magnifier
// glass) and "LayoutBar". DVI views read and write them all; TIFF and
// PostScript views only the values that concern them, so the DVI values stay
// as the last DVI view left them. The profile is named in every call.
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/view/VrViewerView.h"

namespace {

constexpr const char* kDisplay = "Display";
constexpr const char* kGlass = "MagGlass";
constexpr const char* kLayoutBar = "LayoutBar";

bool UsesGhostscript(int docType) { return docType == 2 || docType == kDocPs; }

int ReadInt(const char* section, const char* key, int def) {
    CWinApp* app = AfxGetApp();
    return app ? int(app->GetProfileInt(CVrViewerAppBase::kAppProfile, section, key, def)) : def;
}

void WriteInt(const char* section, const char* key, int value) {
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(CVrViewerAppBase::kAppProfile, section, key, value);
}

}  // namespace

void CVrViewerView::LoadViewSettings() {
    if (m_docType == kDocDvi) {
        const int width = ReadInt(kDisplay, "PaperWidth", 2100000);
        const int height = ReadInt(kDisplay, "PaperHeight", 2970000);
        const int orientation = ReadInt(kDisplay, "PaperOrientation", 0) > 0 ? 1 : 0;
        // The stored size is the shown one (swapped for landscape).
        m_paper = PaperSize::FromShownSize(width, height, orientation);
        m_hMargin = ReadInt(kDisplay, "hMargin", 254000);
        m_vMargin = ReadInt(kDisplay, "vMargin", 254000);
        m_pageSurface.gsBitsPerPixel = ReadInt(kDisplay, "GSScreenBitsPerPixel", 8);
        m_GSPrintBitsPerPixel = ReadInt(kDisplay, "GSPrintBitsPerPixel", 1);
        m_EnableColor = ReadInt(kGlass, "EnableColor", 0) > 0 ? 1 : 0;
        m_glassSurface.dispMag = ReadInt(kGlass, "GlassDispMag", 25000);
        m_glassWidth = ReadInt(kGlass, "GlassWidth", 200);
        m_glassHeight = ReadInt(kGlass, "GlassHeight", 200);
        m_glassSurface.gsBitsPerPixel = ReadInt(kGlass, "GlassGSBitsPerPixel", 1);
    } else if (UsesGhostscript(m_docType)) {
        m_pageSurface.gsBitsPerPixel = ReadInt(kDisplay, "GSScreenBitsPerPixel", 8);
    }
    m_pageSurface.dispMag = ReadInt(kDisplay, "DispMag", 10000);
    m_DispMagSpec = ReadInt(kDisplay, "DispMagSpec", 0);
    m_MarginDispMag = ReadInt(kDisplay, "MarginDispMag", 0);
    m_showMainToolbar = m_showMainToolbarSetting = ReadInt(kDisplay, "ShowMainToolbar", 1) ? 1 : 0;
    m_scrollBarFlags = 3;
}

void CVrViewerView::SaveViewSettingsToRegistry() {
    if (m_docType == kDocDvi) {
        int width = 0, height = 0;
        m_paper.GetWidth(&width);
        m_paper.GetHeight(&height);
        WriteInt(kDisplay, "PaperWidth", width);
        WriteInt(kDisplay, "PaperHeight", height);
        WriteInt(kDisplay, "PaperOrientation", m_paper.GetOrientation() ? 1 : 0);
        WriteInt(kDisplay, "hMargin", m_hMargin);
        WriteInt(kDisplay, "vMargin", m_vMargin);
        WriteInt(kDisplay, "GSScreenBitsPerPixel", m_pageSurface.gsBitsPerPixel);
        WriteInt(kDisplay, "GSPrintBitsPerPixel", m_GSPrintBitsPerPixel);
        WriteInt(kGlass, "EnableColor", m_EnableColor ? 1 : 0);
        WriteInt(kGlass, "GlassDispMag", m_glassSurface.dispMag);
        WriteInt(kGlass, "GlassWidth", m_glassWidth);
        WriteInt(kGlass, "GlassHeight", m_glassHeight);
        WriteInt(kGlass, "GlassGSBitsPerPixel", m_glassSurface.gsBitsPerPixel);
    } else if (UsesGhostscript(m_docType)) {
        WriteInt(kDisplay, "GSScreenBitsPerPixel", m_pageSurface.gsBitsPerPixel);
    }
    WriteInt(kDisplay, "DispMag", m_pageSurface.dispMag);
    WriteInt(kDisplay, "DispMagSpec", m_DispMagSpec);
    WriteInt(kDisplay, "MarginDispMag", m_MarginDispMag);
    if (m_docType != kDocGzip) WriteInt(kDisplay, "ShowMainToolbar", m_showMainToolbarSetting ? 1 : 0);
}

void CVrViewerView::LoadLayoutBarStatusFromRegistry() {
    m_layoutBar.show = ReadInt(kLayoutBar, "Show", 0);
    m_layoutBar.viewNum = ReadInt(kLayoutBar, "ViewNum", 0);
    m_layoutBar.width = ReadInt(kLayoutBar, "Width", 200);
}

void CVrViewerView::SaveLayoutBarStatusToRegistry() {
    WriteInt(kLayoutBar, "Show", m_layoutBar.show);
    WriteInt(kLayoutBar, "ViewNum", m_layoutBar.viewNum);
    WriteInt(kLayoutBar, "Width", m_layoutBar.width);
}
