// The HTTP transport: the document's address, and its side files, fetched
// chunk by chunk on the worker thread.
#include "viewer/document/VrViewerDoc.h"

#include <memory>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/UiDispatcher.h"
#include "platform/ui/WinApp.h"
#include "viewer/document/DocFetch.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/DocumentView.h"

namespace {

constexpr const char* kAgent = "Veloran Viewer Internet Agent";
constexpr const char* kCookie = "USRAGENT=VeloranViewer";

}  // namespace

int CVrViewerDoc::ReadLinkedFileHttp(FetchedFile* entry) {
    if (!entry || m_stopRequested.load()) return 0;
    if (entry->IsComplete()) return 1;
    const std::string address = entry->GetFullAddress().c_str();
    m_hInternet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (m_hInternet) {
        InternetSetStopFlag(m_hInternet, &m_stopRequested);
        m_hUrl = InternetOpenUrlA(m_hInternet, address.c_str(), nullptr, DWORD(-1),
                                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_HYPERLINK |
                                      INTERNET_FLAG_PRAGMA_NOCACHE,
                                  0x42);
    }
    DWORD status = 200;
    if (m_hUrl) {
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(m_hUrl, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            status = 200;
    }
    // An error answer is never stored as the file.
    if (!m_hUrl || status >= 400 || m_stopRequested.load()) return InternetConnectionClear(0);
    std::unique_ptr<char[]> buf(new char[docfetch::kChunkSize]);
    bool first = true;
    for (;;) {
        DWORD n = 0;
        if (!InternetReadFile(m_hUrl, buf.get(), docfetch::kChunkSize, &n) || (first && n > 0 && buf[0] == '<')) {
            entry->Reopen();
            return InternetConnectionClear(0);
        }
        if (n == 0) break;
        first = false;
        entry->Write(buf.get(), int(n));
        if (m_stopRequested.load()) {
            entry->Reopen();
            return InternetConnectionClear(0);
        }
    }
    entry->Close();
    InternetConnectionClear(1);
    if (entry->IsComplete()) TellFileArrived(entry);
    return entry->IsComplete();
}

int CVrViewerDoc::GetHttpData() {
    m_active = 1;
    m_received = 0;
    m_total = 0;
    m_beyondTotal = 0;
    m_stage = 0;
    if (!MakeTempFile()) return 0;
    UiDispatcher::Post([] {
        if (CWnd* main = AfxGetMainWnd()) main->SetTimer(ID_EMPTY_DOCUMENT_CHECK, 5000);
    });
    const std::string& address = m_requestAddress;
    m_hInternet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (m_hInternet) InternetSetStopFlag(m_hInternet, &m_stopRequested);
    InternetSetCookieA(address.c_str(), nullptr, kCookie);
    DWORD openError = 0;
    if (m_hInternet) {
        m_hUrl = InternetOpenUrlA(m_hInternet, address.c_str(), nullptr, DWORD(-1),
                                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_HYPERLINK |
                                      INTERNET_FLAG_PRAGMA_NOCACHE,
                                  0x42);
        if (!m_hUrl) openError = GetLastError();
    }
    if (m_stopRequested.load()) return StopPath();
    // An address that cannot be reached, or an answer that is an error, ends
    // the run with a message.
    DWORD status = 200;
    if (m_hUrl) {
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(m_hUrl, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            status = 200;
    }
    if (!m_hUrl || status >= 400) {
        CString text;
        if (!m_hUrl && openError == ERROR_HTTP_REDIRECT_FAILED)
            text.Format("The server redirected %s too many times.", address.c_str());
        else if (!m_hUrl && openError == ERROR_INTERNET_TIMEOUT)
            text.Format("The server of %s did not answer.", address.c_str());
        else if (!m_hUrl) text.Format("Can not connect to %s.", address.c_str());
        else text.Format("The server answered with error %u for %s.", unsigned(status), address.c_str());
        PostView("SetStatusText File Not Found!!", [](CDocumentView* v) { v->SetStatusText("File Not Found!!"); });
        PostView("InvalidateRect", [](CDocumentView* v) { v->InvalidateRect(nullptr, FALSE); });
        InternetConnectionClear(0);
        return FailRun(text, MB_ICONEXCLAMATION | MB_SYSTEMMODAL, docfetch::kCaption);
    }
    DWORD length = 0, size = sizeof length;
    if (!HttpQueryInfoA(m_hUrl, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        length = 0;
    m_total = int64_t(length);

    std::unique_ptr<unsigned char[]> buf(new unsigned char[docfetch::kChunkSize]);
    int64_t received = 0;
    for (;;) {
        if (m_stopRequested.load()) return StopPath();
        DWORD n = 0;
        if (!InternetReadFile(m_hUrl, buf.get(), docfetch::kChunkSize, &n)) {
            if (m_stopRequested.load()) return StopPath();
            // A transfer cut short keeps what arrived, and says so.
            CString text;
            text.Format("The transfer of %s broke off after %lld bytes.", address.c_str(), (long long)received);
            AppendErrorText("\n");
            AppendErrorText(text);
            // The pages that arrived stay; the status bar tells at once that
            // there are no more.
            PostView("SetStatusText broke off", [text](CDocumentView* v) { v->SetStatusText(text); });
            // Nothing more arrives: the progress bar goes.
            PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
            // The view goes on drawing them: its page-parts timer stays.
            InternetConnectionClear(0);
            if (m_input.GetInflateState() == ProgressiveInput::kInflateOpen) m_input.EndInflate();
            CloseTempStream();
            return 0;
        }
        if (n == 0) break;
        received += n;
        m_received = int(received);
        if (received >= m_total) m_beyondTotal = 1;
        if (m_stage == 0) {
            Detect d = DetectType(buf.get(), int(n), true);
            if (d == Detect::Ended) return StopPath();
            if (d == Detect::Rejected) {
                InternetConnectionClear(0);
                CloseTempStream();
                return 0;
            }
            int type = m_docType.load();
            PostView("SetDocType " + std::to_string(type), [type](CDocumentView* v) { v->SetDocType(type); });
            m_stage = 1;
        }
        if (!TakeChunk(buf.get(), int(n), true)) {
            if (m_stopRequested.load()) return StopPath();
            InternetConnectionClear(0);
            return 0;
        }
    }
    return EndOfData(true);
}
