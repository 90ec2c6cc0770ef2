// A small HTTP/1.1 server on 127.0.0.1 for tests: each connection carries one
// request, which is recorded and handed to the test's handler on a thread of
// its own. The handler writes the answer, raw or whole, and may pause between
// pieces; the server closes the connection when the handler returns.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class LoopbackServer {
public:
    struct Request {
        std::string method;
        std::string target;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;

        // The first header of that name (any case), or "" when absent.
        std::string Header(const std::string& name) const {
            for (const auto& h : headers)
                if (Lower(h.first) == Lower(name)) return h.second;
            return std::string();
        }
        bool Has(const std::string& name) const {
            for (const auto& h : headers)
                if (Lower(h.first) == Lower(name)) return true;
            return false;
        }
    };

    class Reply {
    public:
        Reply(LoopbackServer& server, int fd) : server_(server), fd_(fd) {}

        // Writes bytes as they stand; false once the client has gone.
        bool Send(const std::string& bytes) {
            size_t done = 0;
            while (done < bytes.size()) {
                ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
                if (n <= 0) return false;
                done += size_t(n);
            }
            return true;
        }

        // A whole answer with its Content-Length; extra header lines without CR LF.
        bool Respond(int status, const std::string& body, const std::vector<std::string>& headers = {}) {
            std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
            for (const auto& h : headers) head += h + "\r\n";
            head += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
            return Send(head + body);
        }

        // Waits; false when the server is shutting down first.
        bool Pause(int ms) { return server_.Sleep(ms); }

        // The connection ends with a reset instead of an orderly close.
        void ResetOnClose() {
            linger l{1, 0};
            ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }

    private:
        LoopbackServer& server_;
        int fd_;
    };

    using Handler = std::function<void(const Request&, Reply&)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (listen_ < 0) throw std::runtime_error("socket");
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_, 16) != 0)
            throw std::runtime_error("bind");
        socklen_t len = sizeof addr;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }

    ~LoopbackServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        acceptor_.join();
        for (auto& t : connections_) t.join();
        ::close(listen_);
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    std::vector<Request> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    // A loopback port on which nothing listens.
    static int ClosedPort() {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        ::close(fd);
        return ntohs(addr.sin_port);
    }

private:
    static std::string Lower(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return s;
    }

    static const char* Reason(int status) {
        switch (status) {
            case 200: return "OK";
            case 201: return "Created";
            case 204: return "No Content";
            case 301: return "Moved Permanently";
            case 302: return "Found";
            case 307: return "Temporary Redirect";
            case 403: return "Forbidden";
            case 404: return "Not Found";
            case 500: return "Internal Server Error";
            default: return "Status";
        }
    }

    bool Stopping() {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_;
    }

    bool Sleep(int ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
    }

    void AcceptLoop() {
        while (!Stopping()) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0) continue;
            connections_.emplace_back([this, fd] { Serve(fd); });
        }
    }

    // Reads more bytes into buf; false at the end, on an error or when stopping.
    bool Fill(int fd, std::string& buf) {
        for (;;) {
            if (Stopping()) return false;
            pollfd p{fd, POLLIN, 0};
            int r = ::poll(&p, 1, 20);
            if (r < 0) return false;
            if (r == 0) continue;
            char chunk[4096];
            ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buf.append(chunk, size_t(n));
            return true;
        }
    }

    bool ReadRequest(int fd, Request& req) {
        std::string buf;
        size_t end;
        while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill(fd, buf)) return false;
            if (buf[0] < 'A' || buf[0] > 'Z') {
                // Not HTTP (a TLS greeting, say): answer in plain text and hang up.
                Reply(*this, fd).Send("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n");
                return false;
            }
        }
        std::string head = buf.substr(0, end);
        std::string rest = buf.substr(end + 4);
        size_t line = head.find("\r\n");
        std::string first = head.substr(0, line);
        size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
        req.method = first.substr(0, sp1);
        req.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
        while (line != std::string::npos) {
            size_t next = head.find("\r\n", line + 2);
            std::string h = head.substr(line + 2, next == std::string::npos ? std::string::npos : next - line - 2);
            size_t colon = h.find(':');
            if (colon != std::string::npos) {
                size_t v = h.find_first_not_of(' ', colon + 1);
                req.headers.emplace_back(h.substr(0, colon), v == std::string::npos ? "" : h.substr(v));
            }
            line = next;
        }
        if (req.Has("Content-Length")) {
            size_t want = std::stoul(req.Header("Content-Length"));
            while (rest.size() < want)
                if (!Fill(fd, rest)) return false;
            req.body = rest.substr(0, want);
        } else if (Lower(req.Header("Transfer-Encoding")) == "chunked") {
            for (;;) {
                size_t eol;
                while ((eol = rest.find("\r\n")) == std::string::npos)
                    if (!Fill(fd, rest)) return false;
                size_t size = std::stoul(rest.substr(0, eol), nullptr, 16);
                while (rest.size() < eol + 2 + size + 2)
                    if (!Fill(fd, rest)) return false;
                req.body += rest.substr(eol + 2, size);
                rest.erase(0, eol + 2 + size + 2);
                if (size == 0) break;
            }
        }
        return true;
    }

    void Serve(int fd) {
        Request req;
        if (ReadRequest(fd, req)) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(req);
            }
            Reply reply(*this, fd);
            handler_(req, reply);
        }
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    Handler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    std::list<std::thread> connections_;  // touched by the acceptor, then joined
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<Request> requests_;
};
