#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "platform/sys/Process.h"
#include "platform/sys/UserDirs.h"
#include "platform/sys/tests/ScratchDir.h"

using sys::Process;

namespace {
Process::Options Args(std::vector<std::string> argv, Process::Stream out = Process::Stream::Pipe) {
    Process::Options o;
    o.argv = std::move(argv);
    o.stdoutMode = out;
    return o;
}
}  // namespace

TEST(Process, StdoutIsReadAsAStreamBeforeTheChildEnds) {
    // Far more than a pipe holds: waiting before reading would deadlock.
    Process p;
    ASSERT_TRUE(p.Start(Args({"head", "-c", "3000000", "/dev/zero"})));
    std::string all = p.ReadAllStdout();
    EXPECT_EQ(all.size(), 3000000u);
    EXPECT_EQ(all.find_first_not_of('\0'), std::string::npos);
    ASSERT_TRUE(p.Wait());
    EXPECT_EQ(p.ExitCode(), 0);

    Process q;
    ASSERT_TRUE(q.Start(Args({"printf", "BMabcdefgh"})));
    char head[2], rest[16];
    EXPECT_EQ(q.ReadStdoutFully(head, 2), 2u);
    EXPECT_EQ(std::string(head, 2), "BM");
    EXPECT_EQ(q.ReadStdoutFully(rest, sizeof rest), 8u);  // short at the end
    EXPECT_EQ(q.ReadStdout(rest, sizeof rest), 0);
    EXPECT_TRUE(q.Wait());
}

TEST(Process, ArgumentsReachTheChildUnchanged) {
    Process p;
    ASSERT_TRUE(p.Start(Args({"printf", "[%s]\\n", "a b", "$HOME", "x;y|z", "\"q\" 'r'", "*", ""})));
    EXPECT_EQ(p.ReadAllStdout(), "[a b]\n[$HOME]\n[x;y|z]\n[\"q\" 'r']\n[*]\n[]\n");
    EXPECT_TRUE(p.Wait());
}

TEST(Process, ExitCodesAndStartFailures) {
    struct Case {
        std::vector<std::string> argv;
        int code;
    } cases[] = {{{"true"}, 0}, {{"false"}, 1}, {{"sh", "-c", "exit 3"}, 3}, {{"/bin/sh", "-c", "kill -TERM $$"}, 128 + SIGTERM}};
    for (const Case& c : cases) {
        Process p;
        ASSERT_TRUE(p.Start(Args(c.argv, Process::Stream::Null))) << c.argv.back();
        ASSERT_TRUE(p.Wait());
        EXPECT_EQ(p.ExitCode(), c.code) << c.argv.back();
    }
    ScratchDir dir;
    ScratchDir::WriteFile(dir / "not-executable", "#!/bin/sh\n");
    for (std::string missing : {std::string("veloran-no-such-program"), dir / "absent", dir / "not-executable"}) {
        Process p;
        std::string error;
        EXPECT_FALSE(p.Start(Args({missing}), &error)) << missing;
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(p.IsStarted());
        EXPECT_FALSE(p.Wait(0));
    }
}

TEST(Process, WaitWithTimeoutAndKill) {
    Process p;
    ASSERT_TRUE(p.Start(Args({"sleep", "600"}, Process::Stream::Null)));
    EXPECT_FALSE(p.Wait(0));
    EXPECT_FALSE(p.Wait(30));
    EXPECT_TRUE(p.IsRunning());
    EXPECT_FALSE(p.ExitCode());
    EXPECT_TRUE(p.Kill());
    EXPECT_TRUE(p.Wait(60000));
    EXPECT_EQ(p.TermSignal(), SIGKILL);
    EXPECT_EQ(p.ExitCode(), 128 + SIGKILL);
    EXPECT_FALSE(p.IsRunning());
    EXPECT_FALSE(p.Kill());  // already ended
}

TEST(Process, StdinPipeAndWorkingFolder) {
    Process p;
    Process::Options o = Args({"cat"});
    o.stdinMode = Process::Stream::Pipe;
    ASSERT_TRUE(p.Start(o));
    ASSERT_TRUE(p.WriteStdin("to the child\n", 13));
    p.CloseStdin();  // cat sees its end of input
    EXPECT_EQ(p.ReadAllStdout(), "to the child\n");
    EXPECT_TRUE(p.Wait());

    ScratchDir dir;
    Process q;
    Process::Options w = Args({"pwd"});
    w.workingDir = dir.Path();
    ASSERT_TRUE(q.Start(w));
    EXPECT_EQ(q.ReadAllStdout(), std::filesystem::canonical(dir.Path()).string() + "\n");
    EXPECT_TRUE(q.Wait());
}

TEST(Process, WritingToAChildThatHasGoneFailsWithoutKillingUs) {
    Process p;
    Process::Options o = Args({"true"}, Process::Stream::Null);
    o.stdinMode = Process::Stream::Pipe;
    ASSERT_TRUE(p.Start(o));
    ASSERT_TRUE(p.Wait());
    std::string big(1 << 20, 'x');
    EXPECT_FALSE(p.WriteStdin(big.data(), big.size()));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
}

TEST(Process, PipesDoNotLeakIntoOtherChildren) {
    // If the second child inherited the first one's stdin pipe, cat would
    // never see the end of its input and this test would hang.
    Process cat;
    Process::Options o = Args({"cat"});
    o.stdinMode = Process::Stream::Pipe;
    ASSERT_TRUE(cat.Start(o));
    Process sleeper;
    ASSERT_TRUE(sleeper.Start(Args({"sleep", "600"}, Process::Stream::Inherit)));
    ASSERT_TRUE(cat.WriteStdin("x", 1));
    cat.CloseStdin();
    EXPECT_EQ(cat.ReadAllStdout(), "x");
    EXPECT_TRUE(cat.Wait());
    EXPECT_TRUE(sleeper.Kill());
    EXPECT_TRUE(sleeper.Wait());
}

TEST(Process, DetachedStart) {
    ScratchDir dir;
    EXPECT_TRUE(sys::StartDetached({"touch", dir / "made"}));
    EXPECT_FALSE(sys::StartDetached({"veloran-no-such-program"}));
    EXPECT_FALSE(sys::StartDetached({}));
    // The detached child runs on by itself; wait for its work without a
    // time limit that could make the test flaky.
    Process wait;
    ASSERT_TRUE(wait.Start(Args({"sh", "-c", "while [ ! -e \"$0\" ]; do sleep 0.01; done", dir / "made"},
                                Process::Stream::Null)));
    EXPECT_TRUE(wait.Wait());
    EXPECT_EQ(wait.ExitCode(), 0);
}

TEST(Process, OwnExecutablePath) {
    std::string exe = sys::ExecutablePath();
    EXPECT_EQ(exe, std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_NE(exe.find("platform_sys_ProcessTest"), std::string::npos);
}
