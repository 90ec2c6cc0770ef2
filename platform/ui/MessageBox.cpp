#include "platform/ui/MessageBox.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QPushButton>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/ui/StringTable.h"
#include "platform/ui/UiDispatcher.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/Wnd.h"

namespace {

std::mutex g_answerMutex;  // guards g_boxAnswerer and g_dialogAnswerer
MessageBoxAnswerer g_boxAnswerer;
DialogAnswerer g_dialogAnswerer;

std::vector<int> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

UINT ButtonTextId(int result) {
    switch (result) {
    case IDCANCEL: return AFX_IDS_BUTTON_CANCEL;
    case IDABORT: return AFX_IDS_BUTTON_ABORT;
    case IDRETRY: return AFX_IDS_BUTTON_RETRY;
    case IDIGNORE: return AFX_IDS_BUTTON_IGNORE;
    case IDYES: return AFX_IDS_BUTTON_YES;
    case IDNO: return AFX_IDS_BUTTON_NO;
    default: return AFX_IDS_BUTTON_OK;
    }
}

QMessageBox::ButtonRole RoleOf(int result) {
    switch (result) {
    case IDCANCEL: return QMessageBox::RejectRole;
    case IDYES: return QMessageBox::YesRole;
    case IDNO: return QMessageBox::NoRole;
    default: return QMessageBox::AcceptRole;
    }
}

QString Qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

int RunRealBox(CWnd* owner, const MessageBoxRequest& r) {
    if (AfxIsHeadless()) {
        std::fprintf(stderr, "message box (headless, default answer): %s\n", r.text.c_str());
        return AfxDefaultMessageBoxResult(r.type);
    }
    QWidget* parent = AfxMessageBoxParent(owner);
    QMessageBox box(parent);
    box.setWindowTitle(Qs(r.caption));
    box.setText(Qs(r.text));
    switch (r.type & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    if (r.type & (MB_SYSTEMMODAL | MB_TASKMODAL)) box.setWindowModality(Qt::ApplicationModal);
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    int def = AfxDefaultMessageBoxResult(r.type);
    for (int id : ButtonsOf(r.type)) {
        QPushButton* b = box.addButton(QString::fromUtf8(AfxLoadString(ButtonTextId(id)).c_str()), RoleOf(id));
        if (id == def) box.setDefaultButton(b);
        if (id == IDCANCEL || (ButtonsOf(r.type).size() == 1)) box.setEscapeButton(b);
        buttons.emplace_back(b, id);
    }
    if (!parent) {
        // No shown window to sit on: the middle of the screen.
        box.adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen())
            box.move(screen->availableGeometry().center() - QPoint(box.width() / 2, box.height() / 2));
    }
    box.exec();
    for (auto& [b, id] : buttons)
        if (box.clickedButton() == b) return id;
    // Closed without a button: Cancel where there is one, else the default.
    for (auto& [b, id] : buttons)
        if (id == IDCANCEL) return id;
    return def;
}

int ShowOnUi(CWnd* owner, const MessageBoxRequest& r) {
    MessageBoxAnswerer answerer;
    {
        std::lock_guard<std::mutex> lock(g_answerMutex);
        answerer = g_boxAnswerer;
    }
    if (answerer) return answerer(r);
    return RunRealBox(owner, r);
}

} // namespace

void AfxSetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    std::lock_guard<std::mutex> lock(g_answerMutex);
    g_boxAnswerer = std::move(answerer);
}

void AfxSetDialogAnswerer(DialogAnswerer answerer) {
    std::lock_guard<std::mutex> lock(g_answerMutex);
    g_dialogAnswerer = std::move(answerer);
}

QWidget* AfxMessageBoxParent(CWnd* owner) {
    for (CWnd* w : {owner, AfxGetMainWnd()}) {
        QWidget* widget = w ? w->GetWidget() : nullptr;
        // A window not yet shown has no place on the screen to centre on.
        if (widget && widget->window()->isVisible()) return widget;
    }
    return nullptr;
}

bool AfxIsHeadless() {
    QString p = QGuiApplication::platformName();
    return p == QLatin1String("offscreen") || p == QLatin1String("minimal");
}

int AfxDefaultMessageBoxResult(UINT nType) {
    std::vector<int> b = ButtonsOf(nType);
    size_t index = (nType & MB_DEFMASK) >> 8;
    return b[index < b.size() ? index : 0];
}

int AfxShowMessageBox(CWnd* pOwner, const char* lpszText, const char* lpszCaption, UINT nType,
                      const std::atomic<int>* stop) {
    MessageBoxRequest r;
    r.text = lpszText ? lpszText : "";
    r.caption = lpszCaption ? lpszCaption : AfxGetAppName();
    r.type = nType;
    if (UiDispatcher::IsUiThread()) return ShowOnUi(pOwner, r);
    int result = 0;
    bool ran = pOwner ? UiDispatcher::Call(pOwner->GetGuard(), [&] { result = ShowOnUi(pOwner, r); }, stop)
                      : UiDispatcher::Call([&] { result = ShowOnUi(nullptr, r); }, stop);
    return ran ? result : 0;
}

int AfxShowMessageBox(CWnd* pOwner, const char* lpszText, const char* lpszCaption, UINT nType) {
    return AfxShowMessageBox(pOwner, lpszText, lpszCaption, nType, nullptr);
}

int AfxMessageBox(const char* lpszText, UINT nType, UINT) {
    return AfxShowMessageBox(nullptr, lpszText, nullptr, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT) {
    CString text = AfxLoadString(nIDPrompt);
    return AfxShowMessageBox(nullptr, text, nullptr, nType);
}

int MessageBox(CWnd* pOwner, const char* lpszText, const char* lpszCaption, UINT nType) {
    return AfxShowMessageBox(pOwner, lpszText, lpszCaption ? lpszCaption : "Error", nType);
}

int AfxRunModalDialog(QDialog& dialog, UINT nIDTemplate) {
    DialogAnswerer answerer;
    {
        std::lock_guard<std::mutex> lock(g_answerMutex);
        answerer = g_dialogAnswerer;
    }
    if (answerer) return answerer(nIDTemplate, dialog);
    if (AfxIsHeadless()) {
        std::fprintf(stderr, "modal dialog %u (headless): cancelled\n", nIDTemplate);
        return IDCANCEL;
    }
    return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
