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
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/String8.h"
#include "dvilib/VrDvi.h"
#include "platform/inet/WinInet.h"
#include "platform/sys/Event.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/Document.h"
#include "platform/ui/Wnd.h"
#include "viewer/document/AddressParameters.h"
#include "viewer/document/PdfLinks.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/ProgressiveInput.h"
#include "viewer/document/ViewerDvi.h"
#include "viewer/res/DocCommandIds.h"
#include "viewer/res/DocStrings.h"

class CFrameWnd;
class CVrViewerAppBase;
class CDocumentView;

// Timers of the main window armed by documents.
constexpr UINT ID_ACTIVE_DOCUMENT_CHECK = 122;
constexpr UINT ID_EMPTY_DOCUMENT_CHECK = 125;
// The view's progressive drawing timer, killed when a fetch stops.
constexpr UINT ID_PAGE_PARTS_TIMER = 126;


class CVrViewerDoc : public CDocument {
public:
    // Document types, known from the first bytes.
    // kTypePostScriptRaw: PostScript not yet converted to PDF.
    enum { kTypeDvi = 0, kTypeTiff = 1, kTypePostScriptRaw = 2, kTypePostScript = 3, kTypeGzip = 4 };

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

    // ---- saving (DocSave.cpp) ----
    // Writes the document with its notes over target; 0 on failure.
    virtual int RewriteDviWithNotes(const String8& target);
    // Writes the DVI document to path: pictures that copyPictures copies
    // beside it are renamed "<prefix><n><ext>"; with notes set the view's
    // notes replace the file's. 1 on success; 0 with m_saveError set.
    int WritePackedDocument(const String8& path, const String8& picturePrefix, int copyPictures, int notes = 0);
    void OnFileSaveAs();
    void OnFileOpen();
    // The save dialog of a DVI document: the chosen path and whether the
    // pictures are copied; false when cancelled.
    virtual bool RunSaveDviDialog(const std::string& proposed, std::string& path, int& copyPictures);
    // The save dialog of a TIFF, PostScript or PDF document.
    virtual bool RunSaveCopyDialog(const char* defExt, const char* filter, const std::string& proposed,
                                   std::string& path);
    // Why the last save failed.
    const std::string& GetSaveError() const { return m_saveError; }
    // The time stamped into saved files (tests fix it).
    std::function<std::time_t()> m_saveClock = [] { return std::time(nullptr); };

    // Worker bodies; 1 when they ran to their end, 0 when they stopped early.
    int GetHttpData();
    int GetFileData();
    int ThreadClear();
    int InternetConnectionClear(int result);

    // Takes the address's parameters into m_params and cuts them off it.
    void ParseParameters(const String8& address);
    // A link to this document handed over by a view: its parameters are
    // taken and the view goes to the place they name.
    void TakeHyperlink(const String8& url);
    // 1 once an address was recorded (a load started).
    int IsAddressRecorded() const { return m_paramsParsed; }

    // ---- side files ----
    static String8 NormalizeUrl(const String8& url) { return FetchedFileList::NormalizeUrl(url); }
    void AddEmbeddedUrl(const String8& url) { m_fetchedFiles.AddEmbeddedUrl(url); }
    int IsEmbeddedUrl(const String8& url) const { return m_fetchedFiles.IsEmbeddedUrl(url); }
    // The side file of that name, made when missing (names that travel inside
    // the document only with create set); null for a refused name.
    FetchedFile* FindFetchedFile(const String8& url, int create);
    int AreFetchedFilesComplete() const { return m_fetchedFiles.AreComplete(); }
    // Fill one entry from the web server or the disk; the entry's complete
    // flag afterwards.
    int ReadLinkedFileHttp(FetchedFile* entry);
    int ReadLinkedFileLocal(FetchedFile* entry);
    void SetAllFilesEmbedded(int all) { m_allFilesEmbedded = all; }
    int GetAllFilesEmbedded() const { return m_allFilesEmbedded; }
    const FetchedFileList& GetFetchedFiles() const { return m_fetchedFiles; }

