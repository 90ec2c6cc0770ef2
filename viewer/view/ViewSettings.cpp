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

int ReadInt(const char* section, const char* key, int def) {
    CWinApp* app = AfxGetApp();
    return app ? int(app->GetProfileInt(CVrViewerAppBase::kAppProfile, section, key, def)) : def;
}

void WriteInt(const char* section, const char* key, int value) {
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(CVrViewerAppBase::kAppProfile, section, key, value);
}

}  // namespace

void CVrViewerView::LoadViewSettings() {
    m_pages->LoadSettings();
    m_pageSurface.dispMag = ReadInt(kDisplay, "DispMag", 10000);
    m_DispMagSpec = ReadInt(kDisplay, "DispMagSpec", 0);
    m_MarginDispMag = ReadInt(kDisplay, "MarginDispMag", 0);
    m_showMainToolbar = m_showMainToolbarSetting = ReadInt(kDisplay, "ShowMainToolbar", 1) ? 1 : 0;
    m_scrollBarFlags = 3;
}

void CVrViewerView::SaveViewSettingsToRegistry() {
    m_pages->SaveSettings();
    WriteInt(kDisplay, "DispMag", m_pageSurface.dispMag);
    WriteInt(kDisplay, "DispMagSpec", m_DispMagSpec);
    WriteInt(kDisplay, "MarginDispMag", m_MarginDispMag);
    if (m_pages->KeepsToolbarSetting()) WriteInt(kDisplay, "ShowMainToolbar", m_showMainToolbarSetting ? 1 : 0);
}

void DviPages::LoadSettings() {
    CVrViewerView& v = m_view;
    const int width = ReadInt(kDisplay, "PaperWidth", 2100000);
    const int height = ReadInt(kDisplay, "PaperHeight", 2970000);
    const int orientation = ReadInt(kDisplay, "PaperOrientation", 0) > 0 ? 1 : 0;
    // The stored size is the shown one (swapped for landscape).
    v.m_paper = PaperSize::FromShownSize(width, height, orientation);
    v.m_hMargin = ReadInt(kDisplay, "hMargin", 254000);
    v.m_vMargin = ReadInt(kDisplay, "vMargin", 254000);
    v.m_pageSurface.gsBitsPerPixel = ReadInt(kDisplay, "GSScreenBitsPerPixel", 8);
    v.m_GSPrintBitsPerPixel = ReadInt(kDisplay, "GSPrintBitsPerPixel", 1);
    v.m_EnableColor = ReadInt(kGlass, "EnableColor", 0) > 0 ? 1 : 0;
    v.m_glassSurface.dispMag = ReadInt(kGlass, "GlassDispMag", 25000);
    v.m_glassWidth = ReadInt(kGlass, "GlassWidth", 200);
    v.m_glassHeight = ReadInt(kGlass, "GlassHeight", 200);
    v.m_glassSurface.gsBitsPerPixel = ReadInt(kGlass, "GlassGSBitsPerPixel", 1);
}

void DviPages::SaveSettings() {
    const CVrViewerView& v = m_view;
    int width = 0, height = 0;
    v.m_paper.GetWidth(&width);
    v.m_paper.GetHeight(&height);
    WriteInt(kDisplay, "PaperWidth", width);
    WriteInt(kDisplay, "PaperHeight", height);
    WriteInt(kDisplay, "PaperOrientation", v.m_paper.GetOrientation() ? 1 : 0);
    WriteInt(kDisplay, "hMargin", v.m_hMargin);
    WriteInt(kDisplay, "vMargin", v.m_vMargin);
    WriteInt(kDisplay, "GSScreenBitsPerPixel", v.m_pageSurface.gsBitsPerPixel);
    WriteInt(kDisplay, "GSPrintBitsPerPixel", v.m_GSPrintBitsPerPixel);
    WriteInt(kGlass, "EnableColor", v.m_EnableColor ? 1 : 0);
    WriteInt(kGlass, "GlassDispMag", v.m_glassSurface.dispMag);
    WriteInt(kGlass, "GlassWidth", v.m_glassWidth);
    WriteInt(kGlass, "GlassHeight", v.m_glassHeight);
    WriteInt(kGlass, "GlassGSBitsPerPixel", v.m_glassSurface.gsBitsPerPixel);
}

// PostScript and PDF keep the Ghostscript depth of the screen.
void RawPsPages::LoadSettings() {
    m_view.m_pageSurface.gsBitsPerPixel = ReadInt(kDisplay, "GSScreenBitsPerPixel", 8);
}
void RawPsPages::SaveSettings() {
    WriteInt(kDisplay, "GSScreenBitsPerPixel", m_view.m_pageSurface.gsBitsPerPixel);
}
void PsPages::LoadSettings() {
    m_view.m_pageSurface.gsBitsPerPixel = ReadInt(kDisplay, "GSScreenBitsPerPixel", 8);
}
void PsPages::SaveSettings() {
    WriteInt(kDisplay, "GSScreenBitsPerPixel", m_view.m_pageSurface.gsBitsPerPixel);
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
