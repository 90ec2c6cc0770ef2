#include "platform/ui/WinApp.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <cstdio>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/Menu.h"
#include "platform/ui/PrintDialog.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/TerminationSignals.h"
#include "platform/ui/UiDispatcher.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

const char* AfxGetAppName() { return g_app ? g_app->m_strAppName.c_str() : ""; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

// Command line.

void CCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL) {
    CString p(pszParam);
    if (bFlag) {
        if (p.CompareNoCase("Embedding") == 0 || p.CompareNoCase("Automation") == 0) {
            if (p.CompareNoCase("Embedding") == 0) m_bRunEmbedded = TRUE;
            else m_bRunAutomated = TRUE;
            m_bShowSplash = FALSE;
            if (m_nShellCommand == FileNew) m_nShellCommand = FileNothing;
        } else if (p.CompareNoCase("dde") == 0) {
            m_nShellCommand = FileDDE;
        } else if (p.CompareNoCase("p") == 0) {
            m_nShellCommand = FilePrint;
        } else if (p.CompareNoCase("pt") == 0) {
            m_nShellCommand = FilePrintTo;
        }
        return;
    }
    if (m_strFileName.IsEmpty()) {
        m_strFileName = p;
        if (m_nShellCommand == FileNew || m_nShellCommand == FileNothing) m_nShellCommand = FileOpen;
    }
}

// Recent files.

CRecentFileList::CRecentFileList(UINT nStart, const char* lpszSection, const char* lpszEntryFormat, int nSize)
    : m_nStart(nStart), m_strSectionName(lpszSection), m_strEntryFormat(lpszEntryFormat),
      m_nSize(nSize < 1 ? 1 : nSize) {}

void CRecentFileList::Add(const char* lpszPathName) {
    if (!lpszPathName || !*lpszPathName) return;
    CString path(lpszPathName);
    for (size_t i = 0; i < m_files.size(); ++i)
        if (m_files[i] == path) {
            m_files.erase(m_files.begin() + long(i));
            break;
        }
    m_files.insert(m_files.begin(), path);
    if (int(m_files.size()) > m_nSize) m_files.resize(size_t(m_nSize));
}

void CRecentFileList::Remove(int nIndex) {
    if (nIndex >= 0 && size_t(nIndex) < m_files.size()) m_files.erase(m_files.begin() + nIndex);
}

void CRecentFileList::ReadList() {
    CWinApp* app = AfxGetApp();
    if (!app) return;
    m_files.clear();
    for (int i = 0; i < m_nSize; ++i) {
        CString entry;
        entry.Format(m_strEntryFormat, i + 1);
        CString value = app->GetProfileString(m_strSectionName, entry, "");
        if (!value.IsEmpty()) m_files.push_back(value);
    }
}

void CRecentFileList::WriteList() {
    CWinApp* app = AfxGetApp();
    if (!app) return;
    // The section is written whole: stale higher entries go.
    app->WriteProfileString(m_strSectionName, nullptr, nullptr);
    for (size_t i = 0; i < m_files.size(); ++i) {
        CString entry;
        entry.Format(m_strEntryFormat, int(i + 1));
        app->WriteProfileString(m_strSectionName, entry, m_files[i]);
    }
}

void CRecentFileList::UpdateMenu(CCmdUI* pCmdUI) {
    auto* ui = dynamic_cast<CActionCmdUI*>(pCmdUI);
    QAction* first = ui ? ui->GetAction() : nullptr;
    if (!first || pCmdUI->m_nID != m_nStart) return;
    QMenu* menu = nullptr;
    for (QObject* p = first->parent(); p && !menu; p = p->parent()) menu = qobject_cast<QMenu*>(p);
    if (!menu) return;
    // Drop the entries of the last update, then list the files after the first item.
    for (QAction* a : menu->actions()) {
        UINT id = AfxActionCommandId(a);
        if (a != first && id > m_nStart && id < m_nStart + UINT(m_nSize)) {
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    if (m_files.empty()) {
        first->setText(QString::fromUtf8(AfxLoadString(AFX_IDS_RECENT_FILE_EMPTY).c_str()));
        pCmdUI->Enable(FALSE);
        return;
    }
    auto label = [](int n, const CString& path) {
        QString p = QString::fromUtf8(path.c_str());
        p.replace(QLatin1Char('&'), QLatin1String("&&"));
        return QStringLiteral("&%1 %2").arg(n).arg(p);
    };
    first->setText(label(1, m_files[0]));
    pCmdUI->Enable(TRUE);
    auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    QList<QAction*> actions = menu->actions();
    int at = int(actions.indexOf(first)) + 1;
    QAction* before = at < actions.size() ? actions[at] : nullptr;
    for (size_t i = 1; i < m_files.size(); ++i) {
        auto* a = new QAction(label(int(i + 1), m_files[i]), menu);
        menu->insertAction(before, a);
        if (frame) frame->AddCommandAction(a, m_nStart + UINT(i));
        else AfxSetActionCommandId(a, m_nStart + UINT(i));
    }
}

// Application.

CWinApp::CWinApp(const char* lpszAppName)
    : m_store(std::make_shared<MemoryProfileStore>()), m_pDocManager(std::make_unique<CDocManager>()) {
    m_strAppName = lpszAppName ? lpszAppName : "";
    m_strProfileName = m_strAppName;
    g_app = this;
    MapCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    MapCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    MapCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](UINT id) { OnOpenRecentFile(id); });
    MapUpdateUIRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](CCmdUI* ui) { OnUpdateRecentFileMenu(ui); });
}

