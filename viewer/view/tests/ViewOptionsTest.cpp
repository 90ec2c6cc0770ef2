// Viewer Options on a DVI view: the sheet's pages show the view's values, OK
// applies what the user typed to the open view and stores it in the
// settings, a value out of range keeps the sheet open and changes nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "viewer/prefs/PrefPages.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/tests/ViewFixture.h"

namespace {

const char* kDocument = "Page one.\\vfill\\eject Page two.\\vfill\\eject Page three.\\bye\n";

TEST(PrefConversions, ZoomBitsAndMillimetres) {
    struct {
        const char* text;
        int zoom;
    } zooms[] = {{"Width", -1}, {"Height", -2}, {"75", 75}, {"75%", 75}, {"400", 300}, {"-5", 0}, {"abc", 0}};
    for (const auto& z : zooms) EXPECT_EQ(PrefZoomFromText(z.text, "Width", "Height"), z.zoom) << z.text;
    const int bits[][2] = {{0, 24}, {1, 8}, {2, 4}, {3, 1}};
    for (const auto& b : bits) {
        EXPECT_EQ(PrefBitsFromIndex(b[0]), b[1]);
        EXPECT_EQ(PrefIndexFromBits(b[1]), b[0]);
    }
    EXPECT_EQ(PrefIndexFromBits(16), 1);
    EXPECT_EQ(PrefBitsFromIndex(7), 8);
    EXPECT_EQ(PrefBitsFromIndex(-1), 8);
    // Margins and paper in 1/10000 mm, rounded half away from zero.
    EXPECT_EQ(PrefMmToUnits(25.4), 254000);
    EXPECT_EQ(PrefMmToUnits(210.00005), 2100001);
    EXPECT_EQ(PrefMmToUnits(-0.00005), -1);
    EXPECT_EQ(PrefMmToUnits(-12.5), -125000);
}

class ViewOptions : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }
    void SetUp() override {
        // Each test starts from the settings' defaults.
        app_->WriteProfileString(CVrViewerApp::kAppProfile, "Display", nullptr, nullptr);
        app_->WriteProfileString(CVrViewerApp::kAppProfile, "MagGlass", nullptr, nullptr);
        MakeView();
        Open(Dir() / "doc.dvi");
    }

    // The sheet's page with this title.
    static QWidget* Page(QDialog& dialog, const char* title) {
        auto* tabs = dialog.findChild<QTabWidget*>();
        for (int i = 0; tabs && i < tabs->count(); ++i)
            if (tabs->tabText(i) == title) return tabs->widget(i);
        return nullptr;
    }
    template <class W>
    static W* Control(QDialog& dialog, const char* page, int id) {
        QWidget* p = Page(dialog, page);
        return p ? p->findChild<W*>(QString::number(id)) : nullptr;
    }
    static void Type(QLineEdit* edit, const char* text) {
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    int Stored(const char* section, const char* key) {
        return int(app_->GetProfileInt(CVrViewerApp::kAppProfile, section, key, -999));
    }
    void RunOptions() { view->OnCmdMsg(ID_VIEWER_OPTIONS, CN_COMMAND, nullptr, nullptr); }
};

