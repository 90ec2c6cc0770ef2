#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewerStrings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/Errors.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/UiDispatcher.h"
#include "platform/ui/WinApp.h"
#include "viewer/document/DocFetch.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/view/DocumentView.h"

namespace {

constexpr int kRangeStep = 409600;

const DList<String8>& EmptyList() {
    static const DList<String8> empty;
    return empty;
}

std::string AfterLast(const std::string& s, const char* separators) {
    size_t at = s.find_last_of(separators);
    return at == std::string::npos ? s : s.substr(at + 1);
}

bool StatFile(const char* path, int64_t& timeNs, int64_t& size) {
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    timeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (timeNs == 0) timeNs = 1;
    size = int64_t(st.st_size);
    return true;
}

}  // namespace

bool IsWebAddress(const std::string& s) {
    size_t colon = s.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i) {
        unsigned char c = (unsigned char)s[i];
        bool ok = std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
        if (!ok) return false;
    }
    return true;
}


const CVrViewerDoc::HostCommand CVrViewerDoc::kHostCommands[7] = {
    {8, ID_FILE_PAGE_SETUP},     // page setup
    {6, ID_FILE_PRINT},          // print
    {4, ID_FILE_SAVE_AS},        // save as
    {5, ID_FILE_SAVE_COPY_AS},   // save copy as
    {23, ID_VIEWER_STOP},        // stop
    {22, ID_VIEWER_REFRESH},     // refresh
    {37, ID_VIEWER_UNLOAD},      // on unload
};

UINT CVrViewerDoc::MapHostCommand(DWORD hostId) {
    for (const HostCommand& c : kHostCommands)
        if (c.hostId == hostId) return c.command;
    return 0;
}

BOOL CVrViewerDoc::ExecHostCommand(DWORD hostId) {
    UINT id = MapHostCommand(hostId);
    if (!id) return FALSE;
    if (!m_viewList.empty()) return m_viewList.front()->OnCmdMsg(id, CN_COMMAND, nullptr, nullptr);
    return OnCmdMsg(id, CN_COMMAND, nullptr, nullptr);
}

