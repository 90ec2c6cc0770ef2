// The viewer program on the sample document under Xvfb: a screenshot of the
// screen is kept as build/artefacts/viewer-sample.png, and it must show a
// white page with text on it. The test runs itself again under xvfb-run,
// and there starts the program and takes the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <cstdio>
#include <filesystem>

#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"

namespace fs = std::filesystem;

namespace {

using testsupport::RunCommand;

const std::string kShot = VELORAN_BINARY_DIR "/artefacts/viewer-sample.png";

// A page: the largest run of near-white pixels on the middle row, the dark
// pixels inside the page's columns, and the grey desk beside the paper on the
// middle row (not there while the document is still being retrieved).
struct PageLook {
    int whiteRun = 0, left = 0, dark = 0, desk = 0;
};
PageLook Look(const QImage& img) {
    PageLook look;
    int best = 0, bestLeft = 0;
    for (int yy : {img.height() / 3, img.height() / 2}) {
        int run = 0;
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, yy);
            const bool white = qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240;
            const bool dark = qGray(c) < 100;
            // Text inside the page interrupts white only briefly.
            if (white || (dark && run > 0)) ++run;
            else run = 0;
            if (run > best) best = run, bestLeft = x - run + 1;
        }
    }
    look.whiteRun = best;
    look.left = bestLeft;
    for (int x = 0; x < img.width(); ++x) {
        const QRgb c = img.pixel(x, img.height() / 2);
        look.desk += qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) >= 0x70 && qRed(c) <= 0x90;
    }
    for (int y = 0; y < img.height(); ++y)
        for (int x = bestLeft; x < bestLeft + best && x < img.width(); ++x) look.dark += qGray(img.pixel(x, y)) < 100;
    return look;
}

TEST(ViewerScreenshot, TheSampleDocumentShowsAsAPageWithText) {
    if (!std::getenv("VELORAN_UNDER_XVFB")) {
        fs::create_directories(fs::path(kShot).parent_path());
        fs::remove(kShot);
        char self[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
        const std::string out = RunCommand("VELORAN_UNDER_XVFB=1 xvfb-run -a -s '-screen 0 1280x1024x24' '" +
                                           std::string(self) + "' 2>&1");
        ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
        QImage shot(QString::fromStdString(kShot));
        ASSERT_FALSE(shot.isNull()) << out;
        const PageLook look = Look(shot);
        EXPECT_GT(look.whiteRun, 400) << "no page in " << kShot;
        EXPECT_GT(look.dark, 2000) << "no text on the page in " << kShot;
        EXPECT_GT(look.desk, 50) << "no desk beside the page in " << kShot;
        return;
    }

    // Under Xvfb: the real program, then the screen.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char arg0[] = "viewer_view_screenshot";
    static char* argv[] = {arg0, nullptr};
    QApplication app(argc, argv);

    const fs::path home = fs::temp_directory_path() / ("vrview-shot-" + std::to_string(getpid()));
    fs::create_directories(home / "config");
    fs::create_directories(home / "run");
    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELORAN_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString((home / "run").string()));
    env.insert("QT_QPA_PLATFORM", "xcb");
    viewer.setProcessEnvironment(env);
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(VELORAN_BINARY_DIR "/bin/VrViewer", {VELORAN_BINARY_DIR "/share/veloran/sample/sample.dvi"});
    ASSERT_TRUE(viewer.waitForStarted(20000));

    QImage shot, previous;
    QElapsedTimer lastLook;
    // Until the page and its text are there and two looks a quarter second
    // apart see the same screen: the last slices of the page are in.
    PumpUntil([&] {
        if (viewer.state() != QProcess::Running) return true;
        if (lastLook.isValid() && lastLook.elapsed() < 250) return false;
        lastLook.start();
        previous = shot;
        shot = app.primaryScreen()->grabWindow(0).toImage();
        const PageLook look = Look(shot);
        return look.whiteRun > 400 && look.dark > 2000 && look.desk > 50 && shot == previous;
    }, 90000);
    EXPECT_EQ(viewer.state(), QProcess::Running);
    EXPECT_TRUE(shot.save(QString::fromStdString(kShot)));
    // A termination signal closes it as its window's closing does; under
    // AddressSanitizer its leak check (testsupport/lsan.supp) passes too.
    viewer.terminate();
    if (!viewer.waitForFinished(30000)) viewer.kill();
    viewer.waitForFinished(5000);
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);
    fs::remove_all(home);
}

}  // namespace
