// Notes in the page view: placed, written in the note window, renamed in
// Note Properties, moved and deleted, with the changed flag and the
// document's modified flag after each step, and the icons on the back
// buffer.
#include <QGraphicsEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "platform/ui/CmdTarget.h"
#include "viewer/view/NoteWnd.h"
#include "viewer/view/tests/ViewFixture.h"

namespace {

struct RecordingCmdUI : CCmdUI {
    int enabled = -1, checked = -1;
    void Enable(BOOL on) override { enabled = on ? 1 : 0; }
    void SetCheck(int c) override { checked = c; }
};

class ViewNotes : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
        ViewFixture::SetUpTestSuite();
        file_ = new std::string(Tex("\\hsize=5in Some text of page one.\\vfill\\eject Page two.\\bye\n", "notes"));
    }
    static void TearDownTestSuite() {
        delete file_;
        ViewFixture::TearDownTestSuite();
    }
    void SetUp() override {
        MakeView();
        Open(*file_);
        NoteList& notes = view->GetNotes();
        notes.clock = [this] { return now; };
        notes.userName = [] { return std::string("reader"); };
    }
    // Clears both flags so that the next step shows what it sets.
    void ClearFlags() {
        doc->SetModifiedFlag(FALSE);
        view->GetNotes().changed = 0;
    }
    NotePopupDlg* Window() { return dynamic_cast<NotePopupDlg*>(view->m_pNoteWnd); }
    int Update(UINT id) {
        RecordingCmdUI ui;
        ui.m_nID = id;
        view->OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui, nullptr);
        return ui.enabled;
    }
    uint32_t Pixel(int x, int y) { return ViewFixture::Window(x, y); }

    static inline std::string* file_ = nullptr;
    std::time_t now = 1709820300;
};