    // State (read by the frames, the view and tests).
    ViewerDvi& GetReader() { return m_dvi; }
    int GetDocType() const { return m_docType.load(); }
    int IsActive() const { return m_active.load(); }
    int IsServedInBrowser() const { return m_servedInBrowser; }
    int IsReloadable() const { return m_reloadable.load(); }
    const String8& GetAddress() const { return m_address; }
    const std::string& GetFileTitle() const { return m_fileTitle; }
    String8 GetTempFileName() const;
    CString GetErrorText() const;
    void AppendErrorText(const char* text);
    // A problem with a part of a page (a picture that was stopped): added to
    // the error text and shown in the frame's message pane; any thread.
    void ReportPageProblem(const std::string& text);
    // True while a worker runs (it has not yet ended).
    bool IsWorkerRunning() const { return m_worker.joinable() && !m_hThreadDone.IsSet(); }
    // Waits for the worker's end; true when it ended within the time.
    bool WaitWorker(uint32_t timeoutMs) { return m_hThreadDone.Wait(timeoutMs); }
    int GetReceivedBytes() const { return m_received.load(); }
    // PostScript and PDF: the page count once known (0 before), the name of
    // the PostScript file a PDF was made from (empty when none), and the
    // links of the PDF (never null).
    int GetPsPageCount() const { return m_psPageCount.load(); }
    String8 GetPsTempFileName() const;
    std::shared_ptr<const std::vector<LinkRecord>> GetPdfLinks() const;

    // Every view call the worker makes is also told here, on the UI thread,
    // as text ("SetPageCount 3").
    using ViewCallTrace = std::function<void(const std::string&)>;
    void SetViewCallTrace(ViewCallTrace trace);

    // The address's parameters; a reload restores page and origin from here.
    AddressParameters m_params;

    // The path a picture's bytes are read from: the complete local copy of
    // its side file ("" while there is none).
    std::string PictureSourcePath(const String8& name);
    // The folder of a local document (with its '/'), "" for a web document.
    std::string LocalFolder() const { return FetchedFileList::LocalFolder(m_place); }

    // ---- notes (DocNotes.cpp) ----
    // One "note:" special of page (0-based) becomes a note of the view;
    // a special that does not parse is ignored.
    void ReadNoteSpecial(const char* text, int length, int page);

private:
    friend class ViewerDvi;
    void ClearFetchedFiles() {
        m_fetchedFiles.Clear();
        m_allFilesEmbedded = 0;
    }

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
    // The end of a failed run: "\n" and text appended to the error text, the
    // run inactive, the temporary stream closed; with box the text is also
    // shown in a box of that type. Returns 0.
    int FailRun(const CString& text, std::optional<UINT> box = std::nullopt, const char* caption = nullptr);
    // The temporary file cannot be written (a full disk): the run fails and
    // the file goes. Returns 0.
    int FailWrite();
    void CloseTempStream();
    bool ReaderCall(const std::function<void()>& fn);
    int ReaderPages() const;
    // Fetches every side file still to be filled; false when stopped.
    bool FetchSideFiles(bool http);
    // Tells the view that a side file arrived.
    void TellFileArrived(const FetchedFile* entry);
    void ShowBox(const CString& text, const char* caption, UINT type);
    // End of a PostScript or PDF document: conversion, links and page count.
    // 1 done, 0 failed (reported), -1 stopped.
    int RunPostScriptJobs();
    void ReportPostScriptFailure(const std::string& text);
    // text with the temporary copy's name replaced by the person's file
    // (m_nameLock held).
    std::string PersonsText(const std::string& text) const;
    // How the run ended, for the view's status when it shows no page.
    void SetEndText(const char* text);
    // After a run: the view tells how a load that failed ended.
    void FinishRun(int result);

    // View calls from the worker: queued to the UI thread, dropped when the
    // view has gone.
    bool HasView() const { return !m_viewGuard.expired(); }
    void PostView(const std::string& what, std::function<void(CDocumentView*)> fn);

    CVrViewerAppBase* m_pApp = nullptr;

    int m_servedInBrowser = 0;
    int m_paramsParsed = 0;
    int m_dviEncoding = 0;
    std::atomic<int> m_active{0};
    ViewerDvi m_dvi;
    CDocumentView* m_pView = nullptr;
    WndGuard m_viewGuard;
    int64_t m_fileTimeNs = 0;  // modification time of the local file; 0: not known
    int64_t m_fileSize = -1;

    String8 m_tempFileName;
    mutable std::mutex m_nameLock;  // m_tempFileName, m_errorText and m_endText
    std::string m_endText;          // the last failure of the run
    std::string m_displayName;      // the person's file or address, set before a run
    std::ofstream m_tempStream;
    sys::FileShareLock m_tempLock;
    String8 m_baseDir;
    FetchedFileList m_fetchedFiles;
    FetchedFileList::Place m_place;  // set before a worker starts
    std::atomic<int> m_allFilesEmbedded{0};

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
    std::atomic<int> m_psPageCount{0};
    int m_downloadChoice = 0;
    String8 m_downloadTarget;
    String8 m_psTempFileName;       // under m_nameLock
    sys::FileShareLock m_psTempLock;
    std::shared_ptr<const std::vector<LinkRecord>> m_pdfLinks;  // under m_nameLock

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

    std::string m_saveError;
};

// "scheme://..." (http, https, file).
bool IsWebAddress(const std::string& text);