CVrViewerDoc::CVrViewerDoc() {
    AfxRegisterViewerStrings();
    m_pApp = CVrViewerAppBase::Get();
    m_dvi.SetDocument(this);
    MapCommand(ID_WINDOW_CLOSEALL, [this] { OnCloseAll(); });
    MapCommand(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    MapCommand(ID_VIEWER_STOP, [this] { OnStop(); });
    MapCommand(ID_VIEWER_REFRESH, [this] { OnRefresh(); });
    MapCommand(ID_VIEWER_UNLOAD, [this] { OnUnload(); });
}

CVrViewerDoc::~CVrViewerDoc() {
    StopWorker();
    // The collected errors are shown once the close has finished.
    CString errors = GetErrorText();
    if (!errors.IsEmpty()) {
        CString text = AfxLoadString(IDS_DVI_ERROR_INFORMATION);
        text += "\n";
        text += m_address.c_str();
        text += errors;
        UiDispatcher::Post([text] { AfxMessageBox(text, MB_SYSTEMMODAL); });
    }
    InternetConnectionClear(1);
    m_fetchedFiles.Clear();
    m_dvi.Close();
    DeleteTempFiles();
    if (m_servedInBrowser) {
        if (CWnd* main = AfxGetMainWnd()) main->SetTimer(ID_ACTIVE_DOCUMENT_CHECK, 15000);
    }
}

void CVrViewerDoc::SetViewCallTrace(ViewCallTrace trace) {
    m_trace = trace ? std::make_shared<ViewCallTrace>(std::move(trace)) : nullptr;
}

String8 CVrViewerDoc::GetTempFileName() const {
    std::lock_guard<std::mutex> lock(m_nameLock);
    return m_tempFileName;
}

CString CVrViewerDoc::GetErrorText() const {
    std::lock_guard<std::mutex> lock(m_nameLock);
    return m_errorText;
}

void CVrViewerDoc::AppendErrorText(const char* text) {
    std::lock_guard<std::mutex> lock(m_nameLock);
    std::string t = PersonsText(text ? text : "");
    m_errorText += t.c_str();
    size_t start = t.find_first_not_of('\n');
    if (start != std::string::npos) m_endText = t.substr(start);
}

void CVrViewerDoc::ReportPageProblem(const std::string& text) {
    AppendErrorText(("\n" + text).c_str());
    const std::string shown = PersonsText(text);
    PostView("SetFrameMessage " + shown, [shown](CDocumentView* v) { v->SetFrameMessage(shown.c_str()); });
}

std::string CVrViewerDoc::PersonsText(const std::string& text) const {
    // Messages name the person's file, never the temporary copy.
    std::string out = text;
    const std::string temp = m_tempFileName.IsNull() ? std::string() : m_tempFileName.c_str();
    if (temp.empty() || m_displayName.empty()) return out;
    for (size_t at = out.find(temp); at != std::string::npos; at = out.find(temp, at + m_displayName.size()))
        out.replace(at, temp.size(), m_displayName);
    return out;
}

void CVrViewerDoc::SetEndText(const char* text) {
    std::lock_guard<std::mutex> lock(m_nameLock);
    m_endText = PersonsText(text);
}

void CVrViewerDoc::FinishRun(int result) {
    if (m_stopRequested.load()) return;
    const bool readerFailed = m_docType.load() == kTypeDvi && m_dvi.GetMode() == ModeInvalid;
    PostView("SetLoadingComplete", [](CDocumentView* v) { v->SetLoadingComplete(1); });
    if (result != 0 && !readerFailed) return;
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_nameLock);
        text = m_endText.empty() ? std::string("File Not Found!!") : m_endText;
    }
    if (text.find(m_displayName) == std::string::npos) text = m_displayName + ": " + text;
    // The status is one line: the lines of a message join with blanks.
    for (size_t at = text.find_first_of("\r\n"); at != std::string::npos; at = text.find_first_of("\r\n", at)) {
        const size_t end = text.find_first_not_of("\r\n", at);
        text.replace(at, (end == std::string::npos ? text.size() : end) - at, end == std::string::npos ? "" : " ");
    }
    // Pages that arrived stay on show; the status says why the rest did not.
    CString status(text.c_str());
    PostView("SetStatusText " + text, [status](CDocumentView* v) {
        v->SetStatusText(status);
        v->Invalidate(FALSE);
        v->SetFrameMessage(status);
    });
}

void CVrViewerDoc::ParseParameters(const String8& address) {
    ParseAddressParameters(address.c_str(), m_params);
    m_address = m_params.address.c_str();
    m_windowName = m_params.windowName.c_str();
    m_paramsParsed = 1;
}

void CVrViewerDoc::TakeHyperlink(const String8& url) {
    // The file's recorded time stays: a change on disk since the load is
    // still noticed.
    ParseParameters(url);
    ApplyInitialView();
}

void CVrViewerDoc::ApplyInitialView() {
    if (!m_pView) return;
    const AddressParameters& p = m_params;
    auto coord = [](int v) {
        return v == kParamNone ? InitialViewRequest::kAbsent : std::max(v, InitialViewRequest::kAbsent + 1);
    };
    InitialViewRequest r;
    r.targetTag = p.targetTag.c_str();
    r.firstPage = p.page;
    r.targetX = coord(p.originX);
    r.targetY = coord(p.originY);
    r.targetXsp = coord(p.originXsp);
    r.targetYsp = coord(p.originYsp);
    r.dispMag = p.magnification;
    r.workspaceColor = COLORREF(p.workspaceColor);
    r.scrollBarFlags = p.scrollBarChoice;
    r.showToolbar = p.toolbarChoice;
    r.showMainToolbar = p.mainToolbarChoice;
    m_pView->SetInitialViewStatus(r);
}

// ---- loading ----

