#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sys/Event.h"
#include "platform/sys/InstanceLock.h"
#include "platform/sys/tests/ScratchDir.h"

using namespace sys;

namespace {

const char* const kName = "VeloranViewerInstanceMutex";

extern "C" char** environ;

// Other starts run as programs of their own: this test program started again
// with VR_START_DIR set does the start below before any test and ends, so no
// child of this threaded process does more than exec.
//   VR_START_TARGET set: a second start that finds the lock held and hands the
//   target over; exit code 0 when the hand-over was taken.
//   VR_START_READY_FD set: a start that takes the lock, writes 'y' (or 'n'
//   when it could not) there and waits to be killed.
[[maybe_unused]] const bool kIsOtherStart = [] {
    const char* dir = std::getenv("VR_START_DIR");
    if (!dir) return false;
    InstanceLock lock(kName, dir);
    if (const char* target = std::getenv("VR_START_TARGET")) {
        if (lock.Acquire() != InstanceLock::State::AlreadyRunning) _exit(2);
        _exit(lock.HandOver(target, 60000) ? 0 : 1);
    }
    const char* fd = std::getenv("VR_START_READY_FD");
    char c = fd && lock.Acquire() == InstanceLock::State::Acquired ? 'y' : 'n';
    if (fd) (void)!write(std::atoi(fd), &c, 1);
    for (;;) pause();
}();

pid_t StartAgain(std::vector<std::string> vars) {
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (std::string& v : vars) env.push_back(v.data());
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, env.data()) != 0) return -1;
    return pid;
}

pid_t SecondStart(const std::string& dir, const std::string& target) {
    return StartAgain({"VR_START_DIR=" + dir, "VR_START_TARGET=" + target});
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Received {
    std::mutex mutex;
    std::vector<std::string> targets;
    Event arrived{Event::Mode::AutoReset};
    InstanceLock::RequestHandler Handler() {
        return [this](const std::string& t) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                targets.push_back(t);
            }
            arrived.Set();
        };
    }
    std::vector<std::string> Get() {
        std::lock_guard<std::mutex> lock(mutex);
        return targets;
    }
};

// Sends raw bytes as a client would and returns the one-byte answer (0 for none).
char RawRequest(const std::string& socketPath, const std::string& bytes) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, socketPath.c_str());
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return 0;
    }
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    char answer = 0;
    if (recv(fd, &answer, 1, 0) != 1) answer = 0;
    close(fd);
    return answer;
}

std::string Message(const std::string& text, const char* magic = "VRV1") {
    return std::string(magic, 4) + EncodeHandOverMessage(text).substr(4);
}

}  // namespace

TEST(InstanceLock, SecondStartHandsItsDocumentToTheFirst) {
    ScratchDir dir;
    Received got;  // outlives the serving thread that calls it
    InstanceLock first(kName, dir.Path());
    ASSERT_EQ(first.Acquire(), InstanceLock::State::Acquired);
    EXPECT_EQ(first.LockPath(), dir / "VeloranViewerInstanceMutex.lock");

    // A hand-over made before the first instance serves waits for it.
    pid_t early = SecondStart(dir.Path(), "/home/u/papers/early.dvi");
    ASSERT_TRUE(first.Serve(got.Handler()));
    EXPECT_FALSE(first.Serve(got.Handler()));  // once only
    EXPECT_EQ(ExitCodeOf(early), 0);

    EXPECT_EQ(ExitCodeOf(SecondStart(dir.Path(), "/home/u/My Papers/p\xc3\xa9 2.dvi")), 0);
    EXPECT_EQ(ExitCodeOf(SecondStart(dir.Path(), "http://127.0.0.1:8080/doc.dvi?page=3#sec")), 0);
    EXPECT_EQ(got.Get(), (std::vector<std::string>{"/home/u/papers/early.dvi", "/home/u/My Papers/p\xc3\xa9 2.dvi",
                                                   "http://127.0.0.1:8080/doc.dvi?page=3#sec"}));
}