TEST_F(ViewOptions, PagesShowTheViewAndOkAppliesAndStores) {
    const ViewStatus before = Status();
    int sheets = 0;
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        ++sheets;
        auto* tabs = dialog.findChild<QTabWidget*>();
        EXPECT_EQ(tabs->count(), 9);
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) EXPECT_NE(b->text().remove('&'), "Apply");
        // Filled from the view.
        EXPECT_EQ(Control<QComboBox>(dialog, "Display", 1002)->currentText(), "100%");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Display", 1007)->text(), "1");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Display", 1006)->text(), "25.4");
        // Without a paper special the paper is the pages' extent: a custom size.
        EXPECT_EQ(Control<QComboBox>(dialog, "Display", 1003)->currentText(), "User Def.");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Magnification Glass", 1001)->text(), "200");
        EXPECT_EQ(Control<QComboBox>(dialog, "Magnification Glass", 1000)->currentText(), "250");
        EXPECT_EQ(Control<QComboBox>(dialog, "GhostScript", 1014)->currentIndex(), 1);
        EXPECT_EQ(Control<QComboBox>(dialog, "GhostScript", 1015)->currentIndex(), 3);

        dialog.resize(460, 420);
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_TRUE(dialog.grab().save("ViewOptionsSheet.png"));

        QComboBox* zoom = Control<QComboBox>(dialog, "Display", 1002);
        zoom->lineEdit()->selectAll();
        QTest::keyClicks(zoom->lineEdit(), "150%");
        Type(Control<QLineEdit>(dialog, "Display", 1007), "2");
        Type(Control<QLineEdit>(dialog, "Display", 1006), "10");
        Type(Control<QLineEdit>(dialog, "Magnification Glass", 1001), "321");
        Type(Control<QLineEdit>(dialog, "Magnification Glass", 1002), "123");
        QComboBox* mag = Control<QComboBox>(dialog, "Magnification Glass", 1000);
        mag->lineEdit()->selectAll();
        QTest::keyClicks(mag->lineEdit(), "300");
        Control<QComboBox>(dialog, "GhostScript", 1014)->setCurrentIndex(2);  // 16 colours
        Control<QComboBox>(dialog, "GhostScript", 1015)->setCurrentIndex(1);  // 256 colours
        QPushButton* ok = nullptr;
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->isDefault()) ok = b;
        EXPECT_NE(ok, nullptr);
        if (ok) QTest::mouseClick(ok, Qt::LeftButton);
        return IDOK;
    });
    RunOptions();
    AfxSetDialogAnswerer(nullptr);
    ASSERT_EQ(sheets, 1);
    WaitDrawn();

    const ViewStatus vs = Status();
    EXPECT_EQ(vs.DispMagSpec, kFitNone);
    EXPECT_EQ(vs.DispMag, 15000);
    EXPECT_GT(vs.pageWidth, before.pageWidth);
    EXPECT_EQ(vs.page, 1);
    EXPECT_EQ(vs.hMargin, 100000);
    EXPECT_EQ(vs.vMargin, 254000);
    EXPECT_EQ(vs.GlassDispMag, 30000);
    EXPECT_EQ(vs.GSScreenBitsPerPixel, 4);
    EXPECT_EQ(view->GetGlassWidth(), 321);
    EXPECT_EQ(view->GetGlassHeight(), 123);
    EXPECT_TRUE(messages.empty());
    // The bottom row's and the band's boxes show the new zoom and page.
    ViewControls& controls = *view->GetControls();
    EXPECT_EQ(controls.ZoomBox()->text().toStdString(), "150%");
    EXPECT_EQ(controls.BandComboBox(IDC_ZOOM_BOX)->currentText().toStdString(), "150%");
    EXPECT_EQ(controls.PageBox()->text().toStdString(), "2/" + std::to_string(view->GetPageCount()));
    EXPECT_EQ(controls.BandComboBox(IDC_PAGE_BOX)->currentText().toStdString(),
              "2/" + std::to_string(view->GetPageCount()));

    EXPECT_EQ(Stored("Display", "DispMag"), 15000);
    EXPECT_EQ(Stored("Display", "hMargin"), 100000);
    EXPECT_EQ(Stored("Display", "GSScreenBitsPerPixel"), 4);
    EXPECT_EQ(Stored("Display", "GSPrintBitsPerPixel"), 8);
    EXPECT_EQ(Stored("MagGlass", "GlassWidth"), 321);
    EXPECT_EQ(Stored("MagGlass", "GlassHeight"), 123);
    EXPECT_EQ(Stored("MagGlass", "GlassDispMag"), 30000);

    // A second sheet shows the stored values again.
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, "Display", 1002)->currentText(), "150%");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Display", 1006)->text(), "10");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Magnification Glass", 1001)->text(), "321");
        EXPECT_EQ(Control<QComboBox>(dialog, "GhostScript", 1014)->currentIndex(), 2);
        EXPECT_EQ(Control<QComboBox>(dialog, "GhostScript", 1015)->currentIndex(), 1);
        return IDCANCEL;
    });
    RunOptions();
    AfxSetDialogAnswerer(nullptr);
}