CWinApp::~CWinApp() {
    m_pDocManager.reset();
    if (g_app == this) g_app = nullptr;
}

int CWinApp::ExitInstance() {
    SaveStdProfileSettings();
    return 0;
}

int CWinApp::Run() {
    // Update-UI follows changes (commands, DelayUpdateCmdUI, focus); it
    // starts from the state the program is in now.
    if (auto* f = dynamic_cast<CFrameWnd*>(m_pMainWnd); f && f->IsWindow()) f->DelayUpdateCmdUI();
    m_bRunning = true;
    QApplication::exec();
    m_bRunning = false;
    return ExitInstance();
}

void CWinApp::SetRegistryKey(const char* lpszRegistryKey) {
    std::lock_guard<std::mutex> lock(m_profileMutex);
    m_strRegistryKey = lpszRegistryKey;
}

void CWinApp::SetProfileName(const char* lpszProfileName) {
    std::lock_guard<std::mutex> lock(m_profileMutex);
    m_strProfileName = lpszProfileName;
}

CString CWinApp::GetProfileName() const {
    std::lock_guard<std::mutex> lock(m_profileMutex);
    return m_strProfileName;
}

void CWinApp::SetProfileStore(std::shared_ptr<ProfileStore> store) {
    if (store) m_store = std::move(store);
}

CString CWinApp::GetProfileString(const char* lpszSection, const char* lpszEntry, const char* lpszDefault) {
    return GetProfileString(GetProfileName(), lpszSection, lpszEntry, lpszDefault);
}

UINT CWinApp::GetProfileInt(const char* lpszSection, const char* lpszEntry, int nDefault) {
    return GetProfileInt(GetProfileName(), lpszSection, lpszEntry, nDefault);
}

BOOL CWinApp::WriteProfileString(const char* lpszSection, const char* lpszEntry, const char* lpszValue) {
    return WriteProfileString(GetProfileName(), lpszSection, lpszEntry, lpszValue);
}

BOOL CWinApp::WriteProfileInt(const char* lpszSection, const char* lpszEntry, int nValue) {
    return WriteProfileInt(GetProfileName(), lpszSection, lpszEntry, nValue);
}

CString CWinApp::GetProfileString(const char* lpszProfile, const char* lpszSection, const char* lpszEntry,
                                  const char* lpszDefault) {
    CString key;
    {
        std::lock_guard<std::mutex> lock(m_profileMutex);
        key = m_strRegistryKey;
    }
    auto v = m_store->ReadString(key, lpszProfile, lpszSection, lpszEntry);
    return v ? CString(*v) : CString(lpszDefault);
}

UINT CWinApp::GetProfileInt(const char* lpszProfile, const char* lpszSection, const char* lpszEntry, int nDefault) {
    CString key;
    {
        std::lock_guard<std::mutex> lock(m_profileMutex);
        key = m_strRegistryKey;
    }
    auto v = m_store->ReadInt(key, lpszProfile, lpszSection, lpszEntry);
    return UINT(v ? *v : nDefault);
}

BOOL CWinApp::WriteProfileString(const char* lpszProfile, const char* lpszSection, const char* lpszEntry,
                                 const char* lpszValue) {
    CString key;
    {
        std::lock_guard<std::mutex> lock(m_profileMutex);
        key = m_strRegistryKey;
    }
    if (!lpszEntry) return m_store->Delete(key, lpszProfile, lpszSection, nullptr) || TRUE;
    if (!lpszValue) return m_store->Delete(key, lpszProfile, lpszSection, lpszEntry) || TRUE;
    return m_store->WriteString(key, lpszProfile, lpszSection, lpszEntry, lpszValue);
}

BOOL CWinApp::WriteProfileInt(const char* lpszProfile, const char* lpszSection, const char* lpszEntry, int nValue) {
    CString key;
    {
        std::lock_guard<std::mutex> lock(m_profileMutex);
        key = m_strRegistryKey;
    }
    return m_store->WriteInt(key, lpszProfile, lpszSection, lpszEntry, nValue);
}

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU) {
    if (nMaxMRU == 0) return;
    m_pRecentFileList = std::make_unique<CRecentFileList>(ID_FILE_MRU_FILE1, "Recent File List", "File%d", int(nMaxMRU));
    m_pRecentFileList->ReadList();
}

void CWinApp::SaveStdProfileSettings() {
    if (m_pRecentFileList) m_pRecentFileList->WriteList();
}

void CWinApp::AddToRecentFileList(const char* lpszPathName) {
    if (m_pRecentFileList) m_pRecentFileList->Add(lpszPathName);
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate) { m_pDocManager->AddDocTemplate(pTemplate); }