void CVrViewerDoc::BeginLoad(bool http) {
    // A document loads one run at a time: the old worker ends first, then
    // its temporary file goes.
    StopWorker();
    DeleteTempFiles();
    m_dvi.Close();
    // The new scan brings the papers, watermark, side files and notes anew.
    m_dvi.ResetForScan();
    ClearFetchedFiles();
    if (m_pApp) {
        m_dvi.SetKPathSea(&m_pApp->m_kpathsea);
        m_dvi.SetDviTTFMap(&m_pApp->m_ttfMap);
    }
    m_pView = nullptr;
    m_viewGuard.reset();
    if (!m_viewList.empty()) m_pView = dynamic_cast<CDocumentView*>(m_viewList.front());
    if (m_pView) {
        m_viewGuard = m_pView->GetGuard();
        m_pView->m_isBrowser = http ? 1 : 0;
        m_pView->m_topOffset = 28;
        m_pView->SetLoadingComplete(0);
        m_pView->GetNotes().Clear();
        m_pView->SetWindow();
        if (http) m_pView->SetRetrievingStatus();
    }
}

BOOL CVrViewerDoc::OnOpenDocument(const char* lpszPathName) {
    m_servedInBrowser = 0;
    BeginLoad(false);
    std::string path = lpszPathName ? lpszPathName : "";
    // A file whose name holds '?' or '#' is taken as it stands.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        m_address = path.c_str();
        m_paramsParsed = 1;
    } else {
        ParseParameters(String8(path.c_str()));
    }
    m_localPath = LocalPathOfAddress(m_address.c_str()).c_str();
    m_fileTitle = AfterLast(m_localPath.c_str(), "/\\");
    if (!StatFile(m_localPath.c_str(), m_fileTimeNs, m_fileSize)) {
        m_fileTimeNs = 0;
        m_fileSize = -1;
    }
    ApplyInitialView();
    StartWorker(false);
    return TRUE;
}

long CVrViewerDoc::LoadFromAddress(const char* address) {
    if (!address) return kLoadFailed;
    m_requestAddress = address;
    m_urlFileName = AfterLast(m_requestAddress, "/");
    ParseParameters(String8(address));
    m_servedInBrowser = 1;
    BeginLoad(true);
    ApplyInitialView();
    StartWorker(true);
    return kLoadOk;
}

void CVrViewerDoc::StartWorker(bool http) {
    m_place.servedInBrowser = m_servedInBrowser;
    m_place.address = m_address.c_str();
    m_displayName = !http && !m_localPath.IsNull() && m_localPath.GetLength() > 0 ? m_localPath.c_str()
                                                                                 : m_address.c_str();
    m_dvi.SetDisplayName(String8(m_displayName.c_str()));
    m_endText.clear();
    m_stopRequested.store(0);
    m_hThreadDone.Reset();
    m_worker = std::thread([this, http] {
        // The done event tells that the run has ended, on every way out.
        struct Done {
            sys::Event& e;
            ~Done() { e.Set(); }
        } done{m_hThreadDone};
        FinishRun(http ? GetHttpData() : GetFileData());
    });
}

void CVrViewerDoc::StopWorker() {
    if (!m_worker.joinable()) return;
    m_stopRequested.store(1);
    m_hThreadDone.Wait(1000);
    // Every wait of the worker gives up on the flag, so this is short.
    m_worker.join();
}

void CVrViewerDoc::DeleteTempFiles() {
    std::string name;
    {
        std::lock_guard<std::mutex> lock(m_nameLock);
        name = m_tempFileName.c_str();
        m_tempFileName = String8();
    }
    if (m_tempStream.is_open()) m_tempStream.close();
    m_tempLock.Release();
    if (!name.empty()) ::unlink(name.c_str());
    String8 psName;
    {
        std::lock_guard<std::mutex> lock(m_nameLock);
        psName = m_psTempFileName;
        m_psTempFileName = String8();
        m_pdfLinks.reset();
    }
    m_psTempLock.Release();
    if (psName.GetLength() > 0) ::unlink(psName.c_str());
}

// ---- commands ----

void CVrViewerDoc::OnCloseDocument() {
    StopWorker();
    m_active.store(0);
    CDocument::OnCloseDocument();
}

void CVrViewerDoc::DestroyInPlaceFrame(CFrameWnd* pFrame) {
    StopWorker();
    if (pFrame) pFrame->DestroyWindow();
}

void CVrViewerDoc::OnStop() {
    StopWorker();
    InternetConnectionClear(1);
    std::lock_guard<std::mutex> lock(m_nameLock);
    m_errorText.Empty();
}

