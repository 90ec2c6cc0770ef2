// Following links, on TeX documents on the offscreen platform: a link to a
// document that another view shows is taken over by that view, and every
// other link goes through the one launcher, which starts the browser program
// (a stand-in on PATH that records its arguments) or asks first.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/sys/ShellOpen.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// Four pages; the anchor sec2 is on the third.
const char kTarget[] =
    "\\font\\big=cmr10 at 20pt \\big\n"
    "First page.\\par\\vfill\\eject\n"
    "Second page.\\par\\vfill\\eject\n"
    "\\special{html:<a name=\"sec2\">}Section two starts here.\\par\\vfill\\eject\n"
    "Last page.\\par\\bye\n";

// One link, to the other document's anchor.
const char kLinker[] =
    "\\font\\big=cmr10 at 20pt \\big\n"
    "\\special{html:<a href=\"target.dvi\\string#sec2\">}Go to section two\\special{html:</a>} of the target.\\par\\bye\n";

class LinkFollowing : public ViewFixture {
protected:
    LinkFollowing() { answer = IDYES; }
    static void SetUpTestSuite() {
        ASSERT_NO_FATAL_FAILURE(SetUpDocuments(nullptr));
        fs::create_directories(dir_->Path() / "bin");
        for (const auto& [text, name] : {std::pair{kTarget, "target"}, std::pair{kLinker, "linker"}}) {
            ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, text, name));
        }
        // The stand-in opener: each start leaves one file with one argument
        // a line.
        const std::string opener = dir_->File("bin/xdg-open");
        std::ofstream(opener) << "#!/bin/sh\n"
                                 "f=\"" << dir_->File("started") << "/$$\"\n"
                                 "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"$f.part\"\n"
                                 "mv \"$f.part\" \"$f\"\n";
        fs::permissions(opener, fs::perms::owner_all);
        fs::create_directories(dir_->File("started"));
        const char* path = getenv("PATH");
        setenv("PATH", (dir_->File("bin") + ":" + (path ? path : "")).c_str(), 1);
    }
    static QRect LinkRect(const Shown& s, const char* reference) {
        ViewStatus vs;
        s.view->GetViewStatus(vs);
        for (auto it = s.view->GetPageDrawer().GetHyLinkList().Begin(); it; it.Next())
            if (it.Value()->GetReference() == String8(reference)) {
                const auto& r = it.Value()->GetRectList().Begin().Value();
                return QRect(r.x - vs.scrollX, r.y - vs.scrollY + vs.topOffset, r.width, r.height);
            }
        return QRect();
    }
    // The argument vectors the stand-in opener recorded so far.
    static std::vector<std::vector<std::string>> Started() {
        std::vector<std::vector<std::string>> all;
        for (const auto& e : fs::directory_iterator(dir_->File("started"))) {
            if (e.path().extension() == ".part") continue;
            std::ifstream in(e.path());
            std::vector<std::string> argv;
            for (std::string line; std::getline(in, line);) argv.push_back(line);
            all.push_back(argv);
        }
        return all;
    }
    static void ClearStarted() {
        for (const auto& e : fs::directory_iterator(dir_->File("started"))) fs::remove(e.path());
    }
};

TEST_F(LinkFollowing, ALinkToADocumentAnotherViewShowsMovesThatViewAndStartsNothing) {
    std::vector<std::vector<std::string>> launched;
    const sys::ShellLauncher before = sys::SetShellLauncher([&](const std::vector<std::string>& argv) {
        launched.push_back(argv);
        return true;
    });
    Shown& target = Show(dir_->File("target.dvi"));
    Shown& linker = Show(dir_->File("linker.dvi"));
    ASSERT_EQ(Page(target), 0);
    const QRect link = LinkRect(linker, "target.dvi#sec2");
    ASSERT_FALSE(link.isEmpty());
    QTest::mouseClick(linker.view->GetWidget(), Qt::LeftButton, Qt::NoModifier, link.center());
    EXPECT_TRUE(Drawn(target));
    EXPECT_EQ(Page(target), 2) << "the anchor's page";
    EXPECT_EQ(Page(linker), 0);
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(shown.size(), 2u);

    // Without the target's view the same click goes out, to the file.
    target.view->DestroyWindow();
    target.doc.reset();
    shown.pop_front();
    QTest::mouseClick(linker.view->GetWidget(), Qt::LeftButton, Qt::NoModifier, link.center());
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", dir_->File("target.dvi#sec2")}));
    sys::SetShellLauncher(before);
}

TEST_F(LinkFollowing, EveryLinkGoesOutOrAsksThroughTheOneLauncher) {
    std::string dvi;
    {
        const std::vector<unsigned char> b = testsupport::ReadFile(dir_->File("target.dvi"));
        dvi.assign(b.begin(), b.end());
    }
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& reply) { reply.Respond(200, dvi); });
    Shown& local = Show(dir_->File("target.dvi"));
    Shown& web = Show(server.Url("/papers/target.dvi"), false);

    struct Case {
        Shown* from;
        std::string address;
        bool asks;
        std::string argument;  // what the opener gets
    } cases[] = {
        {&local, "http://example.org/a b?c=d&e", false, "http://example.org/a b?c=d&e"},
        {&web, "mailto:someone@example.org", false, "mailto:someone@example.org"},
        {&web, "file:///etc/hosts", true, "file:///etc/hosts"},
        {&local, "file:///etc/hosts", false, "file:///etc/hosts"},
        {&web, "/etc/hosts", true, "/etc/hosts"},
        {&local, "/etc/hosts", false, "/etc/hosts"},
        {&local, "javascript:alert(1)", true, "javascript:alert(1)"},
        {&local, "--new-instance:x", true, "./--new-instance:x"},
        {&local, "--option", false, "./--option"},
        {&web, "-x", true, "./-x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        ClearStarted();
        for (int reply : {IDNO, IDYES}) {
            if (!c.asks && reply == IDNO) continue;
            messages.clear();
            answer = reply;
            const bool started = c.from->view->LaunchLink(c.address);
            EXPECT_EQ(messages.size(), c.asks ? 1u : 0u);
            if (c.asks) {
                ASSERT_FALSE(messages.empty());
                EXPECT_NE(messages[0].find(c.address), std::string::npos) << messages[0];
            }
            EXPECT_EQ(started, reply == IDYES);
            if (reply == IDNO) continue;
            ASSERT_TRUE(PumpUntil([] { return !Started().empty(); }));
            const auto all = Started();
            ASSERT_EQ(all.size(), 1u);
            ASSERT_EQ(all[0].size(), 2u);
            EXPECT_EQ(fs::path(all[0][0]).filename(), "xdg-open");
            EXPECT_EQ(all[0][1], c.argument);
            EXPECT_NE(all[0][1][0], '-');
        }
    }
}

}  // namespace