TEST_F(ViewOptions, WidthItemFitsTheWidthAndResetGivesTheSettingsDefaults) {
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        Control<QComboBox>(dialog, "Display", 1002)->setCurrentIndex(8);  // "Width"
        Type(Control<QLineEdit>(dialog, "Magnification Glass", 1001), "999");
        Control<QCheckBox>(dialog, "Magnification Glass", 1039)->setChecked(false);
        QTest::mouseClick(Control<QPushButton>(dialog, "Magnification Glass", 1003), Qt::LeftButton);
        EXPECT_EQ(Control<QLineEdit>(dialog, "Magnification Glass", 1001)->text(), "200");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Magnification Glass", 1002)->text(), "200");
        EXPECT_EQ(Control<QComboBox>(dialog, "Magnification Glass", 1000)->currentText(), "250");
        EXPECT_TRUE(Control<QCheckBox>(dialog, "Magnification Glass", 1039)->isChecked());
        // Display reset: A4 portrait, 25.4 mm margins; the zoom choice stays.
        dialog.show();
        dialog.findChild<QTabWidget*>()->setCurrentWidget(Page(dialog, "Display"));
        Control<QComboBox>(dialog, "Display", 1003)->setCurrentIndex(3);
        Type(Control<QLineEdit>(dialog, "Display", 1009), "3");
        QTest::mouseClick(Control<QPushButton>(dialog, "Display", 1018), Qt::LeftButton);
        EXPECT_EQ(Control<QComboBox>(dialog, "Display", 1003)->currentText(), "A4");
        EXPECT_EQ(Control<QLineEdit>(dialog, "Display", 1009)->text(), "25.4");
        EXPECT_EQ(Control<QComboBox>(dialog, "Display", 1002)->currentText(), "Width");
        return IDOK;
    });
    RunOptions();
    AfxSetDialogAnswerer(nullptr);
    WaitDrawn();
    EXPECT_EQ(Status().DispMagSpec, kFitWidth);
    EXPECT_EQ(Status().EnableColor, 0);
    EXPECT_EQ(Stored("Display", "DispMagSpec"), kFitWidth);
}

TEST_F(ViewOptions, OutOfRangeKeepsTheSheetAndChangesNothing) {
    const ViewStatus before = Status();
    const int storedWidth = Stored("MagGlass", "GlassWidth");
    struct {
        const char* page;
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {"Display", 1007, "20001", "Please enter an integer between 0 and 20000."},
        {"Display", 1006, "1000.5", "Please enter a number between -1000 and 1000."},
        {"Magnification Glass", 1001, "0", "Please enter an integer between 1 and 5000."},
        {"Magnification Glass", 1002, "x", "Please enter an integer between 1 and 5000."},
    };
    for (const auto& c : cases) {
        messages.clear();
        bool stillOpen = false;
        AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
            dialog.show();
            Type(Control<QLineEdit>(dialog, c.page, c.id), c.text);
            Type(Control<QLineEdit>(dialog, "Magnification Glass", 1001 + (c.id == 1001)), "444");
            QPushButton* ok = nullptr;
            for (QPushButton* b : dialog.findChildren<QPushButton*>())
                if (b->isDefault()) ok = b;
            QTest::mouseClick(ok, Qt::LeftButton);
            stillOpen = dialog.isVisible();
            auto* tabs = dialog.findChild<QTabWidget*>();
            EXPECT_EQ(tabs->tabText(tabs->currentIndex()), c.page) << c.text;
            return IDCANCEL;
        });
        RunOptions();
        AfxSetDialogAnswerer(nullptr);
        EXPECT_TRUE(stillOpen) << c.text;
        ASSERT_EQ(messages.size(), 1u) << c.text;
        EXPECT_EQ(messages[0], c.message);
    }
    const ViewStatus after = Status();
    EXPECT_EQ(after.page, before.page);
    EXPECT_EQ(after.hMargin, before.hMargin);
    EXPECT_EQ(view->GetGlassWidth(), 200);
    EXPECT_EQ(view->GetGlassHeight(), 200);
    EXPECT_EQ(Stored("MagGlass", "GlassWidth"), storedWidth);
}

TEST_F(ViewOptions, CustomPaperAboveLimitWarnsOnceAndKeepsTheSize) {
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        Control<QComboBox>(dialog, "Display", 1003)->setCurrentIndex(5);  // "User Def."
        EXPECT_TRUE(Control<QLineEdit>(dialog, "Display", 1004)->isEnabled());
        EXPECT_FALSE(Control<QWidget>(dialog, "Display", 1037)->isEnabled());
        Type(Control<QLineEdit>(dialog, "Display", 1004), "2000");
        Type(Control<QLineEdit>(dialog, "Display", 1005), "297.00005");
        return IDOK;
    });
    RunOptions();
    AfxSetDialogAnswerer(nullptr);
    WaitDrawn();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Case screen that page value is big can be unexpressed normally.\n");
    int w = 0, h = 0;
    Status().paper.GetWidth(&w);
    Status().paper.GetHeight(&h);
    EXPECT_EQ(w, 20000000);
    EXPECT_EQ(h, 2970001);
}

}  // namespace