void CVrViewerDoc::OnRefresh() { OnStop(); }

BOOL CVrViewerDoc::OnUnload() {
    OnStop();
    if (m_pView && !m_viewGuard.expired()) m_pView->CloseNoteWindow();
    // The document may be gone after this.
    OnCloseDocument();
    return TRUE;
}

void CVrViewerDoc::OnCloseAll() { OnWindowCloseall(); }

void CVrViewerDoc::OnWindowCloseall() {
    CWinApp* app = AfxGetApp();
    if (app && app->SaveAllModified()) app->CloseAllDocuments(TRUE);
}

BOOL CVrViewerDoc::SaveModified() {
    // Nothing to save without an address.
    if (m_address.IsNull()) return TRUE;
    if (!IsModified()) return TRUE;
    CDocumentView* view = m_viewGuard.expired() ? nullptr : m_pView;
    if (view) view->CloseNoteWindow();
    if (view && view->m_isBrowser) return TRUE;
    CString name = AfterLast(m_address.c_str(), "/\\").c_str();
    CString prompt;
    AfxFormatString1(prompt, IDS_SAVE_CHANGES, name);
    int answer = AfxMessageBox(prompt, MB_YESNOCANCEL);
    if (answer == IDNO) return TRUE;
    if (answer != IDYES) return FALSE;
    if (m_dvi.GetMode() == ModeScanning || m_dvi.GetNPage() == 0) {
        MessageBox(AfxGetMainWnd(), AfxLoadString(IDS_PICTURES_NOT_RETRIEVED), AfxLoadString(IDS_VIEWER_CAPTION),
                   MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!RewriteDviWithNotes(m_address)) {
        AfxMessageBox("Can not save at file.", MB_ICONERROR);
        return FALSE;
    }
    return TRUE;
}

int CVrViewerDoc::CheckReloadFile() {
    if (m_address.IsNull() || !m_reloadable.load()) return 0;
    int64_t timeNs = 0, size = -1;
    if (!StatFile(m_localPath.c_str(), timeNs, size)) return 0;
    if (m_fileTimeNs == 0 || (timeNs == m_fileTimeNs && size == m_fileSize)) return 1;
    // The old run ends before its temporary file goes.
    StopWorker();
    DeleteTempFiles();
    CDocumentView* view = m_viewGuard.expired() ? nullptr : m_pView;
    if (view) {
        ViewStatus status;
        view->GetViewStatus(status);
        m_params.page = status.page;
        m_params.originX = status.scrollX;
        m_params.originY = status.scrollY;
        view->SetRetrievingStatus();
    }
    String8 path = m_localPath;
    OnOpenDocument(path.c_str());
    return 1;
}

// ---- worker ----

void CVrViewerDoc::PostView(const std::string& what, std::function<void(CDocumentView*)> fn) {
    if (!HasView()) return;
    CDocumentView* view = m_pView;
    std::shared_ptr<ViewCallTrace> trace = m_trace;
    UiDispatcher::Post(m_viewGuard, [view, fn = std::move(fn), trace, what] {
        fn(view);
        if (trace) (*trace)(what);
    });
}

void CVrViewerDoc::ShowBox(const CString& text, const char* caption, UINT type) {
    SetEndText(text);
    // The worker does not wait for the box.
    std::string cap = caption ? caption : "";
    UiDispatcher::Post([text, cap, type] { AfxShowMessageBox(nullptr, text, cap.empty() ? nullptr : cap.c_str(), type); });
}

bool CVrViewerDoc::MakeTempFile() {
    sys::TempFile temp = sys::CreateTempFile(sys::GetTempPath(), "htp");
    if (temp.path.empty()) return false;
    m_tempStream.open(temp.path, std::ios::binary | std::ios::trunc);
    if (!m_tempStream) {
        ::unlink(temp.path.c_str());
        return false;
    }
    m_tempLock = std::move(temp.lock);
    std::lock_guard<std::mutex> lock(m_nameLock);
    m_tempFileName = temp.path.c_str();
    m_input.SetTempFileName(m_tempFileName);
    return true;
}

void CVrViewerDoc::CloseTempStream() {
    if (m_tempStream.is_open()) m_tempStream.close();
}

bool CVrViewerDoc::ReaderCall(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const FileIOError& e) {
        AppendErrorText("\n");
        AppendErrorText(AfxLoadString(IDS_FILE_UNKNOWN_ERROR));
        AppendErrorText(" ");
        AppendErrorText(e.Path());
    } catch (const std::bad_alloc&) {
        AppendErrorText("\nMemory of system is lacking.");
    } catch (const uError&) {
        AppendErrorText("\n");
        AppendErrorText(AfxLoadString(IDS_FILE_UNKNOWN_ERROR));
    }
    return false;
}

