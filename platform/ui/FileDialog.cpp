#include "platform/ui/FileDialog.h"

#include <QFileInfo>
#include <cstring>

#include "platform/ui/MessageBox.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const char* lpszFileName, DWORD dwFlags,
                         const char* lpszFilter, CWnd* pParentWnd, UINT nIDTemplate)
    : CDialog(nIDTemplate, pParentWnd), m_bOpenFileDialog(bOpenFileDialog), m_strDefExt(lpszDefExt),
      m_strFileName(lpszFileName), m_strFilter(lpszFilter) {
    m_ofn.Flags = dwFlags;
    m_ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : m_strDefExt.c_str();
}

QStringList CFileDialog::ParseFilter(const char* lpszFilter) {
    QStringList out;
    if (!lpszFilter) return out;
    QStringList parts = QString::fromUtf8(lpszFilter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out;
}

namespace {

CString& LastFolder() {
    static CString folder;
    return folder;
}

// The name as typed when it names a file, else the name with the default
// extension when it has none.
QString WithDefaultExtension(const QString& path, const CString& defExt, bool open) {
    if (defExt.IsEmpty() || path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    if (open && QFileInfo(path).isFile()) return path;
    return path + QLatin1Char('.') + QString::fromUtf8(defExt.c_str());
}

// The dialog's answer settles the name first: an open dialog takes a typed
// name without an extension, naming no file, as the file of that name with
// the default extension; a save dialog that asks before overwriting asks
// about the name with the extension it will get, and stays open on No.
class SettlingFileDialog : public QFileDialog {
public:
    SettlingFileDialog(QWidget* parent, const CString& defExt, bool askOverwrite)
        : QFileDialog(parent), m_defExt(defExt), m_askOverwrite(askOverwrite) {}
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1 && acceptMode() == AcceptOpen) {
            const QString path = WithDefaultExtension(chosen.front(), m_defExt, true);
            if (path != chosen.front() && QFileInfo(path).isFile()) selectFile(path);
        } else if (chosen.size() == 1 && m_askOverwrite) {
            const QFileInfo info(WithDefaultExtension(chosen.front(), m_defExt, false));
            if (info.exists() && !info.isDir()) {
                const std::string text =
                    info.fileName().toStdString() + " already exists.\nDo you want to replace it?";
                if (AfxShowMessageBox(nullptr, text.c_str(), windowTitle().toStdString().c_str(),
                                      MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
                    return;
            }
        }
        QFileDialog::accept();
    }

private:
    CString m_defExt;
    bool m_askOverwrite;
};

}  // namespace

INT_PTR CFileDialog::DoModal() {
    QWidget* parent = nullptr;
    if (CWnd* main = AfxGetMainWnd()) parent = main->GetWidget();
    const bool askOverwrite = !m_bOpenFileDialog && (m_ofn.Flags & OFN_OVERWRITEPROMPT);
    SettlingFileDialog dialog(parent, m_strDefExt, askOverwrite);
    m_fileDialog = &dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The question about an existing file is the dialog's own, about the
    // name with its extension.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // The descriptions name their patterns already.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (m_ofn.lpstrTitle) dialog.setWindowTitle(QString::fromUtf8(m_ofn.lpstrTitle));
    QStringList filters = ParseFilter(m_strFilter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = int(m_ofn.nFilterIndex) - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
    if (m_ofn.lpstrInitialDir) dialog.setDirectory(QString::fromUtf8(m_ofn.lpstrInitialDir));
    CString initial = m_ofn.lpstrFile && *m_ofn.lpstrFile ? CString(m_ofn.lpstrFile) : m_strFileName;
    if (!initial.IsEmpty()) dialog.selectFile(QString::fromUtf8(initial.c_str()));
    OnInitDone();

    int answer = AfxRunModalDialog(dialog, GetTemplateID());
    m_fileDialog = nullptr;
    QStringList chosen = dialog.selectedFiles();
    if (answer != IDOK || chosen.isEmpty() || chosen.front().isEmpty()) return IDCANCEL;

    QString path = chosen.front();
    // A name typed without an extension gets the default one.
    path = WithDefaultExtension(path, m_strDefExt, m_bOpenFileDialog);
    m_strPathName = CString(path.toStdString());
    LastFolder() = CString(QFileInfo(path).absolutePath().toStdString());
    if (m_ofn.lpstrFile && m_ofn.nMaxFile > 0) {
        size_t n = std::min<size_t>(m_strPathName.str().size(), m_ofn.nMaxFile - 1);
        std::memcpy(m_ofn.lpstrFile, m_strPathName.c_str(), n);
        m_ofn.lpstrFile[n] = '\0';
    }
    return IDOK;
}

CString CFileDialog::GetLastFolder() { return LastFolder(); }

CString CFileDialog::GetFileName() const {
    return CString(QFileInfo(QString::fromUtf8(m_strPathName.c_str())).fileName().toStdString());
}

CString CFileDialog::GetFileExt() const {
    return CString(QFileInfo(QString::fromUtf8(m_strPathName.c_str())).suffix().toStdString());
}

CString CFileDialog::GetFileTitle() const {
    return CString(QFileInfo(QString::fromUtf8(m_strPathName.c_str())).completeBaseName().toStdString());
}
