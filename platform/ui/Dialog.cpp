#include "platform/ui/Dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"

// Sends the dialog's own accept and reject to the CDialog's OK and Cancel.
class DialogWidget : public QDialog {
public:
    DialogWidget(CDialog* owner, QWidget* parent) : QDialog(parent), owner_(owner) {}
    void accept() override {
        if (owner_) owner_->OnOK();
    }
    void reject() override {
        if (owner_) owner_->OnCancel();
    }
    void Detach() { owner_ = nullptr; }

private:
    CDialog* owner_;
};

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (auto* d = dynamic_cast<DialogWidget*>(m_dialog.data())) d->Detach();
    // A modeless dialog may end from one of its own buttons' signals.
    if (m_modeless && m_dialog) m_dialog->deleteLater();
    else delete m_dialog.data();
}

void CDialog::BuildDialog(QDialog& dialog) {
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(AddButtonBox(dialog, kOkCancel, false));
}

QDialogButtonBox* CDialog::AddButtonBox(QDialog& dialog, int which, bool okDefault) {
    auto* buttons = new QDialogButtonBox(&dialog);
    if (which & kOkButton) {
        QPushButton* ok = buttons->addButton(QString::fromUtf8(AfxLoadString(AFX_IDS_BUTTON_OK).c_str()),
                                             QDialogButtonBox::AcceptRole);
        if (okDefault) ok->setDefault(true);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        AddDlgItem(IDOK, ok);
    }
    if (which & kCancelButton) {
        QPushButton* cancel = buttons->addButton(QString::fromUtf8(AfxLoadString(AFX_IDS_BUTTON_CANCEL).c_str()),
                                                 QDialogButtonBox::RejectRole);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        AddDlgItem(IDCANCEL, cancel);
    }
    return buttons;
}

INT_PTR CDialog::DoModal() {
    QWidget* parent = m_pParentWnd ? m_pParentWnd->GetWidget() : nullptr;
    if (!parent)
        if (CWnd* main = AfxGetMainWnd()) parent = main->GetWidget();
    delete m_dialog.data();
    m_items.clear();
    auto* dialog = new DialogWidget(this, parent);
    m_dialog = dialog;
    AttachWidget(dialog, m_pParentWnd);
    m_ended = false;
    m_nModalResult = -1;
    BuildDialog(*dialog);
    OnInitDialog();
    if (!m_ended) {
        int answer = AfxRunModalDialog(*dialog, m_nIDTemplate);
        // A script answers as a button would: OK and Cancel go through their handlers.
        if (!m_ended) {
            if (answer == IDOK) OnOK();
            else if (answer == IDCANCEL) OnCancel();
            else EndDialog(answer);
        }
    }
    // OnOK may refuse to end (a value that fails validation): then it is a cancel.
    INT_PTR result = m_ended ? m_nModalResult : IDCANCEL;
    // As after a modal run of the system's dialogs, the window is gone; the
    // handlers have read what the caller needs.
    dialog->Detach();
    DestroyWindow();
    return result;
}

BOOL CDialog::Create(CWnd* pParentWnd) {
    if (IsWindow()) return FALSE;
    // The widget of an earlier run may still wait for its deferred deletion.
    if (auto* d = dynamic_cast<DialogWidget*>(m_dialog.data())) d->Detach();
    m_dialog = nullptr;
    m_pParentWnd = pParentWnd;
    m_modeless = true;
    QWidget* parent = pParentWnd ? pParentWnd->GetWidget() : nullptr;
    m_items.clear();
    auto* dialog = new DialogWidget(this, parent);
    dialog->setModal(false);
    m_dialog = dialog;
    AttachWidget(dialog, pParentWnd);
    m_ended = false;
    BuildDialog(*dialog);
    OnInitDialog();
    if (m_dialog && !m_ended) dialog->show();
    return m_dialog != nullptr;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_ended = true;
    if (m_dialog && m_dialog->isVisible()) m_dialog->done(nResult == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

void CDialog::AddDlgItem(UINT nID, QWidget* widget) { m_items[nID] = widget; }

QWidget* CDialog::GetDlgItemWidget(UINT nID) const {
    auto it = m_items.find(nID);
    return it == m_items.end() ? nullptr : it->second.data();
}

void CDialog::SetDlgItemText(UINT nID, const char* lpszString) {
    QString text = QString::fromUtf8(lpszString ? lpszString : "");
    QWidget* w = GetDlgItemWidget(nID);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
    else if (w) w->setWindowTitle(text);
}

CString CDialog::GetDlgItemText(UINT nID) const {
    QWidget* w = GetDlgItemWidget(nID);
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
    else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    else if (w) text = w->windowTitle();
    return CString(text.toStdString());
}

void CDialog::CheckDlgButton(UINT nIDButton, UINT nCheck) {
    QWidget* w = GetDlgItemWidget(nIDButton);
    if (auto* c = qobject_cast<QCheckBox*>(w)) {
        c->setTristate(nCheck == 2 || c->isTristate());
        c->setCheckState(nCheck == 2 ? Qt::PartiallyChecked : nCheck ? Qt::Checked : Qt::Unchecked);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setCheckable(true);
        b->setChecked(nCheck != 0);
    }
}

UINT CDialog::IsDlgButtonChecked(UINT nIDButton) const {
    QWidget* w = GetDlgItemWidget(nIDButton);
    if (auto* c = qobject_cast<QCheckBox*>(w)) return c->checkState() == Qt::PartiallyChecked ? 2 : c->isChecked();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->isChecked() ? 1 : 0;
    return 0;
}

namespace {
constexpr char kCancelledOnTermination[] = "veloranCancelledOnTermination";
}  // namespace

void CDialog::MarkCancelledOnTermination(QDialog& dialog) { dialog.setProperty(kCancelledOnTermination, true); }

bool CDialog::IsCancelledOnTermination(const QDialog& dialog) {
    return dialog.property(kCancelledOnTermination).toBool();
}