int CVrViewerDoc::ReaderPages() const { return m_dvi.GetMode() == ModeInvalid ? 0 : m_dvi.GetNPage(); }

int CVrViewerDoc::InternetConnectionClear(int result) {
    if (m_hUrl) {
        InternetCloseHandle(m_hUrl);
        m_hUrl = nullptr;
    }
    if (m_hInternet) {
        InternetCloseHandle(m_hInternet);
        m_hInternet = nullptr;
    }
    return result;
}

int CVrViewerDoc::ThreadClear() {
    PostView("KillTimer 126", [](CDocumentView* v) { v->KillTimer(ID_PAGE_PARTS_TIMER); });
    if (m_servedInBrowser) InternetConnectionClear(1);
    if (m_input.GetInflateState() == ProgressiveInput::kInflateOpen) m_input.EndInflate();
    return 1;
}

int CVrViewerDoc::FailRun(const CString& text, std::optional<UINT> box, const char* caption) {
    AppendErrorText("\n");
    AppendErrorText(text);
    m_active = 0;
    PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
    if (box) ShowBox(text, caption, *box);
    CloseTempStream();
    return 0;
}

int CVrViewerDoc::FailWrite() {
    FailRun("File error!!!!");
    // The reader and the view read pages from the file by name: they let go
    // of it, on the UI thread, before it goes.
    if (!HasView()) {
        m_dvi.Close();
        DeleteTempFiles();
        return 0;
    }
    PostView("DropTempFile", [this](CDocumentView* v) {
        v->SetRetrievingStatus();
        m_dvi.Close();
        DeleteTempFiles();
        v->SetPageCount(0);
    });
    return 0;
}

int CVrViewerDoc::StopPath() {
    ThreadClear();
    CloseTempStream();
    return 0;
}

