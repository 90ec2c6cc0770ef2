// Viewer Options: the preference sheet with the pages that fit the view's
// document type, preset from the view and the application; OK applies the
// values to the view and stores them in the settings.
#include <initializer_list>

#include "viewer/prefs/AppPreferences.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"
#include "viewer/prefs/FileAssoc.h"
#include "viewer/prefs/PrefSheet.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/ViewerDvi.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/VrViewerView.h"

namespace {

int ZoomOfStatus(const ViewStatus& vs) {
    if (vs.DispMagSpec == kFitWidth) return -1;
    if (vs.DispMagSpec == kFitPage) return -2;
    return vs.DispMag / 100;
}

void ApplyZoom(ViewStatus& vs, int zoom) {
    if (zoom == -1) {
        vs.DispMagSpec = kFitWidth;
    } else if (zoom == -2) {
        vs.DispMagSpec = kFitPage;
    } else {
        vs.DispMagSpec = kFitNone;
        vs.DispMag = zoom * 100;
    }
}

}  // namespace

void CVrViewerView::OnViewerOptions() {
    if (!m_pages->HasOptions()) return;
    // The DVI sheet, or the sheet of an image kind: TIFF pages turn, PDF
    // pages have a Ghostscript depth.
    const bool dvi = m_pages->HasText(), pdf = m_pages->UsesGhostscript();
    auto* app = CVrViewerAppBase::Get();
    if (!app) return;
    ViewStatus vs;
    GetViewStatus(vs);

    AppPrefPages shared;
    shared.Preset(*app, IsGhostscriptInstalled());
    shared.ghostscript.m_screenBits = vs.GSScreenBitsPerPixel;
    shared.ghostscript.m_printBits = m_GSPrintBitsPerPixel;
    PrefDispPPage disp;
    PrefMagGlassPPage glass;
    PrefDispPPageTiff tiff;
    PrefDispPPagePs ps;
    PrefSheet sheet(this);
    if (dvi) {
        disp.m_zoom = ZoomOfStatus(vs);
        disp.m_page = vs.page + 1;
        disp.m_pageCount = m_pageCount;
        disp.m_paper = vs.paper;
        disp.m_leftMargin = vs.hMargin * 0.0001;
        disp.m_topMargin = vs.vMargin * 0.0001;
        disp.m_scrollBarIndex = vs.scrollBarFlags & 3;
        glass.m_width = m_glassWidth;
        glass.m_height = m_glassHeight;
        glass.m_magnification = vs.GlassDispMag / 100;
        glass.m_monochrome = vs.EnableColor ? 0 : 1;
        for (CPrefPage* p : std::initializer_list<CPrefPage*>{&disp, &glass, &shared.tfm, &shared.vf, &shared.kpathsea,
                                                              &shared.ttf, &shared.ghostscript, &shared.fileAssoc,
                                                              &shared.contents})
            sheet.AddPage(p);
    } else {
        PrefDispPPageOther& page = pdf ? static_cast<PrefDispPPageOther&>(ps) : tiff;
        page.m_zoom = ZoomOfStatus(vs);
        page.m_page = vs.page + 1;
        page.m_pageCount = m_pageCount;
        page.m_scrollBarIndex = vs.scrollBarFlags & 3;
        page.m_color = pdf ? vs.GSScreenBitsPerPixel : vs.rotation;
        for (CPrefPage* p : std::initializer_list<CPrefPage*>{&page, &shared.fileAssoc, &shared.contents})
            sheet.AddPage(p);
    }

    if (sheet.DoModal() == IDOK) {
        if (dvi) {
            ApplyZoom(vs, disp.m_zoom);
            if (disp.m_page > 0 && disp.m_page <= m_pageCount) vs.page = disp.m_page - 1;
            vs.paper = disp.m_paper;
            if (ViewerDvi* reader = Reader()) reader->SetAllPapers(disp.m_paper);
            // The page gives millimetres; the view keeps 1/10000 mm.
            vs.hMargin = PrefMmToUnits(disp.m_leftMargin);
            vs.vMargin = PrefMmToUnits(disp.m_topMargin);
            vs.scrollBarFlags = disp.m_scrollBarIndex & 3;
            m_glassWidth = glass.m_width;
            m_glassHeight = glass.m_height;
            vs.GlassDispMag = glass.m_magnification * 100;
            vs.EnableColor = glass.m_monochrome ? 0 : 1;
            vs.GSScreenBitsPerPixel = shared.ghostscript.m_screenBits;
            vs.GlassGSBitsPerPixel = glass.m_monochrome ? 1 : shared.ghostscript.m_screenBits;
            m_GSPrintBitsPerPixel = shared.ghostscript.m_printBits;
            SetStatus(vs);
            // The boxes show the zoom the sheet gave.
            UpdateToolbarStatus();
            shared.Apply(*app);
        } else {
            PrefDispPPageOther& page = pdf ? static_cast<PrefDispPPageOther&>(ps) : tiff;
            ApplyZoom(vs, page.m_zoom);
            if (page.m_page > 0 && page.m_page <= m_pageCount) vs.page = page.m_page - 1;
            if (page.m_scrollBarIndex >= 0) vs.scrollBarFlags = page.m_scrollBarIndex & 3;
            if (pdf) vs.GSScreenBitsPerPixel = page.m_color;
            else vs.rotation = page.m_color;
            SetStatus(vs);
            UpdateToolbarStatus();
            // Only the associations and the contents folder are on this sheet.
            if (shared.fileAssoc.m_changed == 1) {
                const std::vector<int> states = shared.fileAssoc.GetStates();
                file_assoc::ApplyFileAssociations(int(states.size()), states.data(), sys::ExecutablePath(), sys::Registry::Default());
            }
            app->SetContentsPath(shared.contents.m_folder.c_str());
            app->SaveSharedSettings();
        }
        SaveViewSettingsToRegistry();
    }
    SetFocus();
    // PostScript or PDF now opened by the viewer: Ghostscript must be there.
    int states[4] = {};
    file_assoc::ReadFileAssociations(states);
    if ((states[2] || states[3]) && !(pdf && !app->m_gsDllPath.IsNull() && *app->m_gsDllPath.c_str()))
        CheckGhostscriptInstalled();
}

void CVrViewerView::OnUpdateViewerOptions(CCmdUI*) {}

void CVrViewerView::MapOptionsCommands() {
    MapCommand(ID_VIEWER_OPTIONS, &CVrViewerView::OnViewerOptions);
    MapUpdateUI(ID_VIEWER_OPTIONS, &CVrViewerView::OnUpdateViewerOptions);
}
