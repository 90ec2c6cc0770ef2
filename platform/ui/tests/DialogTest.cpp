// Modal dialogs and file dialogs answered by a script.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "platform/ui/FileDialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/tests/QtTestApp.h"

namespace {

constexpr UINT IDC_SAVE_PICTURES = 1007;

class FlagDialog : public CDialog {
public:
    explicit FlagDialog(int flag) : CDialog(154), m_flag(flag) {}
    int m_flag;
    bool refuse = false;

protected:
    void BuildDialog(QDialog& dialog) override {
        CDialog::BuildDialog(dialog);
        auto* box = new QCheckBox("Save external picture files in the same directory", &dialog);
        dialog.layout()->addWidget(box);
        AddDlgItem(IDC_SAVE_PICTURES, box);
    }
    BOOL OnInitDialog() override {
        CheckDlgButton(IDC_SAVE_PICTURES, m_flag);
        return TRUE;
    }
    void OnOK() override {
        if (refuse) return; // a value that does not validate keeps the dialog open
        m_flag = IsDlgButtonChecked(IDC_SAVE_PICTURES);
        CDialog::OnOK();
    }
};

struct Dialogs : ::testing::Test {
    void SetUp() override { TestApp(); }
    void TearDown() override { AfxSetDialogAnswerer(nullptr); }
};

TEST_F(Dialogs, ScriptedAnswerGoesThroughOkAndCancel) {
    struct Case {
        int initial;
        bool untick;
        int answer;
        bool refuse;
        INT_PTR result;
        int flag;
    } cases[] = {
        {1, true, IDOK, false, IDOK, 0},         // unticked and OK: 0
        {1, false, IDOK, false, IDOK, 1},
        {0, false, IDCANCEL, false, IDCANCEL, 0},
        {1, true, IDCANCEL, false, IDCANCEL, 1}, // cancel keeps the old value
        {1, true, IDOK, true, IDCANCEL, 1},      // OK refused by the handler
    };
    for (const Case& c : cases) {
        bool initiallyChecked = false;
        AfxSetDialogAnswerer([&](UINT id, QDialog& dlg) {
            EXPECT_EQ(id, 154u);
            auto* box = dlg.findChild<QCheckBox*>();
            initiallyChecked = box->isChecked();
            if (c.untick) box->setChecked(false);
            return c.answer;
        });
        FlagDialog dlg(c.initial);
        dlg.refuse = c.refuse;
        EXPECT_EQ(dlg.DoModal(), c.result);
        EXPECT_EQ(initiallyChecked, c.initial != 0);
        EXPECT_EQ(dlg.m_flag, c.flag);
        EXPECT_FALSE(dlg.IsWindow()); // gone after the modal run
    }
}

TEST_F(Dialogs, HeadlessWithoutScriptCancels) {
    FlagDialog dlg(1);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_flag, 1);
}

TEST_F(Dialogs, FileDialogAddsDefaultExtensionAndFillsBuffer) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string base = dir.path().toStdString();
    struct Case {
        BOOL open;
        const char* typed;
        const char* expected;
    } cases[] = {
        {TRUE, "doc", "doc.vrd"},
        {TRUE, "doc.dvi", "doc.dvi"},
        // A file without an extension opens as it is named.
        {TRUE, "README", "README"},
        {FALSE, "out", "out.vrd"},
    };
    QFile(dir.filePath("README")).open(QIODevice::WriteOnly);
    for (const Case& c : cases) {
        AfxSetDialogAnswerer([&](UINT, QDialog& dlg) {
            auto& fd = static_cast<QFileDialog&>(dlg);
            EXPECT_EQ(fd.acceptMode(), c.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
            EXPECT_EQ(fd.nameFilters().size(), 2);
            fd.selectFile(QString::fromStdString(base + "/" + c.typed));
            return IDOK;
        });
        char buffer[300] = "";
        CFileDialog dlg(c.open, "vrd", nullptr, OFN_EXPLORER,
                        "Veloran Document (*.vrd,*.dvi,*.tgz)|*.vrd;*.dvi;*.tgz|All Files (*.*)|*.*||");
        dlg.m_ofn.lpstrFile = buffer;
        dlg.m_ofn.nMaxFile = sizeof buffer;
        ASSERT_EQ(dlg.DoModal(), IDOK) << c.typed;
        EXPECT_EQ(dlg.GetPathName().str(), base + "/" + c.expected);
        EXPECT_EQ(std::string(buffer), base + "/" + c.expected);
        EXPECT_EQ(dlg.GetFileName().str(), c.expected);
    }
    // A short buffer takes what fits, terminated.
    AfxSetDialogAnswerer([&](UINT, QDialog& dlg) {
        static_cast<QFileDialog&>(dlg).selectFile(QString::fromStdString(base + "/x.dvi"));
        return IDOK;
    });
    char small[5] = "zzzz";
    CFileDialog dlg(TRUE, "vrd");
    dlg.m_ofn.lpstrFile = small;
    dlg.m_ofn.nMaxFile = sizeof small;
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::string(small), (base + "/x.dvi").substr(0, 4));

    AfxSetDialogAnswerer([](UINT, QDialog&) { return IDCANCEL; });
    CFileDialog cancelled(TRUE, "vrd");
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_TRUE(cancelled.GetPathName().IsEmpty());
}

