// The end of a PostScript or PDF document's arrival, on the worker thread:
// PostScript is converted to a PDF of its own temporary name, the PDF's links
// are scanned and its pages counted.
#include <unistd.h>

#include <string>

#include "platform/sys/TempFiles.h"
#include "platform/ui/MessageBox.h"
#include "viewer/document/PsConversion.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/DocumentView.h"

String8 CVrViewerDoc::GetPsTempFileName() const {
    std::lock_guard<std::mutex> lock(m_nameLock);
    return m_psTempFileName;
}

std::shared_ptr<const std::vector<LinkRecord>> CVrViewerDoc::GetPdfLinks() const {
    static const auto kNone = std::make_shared<const std::vector<LinkRecord>>();
    std::lock_guard<std::mutex> lock(m_nameLock);
    return m_pdfLinks ? m_pdfLinks : kNone;
}

void CVrViewerDoc::ReportPostScriptFailure(const std::string& text) {
    AppendErrorText("\n");
    AppendErrorText(text.c_str());
    m_active = 0;
    PostView("SetStatusText Document Error!!", [](CDocumentView* v) { v->SetStatusText("Document Error!!"); });
    PostView("InvalidateRect", [](CDocumentView* v) { v->InvalidateRect(nullptr, FALSE); });
    ShowBox(CString(text.c_str()), "Veloran Viewer", MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    // The status keeps the short text; the box and the error log have the details.
    SetEndText("Document Error!!");
}

int CVrViewerDoc::RunPostScriptJobs() {
    if (!GetGS()->IsGSDLLLoaded()) {
        ReportPostScriptFailure("Ghostscript is not available: PostScript and PDF documents cannot be shown.");
        return 0;
    }
    auto status = [this](const char* text) {
        const std::string t = text;
        PostView("SetStatusText " + t, [t](CDocumentView* v) { v->SetStatusText(t.c_str()); });
        PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
        PostView("InvalidateRect", [](CDocumentView* v) { v->InvalidateRect(nullptr, FALSE); });
    };

    if (m_psFlag) {
        status("PostScript Converting...");
        sys::TempFile pdf = sys::CreateTempFile(sys::GetTempPath(), "htp");
        if (pdf.path.empty()) {
            ReportPostScriptFailure("No temporary file could be made for the converted document.");
            return 0;
        }
        std::string why;
        const PsJobResult r = ConvertPostScriptToPdf(GetTempFileName().c_str(), pdf.path.c_str(), &m_stopRequested,
                                                     &why);
        if (r != PsJobResult::Done) {
            ::unlink(pdf.path.c_str());
            if (r == PsJobResult::Stopped) return -1;
            ReportPostScriptFailure(why);
            return 0;
        }
        // The PDF is the document's file from now on; both are deleted with it.
        {
            std::lock_guard<std::mutex> lock(m_nameLock);
            m_psTempFileName = m_tempFileName;
            m_tempFileName = pdf.path.c_str();
        }
        m_psTempLock = std::move(m_tempLock);
        m_tempLock = std::move(pdf.lock);
        m_psFlag = 0;
        m_docType = kTypePostScript;
        PostView("SetDocType 3", [](CDocumentView* v) { v->SetDocType(kTypePostScript); });
    }
    if (m_stopRequested.load()) return -1;

    status("Waiting...");
    const String8 file = GetTempFileName();
    auto links = std::make_shared<std::vector<LinkRecord>>();
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
    int treeDepth = 0;
    ScanPdfLinks(file.c_str(), links.get(), &objects, &names, &dests, &m_stopRequested, &treeDepth);
    if (m_stopRequested.load()) return -1;
    if (treeDepth > kPdfPageTreeDepthLimit) {
        // Ghostscript would exhaust the stack walking it and end the program.
        ReportPostScriptFailure("The PDF document cannot be shown: its page tree is nested " +
                                std::to_string(treeDepth) + " levels deep (at most " +
                                std::to_string(kPdfPageTreeDepthLimit) + " are read).");
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_nameLock);
        m_pdfLinks = std::move(links);
    }

    int count = 1;
    const PsJobResult r = CountPdfPages(file.c_str(), &m_stopRequested, &count);
    if (r == PsJobResult::Stopped) return -1;
    if (r == PsJobResult::Failed) {
        ReportPostScriptFailure("Ghostscript could not read the PDF document.");
        return 0;
    }
    m_psPageCount = count;
    PostView("OnInitialUpdate", [](CDocumentView* v) { v->OnInitialUpdate(); });
    PostView("SetPageCount " + std::to_string(count), [count](CDocumentView* v) { v->SetPageCount(count); });
    return 1;
}