bool CVrViewerDoc::TakeChunk(const unsigned char* chunk, int n, bool http) {
    int64_t before = int64_t(m_tempStream.tellp());
    int type = m_docType.load();
    bool inflate = (type == kTypeDvi && m_dviEncoding == 1) ||
                   ((type == kTypePostScript || type == kTypePostScriptRaw) && m_compressedPs == 1);
    if (inflate) {
        if (!m_input.StoreCompressedChunk(chunk, n, m_tempStream))
            return m_tempStream ? FailRun(m_input.GetInflateError().c_str()) : FailWrite();
    } else {
        m_tempStream.write(reinterpret_cast<const char*>(chunk), n);
    }
    m_tempStream.flush();
    if (!m_tempStream) return FailWrite();
    if (m_stopRequested.load()) return false;
    int64_t after = int64_t(m_tempStream.tellp());
    int received = m_received.load();
    auto progress = [&] {
        if (m_stage != 2) return;
        if (http && m_beyondTotal) {
            int range = received + kRangeStep;
            PostView("SetDownloadRange " + std::to_string(range),
                     [range](CDocumentView* v) { v->SetDownloadRange(range); });
        }
        PostView("SetDownloadPos " + std::to_string(received),
                 [received](CDocumentView* v) { v->SetDownloadPos(received); });
    };
    int total = int(m_total);
    if (type == kTypeDvi) {
        int reported = m_input.ScanDviStream(before, after - before, ProgressiveInput::kScanDvi);
        if (reported && !m_input.IsValidDvi()) {
            return FailRun(AfxLoadString(IDS_NOT_VELORAN_TYPE), MB_SYSTEMMODAL);
        }
        if (reported) {
            if (m_stage == 1) {
                std::string a = m_address.c_str();
                size_t slash = a.find_last_of("/\\");
                m_baseDir = slash == std::string::npos ? String8() : String8(a.substr(0, slash + 1).c_str());
                if (!ReaderCall([&] {
                        if (!m_dvi.IsOpened())
                            m_dvi.Open(GetTempFileName(), m_pApp ? m_pApp->m_tfmPathListExpanded : EmptyList(),
                                   m_pApp ? m_pApp->m_vfPathListExpanded : EmptyList());
                        m_input.AnnounceDviPages(m_dvi, 0);
                    }))
                    return true;
                if (m_stopRequested.load()) return false;
                int pages = ReaderPages();
                if (pages > 0) {
                    PostView("OnInitialUpdate", [](CDocumentView* v) { v->OnInitialUpdate(); });
                    PostView("SetPageCount " + std::to_string(pages),
                             [pages](CDocumentView* v) { v->SetPageCount(pages); });
                    PostView("SetDownloadRange " + std::to_string(total),
                             [total](CDocumentView* v) { v->SetDownloadRange(total); });
                    PostView("SetDownloadPos " + std::to_string(received),
                             [received](CDocumentView* v) { v->SetDownloadPos(received); });
                    PostView("UpdateWindow", [](CDocumentView* v) { v->UpdateWindow(); });
                    m_stage = 2;
                    return true;
                }
            } else if (m_stage == 2) {
                int old = ReaderPages();
                ReaderCall([&] { m_input.AnnounceDviPages(m_dvi, 0); });
                if (m_stopRequested.load()) return false;
                int pages = ReaderPages();
                if (pages != old)
                    PostView("SetPageCount " + std::to_string(pages),
                             [pages](CDocumentView* v) { v->SetPageCount(pages); });
            }
        }
        progress();
    } else if (type == kTypeTiff) {
        if (m_input.ScanDviStream(before, after - before, ProgressiveInput::kScanTiff)) {
            int pages = m_input.GetTiffPages();
            if (m_stage == 1) {
                PostView("OnInitialUpdate", [](CDocumentView* v) { v->OnInitialUpdate(); });
                PostView("SetDownloadRange " + std::to_string(total),
                         [total](CDocumentView* v) { v->SetDownloadRange(total); });
                m_stage = 2;
            }
            PostView("SetPageCount " + std::to_string(pages), [pages](CDocumentView* v) { v->SetPageCount(pages); });
        }
        progress();
    } else {
        if (m_stage == 1) {
            PostView("OnInitialUpdate", [](CDocumentView* v) { v->OnInitialUpdate(); });
            PostView("SetDownloadRange " + std::to_string(total),
                     [total](CDocumentView* v) { v->SetDownloadRange(total); });
            m_stage = 2;
        }
        progress();
    }
    return true;
}

