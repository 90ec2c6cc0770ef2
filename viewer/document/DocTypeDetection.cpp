// The document's type, decided from the first bytes that arrive; for gzip
// data of the web, the question whether to download it and where.
#include "viewer/document/VrViewerDoc.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/sys/TempFiles.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/document/DocFetch.h"
#include "viewer/res/DocStrings.h"
#include "viewer/document/DocumentView.h"

namespace {

// A text inside name found after its first character.
bool NameHas(const std::string& name, std::initializer_list<const char*> texts) {
    for (const char* t : texts) {
        size_t at = name.find(t);
        if (at != std::string::npos && at > 0) return true;
    }
    return false;
}

}  // namespace

CVrViewerDoc::Detect CVrViewerDoc::DetectType(const unsigned char* chunk, int n, bool http) {
    // Bytes past the data read as 0, which starts no known type.
    unsigned char b[4] = {0, 0, 0, 0};
    std::memcpy(b, chunk, size_t(std::min(n, 4)));
    auto starts = [&](const char* t) { return std::memcmp(b, t, std::strlen(t)) == 0; };
    if (starts("II") || starts("MM")) {
        m_docType = kTypeTiff;
        m_input.ResetTiffScan();
        return Detect::Ok;
    }
    if (starts("%!PS") || starts("%!\r\n") || starts("%%Te") || starts("%PDF")) {
        m_psFlag = starts("%PDF") ? 0 : 1;
        m_docType = m_psFlag ? kTypePostScriptRaw : kTypePostScript;
        m_compressedPs = 0;
        m_psPageCount = 0;
        m_downloadChoice = -1;
        return Detect::Ok;
    }
    if (b[0] == 0xF7 && (b[1] == 2 || b[1] == 3)) {
        m_docType = kTypeDvi;
        m_dviEncoding = 0;
        m_reloadable = http ? 0 : 1;
        m_input.ResetDviScan();
        return Detect::Ok;
    }
    if (b[0] == 0x1F && b[1] == 0x8B && b[2] == 0x08) {
        m_docType = kTypeGzip;
        m_compressedPs = 1;
        m_psPageCount = 0;
        m_downloadChoice = 0;
        PostView("SetStatusText Flushing...", [](CDocumentView* v) { v->SetStatusText("Flushing..."); });
        std::string name = http ? m_urlFileName : m_fileTitle;
        if (NameHas(name, {".ps", ".PS", ".Ps"})) {
            m_docType = kTypePostScriptRaw;
            m_psFlag = 1;
            m_input.InitInflate();
            return Detect::Ok;
        }
        // A DVI name (paper.dvi.gz) is compressed DVI, on disk as on the web.
        bool dviName = NameHas(name, {".dvi", ".DVI", ".Dvi"});
        if (!dviName && NameHas(name, {".gz", ".GZ", ".Gz", ".tgz", ".TGZ", ".Tgz", ".tar", ".TAR", ".Tar"})) {
            if (!http) {
                ShowBox(AfxLoadString(IDS_KIND_NOT_SUPPORTED), nullptr, MB_SYSTEMMODAL);
                m_active = 0;
                return Detect::Rejected;
            }
            m_active = 0;
            int answer = AfxShowMessageBox(nullptr, AfxLoadString(IDS_ASK_DOWNLOAD), docfetch::kCaption,
                                           MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL, &m_stopRequested);
            if (answer == IDYES) {
                m_downloadChoice = 1;
                PostView("SetStatusText Flushing...", [](CDocumentView* v) { v->SetStatusText("Flushing..."); });
                auto target = UiDispatcher::CallFor<std::string>(
                    [] {
                        CFileDialog dlg(FALSE, "*.*", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER,
                                        AfxLoadString(IDS_ALL_FILES_FILTER));
                        return dlg.DoModal() == IDOK ? dlg.GetPathName().str() : std::string();
                    },
                    &m_stopRequested);
                if (target && !target->empty()) {
                    m_downloadTarget = target->c_str();
                    m_downloadChoice = 2;
                    PostView("SetStatusText Downloading...",
                             [](CDocumentView* v) { v->SetStatusText("Downloading..."); });
                    return Detect::Ok;
                }
            }
            if (m_stopRequested.load()) return Detect::Ended;
            ShowBox(AfxLoadString(IDS_PRESS_BACK), docfetch::kCaption, MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
            return Detect::Rejected;
        }
        m_docType = kTypeDvi;
        m_dviEncoding = 1;
        m_reloadable = http ? 0 : 1;
        m_input.ResetDviScan();
        m_input.InitInflate();
        return Detect::Ok;
    }
    // Not a known type.
    m_active = 0;
    CString text;
    if (!http) {
        text = AfxLoadString(IDS_UNSUPPORTED_LOCAL);
    } else if (b[0] == '<') {
        text.Format(AfxLoadString(IDS_MAYBE_HTML), b[0], b[1], b[2], b[3]);
        // The answer goes into a file of its own for whoever looks into it.
        std::string dump = sys::GetTempFileName(sys::GetTempPath(), "error");
        if (dump.empty()) return Detect::Rejected;
        if (FILE* f = std::fopen(dump.c_str(), "w")) {
            std::fwrite(chunk, 1, size_t(n), f);
            std::fclose(f);
        }
    } else {
        text.Format(AfxLoadString(IDS_UNSUPPORTED_HEX), b[0], b[1], b[2], b[3]);
    }
    ShowBox(text, docfetch::kCaption, MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    return Detect::Rejected;
}
