#include "viewer/view/NoteWnd.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/NoteList.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/view/VrViewerView.h"

namespace {

// The window's body: yellow, dragged by any point that is not a control,
// and deaf to Escape.
class NoteFrame : public QFrame {
public:
    explicit NoteFrame(QWidget* parent) : QFrame(parent) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            return;
        }
        QFrame::keyPressEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            grab_ = e->position().toPoint();
            dragging_ = true;
        }
        e->accept();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!dragging_) return;
        move(mapToParent(e->position().toPoint() - grab_));
        e->accept();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        dragging_ = false;
        e->accept();
    }

private:
    QPoint grab_;
    bool dragging_ = false;
};

// The edit passes Escape to nobody.
class NoteEdit : public QPlainTextEdit {
public:
    explicit NoteEdit(QWidget* parent) : QPlainTextEdit(parent) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }
};

// The close button's cross.
QPixmap CloseBitmap() {
    QPixmap pm(9, 9);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(1, 1, 7, 7);
    p.drawLine(7, 1, 1, 7);
    return pm;
}

}  // namespace

NotePopupDlg::NotePopupDlg(CVrViewerView* view, int noteIndex, bool isNew, bool readOnly)
    : m_pView(view), m_noteIndex(noteIndex), m_new(isNew), m_readOnly(readOnly) {}

BOOL NotePopupDlg::Create(int x, int y, bool translucent) {
    QWidget* parent = m_pView ? m_pView->GetWidget() : nullptr;
    if (!parent) return FALSE;
    const NoteRecord* note = m_pView->GetNotes().GetNote(m_noteIndex);
    if (!note) return FALSE;

    auto* frame = new NoteFrame(parent);
    frame->setObjectName("note");
    frame->setFrameShape(QFrame::Box);
    frame->setAutoFillBackground(true);
    // Black text; the window yellow, the edit light yellow.
    frame->setStyleSheet("QFrame#note { background: #FFFF00; color: black; }"
                         "QLabel { background: #FFFF00; color: black; }"
                         "QPlainTextEdit { background: #FFFFC8; color: black; border: none; }"
                         "QToolButton { background: #FFFF00; border: none; }");
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(3, 2, 3, 3);
    layout->setSpacing(2);
    auto* top = new QHBoxLayout;
    m_header = new QLabel(frame);
    m_header->setText(QString::fromUtf8((note->user + " " + note->time).c_str()));
    m_header->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_close = new QToolButton(frame);
    m_close->setIcon(QIcon(CloseBitmap()));
    m_close->setFixedSize(13, 13);
    top->addWidget(m_header, 1);
    top->addWidget(m_close);
    layout->addLayout(top);
    m_edit = new NoteEdit(frame);
    m_edit->setPlainText(QString::fromUtf8(note->text.c_str()));
    m_edit->document()->setModified(false);
    m_edit->setReadOnly(m_readOnly);
    layout->addWidget(m_edit, 1);
    frame->setGeometry(x, y, kWidth, kHeight);

    m_translucent = translucent && s_layeredWindowsAllowed;
    if (m_translucent) {
        auto* effect = new QGraphicsOpacityEffect(frame);
        effect->setOpacity(kOpacity);
        frame->setGraphicsEffect(effect);
    }
    AttachWidget(frame, m_pView);
    QObject::connect(m_close, &QToolButton::clicked, frame, [this] { DestroyWindow(); });
    frame->show();
    frame->raise();
    if (!m_readOnly) m_edit->setFocus();
    return TRUE;
}

void NotePopupDlg::Finish(const std::string& text, bool modified) {
    if (m_finished) return;
    m_finished = true;
    if (m_readOnly || !m_pView) return;
    if (!m_new && !modified) return;
    NoteList& notes = m_pView->GetNotes();
    notes.SetNoteText(m_noteIndex, text);
    notes.StampTime(m_noteIndex);
}

void NotePopupDlg::OnDestroy() {
    if (m_edit) Finish(m_edit->toPlainText().toStdString(), m_edit->document()->isModified());
    m_edit = nullptr;
    m_header = nullptr;
    m_close = nullptr;
}

void NotePopupDlg::PostNcDestroy() {
    if (m_pView && m_pView->m_pNoteWnd == this) {
        m_pView->m_pNoteWnd = nullptr;
        m_pView->Invalidate(FALSE);
    }
    delete this;
}

// ------------------------------------------------------------ Note Properties

NotePropDlg::NotePropDlg(CVrViewerView* view, const std::string& author, const std::string& time)
    : CDialog(IDD_NOTE_PROPERTIES, view), m_author(author), m_time(time) {}

void NotePropDlg::BuildDialog(QDialog& dialog) {
    dialog.setWindowTitle(QString::fromUtf8(AfxLoadString(IDS_NOTEPROP_CAPTION).c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    auto* author = new QLineEdit(&dialog);
    author->setMaxLength(NoteList::kUserNameMax);
    auto* time = new QLabel(&dialog);
    form->addRow(QString::fromUtf8(AfxLoadString(IDS_NOTEPROP_AUTHOR).c_str()), author);
    form->addRow(QString::fromUtf8(AfxLoadString(IDS_NOTEPROP_MODIFIED).c_str()), time);
    layout->addLayout(form);
    QDialogButtonBox* buttons = AddButtonBox(dialog, kOkCancel, false);
    layout->addWidget(buttons);
    AddDlgItem(IDC_NOTE_EDIT, author);
    AddDlgItem(IDC_NOTE_TIME, time);
}

BOOL NotePropDlg::OnInitDialog() {
    SetDlgItemText(IDC_NOTE_EDIT, m_author.c_str());
    SetDlgItemText(IDC_NOTE_TIME, m_time.c_str());
    return TRUE;
}

void NotePropDlg::OnOK() {
    const std::string author = GetDlgItemText(IDC_NOTE_EDIT).str();
    // The name field of a note holds 14 bytes.
    if (int(author.size()) > NoteList::kUserNameMax) {
        CString text;
        text.Format(AfxLoadString(IDS_NOTEPROP_TOO_LONG), NoteList::kUserNameMax);
        AfxMessageBox(text, MB_ICONEXCLAMATION);
        return;
    }
    m_author = author;
    EndDialog(IDOK);
}