TEST_F(Dialogs, OpenDialogTakesATypedNameAsTheFileWithTheDefaultExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile(dir.filePath("book.vrd")).open(QIODevice::WriteOnly);
    AfxSetDialogAnswerer([&](UINT, QDialog& dlg) {
        auto& fd = static_cast<QFileDialog&>(dlg);
        fd.setDirectory(dir.path());
        fd.show();
        auto* edit = fd.findChild<QLineEdit*>("fileNameEdit");
        EXPECT_NE(edit, nullptr);
        if (!edit) return IDCANCEL;
        edit->setFocus();
        QTest::keyClicks(edit, "book");
        QTest::keyClick(edit, Qt::Key_Return);
        return dlg.result() == QDialog::Accepted ? IDOK : IDCANCEL;
    });
    CFileDialog dlg(TRUE, "vrd", nullptr, OFN_EXPLORER, "Veloran Document (*.vrd,*.dvi)|*.vrd;*.dvi||");
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName().str(), dir.filePath("book.vrd").toStdString());
}

TEST_F(Dialogs, SaveDialogAsksAboutTheNameWithItsExtensionOnlyWhenTold) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile(dir.filePath("book.vrd")).open(QIODevice::WriteOnly);
    std::vector<std::string> asked;
    int reply = IDNO;
    AfxSetMessageBoxAnswerer([&](const MessageBoxRequest& r) {
        asked.push_back(r.text);
        return reply;
    });
    // The person types a name and presses Return; the dialog's state after it.
    auto typed = [&](const char* name) {
        AfxSetDialogAnswerer([&, name](UINT, QDialog& dlg) {
            auto& fd = static_cast<QFileDialog&>(dlg);
            fd.setDirectory(dir.path());
            fd.show();
            auto* edit = fd.findChild<QLineEdit*>("fileNameEdit");
            EXPECT_NE(edit, nullptr);
            if (!edit) return IDCANCEL;
            edit->setText(name);
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_Return);
            return dlg.result() == QDialog::Accepted ? IDOK : IDCANCEL;
        });
    };
    struct {
        const char* typed;
        DWORD flags;
        int reply;
        size_t questions;
        INT_PTR result;
    } cases[] = {
        {"book", OFN_OVERWRITEPROMPT, IDNO, 1, IDCANCEL},
        {"book.vrd", OFN_OVERWRITEPROMPT, IDNO, 1, IDCANCEL},
        {"book", OFN_OVERWRITEPROMPT, IDYES, 1, IDOK},
        {"new", OFN_OVERWRITEPROMPT, IDNO, 0, IDOK},
        {"book", 0, IDNO, 0, IDOK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + (c.flags ? " asking" : " not asking"));
        asked.clear();
        reply = c.reply;
        typed(c.typed);
        CFileDialog dlg(FALSE, "vrd", nullptr, c.flags, "Veloran Document (*.vrd)|*.vrd||");
        dlg.m_ofn.lpstrTitle = "Save Book";
        EXPECT_EQ(dlg.DoModal(), c.result);
        ASSERT_EQ(asked.size(), c.questions);
        if (c.questions) {
            EXPECT_EQ(asked[0], "book.vrd already exists.\nDo you want to replace it?");
        }
    }
    // An open dialog never asks.
    asked.clear();
    typed("book");
    CFileDialog open(TRUE, "vrd", nullptr, OFN_OVERWRITEPROMPT, "Veloran Document (*.vrd)|*.vrd||");
    EXPECT_EQ(open.DoModal(), IDOK);
    EXPECT_TRUE(asked.empty());
    AfxSetMessageBoxAnswerer(nullptr);
}

TEST(FileDialogFilter, SystemFormTurnsIntoNameFilters) {
    EXPECT_EQ(CFileDialog::ParseFilter("DVI Files (*.dvi)|*.dvi|Compressed DVI Files (*.vrd,*.dgz)|*.vrd;*.dgz|"
                                       "All Files (*.*)|*.*||"),
              (QStringList{"DVI Files (*.dvi) (*.dvi)", "Compressed DVI Files (*.vrd,*.dgz) (*.vrd *.dgz)",
                           "All Files (*.*) (*.*)"}));
    EXPECT_TRUE(CFileDialog::ParseFilter(nullptr).isEmpty());
    EXPECT_TRUE(CFileDialog::ParseFilter("").isEmpty());
    EXPECT_EQ(CFileDialog::ParseFilter("Odd|*.a|Dangling"), QStringList{"Odd (*.a)"});
}

} // namespace
