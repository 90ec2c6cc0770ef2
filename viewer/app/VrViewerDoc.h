// CVrViewerDoc: one open document (DVI, TIFF, PostScript or PDF), from a
// local file or from a web address. A worker thread copies the data into a
// temporary file chunk by chunk, recognises the type from the first bytes,
// unpacks gzip data, lets the reader scan pages as they complete and tells
// the view through the UI dispatcher.
//
// Threads: the document owns at most one worker. Stop, Refresh, Unload,
// a reload and closing set the stop flag, wait at most 1000 ms for the
// worker's done event and then join it; every blocking point of the worker
// (HTTP reads, local reads, waiting calls on the UI thread) gives up on the
// flag, so the join follows promptly. The worker owns its Internet handles.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/String8.h"
#include "dvilib/VrDvi.h"
#include "platform/inet/WinInet.h"
#include "platform/sys/Event.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/Document.h"
#include "platform/ui/Wnd.h"
#include "viewer/app/AddressParameters.h"
#include "viewer/app/ProgressiveInput.h"

class CFrameWnd;
class CVrViewerApp;
class CVrViewerView;

// Commands of the document.
constexpr UINT ID_VIEWER_UNLOAD = 116;
constexpr UINT ID_VIEWER_STOP = 117;
constexpr UINT ID_VIEWER_REFRESH = 118;
constexpr UINT ID_WINDOW_CLOSEALL = 40114;
// Timers of the main window armed by documents.
constexpr UINT ID_ACTIVE_DOCUMENT_CHECK = 122;
constexpr UINT ID_EMPTY_DOCUMENT_CHECK = 125;
// The view's progressive drawing timer, killed when a fetch stops.
constexpr UINT ID_PAGE_PARTS_TIMER = 126;

// Strings of the document.
constexpr UINT IDS_VIEWER_CAPTION = 133;
constexpr UINT IDS_PICTURES_NOT_RETRIEVED = 136;
constexpr UINT IDS_FILE_NOT_EXIST = 45201;
constexpr UINT IDS_FILE_ACCESS_DENIED = 45202;
constexpr UINT IDS_FILE_SHARING_VIOLATION = 45203;
constexpr UINT IDS_FILE_UNKNOWN_ERROR = 45204;
constexpr UINT IDS_NOT_VELORAN_TYPE = 45211;
constexpr UINT IDS_DVI_ERROR_INFORMATION = 45306;
constexpr UINT IDS_SAVE_CHANGES = 61899;

class CVrViewerDoc : public CDocument {
public:
    // Document types, known from the first bytes.
    enum { kTypeDvi = 0, kTypeTiff = 1, kTypePostScript = 3, kTypeGzip = 4 };

    // The browser's commands and the viewer commands they stand for.
    struct HostCommand {
        DWORD hostId;
        UINT command;
    };
    static const HostCommand kHostCommands[7];
    // The command for a host command id; 0 when it has none.
    static UINT MapHostCommand(DWORD hostId);
    // Runs a host command through the view (then the document); FALSE when
    // it has no command or nobody handles it.
    BOOL ExecHostCommand(DWORD hostId);

    CVrViewerDoc();
    ~CVrViewerDoc() override;

    // Opens a local document: starts the file worker. Always TRUE.
    BOOL OnOpenDocument(const char* lpszPathName) override;
    // A document given by a web address (the browser's moniker): starts the
    // HTTP worker. kLoadFailed (E_FAIL) for a null address, else kLoadOk.
    static constexpr long kLoadOk = 0;
    static constexpr long kLoadFailed = long(0x80004005u);
    long LoadFromAddress(const char* address);
    void OnCloseDocument() override;
    BOOL SaveModified() override;
    // Stops the worker before the in-place frame goes.
    void DestroyInPlaceFrame(CFrameWnd* pFrame);

    // Sends a local file to the document's address with HTTP PUT; 1 when the
    // server took it (a 2xx answer), 0 after a message box saying why not.
    int UploadFile(const char* localPath);

    void OnStop();
    void OnRefresh();
    BOOL OnUnload();
    void OnCloseAll();
    virtual void OnWindowCloseall();

    // Reopens a local DVI document whose file changed on disk, at the same
    // page and scroll position. 1 when it looked at the file, 0 otherwise.
    int CheckReloadFile();

    // Writes the document with its notes over target; 0 on failure.
    virtual int RewriteDviWithNotes(const String8& target);

