// Saving a document: Save As (a DVI document written anew with its notes and
// its pictures renamed beside it, or a copy of a TIFF, PostScript or PDF
// file), and the rewrite with notes that closing uses.
#include <QApplication>
#include <QCursor>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <strings.h>
#include <sys/stat.h>

#include "platform/ui/FileDialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/WinApp.h"
#include "viewer/document/DocSaveDlg.h"
#include "viewer/document/DviRewriter.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/NoteSpecial.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/document/DocumentView.h"

namespace fs = std::filesystem;

namespace {

// The wait cursor while a save runs.
struct WaitCursor {
    WaitCursor() {
        if (QApplication::instance()) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (QApplication::instance()) QApplication::restoreOverrideCursor();
    }
};

// The extension of a side file's name for its copy: from the last '.' of its
// last part, a trailing ".gz" dropped first; no path separators.
std::string CopyExtension(const String8& url) {
    std::string name = CVrViewerDoc::NormalizeUrl(url).c_str();
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string StemOf(const std::string& path) { return fs::path(path).stem().string(); }

bool SamePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ea, eb;
    const fs::path pa = fs::weakly_canonical(fs::absolute(a), ea), pb = fs::weakly_canonical(fs::absolute(b), eb);
    return !ea && !eb && pa == pb;
}

// The folder a save dialog opens in: the local document's own, else the
// last folder a file dialog was left in.
std::string InitialFolder(bool web, const std::string& localPath) {
    if (!web && !localPath.empty()) {
        const std::string dir = fs::path(localPath).parent_path().string();
        if (!dir.empty()) return dir;
    }
    return CFileDialog::GetLastFolder().str();
}

void Box(const CString& text, UINT type) {
    AfxShowMessageBox(nullptr, text, AfxLoadString(IDS_VIEWER_CAPTION).c_str(), type);
}

}  // namespace

int CVrViewerDoc::WritePackedDocument(const String8& path, const String8& picturePrefix, int copyPictures,
                                      int notes) {
    m_saveError.clear();
    const std::string target = path.c_str();
    if (!m_dvi.IsOpened() || m_dvi.GetMode() != ModeComplete) {
        m_saveError = "the document has not been read whole";
        return 0;
    }
    const std::string dir = [&] {
        const std::string d = fs::path(target).parent_path().string();
        return d.empty() ? std::string(".") : d;
    }();

    // Pictures copied beside the saved document, and their new names.
    struct Side {
        String8 url;
        int embedded, complete;
    };
    std::vector<Side> sides;
    for (const FetchedFile* f : m_fetchedFiles.Entries()) sides.push_back({f->GetUrl(), f->IsEmbedded(), f->IsComplete()});
    dvicopy::NameMap renamed;
    if (copyPictures) {
        for (size_t i = 0; i < sides.size(); ++i) {
            if (sides[i].embedded || !sides[i].complete) continue;
            const std::string source = PictureSourcePath(sides[i].url);
            if (source.empty()) continue;
            const std::string name = std::string(picturePrefix.c_str()) + std::to_string(i + 1) + CopyExtension(sides[i].url);
            std::string error;
            // A packed picture is copied unpacked, as its new name says.
            const bool packed = CVrViewerDoc::NormalizeUrl(sides[i].url).GetLength() < sides[i].url.GetLength();
            const std::string copy = (fs::path(dir) / name).string();
            if (!(packed ? dvicopy::CopyUnpackedReplacing(source, copy, error)
                         : dvicopy::CopyReplacing(source, copy, error))) {
                m_saveError = error;
                return 0;
            }
            renamed[sides[i].url.c_str()] = name;
        }
    }

    CDocumentView* view = HasView() ? m_pView : nullptr;
    const bool withNotes = notes && view;
    dvicopy::Hooks hooks;
    hooks.special = [&](int, std::string& s) {
        if (withNotes && s.size() >= 5 && strncasecmp(s.c_str(), "note:", 5) == 0) return false;
        if (!renamed.empty()) dvicopy::RenamePicture(s, renamed);
        return true;
    };
    if (withNotes) {
        hooks.beforeEop = [view](int page) {
            std::vector<std::string> out;
            for (const NoteRecord& n : view->GetNotes().GetNotes())
                if (n.page == page && !n.deleted) out.push_back(notespecial::Encode(n));
            return out;
        };
    }
    std::vector<long> starts;
    for (int i = 0; i < m_dvi.GetNPage(); ++i) starts.push_back(m_dvi.GetPageStartOffset(i));
    std::string error;
    if (!dvicopy::Copy(m_dvi.GetFileName().c_str(), starts, target, dvicopy::Stamp(m_saveClock()), hooks, error)) {
        m_saveError = error;
        return 0;
    }
    return 1;
}

int CVrViewerDoc::RewriteDviWithNotes(const String8& target) {
    // A "file://" address names its file.
    const std::string path = LocalPathOfAddress(target.c_str());
    if (!WritePackedDocument(path.c_str(), "", 0, 1)) return 0;
    if (CDocumentView* view = HasView() ? m_pView : nullptr) view->GetNotes().changed = 0;
    return 1;
}

