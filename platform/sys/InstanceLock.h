// The per-user single-instance lock with its hand-over socket.
//
// The first start takes an exclusive lock on <dir>/<name>.lock and listens on
// the local socket <dir>/<name>.sock at once; a later start finds the lock
// held and hands its document (an absolute path or a web address) to the
// running instance through the socket, then ends. The lock goes with the
// process, so a crashed instance leaves nothing that blocks the next start.
// Only processes of the same user are heard.
//
// Message: "VRV1", the length as 4 bytes little-endian, the text; the
// running instance answers one byte, 'K' taken or 'N' refused.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace sys {

class InstanceLock {
public:
    enum class State { NotTried, Acquired, AlreadyRunning, Failed };
    using RequestHandler = std::function<void(const std::string& target)>;

    // `dir` empty: RuntimeDir(). The folder is made private to the user.
    explicit InstanceLock(std::string name, std::string dir = {});
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // Stops serving, removes the socket and gives the lock up.
    ~InstanceLock();

    // Takes the lock without waiting. Acquired: this is the first instance
    // and its socket is listening (hand-overs wait until Serve) unless
    // Listening() says otherwise. Failed: the folder or lock file is unusable.
    // A socket path longer than an address holds is reached through a
    // descriptor of its folder.
    State Acquire();
    State GetState() const { return state_; }
    bool Listening() const { return listenFd_ >= 0; }

    // First instance: takes hand-overs on a thread of its own and calls the
    // handler there, once per valid target, in arrival order. The handler
    // should only queue the target (for the UI thread) and return. False when
    // not Acquired, already serving, or the socket could not be made.
    bool Serve(RequestHandler handler);
    void StopServing();

    // Later instance: hands the target (absolute path or web address) to
    // the running instance; true when it was taken. Retries the connection
    // until the time is up, for an instance that is still starting.
    bool HandOver(const std::string& target, uint32_t timeoutMs = 5000) const;

    std::string LockPath() const;
    std::string SocketPath() const;

private:
    std::string SocketName() const;
    void ServeLoop();
    void HandleConnection(int fd);

    std::string name_;
    std::string dir_;
    State state_ = State::NotTried;
    int lockFd_ = -1;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::thread thread_;
    RequestHandler handler_;
};

// One hand-over message for a target, and its reading: false when the
// message is malformed or its target is not acceptable.
std::string EncodeHandOverMessage(const std::string& target);
bool DecodeHandOverMessage(std::string_view message, std::string& target);

// A target the running instance accepts: an absolute path, or a web address
// ("scheme://..."), without NUL bytes and at most 32 KiB long.
bool IsHandOverTarget(const std::string& target);

// A command-line document made into a hand-over target: a web address stays
// as it is, a path is made absolute against the current folder.
std::string AbsoluteTarget(const std::string& arg);

}  // namespace sys
