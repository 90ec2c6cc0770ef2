// Hostile files opened through the real document and page view on the
// offscreen platform: each one ends with the worker finished, an error told
// where one is due, and the view still painting and turning pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dvilib/DviOpcodes.h"
#include "dvilib/VrDviWriter.h"
#include "platform/kpathsea/KPathSea.h"
#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/document/ViewStatus.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.data(), long(bytes.size()));
}

// A two-page DVI file whose first page the caller fills; the font
// definitions of the page are repeated in the postamble.
void WriteDvi(const fs::path& p, const std::function<void(VrDviWriter&)>& fontDefs,
              const std::function<void(VrDviWriter&)>& firstPage) {
    VrDviWriter w;
    w.open(p.c_str());
    w.WritePreamble(473628672, 25400000, 1000, nullptr);
    int counts[10] = {1};
    w.WriteBop(counts);
    fontDefs(w);
    firstPage(w);
    w.WriteEop();
    counts[0] = 2;
    w.WriteBop(counts);
    w.WriteEop();
    w.WritePostamble(1, 1000000, 1000000);
    fontDefs(w);
    w.WritePostPostamble();
    ASSERT_TRUE(w.WriteGood());
}

class BadDocument : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(nullptr); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            messages.push_back(r.text);
            return IDOK;
        });
    }
    void TearDown() override {
        CloseView();
        ViewFixture::TearDown();
    }

    void OpenView() { MakeView(800, 600); }
    void CloseView() {
        if (view) view->DestroyWindow();  // deletes the view
        view = nullptr;
        delete doc;
        doc = nullptr;
        PumpUntilQueuedRan();  // the closing document's report, still answered by the script
    }
};

TEST_F(BadDocument, EachEndsWithTheWorkerDoneAnErrorToldAndTheViewResponding) {
    const fs::path& d = Dir();
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(d, "Page one.\\vfill\\eject Page two.\\bye\n"));
    const std::string dvi = ReadAll(d / "doc.dvi");
    ASSERT_GT(dvi.size(), 100u);

    WriteAll(d / "empty.dvi", "");
    WriteAll(d / "three.dvi", std::string("\x5a\xc3\x17", 3));
    WriteAll(d / "half.dvi", dvi.substr(0, dvi.size() / 2));
    std::string badId = dvi;
    badId[1] = char(3);
    WriteAll(d / "badid.dvi", badId);
    const std::string noFont = "nosuchfontatall";
    WriteDvi(
        d / "nofont.dvi",
        [&](VrDviWriter& w) {
            w.WriteUInt8(dviop::FntDef1);
            w.WriteUInt8(0);
            w.WriteUInt32(0);
            w.WriteUInt32(10u << 16);
            w.WriteUInt32(10u << 16);
            w.WriteUInt8(0);
            w.WriteUInt8(int(noFont.size()));
            for (char c : noFont) w.WriteUInt8(c);
        },
        [](VrDviWriter& w) {
            w.WriteUInt8(dviop::FntNum0);
            w.WriteUInt8('A');
        });
    WriteDvi(
        d / "underflow.dvi", [](VrDviWriter&) {},
        [](VrDviWriter& w) {
            w.WriteUInt8(dviop::Pop);
            w.WriteUInt8(dviop::Pop);
        });
    std::string gz("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    for (int i = 0; i < 300; ++i) gz += char((i * 73 + 11) & 0xFF);
    WriteAll(d / "garbage.dvi.gz", gz);
    static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0";
    WriteAll(d / "picture.dvi", std::string(png, sizeof png - 1));

    struct Case {
        const char* file;
        bool errorDue;  // error text or a message; a missing font only skips its characters
        int pages;      // the pages the view counts, -1 where any count will do
    } cases[] = {
        {"empty.dvi", true, -1},     {"three.dvi", true, -1},      {"half.dvi", true, -1},
        {"badid.dvi", true, -1},     {"nofont.dvi", false, 2},     {"underflow.dvi", true, 2},
        {"garbage.dvi.gz", true, -1}, {"picture.dvi", true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        messages.clear();
        OpenView();
        ASSERT_TRUE(doc->OnOpenDocument((d / c.file).c_str()));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); })) << "worker hangs";
        ASSERT_TRUE(PumpUntilQueuedRan());
        // Paint, turn the page, paint again; drawing stops by itself.
        view->Invalidate(FALSE);
        view->UpdateWindow();
        view->OnNextPage();
        ASSERT_TRUE(PumpUntilQueuedRan());
        EXPECT_TRUE(PumpUntil([&] { return !view->HasTimer(ID_PAGE_PARTS_TIMER); })) << "drawing never ends";
        view->Invalidate(FALSE);
        view->UpdateWindow();
        ASSERT_TRUE(PumpUntilQueuedRan());
        std::string told = doc->GetErrorText().str();
        for (const std::string& m : messages) told += "\n" + m;
        EXPECT_EQ(!told.empty(), c.errorDue) << told;
        if (c.pages >= 0) {
            EXPECT_EQ(view->GetPageCount(), c.pages);
            ViewStatus vs;
            view->GetViewStatus(vs);
            EXPECT_EQ(vs.page, 1);
        }
        CloseView();
    }
}

}  // namespace