TEST_F(ViewNotes, PlaceWriteRenameMoveAndDelete) {
    NoteList& notes = view->GetNotes();
    EXPECT_EQ(Update(ID_NOTE_DELETE), 0);  // no note selected
    view->OnCmdMsg(ID_NOTE, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(view->GetViewMode(), 6);

    // Placed at a point of the page: the icon is drawn there.
    ASSERT_EQ(view->AddNoteAt(CPoint(200, 150)), 0);
    EXPECT_EQ(notes.changed, 1);
    EXPECT_TRUE(doc->IsModified());
    WaitDrawn();
    EXPECT_EQ(Pixel(200, 150), 0x000000u);
    EXPECT_EQ(Pixel(204, 155), 0xFFFF80u);
    EXPECT_EQ(view->NoteAtPoint(CPoint(205, 160)), 0);
    EXPECT_EQ(Update(ID_NOTE_DELETE), 1);

    // The note window: Escape does not close it, the close button does and
    // the text goes to the note with a new stamp.
    ClearFlags();
    now += 60;
    view->OpenNoteWindow(0, true);
    ASSERT_NE(Window(), nullptr);
    QPlainTextEdit* edit = Window()->GetEdit();
    EXPECT_EQ(Window()->GetHeader()->text().toStdString(), "reader 2024/03/07 14:05:00");
    QTest::keyClicks(edit, "Remember this");
    QTest::keyClick(edit, Qt::Key_Escape);
    ASSERT_TRUE(PumpUntilQueuedRan());
    ASSERT_NE(Window(), nullptr);
    Shot("note-window");
    QTest::mouseClick(Window()->GetCloseButton(), Qt::LeftButton);
    EXPECT_TRUE(PumpUntil([&] { return view->m_pNoteWnd == nullptr; }));
    EXPECT_EQ(view->m_pNoteWnd, nullptr);
    EXPECT_EQ(notes.GetNote(0)->text, "Remember this");
    EXPECT_EQ(notes.GetNote(0)->time, NoteList::FormatTime(now));
    EXPECT_EQ(notes.changed, 1);
    EXPECT_TRUE(doc->IsModified());

    // Opened on the existing note and closed without typing: nothing changes.
    ClearFlags();
    const std::string stamp = notes.GetNote(0)->time;
    now += 60;
    view->SetSelectedNote(0);
    view->OnCmdMsg(ID_NOTE_EDIT, CN_COMMAND, nullptr, nullptr);
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(Window()->GetEdit()->toPlainText().toStdString(), "Remember this");
    view->CloseNoteWindow();
    ASSERT_TRUE(PumpUntil([&] { return view->m_pNoteWnd == nullptr; }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(notes.GetNote(0)->time, stamp);
    EXPECT_EQ(notes.changed, 0);
    EXPECT_FALSE(doc->IsModified());

    // Note Properties: the edit refuses a 15th character; a name of more
    // than 14 bytes is refused with a message.
    AfxSetDialogAnswerer([](UINT id, QDialog& dialog) {
        EXPECT_EQ(id, IDD_NOTE_PROPERTIES);
        QLineEdit* author = dialog.findChild<QLineEdit*>();
        EXPECT_EQ(author->text().toStdString(), "reader");
        QLabel* time = nullptr;
        for (QLabel* l : dialog.findChildren<QLabel*>())
            if (l->text().startsWith("2024/")) time = l;
        EXPECT_NE(time, nullptr);
        author->clear();
        QTest::keyClicks(author, "ABCDEFGHIJKLMNO");
        EXPECT_EQ(author->text().toStdString(), "ABCDEFGHIJKLMN");
        return int(IDOK);
    });
    view->OnCmdMsg(ID_NOTE_PROPERTIES, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(notes.GetNote(0)->user, "ABCDEFGHIJKLMN");
    EXPECT_EQ(notes.GetNote(0)->time, NoteList::FormatTime(now));
    EXPECT_EQ(notes.changed, 1);
    ClearFlags();
    AfxSetDialogAnswerer([](UINT, QDialog& dialog) {
        dialog.findChild<QLineEdit*>()->setText(QString::fromUtf8("홍길동전우"));  // 15 bytes
        return int(IDOK);
    });
    view->OnCmdMsg(ID_NOTE_PROPERTIES, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(notes.GetNote(0)->user, "ABCDEFGHIJKLMN");
    EXPECT_EQ(notes.changed, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Enter no more than 14 characters.");
    AfxSetDialogAnswerer(nullptr);

    // Moved: drawn at its new place only.
    view->MoveNoteTo(0, CPoint(400, 300));
    EXPECT_EQ(notes.changed, 1);
    EXPECT_TRUE(doc->IsModified());
    WaitDrawn();
    EXPECT_EQ(view->NoteAtPoint(CPoint(405, 305)), 0);
    EXPECT_EQ(view->NoteAtPoint(CPoint(205, 160)), -1);
    EXPECT_EQ(Pixel(404, 305), 0xFFFF80u);
    EXPECT_EQ(Pixel(204, 155), 0xFFFFFFu);
    ClearFlags();
    view->MoveNoteTo(0, CPoint(400, 300));  // to where it is: no change
    EXPECT_EQ(notes.changed, 0);

    // Deleted: no icon, nothing under the pointer, the commands greyed.
    view->SetSelectedNote(0);
    view->OnCmdMsg(ID_NOTE_DELETE, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(notes.GetNote(0)->deleted, 1);
    EXPECT_EQ(notes.changed, 1);
    EXPECT_TRUE(doc->IsModified());
    WaitDrawn();
    EXPECT_EQ(view->NoteAtPoint(CPoint(405, 305)), -1);
    EXPECT_EQ(Pixel(404, 305), 0xFFFFFFu);
    EXPECT_EQ(Update(ID_NOTE_PROPERTIES), 0);
}

TEST_F(ViewNotes, InABrowserOnlyTheChangedFlagIsSet) {
    view->m_isBrowser = 1;
    ASSERT_EQ(view->AddNoteAt(CPoint(100, 100)), 0);
    ClearFlags();
    view->SetSelectedNote(0);
    view->OnCmdMsg(ID_NOTE_DELETE, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(view->GetNotes().changed, 1);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ViewNotes, IconsHideOnCommandAndOtherPagesShowNone) {
    ASSERT_EQ(view->AddNoteAt(CPoint(100, 100)), 0);
    WaitDrawn();
    EXPECT_EQ(Pixel(104, 105), 0xFFFF80u);
    view->OnCmdMsg(ID_SHOW_NOTE_ICON, CN_COMMAND, nullptr, nullptr);
    WaitDrawn();
    EXPECT_EQ(Pixel(104, 105), 0xFFFFFFu);
    EXPECT_EQ(view->NoteAtPoint(CPoint(104, 105)), -1);
    view->OnCmdMsg(ID_SHOW_NOTE_ICON, CN_COMMAND, nullptr, nullptr);
    view->GotoPage(1);
    WaitDrawn();
    EXPECT_EQ(view->NoteAtPoint(CPoint(104, 105)), -1);
    view->GotoPage(0);
    WaitDrawn();
    EXPECT_EQ(view->NoteAtPoint(CPoint(104, 105)), 0);
}

TEST_F(ViewNotes, AHoverWindowWritesNothingAndTranslucencyFollowsTheSystem) {
    NoteList& notes = view->GetNotes();
    ASSERT_EQ(view->AddNoteAt(CPoint(100, 100)), 0);
    notes.SetNoteText(0, "kept");
    ClearFlags();
    view->OpenNoteWindow(0, false, true);
    ASSERT_NE(Window(), nullptr);
    EXPECT_TRUE(Window()->GetEdit()->isReadOnly());
    EXPECT_NE(Window()->GetWidget()->graphicsEffect(), nullptr);
    Window()->GetEdit()->setPlainText("changed");  // even a change goes nowhere
    view->CloseNoteWindow();
    ASSERT_TRUE(PumpUntil([&] { return view->m_pNoteWnd == nullptr; }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(notes.GetNote(0)->text, "kept");
    EXPECT_EQ(notes.changed, 0);

    NotePopupDlg::s_layeredWindowsAllowed = false;
    view->OpenNoteWindow(0, false);
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(Window()->GetWidget()->graphicsEffect(), nullptr);
    EXPECT_FALSE(Window()->IsTranslucent());
    view->CloseNoteWindow();
    NotePopupDlg::s_layeredWindowsAllowed = true;
    // A window on a note that is not there is not made.
    view->OpenNoteWindow(7, false);
    EXPECT_EQ(Window(), nullptr);
}

}  // namespace