int CVrViewerDoc::EndOfData(bool http) {
    if (m_stopRequested.load()) return StopPath();
    if (m_input.GetInflateState() == ProgressiveInput::kInflateOpen) {
        if (!m_input.FinishInflate(m_tempStream))
            return m_tempStream ? FailRun(m_input.GetInflateError().c_str()) : FailWrite();
    }
    m_tempStream.flush();
    if (!m_tempStream) return FailWrite();
    if (m_received.load() == 0) {
        AppendErrorText(AfxLoadString(IDS_NO_DOCUMENT));
        SetEndText("File Not Found!!");
        m_active = 0;
        PostView("SetStatusText File Not Found!!", [](CDocumentView* v) { v->SetStatusText("File Not Found!!"); });
        PostView("InvalidateRect", [](CDocumentView* v) { v->InvalidateRect(nullptr, FALSE); });
        CloseTempStream();
        return 0;
    }
    if (m_stopRequested.load()) return StopPath();
    int type = m_docType.load();
    if (type == kTypeTiff) m_input.FinishTiffStream();
    bool notDvi = type == kTypeDvi && !m_input.IsValidDvi();
    if (notDvi) {
        // Whether or not the view is still there.
        return FailRun(AfxLoadString(IDS_NOT_VELORAN_TYPE), MB_SYSTEMMODAL);
    }
    if (!HasView()) {
        m_active = 0;
        ShowBox(http ? "Data Error!" : "Data Error!!!", nullptr, MB_SYSTEMMODAL);
    } else if (type == kTypeDvi) {
        ReaderCall([&] {
            if (!m_dvi.IsOpened())
                m_dvi.Open(GetTempFileName(), m_pApp ? m_pApp->m_tfmPathListExpanded : EmptyList(),
                           m_pApp ? m_pApp->m_vfPathListExpanded : EmptyList());
            m_input.AnnounceDviPages(m_dvi, 1);
        });
        if (m_dvi.GetMode() == ModeInvalid) {
            String8 why = m_dvi.GetErrorText();
            AppendErrorText("\n");
            AppendErrorText(why.IsNull() ? AfxLoadString(IDS_NOT_VELORAN_TYPE).str().c_str() : why.c_str());
        }
        int pages = ReaderPages();
        if (m_stage < 2 && pages > 0) {
            PostView("OnInitialUpdate", [](CDocumentView* v) { v->OnInitialUpdate(); });
            m_stage = 2;
        }
        PostView("SetPageCount " + std::to_string(pages), [pages](CDocumentView* v) { v->SetPageCount(pages); });
        PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
    } else if (type == kTypeTiff) {
        PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
        if (m_input.GetTiffPages() == 0) {
            // The file ended before its first page was whole: the run fails
            // and the view says so instead of waiting.
            if (http) InternetConnectionClear(1);
            return FailRun(http ? "Data Error!" : "Data Error!!!");
        }
    } else if (type == kTypePostScript || type == kTypePostScriptRaw) {
        PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
        CloseTempStream();
        const int ran = RunPostScriptJobs();
        if (ran < 0 || m_stopRequested.load()) return StopPath();
        if (ran == 0) {
            if (http) InternetConnectionClear(1);
            return 0;
        }
    }
    if (http && type == kTypeGzip && m_downloadChoice == 2) {
        PostView("SetStatusText Download Completed!!",
                 [](CDocumentView* v) { v->SetStatusText("Download Completed!!"); });
        PostView("SetDownloadPos 0", [](CDocumentView* v) { v->SetDownloadPos(0); });
        m_tempStream.flush();
        int err = m_input.WriteArrivedCopy(m_downloadTarget);
        if (err != 0) {
            CString text;
            text.Format("%s\n%s", m_downloadTarget.c_str(), std::strerror(err));
            AppendErrorText("\n");
            AppendErrorText(text);
            ShowBox(text, docfetch::kCaption, MB_ICONERROR | MB_SYSTEMMODAL);
        } else {
            ShowBox(AfxLoadString(IDS_DOWNLOAD_DONE), docfetch::kCaption, MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        }
    }
    if (http) InternetConnectionClear(1);
    if (m_stopRequested.load()) return StopPath();
    CloseTempStream();
    if (type == kTypeDvi && !FetchSideFiles(http)) return StopPath();
    return 1;
}

// ---- side files ----

FetchedFile* CVrViewerDoc::FindFetchedFile(const String8& url, int create) {
    FetchedFileList::Place place = m_place;
    place.allEmbedded = m_allFilesEmbedded.load();
    return m_fetchedFiles.Find(this, place, url, create);
}

std::string CVrViewerDoc::PictureSourcePath(const String8& name) {
    FetchedFile* file = FindFetchedFile(name, 0);
    return file && file->IsComplete() ? std::string(file->GetLocalCopy().c_str()) : std::string();
}

void CVrViewerDoc::TellFileArrived(const FetchedFile* entry) {
    String8 address = entry->GetFullAddress();
    PostView("RedrawIfAwaitedFile " + std::string(address.c_str()),
             [address](CDocumentView* v) { v->RedrawIfAwaitedFile(address); });
}

bool CVrViewerDoc::FetchSideFiles(bool http) {
    for (FetchedFile* entry : m_fetchedFiles.Entries()) {
        if (m_stopRequested.load()) return false;
        if (entry->IsEmbedded() && entry->IsComplete()) continue;
        int complete = http ? ReadLinkedFileHttp(entry) : ReadLinkedFileLocal(entry);
        entry->SetComplete(complete);
    }
    return !m_stopRequested.load();
}
