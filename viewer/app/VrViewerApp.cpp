#include "viewer/app/VrViewerApp.h"

#include "viewer/prefs/AppPreferences.h"
#include "viewer/res/ViewCommandIds.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "dvilib/SharedBlock.h"
#include "dvilib/VrDviError.h"
#include "platform/sys/InstanceLock.h"
#include "platform/sys/NamedBlock.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/RegistryProfileStore.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/res/AppStrings.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/frames/InPlaceFrame.h"
#include "viewer/frames/MainFrame.h"
#include "viewer/document/DviRewriter.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ViewHyperlink.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

int g_bLayeredWindowsAllowed = 0;

namespace {
// Failures met before the framework can show anything; shown once it can.
CString g_pendingMessage;

// Reports of the DVI library reach the person in one box per burst (a
// document with several broken fonts reports them together), each text once.
void ShowLibraryReport(const char* text) {
    static std::mutex lock;
    static std::vector<std::string> pending;
    std::lock_guard<std::mutex> guard(lock);
    const std::string t = text ? text : "";
    if (t.empty() || std::find(pending.begin(), pending.end(), t) != pending.end()) return;
    pending.push_back(t);
    if (pending.size() > 1) return;
    UiDispatcher::Post([] {
        std::string all;
        {
            std::lock_guard<std::mutex> taken(lock);
            for (const std::string& p : pending) all += (all.empty() ? "" : "\n") + p;
            pending.clear();
        }
        AfxMessageBox(all.c_str(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    });
}

std::vector<RECT> ScreenRects() {
    std::vector<RECT> rects;
    for (QScreen* s : QGuiApplication::screens()) {
        QRect g = s->availableGeometry();
        rects.push_back(RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    }
    return rects;
}
}  // namespace

CVrViewerApp::CVrViewerApp() : CVrViewerAppBase(kAppProfile) {
    MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    MapCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    MapCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    MapCommand(ID_VIEWER_OPTIONS, [this] { RunAppPreferences(*this); });
    SetProfileStore(std::make_shared<RegistryProfileStore>(sys::Registry::Default()));
    bool existed = false;
    m_sharedBlock = NamedBlock::Create(SharedBlock::kName, SharedBlock::kSize, &existed);
    // The message box needs the framework: it is shown when the start begins.
    if (!m_sharedBlock) g_pendingMessage = "Can't Create Memorymapfile";
}

CVrViewerApp::~CVrViewerApp() {
    m_instanceLock.reset();
}

CMultiDocTemplate* CVrViewerApp::AddViewerTemplate(ViewFactory viewClass) {
    if (!viewClass) viewClass = AfxFactoryAs<CVrViewerView, CView>();
    m_pDocTemplate = new CMultiDocTemplate(IDR_VRVIEWTYPE, AfxFactoryAs<CVrViewerDoc, CDocument>(),
                                           AfxFactoryAs<CChildFrame, CFrameWnd>(), std::move(viewClass));
    m_pDocTemplate->SetServerInfo(IDR_VRVIEWTYPE_SRVR_IP, IDR_VRVIEWTYPE_SRVR_IP,
                                  AfxFactoryAs<CInPlaceFrame, CFrameWnd>());
    AddDocTemplate(m_pDocTemplate);
    return m_pDocTemplate;
}

CMainFrame* CVrViewerApp::MakeMainFrame() {
    auto* frame = new CMainFrame;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)) {
        delete frame;
        return nullptr;
    }
    m_pMainWnd = frame;
    return frame;
}

BOOL CVrViewerApp::InitInstance() {
    AfxRegisterViewerStrings();
    VrDviSetErrorHook(ShowLibraryReport);
    // The wait cursor while the library converts a picture on this thread.
    VrDviSetBusyHook([](bool busy) {
        if (!UiDispatcher::IsUiThread()) return;
        if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    });
    if (!g_pendingMessage.IsEmpty()) {
        AfxMessageBox(g_pendingMessage, MB_OK | MB_ICONEXCLAMATION);
        g_pendingMessage.Empty();
    }

    // One instance per user: a later start hands its document to the first.
    m_instanceLock = std::make_unique<sys::InstanceLock>(kInstanceName);
    switch (m_instanceLock->Acquire()) {
    case sys::InstanceLock::State::Acquired: {
        if (!m_instanceLock->Listening())
            std::fprintf(stderr, "VrViewer: no hand-over socket could be made at %s: later starts cannot pass "
                                 "their documents to this viewer\n",
                         m_instanceLock->SocketPath().c_str());
        std::weak_ptr<int> alive = m_alive;
        m_instanceLock->Serve([this, alive](const std::string& target) {
            UiDispatcher::Post([this, alive, target] {
                if (alive.lock()) OnHandOver(target);
            });
        });
        // Temporary files of documents whose viewer died: their locks went
        // with their process, while a running viewer's files stay locked.
        sys::DeleteUnusedFiles(sys::GetTempPath(), "htp*.tmp");
        // And what saves that were killed left beside their documents.
        dvicopy::RemoveStaleTemporaries();
        break;
    }
    case sys::InstanceLock::State::AlreadyRunning: {
        CCommandLineInfo cmdInfo;
        ParseCommandLine(cmdInfo);
        if (cmdInfo.m_bRunEmbedded || cmdInfo.m_bRunAutomated) {
            m_instanceLock.reset();  // a further instance
            break;
        }
        // Nothing named: nothing to hand over. The running instance is
        // reached directly, never through another program.
        if (!cmdInfo.m_strFileName.IsEmpty()) {
            std::string target = sys::AbsoluteTarget(cmdInfo.m_strFileName.str());
            if (!m_instanceLock->HandOver(target)) {
                std::fprintf(stderr, "VrViewer: the running viewer did not take %s (hand-over socket %s)\n",
                             target.c_str(), m_instanceLock->SocketPath().c_str());
                m_startExitCode = 1;
            }
        }
        return FALSE;
    }
    default:
        std::fprintf(stderr, "VrViewer: the instance lock in %s cannot be used\n",
                     m_instanceLock->LockPath().c_str());
        m_startExitCode = 1;
        return FALSE;
    }

    AddViewerTemplate();
    CMainFrame* pMainFrame = MakeMainFrame();
    if (!pMainFrame) return FALSE;

    LoadExternalResources(TRUE);

    pMainFrame->DragAcceptFiles(TRUE);

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (cmdInfo.m_nShellCommand == CCommandLineInfo::FileNew) cmdInfo.m_nShellCommand = CCommandLineInfo::FileNothing;
    if (cmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen)
        cmdInfo.m_strFileName = sys::AbsoluteTarget(cmdInfo.m_strFileName.str());
    // Print verbs of the shell registration are not served.
    if (cmdInfo.m_nShellCommand == CCommandLineInfo::FilePrint ||
        cmdInfo.m_nShellCommand == CCommandLineInfo::FilePrintTo || cmdInfo.m_nShellCommand == CCommandLineInfo::FileDDE)
        cmdInfo.m_nShellCommand = cmdInfo.m_strFileName.IsEmpty() ? CCommandLineInfo::FileNothing
                                                                   : CCommandLineInfo::FileOpen;

    // Without a host the main window shows for embedding starts as well.
    if (!ProcessShellCommand(cmdInfo)) return FALSE;

    LoadWindowPlacement();
    if (viewer_app::IsRestorableWindowRect(m_windowRect, ScreenRects()))
        pMainFrame->SetWindowPos(nullptr, m_windowRect.left, m_windowRect.top, m_windowRect.right - m_windowRect.left,
                                 m_windowRect.bottom - m_windowRect.top, SWP_NOZORDER | SWP_SHOWWINDOW);
    pMainFrame->ShowWindow(m_nCmdShow);
    pMainFrame->UpdateWindow();
    return TRUE;
}

int CVrViewerApp::ExitInstance() {
    VrDviSetErrorHook(nullptr);
    VrDviSetBusyHook(nullptr);
    if (m_instanceLock) m_instanceLock->StopServing();
    LoadExternalResources(FALSE);
    const int code = CWinApp::ExitInstance();
    return m_startExitCode ? m_startExitCode : code;
}

CDocument* CVrViewerApp::OpenDocumentFile(const char* lpszFileName) {
    if (lpszFileName && m_pDocTemplate && IsWebAddress(lpszFileName)) {
        // A web address is a document in its own child frame, as a file is;
        // the frame shows while the data arrives.
        CDocument* doc = m_pDocTemplate->CreateNewDocument();
        if (!doc) return nullptr;
        BOOL autoDelete = doc->m_bAutoDelete;
        doc->m_bAutoDelete = FALSE;
        CFrameWnd* frame = m_pDocTemplate->CreateNewFrame(doc, nullptr);
        doc->m_bAutoDelete = autoDelete;
        if (!frame) {
            delete doc;
            return nullptr;
        }
        doc->SetPathName(lpszFileName, FALSE);
        m_pDocTemplate->InitialUpdateFrame(frame, doc, TRUE);
        if (auto* viewerDoc = dynamic_cast<CVrViewerDoc*>(doc)) viewerDoc->LoadFromAddress(lpszFileName);
        return doc;
    }
    return CWinApp::OpenDocumentFile(lpszFileName);
}

void CVrViewerApp::OnHandOver(const std::string& target) {
    if (target.empty()) return;
    // An address with an anchor or parameters for a document a view shows
    // already is taken by that view.
    const AddressParts parts = SplitAddress(target);
    HyperlinkRequest request;
    request.targetText = target.c_str();
    request.url = target.c_str();
    if (!(parts.hasQuery || parts.hasFragment) || !ShowHyperlinkEnumProc(request)) OpenDocumentFile(target.c_str());
    if (m_pMainWnd && m_pMainWnd->GetWidget()) {
        QWidget* w = m_pMainWnd->GetWidget();
        if (w->isMinimized()) w->showNormal();
        w->raise();
        w->activateWindow();
    }
}