bool CVrViewerDoc::RunSaveDviDialog(const std::string& proposed, std::string& path, int& copyPictures) {
    const CString title = AfxLoadString(IDS_SAVE_DVI_TITLE);
    DocSaveDVIDlg dlg(proposed.c_str(), title.c_str(), nullptr, copyPictures);
    const std::string folder = InitialFolder(m_servedInBrowser, m_localPath.c_str());
    if (!folder.empty()) dlg.m_ofn.lpstrInitialDir = folder.c_str();
    if (dlg.DoModal() != IDOK) return false;
    path = dlg.GetPathName().str();
    copyPictures = dlg.m_flag;
    return true;
}

bool CVrViewerDoc::RunSaveCopyDialog(const char* defExt, const char* filter, const std::string& proposed,
                                     std::string& path) {
    CFileDialog dlg(FALSE, defExt, proposed.c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter);
    const std::string folder = InitialFolder(m_servedInBrowser, m_localPath.c_str());
    if (!folder.empty()) dlg.m_ofn.lpstrInitialDir = folder.c_str();
    if (dlg.DoModal() != IDOK) return false;
    path = dlg.GetPathName().str();
    return true;
}

void CVrViewerDoc::OnFileSaveAs() {
    CDocumentView* view = HasView() ? m_pView : nullptr;
    const int type = m_docType.load();
    if (type == kTypeDvi) {
        if (m_dvi.GetMode() == ModeScanning || m_dvi.GetNPage() == 0) {
            Box(AfxLoadString(IDS_PICTURES_NOT_RETRIEVED), MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
            return;
        }
        if (m_dvi.GetMode() == ModeInvalid) {
            Box(AfxLoadString(IDS_SAVE_INVALID_DVI), MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
            return;
        }
        if (!AreFetchedFilesComplete())
            Box(AfxLoadString(IDS_PICTURES_NOT_RETRIEVED_SAVE), MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
        std::string path;
        int copyPictures = 0;
        const std::string title = StemOf(m_servedInBrowser ? m_urlFileName : m_fileTitle);
        if (!RunSaveDviDialog(title, path, copyPictures)) return;
        // The document's own file is written too: the new file replaces it
        // whole, and the reader goes on with its own copy of the old one.
        const bool own = SamePath(path, m_servedInBrowser ? std::string() : std::string(m_localPath.c_str()));
        WaitCursor wait;
        dvicopy::RemoveStaleTemporaries();
        if (view) view->CloseNoteWindow();
        // The notes the view shows, whatever earlier saves wrote: the reader's
        // copy keeps the notes the document was opened with.
        const int notes = view ? 1 : 0;
        if (!WritePackedDocument(path.c_str(), (StemOf(path) + "-pic-").c_str(), copyPictures, notes)) {
            CString text("Can not save at file.");
            if (!m_saveError.empty()) text += ("\n" + m_saveError).c_str();
            AfxMessageBox(text, MB_ICONERROR);
            return;
        }
        if (notes && view) view->GetNotes().changed = 0;
        if (own) {
            // The file now holds what the document shows: no reload for it.
            SetModifiedFlag(FALSE);
            struct stat st;
            if (::stat(m_localPath.c_str(), &st) == 0) {
                m_fileTimeNs = std::max<int64_t>(1, int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
                m_fileSize = int64_t(st.st_size);
            }
        }
        return;
    }
    if (type != kTypeTiff && type != kTypePostScript) return;
    if (IsWorkerRunning()) {
        Box(AfxLoadString(IDS_SAVE_STILL_ARRIVING), MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
        return;
    }
    std::string title;
    if (m_servedInBrowser) {
        const std::string a = m_requestAddress.substr(0, m_requestAddress.find_first_of("?#"));
        const size_t slash = a.find_last_of('/');
        title = slash == std::string::npos ? a : a.substr(slash + 1);
        const size_t dot = title.find_last_of('.');
        if (dot != std::string::npos) title.resize(dot);
    } else {
        title = StemOf(m_fileTitle);
    }
    // PostScript converted to PDF keeps its PostScript file beside the PDF.
    const String8 psSource = GetPsTempFileName();
    const bool tiff = type == kTypeTiff, ps = type == kTypePostScript && (m_psFlag == 1 || !psSource.IsNull());
    const char* ext = tiff ? "tif" : ps ? "ps" : "pdf";
    const char* filter = tiff ? "Tiff Files (*.tif)|*.tif;*.tiff|All Files (*.*)|*.*||"
                         : ps ? "PostScript Files (*.ps)|*.ps|All Files (*.*)|*.*||"
                              : "PDF Files (*.pdf)|*.pdf|All Files (*.*)|*.*||";
    std::string path;
    if (!RunSaveCopyDialog(ext, filter, title, path)) return;
    // A PostScript document keeps its PostScript; the temporary file may
    // hold the PDF made of it.
    const std::string source = ps && !psSource.IsNull() ? psSource.c_str() : GetTempFileName().c_str();
    if (SamePath(source, path)) return;
    std::string error;
    int err = 0;
    WaitCursor wait;
    dvicopy::RemoveStaleTemporaries();
    if (dvicopy::CopyReplacing(source, path, error, &err)) return;
    CString text;
    const bool denied = err == EACCES || err == EPERM || err == EROFS;
    text.Format(AfxLoadString(denied ? IDS_SAVE_ATTRIBUTE_ERROR : IDS_SAVE_UNKNOWN_ERROR).c_str(), err);
    Box(text, MB_SYSTEMMODAL | MB_ICONERROR);
}

void CVrViewerDoc::OnFileOpen() {
    if (CVrViewerAppBase* app = CVrViewerAppBase::Get()) app->OnFileOpen();
}