// A folder so deep that the socket's path does not fit a socket address.
TEST(InstanceLock, ASocketPathTooLongForAnAddressStillHandsOver) {
    ScratchDir scratch;
    const std::string dir = scratch / (std::string(100, 'd') + "/" + std::string(100, 'e'));
    Received got;
    {
        InstanceLock first(kName, dir);
        ASSERT_EQ(first.Acquire(), InstanceLock::State::Acquired);
        EXPECT_TRUE(first.Listening());
        EXPECT_GE(first.SocketPath().size(), sizeof(sockaddr_un::sun_path));
        EXPECT_TRUE(std::filesystem::is_socket(first.SocketPath()));
        ASSERT_TRUE(first.Serve(got.Handler()));
        EXPECT_EQ(ExitCodeOf(SecondStart(dir, "/home/u/deep.dvi")), 0);
        EXPECT_EQ(got.Get(), std::vector<std::string>{"/home/u/deep.dvi"});
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/" + kName + ".sock")) << "removed on leaving";
}

TEST(InstanceLock, ACrashedInstanceLeavesNothingBehindThatBlocks) {
    ScratchDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t crashed = StartAgain({"VR_START_DIR=" + dir.Path(), "VR_START_READY_FD=" + std::to_string(ready[1])});
    ASSERT_GT(crashed, 0);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    {
        InstanceLock second(kName, dir.Path());
        EXPECT_EQ(second.Acquire(), InstanceLock::State::AlreadyRunning);
        EXPECT_FALSE(second.Serve(nullptr));
    }
    kill(crashed, SIGKILL);
    EXPECT_EQ(ExitCodeOf(crashed), 128 + SIGKILL);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(std::filesystem::exists(dir / "VeloranViewerInstanceMutex.sock"));  // left by the crash

    Received got;  // outlives the serving thread that calls it
    InstanceLock next(kName, dir.Path());
    ASSERT_EQ(next.Acquire(), InstanceLock::State::Acquired);
    ASSERT_TRUE(next.Serve(got.Handler()));
    EXPECT_EQ(ExitCodeOf(SecondStart(dir.Path(), "/tmp/after-crash.ps")), 0);
    EXPECT_EQ(got.Get(), std::vector<std::string>{"/tmp/after-crash.ps"});
}

TEST(InstanceLock, MalformedRequestsAreRefusedAndServingGoesOn) {
    ScratchDir dir;
    Received got;  // outlives the serving thread that calls it
    InstanceLock first(kName, dir.Path());
    ASSERT_EQ(first.Acquire(), InstanceLock::State::Acquired);
    ASSERT_TRUE(first.Serve(got.Handler()));
    const std::string sock = first.SocketPath();

    EXPECT_EQ(RawRequest(sock, Message("relative/doc.dvi")), 'N');
    EXPECT_EQ(RawRequest(sock, Message("")), 'N');
    EXPECT_EQ(RawRequest(sock, Message(std::string("/a\0b", 4))), 'N');
    EXPECT_EQ(RawRequest(sock, Message("/etc/passwd", "XXXX")), 0);   // wrong magic: dropped
    EXPECT_EQ(RawRequest(sock, Message("/x").substr(0, 6)), 0);       // cut short
    std::string huge = Message("/x");
    huge[7] = char(0x7F);  // claims a length far beyond the limit
    EXPECT_EQ(RawRequest(sock, huge), 'N');
    EXPECT_TRUE(got.Get().empty());

    EXPECT_EQ(RawRequest(sock, Message("/fine.dvi")), 'K');
    EXPECT_EQ(got.Get(), std::vector<std::string>{"/fine.dvi"});

    // The sending side refuses what the receiver would refuse.
    InstanceLock client(kName, dir.Path());
    EXPECT_FALSE(client.HandOver("doc.dvi", 1000));
    EXPECT_FALSE(client.HandOver("", 1000));
}

TEST(InstanceLock, LeavingRemovesTheSocketAndFreesTheLock) {
    ScratchDir dir;
    {
        InstanceLock first(kName, dir.Path());
        ASSERT_EQ(first.Acquire(), InstanceLock::State::Acquired);
        ASSERT_TRUE(first.Serve([](const std::string&) {}));
        EXPECT_TRUE(std::filesystem::exists(first.SocketPath()));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "VeloranViewerInstanceMutex.sock"));
    // Nobody is listening: the hand-over gives up when its time is over.
    InstanceLock late(kName, dir.Path());
    EXPECT_FALSE(late.HandOver("/doc.dvi", 50));
    EXPECT_EQ(late.Acquire(), InstanceLock::State::Acquired);

    // A folder that is not private, or a bad name, fails.
    ScratchDir open;
    std::filesystem::permissions(open.Path(), std::filesystem::perms::all);
    EXPECT_EQ(InstanceLock(kName, open.Path()).Acquire(), InstanceLock::State::Failed);
    EXPECT_EQ(InstanceLock("a/b", dir.Path()).Acquire(), InstanceLock::State::Failed);
}

TEST(InstanceLock, MessagesEncodeAndDecode) {
    std::string target;
    EXPECT_EQ(EncodeHandOverMessage("/a.dvi"), std::string("VRV1\x06\0\0\0/a.dvi", 14));
    EXPECT_TRUE(DecodeHandOverMessage(EncodeHandOverMessage("/a.dvi"), target));
    EXPECT_EQ(target, "/a.dvi");
    EXPECT_FALSE(DecodeHandOverMessage(EncodeHandOverMessage("/a.dvi") + "x", target));  // trailing bytes
    EXPECT_FALSE(DecodeHandOverMessage(EncodeHandOverMessage("/a.dvi").substr(0, 10), target));
    EXPECT_FALSE(DecodeHandOverMessage(EncodeHandOverMessage("a.dvi"), target));
    EXPECT_TRUE(target.empty());
}

TEST(InstanceLock, TargetsFromTheCommandLine) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(AbsoluteTarget("paper.dvi"), std::string(cwd) + "/paper.dvi");
    EXPECT_EQ(AbsoluteTarget("./sub/../paper.dvi"), std::string(cwd) + "/paper.dvi");
    EXPECT_EQ(AbsoluteTarget("/abs/x.ps"), "/abs/x.ps");
    EXPECT_EQ(AbsoluteTarget("https://h.example/a/b.dvi?x=1"), "https://h.example/a/b.dvi?x=1");
    EXPECT_EQ(AbsoluteTarget("file:///home/u/a.dvi"), "file:///home/u/a.dvi");

    struct Case {
        std::string target;
        bool ok;
    } cases[] = {{"/a.dvi", true},       {"http://h/x", true},     {"file:///a", true}, {"x.dvi", false},
                 {"://nohost", false},   {"1http://h", false},     {"", false},         {std::string(40000, '/'), false},
                 {"c:\\a.dvi", false},   {"svn+ssh://h/x", true}};
    for (const Case& c : cases) EXPECT_EQ(IsHandOverTarget(c.target), c.ok) << c.target.substr(0, 20);
}