    // Worker bodies; 1 when they ran to their end, 0 when they stopped early.
    int GetHttpData();
    int GetFileData();
    int ThreadClear();
    int InternetConnectionClear(int result);

    // Takes the address's parameters into m_params and cuts them off it.
    void ParseParameters(const String8& address);

    // State (read by the frames, the view and tests).
    VrDvi& GetReader() { return m_dvi; }
    int GetDocType() const { return m_docType.load(); }
    int IsActive() const { return m_active.load(); }
    int IsServedInBrowser() const { return m_servedInBrowser; }
    int IsReloadable() const { return m_reloadable.load(); }
    const String8& GetAddress() const { return m_address; }
    const std::string& GetFileTitle() const { return m_fileTitle; }
    String8 GetTempFileName() const;
    CString GetErrorText() const;
    void AppendErrorText(const char* text);
    // True while a worker runs (it has not yet ended).
    bool IsWorkerRunning() const { return m_worker.joinable() && !m_hThreadDone.IsSet(); }
    // Waits for the worker's end; true when it ended within the time.
    bool WaitWorker(uint32_t timeoutMs) { return m_hThreadDone.Wait(timeoutMs); }
    int GetReceivedBytes() const { return m_received.load(); }

    // Every view call the worker makes is also told here, on the UI thread,
    // as text ("SetPageCount 3").
    using ViewCallTrace = std::function<void(const std::string&)>;
    void SetViewCallTrace(ViewCallTrace trace);

    // The address's parameters; a reload restores page and origin from here.
    AddressParameters m_params;

private:
    // Stops the worker: flag, a wait of at most 1000 ms, then join.
    void StopWorker();
    void StartWorker(bool http);
    void BeginLoad(bool http);
    // Hands m_params to the view for its first display.
    void ApplyInitialView();
    void DeleteTempFiles();

    // Worker helpers.
    enum class Detect { Ok, Rejected, Ended };
    bool MakeTempFile();
    Detect DetectType(const unsigned char* b, int n, bool http);
    // Stores a chunk and advances the progress; false when the run ends.
    bool TakeChunk(const unsigned char* chunk, int n, bool http);
    // End of data; 1 at the normal end, 0 when the run ended early.
    int EndOfData(bool http);
    int StopPath();
    void CloseTempStream();
    bool ReaderCall(const std::function<void()>& fn);
    int ReaderPages() const;
    void ShowBox(const CString& text, const char* caption, UINT type);

    // View calls from the worker: queued to the UI thread, dropped when the
    // view has gone.
    bool HasView() const { return !m_viewGuard.expired(); }
    void PostView(const std::string& what, std::function<void(CVrViewerView*)> fn);

    CVrViewerApp* m_pApp = nullptr;

    int m_servedInBrowser = 0;
    int m_paramsParsed = 0;
    int m_dviEncoding = 0;
    std::atomic<int> m_active{0};
    VrDvi m_dvi;
    CVrViewerView* m_pView = nullptr;
    WndGuard m_viewGuard;
    int64_t m_fileTimeNs = 0;  // modification time of the local file; 0: not known
    int64_t m_fileSize = -1;

    String8 m_tempFileName;
    mutable std::mutex m_nameLock;  // m_tempFileName and m_errorText
    std::ofstream m_tempStream;
    sys::FileShareLock m_tempLock;
    String8 m_baseDir;

    String8 m_address;
    std::string m_fileTitle;
    std::string m_urlFileName;
    std::string m_requestAddress;  // the web address as given, parameters and all
    String8 m_localPath;
    String8 m_windowName;
    std::atomic<int> m_docType{kTypeDvi};
    std::atomic<int> m_reloadable{0};
    int m_psFlag = 0;
    int m_compressedPs = 0;
    int m_psPageCount = 0;
    int m_downloadChoice = 0;
    String8 m_downloadTarget;
    String8 m_psTempFileName;

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hUrl = nullptr;

    std::thread m_worker;
    sys::Event m_hThreadDone{sys::Event::Mode::ManualReset, false};
    std::atomic<int> m_stopRequested{0};
    CString m_errorText;

    ProgressiveInput m_input;
    // Run state of the worker.
    int64_t m_total = 0;
    std::atomic<int> m_received{0};
    int m_beyondTotal = 0;
    int m_stage = 0;

    std::shared_ptr<ViewCallTrace> m_trace;
};

// "scheme://..." (http, https, file).
bool IsWebAddress(const std::string& text);

// Registers the document's texts (English and Korean) once.
void AfxRegisterDocStrings();
