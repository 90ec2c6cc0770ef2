// Document Information: the document's address and, for a DVI document, its
// fonts with the TrueType faces that draw them and its picture files.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviFont.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/DocumentInfoDlg.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/VrViewerView.h"

namespace {

String8 FaceOf(CFont* font, bool withStyle) {
    LOGFONT lf{};
    if (!font || !font->GetLogFont(&lf)) return String8("");
    std::string s = lf.lfFaceName;
    if (withStyle) {
        if (lf.lfWeight > 600) s += " Bold";
        if (lf.lfItalic) s += " Italic";
    }
    return String8(s.c_str());
}

}  // namespace

// The face name as the interface's language calls it (the eight CJK faces
// have localised names); other names as they are.
String8 LocalisedFaceName(const String8& face) {
    static const char* const kFaces[] = {"Batang",    "Dotum",      "Gulim",     "Gungsuh",
                                         "MS Gothic", "MS PGothic", "MS Mincho", "MS PMincho"};
    const char* name = face.IsNull() ? "" : face.c_str();
    for (UINT i = 0; i < std::size(kFaces); ++i)
        if (std::strcmp(name, kFaces[i]) == 0) return String8(AfxLoadString(IDS_FACE_FIRST + i).c_str());
    return face;
}

// One line of the fonts list.
String8 DocumentFontLine(const String8& name, const String8& sbFace, const String8& dbFace, int scaledSize) {
    std::string line = std::string(name.c_str()) + " (" + sbFace.c_str();
    if (dbFace.GetLength() > 0) line += std::string(", ") + dbFace.c_str();
    char size[48];
    std::snprintf(size, sizeof size, ") at %.4fpt", scaledSize / 65536.0);
    return String8((line + size).c_str());
}

// One line of the pictures list: the side file's name, " *" while it is
// not complete.
String8 DocumentPictureLine(const String8& name, int complete) {
    std::string line = name.c_str();
    if (!complete) line += " *";
    return String8(line.c_str());
}

void CVrViewerView::OnDocumentInformation() {
    CVrViewerDoc* doc = GetDocument();
    if (!doc) return;
    DocumentInfoDlg dlg(this);
    dlg.m_path = doc->GetAddress();
    dlg.m_name = doc->GetAddress();
    if (m_pages->HasText()) {
        VrDvi& reader = doc->GetReader();
        // Only a document whose reader has not yet reached the postamble is
        // incomplete (the document's active flag stays set for a loaded one).
        if (reader.GetMode() == ModeScanning || reader.GetNPage() == 0) {
            AfxShowMessageBox(this, AfxLoadString(IDS_VIEW_DOCINFO_INCOMPLETE), AfxLoadString(IDS_VIEW_APP_TITLE),
                              MB_OK | MB_ICONINFORMATION);
        }
        CDC dc;
        if (!dc.CreateCompatibleDC(nullptr)) return;
        if (!reader.GetWinFont()) {
            VrDviDrawer drawer;
            if (reader.GetNPage() > 0 && drawer.Open(dc, reader, 0, fpreal4(10000), 0, 0, 0, String8()) == 1) {
                for (VrDvi::ItrnFontItr it(reader); !it.IsFinished(); ++it) {
                    const VrDvi::ItrnFont& font = *it();
                    dlg.m_fonts.AddTail(DocumentFontLine(font.GetName(), FaceOf(drawer.GetpSBFont(font), true),
                                                         FaceOf(drawer.GetpDBFont(font), false),
                                                         font.GetScaleSize()));
                }
                drawer.Close();
            }
        } else {
            const DList<String8> faces = reader.GetFontList();
            for (auto it = faces.Begin(); it; it.Next()) dlg.m_fonts.AddTail(LocalisedFaceName(it.Value()));
        }
        for (const FetchedFile* file : doc->GetFetchedFiles().Entries())
            dlg.m_pictures.AddTail(DocumentPictureLine(file->GetUrl(), file->IsComplete()));
        dlg.m_listsFilled = 1;
    }
    dlg.DoModal();
    SetFocus();
}

void CVrViewerView::MapDocInfoCommands() { MapCommand(ID_DOCUMENT_INFO, &CVrViewerView::OnDocumentInformation); }

void CVrViewerView::NameFallbackFont(VrDvi& reader) {
    const String8 font = reader.TakeFallbackFont();
    if (font.GetLength() == 0) return;
    if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) {
        CString text;
        text.Format(AfxLoadString(IDS_VIEW_FONT_SUBSTITUTED), font.c_str());
        frame->SetMessageText(text);
    }
}
