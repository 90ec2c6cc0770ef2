#include "platform/sys/InstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/sys/UserDirs.h"

namespace sys {

namespace {

constexpr char kMagic[4] = {'V', 'R', 'V', '1'};
constexpr uint32_t kMaxTarget = 32 * 1024;
constexpr int kPeerTimeoutMs = 2000;

bool IsUrl(const std::string& s) {
    size_t colon = s.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    if (!std::isalpha((unsigned char)s[0])) return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = (unsigned char)s[i];
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The socket address of <dir>/<file>. A path too long for an address is
// reached through a descriptor of its folder, "/proc/self/fd/N/<file>", which
// stays open in *dirFd (else -1) while the address is in use.
bool MakeAddress(const std::string& dir, const std::string& file, sockaddr_un& addr, int* dirFd) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    *dirFd = -1;
    std::string path = dir + "/" + file;
    if (path.size() >= sizeof addr.sun_path) {
        const int fd = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        path = "/proc/self/fd/" + std::to_string(fd) + "/" + file;
        if (path.size() >= sizeof addr.sun_path) {
            close(fd);
            return false;
        }
        *dirFd = fd;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Sends or receives exactly `size` bytes before the deadline.
bool Transfer(int fd, void* data, size_t size, bool sending, Clock::time_point deadline) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        struct pollfd pfd = {fd, short(sending ? POLLOUT : POLLIN), 0};
        int rc = poll(&pfd, 1, MsLeft(deadline));
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) return false;
        ssize_t n = sending ? send(fd, p, size, MSG_NOSIGNAL) : recv(fd, p, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// The target length a message header announces; 0 for a bad header.
uint32_t AnnouncedLength(std::string_view head) {
    if (head.size() < 8 || head.compare(0, 4, std::string_view(kMagic, 4)) != 0) return 0;
    return uint32_t((unsigned char)head[4]) | uint32_t((unsigned char)head[5]) << 8 |
           uint32_t((unsigned char)head[6]) << 16 | uint32_t((unsigned char)head[7]) << 24;
}

}  // namespace

std::string EncodeHandOverMessage(const std::string& target) {
    std::string m(kMagic, 4);
    uint32_t size = uint32_t(target.size());
    for (int i = 0; i < 4; ++i) m += char((size >> (8 * i)) & 0xFF);
    return m + target;
}

bool DecodeHandOverMessage(std::string_view message, std::string& target) {
    target.clear();
    uint32_t size = AnnouncedLength(message);
    if (size == 0 || size > kMaxTarget || message.size() != 8 + size_t(size)) return false;
    target.assign(message.substr(8));
    if (IsHandOverTarget(target)) return true;
    target.clear();
    return false;
}

bool IsHandOverTarget(const std::string& target) {
    if (target.empty() || target.size() > kMaxTarget) return false;
    if (target.find('\0') != std::string::npos) return false;
    return target[0] == '/' || IsUrl(target);
}

std::string AbsoluteTarget(const std::string& arg) {
    if (arg.empty() || IsUrl(arg)) return arg;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(arg, ec);
    if (ec) return arg;
    return p.lexically_normal().string();
}

InstanceLock::InstanceLock(std::string name, std::string dir) : name_(std::move(name)), dir_(std::move(dir)) {
    if (dir_.empty()) dir_ = RuntimeDir();
    while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
}

InstanceLock::~InstanceLock() {
    StopServing();
    if (listenFd_ >= 0) {
        close(listenFd_);
        unlink(SocketPath().c_str());
    }
    if (lockFd_ >= 0) close(lockFd_);
}

std::string InstanceLock::LockPath() const { return dir_ + "/" + name_ + ".lock"; }

std::string InstanceLock::SocketName() const { return name_ + ".sock"; }

std::string InstanceLock::SocketPath() const { return dir_ + "/" + SocketName(); }

InstanceLock::State InstanceLock::Acquire() {
    if (state_ == State::Acquired) return state_;
    if (name_.empty() || name_.find('/') != std::string::npos || !EnsurePrivateDir(dir_))
        return state_ = State::Failed;
    if (lockFd_ < 0) lockFd_ = open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) return state_ = State::Failed;
    int rc;
    while ((rc = flock(lockFd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        bool held = errno == EWOULDBLOCK;
        close(lockFd_);
        lockFd_ = -1;
        return state_ = held ? State::AlreadyRunning : State::Failed;
    }
    state_ = State::Acquired;
    // Holding the lock, any socket file left here belongs to an instance that
    // has gone. Listening now lets hand-overs queue until Serve.
    sockaddr_un addr;
    int dirFd;
    if (MakeAddress(dir_, SocketName(), addr, &dirFd)) {
        FdCloser closeDir{dirFd};
        unlink(SocketPath().c_str());
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd, 16) == 0) {
            listenFd_ = fd;
        } else if (fd >= 0) {
            close(fd);
        }
    }
    return state_;
}

bool InstanceLock::Serve(RequestHandler handler) {
    if (state_ != State::Acquired || listenFd_ < 0 || thread_.joinable()) return false;
    if (pipe2(wakeFds_, O_CLOEXEC) != 0) return false;
    handler_ = std::move(handler);
    thread_ = std::thread([this] { ServeLoop(); });
    return true;
}

void InstanceLock::StopServing() {
    if (!thread_.joinable()) return;
    char c = 'q';
    while (write(wakeFds_[1], &c, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(wakeFds_[0]);
    close(wakeFds_[1]);
    wakeFds_[0] = wakeFds_[1] = -1;
}

void InstanceLock::ServeLoop() {
    for (;;) {
        struct pollfd pfds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        int rc = poll(pfds, 2, -1);
        if (rc < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (pfds[1].revents) return;
        if (!(pfds[0].revents & POLLIN)) continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        HandleConnection(fd);
        close(fd);
    }
}

void InstanceLock::HandleConnection(int fd) {
    struct ucred cred;
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != getuid()) return;
    auto deadline = Clock::now() + std::chrono::milliseconds(kPeerTimeoutMs);
    std::string message(8, '\0');
    if (!Transfer(fd, message.data(), 8, false, deadline) || std::memcmp(message.data(), kMagic, 4) != 0) return;
    uint32_t size = AnnouncedLength(message);
    char answer = 'N';
    if (size > 0 && size <= kMaxTarget) {
        message.resize(8 + size_t(size));
        if (!Transfer(fd, message.data() + 8, size, false, deadline)) return;
        std::string target;
        if (DecodeHandOverMessage(message, target)) {
            answer = 'K';
            if (handler_) handler_(target);
        }
    }
    Transfer(fd, &answer, 1, true, deadline);
}

bool InstanceLock::HandOver(const std::string& target, uint32_t timeoutMs) const {
    if (!IsHandOverTarget(target)) return false;
    sockaddr_un addr;
    int dirFd;
    if (!MakeAddress(dir_, SocketName(), addr, &dirFd)) return false;
    FdCloser closeDir{dirFd};
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            int flags = fcntl(fd, F_GETFL);
            fcntl(fd, F_SETFL, flags | O_NONBLOCK);
            std::string msg = EncodeHandOverMessage(target);
            char answer = 0;
            bool ok = Transfer(fd, msg.data(), msg.size(), true, deadline) &&
                      Transfer(fd, &answer, 1, false, deadline) && answer == 'K';
            close(fd);
            return ok;
        }
        close(fd);
        if (errno != ENOENT && errno != ECONNREFUSED && errno != EAGAIN) return false;
        if (MsLeft(deadline) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(20, MsLeft(deadline))));
    }
}

}  // namespace sys
