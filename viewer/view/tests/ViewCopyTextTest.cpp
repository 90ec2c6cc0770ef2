// Copying and searching the text of a plain TeX page in Computer Modern (OT1)
// through the page view on the offscreen platform: a drag in Text Copy Mode
// and the copy command put the paragraph's UTF-8 text on the clipboard,
// accented letters, dashes and quotes included; the search dialog finds
// accented words with and without Match Case.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <string>
#include <vector>

#include "dvilib/VrDviSearch.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/MessageBox.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"

namespace {

const char* kDocument = R"TEX(
\hsize=5in \parindent=0pt \nopagenumbers
Caf\'e in Z\"urich -- ``quoted'' Stra\ss e, na\"\i ve \AE sop.
\bye
)TEX";

const char kText[] = "Café in Zürich – “quoted” Straße, naïve Æsop.";

class ViewCopyText : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        MakeView(900, 600);
        Open(Dir() / "doc.dvi");
    }
    void TearDown() override {
        AfxSetDialogAnswerer(nullptr);
        ViewFixture::TearDown();
    }

    QWidget* W() { return view->GetWidget(); }
    // The client rectangle of a text's hit on the shown page.
    QRect TextRect(const char* text) {
        VrDviSearch search;
        search.FindString(text, &doc->GetReader(), 1, Status().page, Status().page);
        auto it = search.GetResultList().Begin();
        if (!it) return QRect();
        const VrDviSearch::Rect r = it.Value().rectangles.Begin().Value();
        VrDviDrawer& d = view->GetPageDrawer();
        const ViewStatus vs = Status();
        return QRect(QPoint(d.hDot(r.x) - vs.scrollX, d.vDot(r.y) - vs.scrollY + vs.topOffset),
                     QPoint(d.hDot(r.x + r.width) - vs.scrollX, d.vDot(r.y + r.height) - vs.scrollY + vs.topOffset));
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(W(), Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, to, W()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(W(), &move);
        QTest::mouseRelease(W(), Qt::LeftButton, Qt::NoModifier, to);
    }
    // Runs the search dialog once for a text; the marks of its first hit.
    std::vector<RECT> Search(const QString& text, bool matchCase) {
        std::vector<RECT> marks;
        int shown = 0;
        AfxSetDialogAnswerer([&](UINT, QDialog& d) {
            if (shown++) {
                marks = view->GetSearchMarks();
                return int(IDCANCEL);
            }
            d.findChild<QLineEdit*>("text")->setText(text);
            d.findChild<QCheckBox*>("case")->setChecked(matchCase);
            d.findChild<QRadioButton*>("down")->setChecked(true);
            return int(IDOK);
        });
        view->OnSearch();
        AfxSetDialogAnswerer(nullptr);
        return marks;
    }
};

TEST_F(ViewCopyText, ADragAndCopyPutTheParagraphsUtf8Text) {
    const QRect first = TextRect("Café"), last = TextRect("Æsop.");
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(last.isEmpty());
    view->SendCommand(ID_TEXT_SELECT);
    ASSERT_EQ(view->GetViewMode(), int(kModeText));
    AfxSetClipboardText("before");
    Drag(QPoint(first.left() + 1, first.center().y()), QPoint(last.right() - 1, last.center().y()));
    view->SendCommand(ID_EDIT_COPY);
    EXPECT_EQ(std::string(AfxGetClipboardText()), std::string(kText) + "\n");
    // Dragged from the end back to the start: the same text.
    Drag(QPoint(last.right() - 1, last.center().y()), QPoint(first.left() + 1, first.center().y()));
    view->SendCommand(ID_EDIT_COPY);
    EXPECT_EQ(std::string(AfxGetClipboardText()), std::string(kText) + "\n");
    EXPECT_TRUE(messages.empty());
}

TEST_F(ViewCopyText, TheSearchDialogFindsAccentedWords) {
    EXPECT_EQ(Search(QStringLiteral("ZÜRICH"), false).size(), 1u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Search(QStringLiteral("Straße"), true).size(), 1u);
    EXPECT_EQ(Search(QStringLiteral("“quoted”"), true).size(), 1u);
    EXPECT_TRUE(messages.empty());
    // Match Case: the capitals are not there.
    EXPECT_TRUE(Search(QStringLiteral("ZÜRICH"), true).empty());
    EXPECT_EQ(messages.size(), 1u);
}

} // namespace
