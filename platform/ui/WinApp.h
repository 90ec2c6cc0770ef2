// CWinApp: the application object. One instance per program; AfxWinMain
// creates the QApplication, runs InitInstance, the event loop and ExitInstance.
// Profile settings live under <registry key>\<profile>\<section> of the
// current user in a ProfileStore; every call passes the key and profile on.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/CString.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/DocTemplate.h"
#include "platform/ui/ProfileStore.h"
#include "platform/ui/StringTable.h"

class CWnd;
class CFrameWnd;

// The command line as the framework understands it.
class CCommandLineInfo {
public:
    enum { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppRegister, AppUnregister, FileNothing = -1 };
    virtual ~CCommandLineInfo() = default;
    // One argument; bFlag when it started with '/' or '-' (then without it).
    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast);

    int m_nShellCommand = FileNew;
    CString m_strFileName;
    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;
    BOOL m_bShowSplash = TRUE;
};

// Recent files: entries File1..FileN of a profile section, newest first.
class CRecentFileList {
public:
    CRecentFileList(UINT nStart, const char* lpszSection, const char* lpszEntryFormat, int nSize);
    int GetSize() const { return m_nSize; }
    int GetCount() const { return int(m_files.size()); }
    const CString& operator[](int nIndex) const { return m_files[size_t(nIndex)]; }
    // Puts the path first; an entry with the same path moves up.
    virtual void Add(const char* lpszPathName);
    virtual void Remove(int nIndex);
    virtual void ReadList();
    virtual void WriteList();
    // Menu entries after the item of the first id ("&1 path", ...).
    virtual void UpdateMenu(CCmdUI* pCmdUI);

private:
    UINT m_nStart;
    CString m_strSectionName;
    CString m_strEntryFormat;
    int m_nSize;
    std::vector<CString> m_files;
};

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance();
    // The event loop; returns ExitInstance's result.
    virtual int Run();
    // A termination signal (SIGTERM, SIGINT, SIGHUP), on the UI thread: open
    // modal windows are cancelled, then the main window closes as when the
    // person closes it.
    virtual void OnTerminationSignal();

    // Settings.
    void SetRegistryKey(const char* lpszRegistryKey);
    const CString& GetRegistryKey() const { return m_strRegistryKey; }
    // The profile the three-argument calls use; safe from any thread.
    void SetProfileName(const char* lpszProfileName);
    CString GetProfileName() const;
    void SetProfileStore(std::shared_ptr<ProfileStore> store);
    ProfileStore& GetProfileStore() const { return *m_store; }

    CString GetProfileString(const char* lpszSection, const char* lpszEntry, const char* lpszDefault = nullptr);
    UINT GetProfileInt(const char* lpszSection, const char* lpszEntry, int nDefault);
    // Entry null removes the section; value null removes the entry.
    BOOL WriteProfileString(const char* lpszSection, const char* lpszEntry, const char* lpszValue);
    BOOL WriteProfileInt(const char* lpszSection, const char* lpszEntry, int nValue);
    // The same on an explicit profile.
    CString GetProfileString(const char* lpszProfile, const char* lpszSection, const char* lpszEntry,
                             const char* lpszDefault);
    UINT GetProfileInt(const char* lpszProfile, const char* lpszSection, const char* lpszEntry, int nDefault);
    BOOL WriteProfileString(const char* lpszProfile, const char* lpszSection, const char* lpszEntry,
                            const char* lpszValue);
    BOOL WriteProfileInt(const char* lpszProfile, const char* lpszSection, const char* lpszEntry, int nValue);

    // Recent files (section "Recent File List", entries "File1".."FileN").
    void LoadStdProfileSettings(UINT nMaxMRU = 4);
    void SaveStdProfileSettings();
    virtual void AddToRecentFileList(const char* lpszPathName);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

    // Documents.
    void AddDocTemplate(CDocTemplate* pTemplate);
    CDocManager* GetDocManager() const { return m_pDocManager.get(); }
    virtual CDocument* OpenDocumentFile(const char* lpszFileName);
    void CloseAllDocuments(BOOL bEndSession);
    virtual BOOL SaveAllModified();

    // Command line.
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);

    // Resources.
    CString LoadString(UINT nID) const;

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    CWnd* m_pMainWnd = nullptr;
    int m_nCmdShow = 1;
    CString m_strAppName;

protected:
    void OnFileNew();
    void OnAppExit();
    // The print setup dialog, whose choice later print dialogs start from.
    void OnFilePrintSetup();
    void OnOpenRecentFile(UINT nID);
    void OnUpdateRecentFileMenu(CCmdUI* pCmdUI);

private:
    friend int AfxWinMain(int argc, char** argv);
    std::shared_ptr<ProfileStore> m_store;
    CString m_strRegistryKey;
    CString m_strProfileName;
    mutable std::mutex m_profileMutex;  // guards m_strRegistryKey and m_strProfileName
    std::unique_ptr<CRecentFileList> m_pRecentFileList;
    std::unique_ptr<CDocManager> m_pDocManager;
    bool m_bRunning = false;  // the event loop of Run is on
};

CWinApp* AfxGetApp();
// The application's name for captions ("" before the application exists).
const char* AfxGetAppName();
// Qt's own texts (standard buttons, file and print dialogs, the window's
// system menu) in the interface's language: Qt's translation for Korean, its
// built-in English otherwise. False when the Korean translation is missing.
bool AfxInstallQtTranslations(UiLanguage lang);
// Main function of a framework program: the QApplication, the application's
// InitInstance, the event loop and ExitInstance.
int AfxWinMain(int argc, char** argv);