CDocument* CWinApp::OpenDocumentFile(const char* lpszFileName) { return m_pDocManager->OpenDocumentFile(lpszFileName); }

void CWinApp::CloseAllDocuments(BOOL bEndSession) { m_pDocManager->CloseAllDocuments(bEndSession); }

BOOL CWinApp::SaveAllModified() { return m_pDocManager->SaveAllModified(); }

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
    QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        std::string a = args[i].toStdString();
        // "/x" is a flag; a path with further slashes is a file name.
        bool flag = !a.empty() && ((a[0] == '/' && a.find('/', 1) == std::string::npos) || a[0] == '-');
        rCmdInfo.ParseParam(flag ? a.c_str() + 1 : a.c_str(), flag, i + 1 == args.size());
    }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
    switch (rCmdInfo.m_nShellCommand) {
    case CCommandLineInfo::FileNew: return OpenDocumentFile(nullptr) != nullptr || m_pDocManager->GetTemplates().empty();
    case CCommandLineInfo::FileOpen: return OpenDocumentFile(rCmdInfo.m_strFileName) != nullptr;
    default: return TRUE;
    }
}

CString CWinApp::LoadString(UINT nID) const { return AfxLoadString(nID); }

BOOL CWinApp::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    return DispatchOwn(nID, nCode, pExtra, pHandlerInfo);
}

void CWinApp::OnFileNew() { OpenDocumentFile(nullptr); }

void CWinApp::OnFilePrintSetup() {
    CPrintDialog setup(TRUE);
    setup.DoModal();
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd) m_pMainWnd->OnClose();
}

void CWinApp::OnTerminationSignal() {
    auto again = [](int ms) {
        QTimer::singleShot(ms, [] {
            if (CWinApp* app = AfxGetApp()) app->OnTerminationSignal();
        });
    };
    // A print job stops as its Cancel button stops it, and the end comes once
    // it has unwound (it runs inside the event loop that called this). One
    // that will not stop is passed over after a while.
    static int printTries = 0;
    if (QtPrintSink::OpenDocuments() > 0 && printTries < 200) {
        ++printTries;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && CDialog::IsCancelledOnTermination(*d))
                d->reject();
        again(50);
        return;
    }
    // A modal window runs an event loop of its own, and the code that opened
    // it goes on once it closes: cancel it first and close the main window
    // from the outer loop. One that will not close is passed over after a
    // while.
    static int modalTries = 0;
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modalTries < 20) {
        ++modalTries;
        modal->close();
        again(50);
        return;
    }
    modalTries = 0;
    // During the start the main window is not there, or not finished: close
    // it once the start is through.
    if (!m_bRunning) {
        again(100);
        return;
    }
    if (!m_pMainWnd) {
        QCoreApplication::exit(0);
        return;
    }
    OnAppExit();
}

void CWinApp::OnOpenRecentFile(UINT nID) {
    if (!m_pRecentFileList) return;
    int index = int(nID - ID_FILE_MRU_FILE1);
    if (index < 0 || index >= m_pRecentFileList->GetCount()) return;
    CString path = (*m_pRecentFileList)[index];
    if (!OpenDocumentFile(path)) m_pRecentFileList->Remove(index);
}

void CWinApp::OnUpdateRecentFileMenu(CCmdUI* pCmdUI) {
    if (!m_pRecentFileList) {
        pCmdUI->Enable(FALSE);
        return;
    }
    if (pCmdUI->m_nID == ID_FILE_MRU_FILE1) m_pRecentFileList->UpdateMenu(pCmdUI);
    else pCmdUI->Enable(TRUE);
}

bool AfxInstallQtTranslations(UiLanguage lang) {
    static QTranslator* translator = nullptr;
    if (!QCoreApplication::instance()) return false;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    if (lang != UiLanguage::Korean) return true;
    auto* korean = new QTranslator(QCoreApplication::instance());
    if (!korean->load(QLocale(QLocale::Korean, QLocale::SouthKorea), "qtbase", "_",
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete korean;
        return false;
    }
    QCoreApplication::installTranslator(korean);
    translator = korean;
    return true;
}

int AfxWinMain(int argc, char** argv) {
    QApplication qapp(argc, argv);
    UiDispatcher::Init();
    AfxInstallQtTranslations(AfxGetLanguage());
    CWinApp* app = AfxGetApp();
    if (!app) {
        std::fprintf(stderr, "no application object\n");
        return 1;
    }
    // Termination signals end the run from the event loop, as closing the
    // main window does; they wait in their pipe while InitInstance runs.
    TerminationSignals::Install([](int) {
        if (CWinApp* a = AfxGetApp()) a->OnTerminationSignal();
    });
    struct Uninstall {
        ~Uninstall() { TerminationSignals::Uninstall(); }
    } uninstall;
    if (!app->InitInstance()) {
        // A failed start ends through ExitInstance as well.
        return app->ExitInstance();
    }
    return app->Run();
}
