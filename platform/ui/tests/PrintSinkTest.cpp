// The print sink writing PDF files: the chosen path gets a file only when the
// job ends well, whatever stops it before (Cancel, a failure, kill -9).
#include "platform/ui/PrintDialog.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPrinter>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ui/tests/QtTestApp.h"

namespace fs = std::filesystem;

namespace {

// A folder of the test's own, the same in a death test's child.
fs::path SinkDir(const std::string& name) {
    const fs::path dir = fs::path(VELORAN_BINARY_DIR) / "testdata" / "printsink" / name;
    fs::create_directories(dir);
    return dir;
}

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A band of grey rows, 100 pixels wide.
std::vector<uint32_t> g_rows(100 * 50, 0xFF808080u);

void PrintOnePage(QtPrintSink& sink, const PrinterInfo& info) {
    ASSERT_TRUE(sink.BeginPage(1));
    PrintBand band;
    band.pixels = g_rows.data();
    band.width = 100;
    band.height = 50;
    band.stride = 100;
    band.pageHeight = info.printableHeight;
    ASSERT_TRUE(sink.PrintBand(band));
    ASSERT_TRUE(sink.EndPage());
}

TEST(QtPrintSink, TheChosenFileAppearsOnlyWhenTheJobEndsWell) {
    TestApp();
    const fs::path dir = SinkDir("ends");
    const struct {
        const char* what;
        const char* before; // the file already at the chosen path, or null
        bool end;           // EndDocument, else AbortDocument
    } cases[] = {
        {"ended", nullptr, true},
        {"ended over an old file", "old contents", true},
        {"aborted", nullptr, false},
        {"aborted over an old file", "old contents", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        const fs::path chosen = dir / "out.pdf";
        if (c.before) std::ofstream(chosen) << c.before;
        QPrinter printer(QPrinter::PrinterResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(chosen.string()));
        QtPrintSink sink(printer);
        const PrinterInfo info = QtPrintSink::Describe(printer);
        ASSERT_TRUE(sink.BeginDocument("job", info));
        EXPECT_EQ(QtPrintSink::OpenDocuments(), 1);
        PrintOnePage(sink, info);
        // Meanwhile the chosen path is as it was; the pages go elsewhere.
        EXPECT_EQ(fs::exists(chosen), c.before != nullptr);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), c.before ? 2 : 1);
        if (c.end) {
            ASSERT_TRUE(sink.EndDocument());
            EXPECT_EQ(ReadText(chosen).substr(0, 5), "%PDF-");
            struct stat st {};
            ASSERT_EQ(stat(chosen.c_str(), &st), 0);
            EXPECT_NE(st.st_mode & 0044, 0u) << "readable as files the person makes are";
        } else {
            sink.AbortDocument();
            EXPECT_EQ(fs::exists(chosen), c.before != nullptr);
            if (c.before) {
                EXPECT_EQ(ReadText(chosen), c.before);
            }
        }
        EXPECT_EQ(QtPrintSink::OpenDocuments(), 0);
        // Nothing else is left beside it.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), fs::exists(chosen) ? 1 : 0);
        EXPECT_EQ(printer.outputFileName().toStdString(), chosen.string());
    }
}

TEST(QtPrintSinkDeathTest, KillDuringPrintingLeavesNoFileAtTheChosenPath) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path dir = SinkDir("killed");
    const fs::path chosen = dir / "out.pdf";
    EXPECT_EXIT(
        {
            TestApp();
            QPrinter printer(QPrinter::PrinterResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(chosen.string()));
            QtPrintSink sink(printer);
            const PrinterInfo info = QtPrintSink::Describe(printer);
            if (sink.BeginDocument("job", info)) {
                PrintOnePage(sink, info);
                PrintOnePage(sink, info);
            }
            kill(getpid(), SIGKILL);
        },
        testing::KilledBySignal(SIGKILL), "");
    EXPECT_FALSE(fs::exists(chosen));
    fs::remove_all(dir);
}

}  // namespace
