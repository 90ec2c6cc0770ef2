// Reading web addresses through a session, against a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet/WinInet.h"
#include "platform/inet/tests/LoopbackServer.h"
#include "testsupport/TestTools.h"

namespace {

constexpr const char* kAgent = "Veloran Viewer Internet Agent";
constexpr DWORD kDocFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kChunk = 20480;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 7 + i / 251) & 0xFF);
    return s;
}

// What a document's worker sees of one address.
struct Fetched {
    bool opened = false;
    DWORD openError = 0;
    DWORD status = 0;
    bool lengthKnown = false;
    DWORD length = 0;
    std::vector<DWORD> chunks;  // sizes of the reads that returned TRUE, the final 0 included
    std::string body;
    bool failed = false;        // a read returned FALSE
    DWORD readError = 0;
};

// `opened`, when given, is set once the URL is open and the reads begin.
Fetched Fetch(const std::string& url, const std::atomic<int>* stop = nullptr,
              std::atomic<bool>* opened = nullptr) {
    Fetched f;
    HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    EXPECT_NE(session, nullptr);
    if (stop) InternetSetStopFlag(session, stop);
    HINTERNET file = InternetOpenUrlA(session, url.c_str(), nullptr, DWORD(-1), kDocFlags, 0x42);
    if (!file) {
        f.openError = GetLastError();
        InternetCloseHandle(session);
        return f;
    }
    f.opened = true;
    if (opened) *opened = true;
    DWORD size = sizeof f.status;
    EXPECT_TRUE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &f.status, &size, nullptr));
    size = sizeof f.length;
    f.lengthKnown = HttpQueryInfoA(file, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &f.length, &size,
                                   nullptr) != FALSE;
    if (!f.lengthKnown) {
        EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    }
    std::vector<char> buf(kChunk);
    for (;;) {
        DWORD n = 12345;
        if (!InternetReadFile(file, buf.data(), kChunk, &n)) {
            f.failed = true;
            f.readError = GetLastError();
            EXPECT_EQ(n, 0u);
            break;
        }
        f.chunks.push_back(n);
        f.body.append(buf.data(), n);
        if (n == 0) break;
    }
    EXPECT_TRUE(InternetCloseHandle(file));
    EXPECT_TRUE(InternetCloseHandle(session));
    return f;
}

std::vector<DWORD> FullChunks(size_t total) {
    std::vector<DWORD> sizes;
    for (; total >= kChunk; total -= kChunk) sizes.push_back(kChunk);
    if (total) sizes.push_back(DWORD(total));
    sizes.push_back(0);
    return sizes;
}

}  // namespace

TEST(UrlRead, RequestsCarryTheAgentTheCookieAndNoCache) {
    LoopbackServer server([](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(200, "data"); });
    std::string doc = server.Url("/docs/paper.dvi?page=3#sec");
    ASSERT_TRUE(InternetSetCookieA(doc.c_str(), nullptr, "USRAGENT=VeloranViewer"));

    // The document, then a side file beside it and one in a sub-folder, each on
    // a session of its own; then an address outside the document's folder.
    for (const char* path : {"/docs/paper.dvi?page=3#sec", "/docs/fig.eps", "/docs/pics/a.eps", "/other/b.eps"})
        EXPECT_EQ(Fetch(server.Url(path)).body, "data") << path;

    std::vector<LoopbackServer::Request> reqs = server.Requests();
    ASSERT_EQ(reqs.size(), 4u);
    EXPECT_EQ(reqs[0].target, "/docs/paper.dvi?page=3");  // the fragment stays here
    for (size_t i = 0; i < reqs.size(); ++i) {
        const auto& q = reqs[i];
        EXPECT_EQ(q.method, "GET");
        EXPECT_EQ(q.Header("User-Agent"), kAgent);
        EXPECT_EQ(q.Header("Pragma"), "no-cache");
        EXPECT_FALSE(q.Has("Accept-Encoding")) << "the body must arrive undecoded";
        if (i < 3)
            EXPECT_NE(q.Header("Cookie").find("USRAGENT=VeloranViewer"), std::string::npos) << q.target;
        else
            EXPECT_EQ(q.Header("Cookie").find("USRAGENT"), std::string::npos) << q.target;
    }
}

TEST(UrlRead, AddressesAreEscapedAndExtraHeadersSent) {
    LoopbackServer server([](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(200, "x"); });
    EXPECT_TRUE(Fetch(server.Url("/my docs/\xC3\xA9t\xC3\xA9.dvi#p2")).opened);

    HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    const char headers[] = "X-One: 1\r\nX-Two: 2\r\nX-Three: cut off";
    HINTERNET file = InternetOpenUrlA(session, server.Url("/h").c_str(), headers, 20, 0, 0);
    ASSERT_NE(file, nullptr);
    InternetCloseHandle(file);
    InternetCloseHandle(session);

    std::vector<LoopbackServer::Request> reqs = server.Requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].target, "/my%20docs/%C3%A9t%C3%A9.dvi");
    EXPECT_EQ(reqs[1].Header("X-One"), "1");
    EXPECT_EQ(reqs[1].Header("X-Two"), "2");
    EXPECT_FALSE(reqs[1].Has("X-Three"));
    EXPECT_FALSE(reqs[1].Has("Pragma")) << "no-cache only when asked for";
}

TEST(UrlRead, BodiesArriveWholeInFullChunks) {
    const std::string body = Pattern(50000);
    std::string gz("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    gz += Pattern(300);

    struct Case {
        const char* name;
        std::string sent;
        std::function<void(LoopbackServer::Reply&)> serve;
        bool lengthKnown;
    };
    const std::vector<Case> cases = {
        {"length given, sent at once", body,
         [&](LoopbackServer::Reply& r) { r.Respond(200, body); }, true},
        {"length given, sent in small delayed pieces", body,
         [&](LoopbackServer::Reply& r) {
             r.Send("HTTP/1.1 200 OK\r\nContent-Length: 50000\r\nConnection: close\r\n\r\n");
             for (size_t i = 0; i < body.size(); i += 5000) {
                 r.Pause(10);
                 r.Send(body.substr(i, 5000));
             }
         },
         true},
        {"chunked transfer, no length", body,
         [&](LoopbackServer::Reply& r) {
             r.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
             for (size_t i = 0; i < body.size(); i += 3000) {
                 std::string piece = body.substr(i, 3000);
                 char size[16];
                 std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                 r.Send(size + piece + "\r\n");
                 if (i % 15000 == 0) r.Pause(10);
             }
             r.Send("0\r\n\r\n");
         },
         false},
        {"no length, ended by closing", body,
         [&](LoopbackServer::Reply& r) { r.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body); }, false},
        {"gzip content encoding arrives raw", gz,
         [&](LoopbackServer::Reply& r) { r.Respond(200, gz, {"Content-Encoding: gzip"}); }, true},
        {"empty answer", "", [&](LoopbackServer::Reply& r) { r.Respond(200, ""); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) { c.serve(r); });
        Fetched f = Fetch(server.Url("/doc.dvi"));
        ASSERT_TRUE(f.opened);
        EXPECT_EQ(f.status, 200u);
        EXPECT_EQ(f.lengthKnown, c.lengthKnown);
        if (c.lengthKnown) {
            EXPECT_EQ(f.length, c.sent.size());
        }
        EXPECT_FALSE(f.failed);
        EXPECT_EQ(f.chunks, FullChunks(c.sent.size()));
        EXPECT_TRUE(f.body == c.sent);
    }
}

TEST(UrlRead, AvailableBytesAreReadWithoutWaiting) {
    // Reading what is said to be available, at most 100000 bytes at a time.
    const std::string body = Pattern(250000);
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body.substr(0, 1000));
        r.Pause(100);
        r.Send(body.substr(1000));
    });
    HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET file = InternetOpenUrlA(session, server.Url("/doc.toc").c_str(), nullptr, DWORD(-1), 0, 0);
    ASSERT_NE(file, nullptr);
    std::string got;
    std::vector<char> buf(100000);
    std::vector<DWORD> offers;
    for (;;) {
        DWORD available = 0;
        ASSERT_TRUE(InternetQueryDataAvailable(file, &available, 0, 0));
        offers.push_back(available);
        DWORD want = std::min<DWORD>(available, 100000), n = 0;
        ASSERT_TRUE(InternetReadFile(file, buf.data(), want, &n));
        ASSERT_EQ(n, want);
        if (n == 0) break;
        got.append(buf.data(), n);
    }
    EXPECT_TRUE(got == body);
    ASSERT_GE(offers.size(), 3u);
    EXPECT_GE(offers.front(), 1u);
    EXPECT_LE(offers.front(), 1000u) << "the first bytes are offered before the rest is sent";
    EXPECT_EQ(offers.back(), 0u);
    InternetCloseHandle(file);
    InternetCloseHandle(session);
}

TEST(UrlRead, ErrorStatusesOpenAndAreReported) {
    for (int status : {404, 500}) {
        LoopbackServer server([status](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
            r.Respond(status, "<html>gone</html>", {"Content-Type: text/html"});
        });
        HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        HINTERNET file = InternetOpenUrlA(session, server.Url("/missing.dvi").c_str(), nullptr, DWORD(-1), kDocFlags, 0);
        ASSERT_NE(file, nullptr) << status;

        DWORD number = 0, size = sizeof number;
        ASSERT_TRUE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
        EXPECT_EQ(number, DWORD(status));
        // The text form, and a buffer too small for it.
        char text[8];
        size = 2;
        EXPECT_FALSE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(size, 4u);
        size = sizeof text;
        ASSERT_TRUE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
        EXPECT_STREQ(text, std::to_string(status).c_str());
        EXPECT_EQ(size, 3u);

        char buf[64];
        DWORD n = 0;
        ASSERT_TRUE(InternetReadFile(file, buf, sizeof buf, &n));
        EXPECT_EQ(std::string(buf, n), "<html>gone</html>");
        InternetCloseHandle(file);
        InternetCloseHandle(session);
    }
}

TEST(UrlRead, RedirectsAreFollowedToTheFinalAnswer) {
    LoopbackServer server([](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/docs/a.dvi") r.Respond(302, "moved", {"Location: /docs/b.dvi"});
        else if (q.target == "/docs/b.dvi") r.Respond(301, "", {"Location: /docs/new/c.dvi"});
        else if (q.target == "/docs/new/c.dvi") r.Respond(200, "final body");
        else if (q.target == "/loop") r.Respond(307, "", {"Location: /loop"});
        else r.Respond(404, "");
    });
    std::string start = server.Url("/docs/a.dvi");
    ASSERT_TRUE(InternetSetCookieA(start.c_str(), nullptr, "USRAGENT=VeloranViewer"));
    Fetched f = Fetch(start);
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(f.status, 200u);
    EXPECT_TRUE(f.lengthKnown);
    EXPECT_EQ(f.length, 10u);
    EXPECT_EQ(f.body, "final body");
    std::vector<LoopbackServer::Request> reqs = server.Requests();
    ASSERT_EQ(reqs.size(), 3u);
    for (const auto& q : reqs) {
        EXPECT_EQ(q.Header("User-Agent"), kAgent) << q.target;
        EXPECT_NE(q.Header("Cookie").find("USRAGENT=VeloranViewer"), std::string::npos) << q.target;
    }

    Fetched loop = Fetch(server.Url("/loop"));
    EXPECT_FALSE(loop.opened);
    EXPECT_EQ(loop.openError, ERROR_HTTP_REDIRECT_FAILED);
}

TEST(UrlRead, BrokenTransfersAreFailuresNotEndsOfData) {
    // Nothing listens: the open fails.
    Fetched refused = Fetch("http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/doc.dvi");
    EXPECT_FALSE(refused.opened);
    EXPECT_EQ(refused.openError, ERROR_INTERNET_CANNOT_CONNECT);

    Fetched scheme = Fetch("ftp://127.0.0.1/doc.dvi");
    EXPECT_FALSE(scheme.opened);
    EXPECT_EQ(scheme.openError, ERROR_INTERNET_UNRECOGNIZED_SCHEME);

    const std::string body = Pattern(50000);
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/cut") {
            // Promises 50000 bytes, sends 30000, hangs up.
            r.Send("HTTP/1.1 200 OK\r\nContent-Length: 50000\r\n\r\n" + body.substr(0, 30000));
        } else if (q.target == "/cut-chunked") {
            r.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7530\r\n" + body.substr(0, 30000) + "\r\n");
        }
        // "/silent": closes without an answer.
    });
    for (const char* path : {"/cut", "/cut-chunked"}) {
        SCOPED_TRACE(path);
        Fetched cut = Fetch(server.Url(path));
        ASSERT_TRUE(cut.opened);
        EXPECT_TRUE(cut.failed);
        EXPECT_EQ(cut.readError, ERROR_INTERNET_CONNECTION_RESET);
        EXPECT_LE(cut.body.size(), 30000u);
        EXPECT_TRUE(cut.body == body.substr(0, cut.body.size()));
        EXPECT_TRUE(cut.chunks.empty() || cut.chunks.back() != 0) << "a cut body must not end like a whole one";
    }
    Fetched silent = Fetch(server.Url("/silent"));
    EXPECT_FALSE(silent.opened);
    EXPECT_EQ(silent.openError, ERROR_INTERNET_CONNECTION_RESET);

    // https to a server that speaks plain HTTP: the TLS handshake fails.
    Fetched tls = Fetch("https://127.0.0.1:" + std::to_string(server.Port()) + "/silent");
    EXPECT_FALSE(tls.opened);
    EXPECT_EQ(tls.openError, ERROR_INTERNET_SECURE_FAILURE);
}

TEST(UrlRead, ASilentServerEndsTheTransferAfterTheStallLimit) {
    ASSERT_EQ(setenv("VELORAN_STALL_SECONDS", "2", 1), 0);
    const std::string body = Pattern(100);
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/first-bytes") {
            r.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body);
        } else if (q.target == "/trickle") {
            // A byte every 600 ms moves the transfer on: slow is not stalled.
            r.Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n");
            for (int i = 0; i < 6; ++i) {
                if (!r.Pause(600) || !r.Send(body.substr(i, 1))) return;
            }
            return;
        }
        // "/never": not even the headers.
        r.Pause(60000);
    });
    using Clock = std::chrono::steady_clock;
    struct Case {
        const char* path;
        bool opens;
        size_t bodyBytes;
    };
    for (const Case& c : {Case{"/first-bytes", true, 100}, Case{"/never", false, 0}}) {
        SCOPED_TRACE(c.path);
        auto t0 = Clock::now();
        Fetched f = Fetch(server.Url(c.path));
        auto took = Clock::now() - t0;
        EXPECT_GE(took, std::chrono::milliseconds(1900));
        EXPECT_LT(took, std::chrono::seconds(5));
        EXPECT_EQ(f.opened, c.opens);
        if (c.opens) {
            EXPECT_TRUE(f.failed);
            EXPECT_EQ(f.readError, ERROR_INTERNET_TIMEOUT);
            EXPECT_EQ(f.body, body.substr(0, c.bodyBytes)) << "the bytes that came are delivered first";
        } else {
            EXPECT_EQ(f.openError, ERROR_INTERNET_TIMEOUT);
        }
    }
    Fetched slow = Fetch(server.Url("/trickle"));
    EXPECT_FALSE(slow.failed);
    EXPECT_EQ(slow.body, body.substr(0, 6));
    unsetenv("VELORAN_STALL_SECONDS");
}

TEST(UrlRead, TheStopFlagCancelsABlockedCallPromptly) {
    // The server answers the headers and part of the body, or nothing, and
    // then stays silent until the test ends.
    std::atomic<int> stalls{0};
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/body") r.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + Pattern(1000));
        ++stalls;
        r.Pause(60000);
    });

    for (const char* path : {"/body", "/headers"}) {
        SCOPED_TRACE(path);
        int before = stalls;
        std::atomic<int> stop{0};
        std::atomic<pid_t> tid{0};
        std::atomic<bool> opened{false};
        auto worker = std::async(std::launch::async, [&] {
            tid = testsupport::ThreadId();
            return Fetch(server.Url(path), &stop, &opened);
        });
        // The call blocks: the server stalls, the body's read (or the open)
        // has begun and the worker sleeps on its socket.
        const bool body = std::string(path) == "/body";
        ASSERT_TRUE(testsupport::WaitUntil([&] {
            return stalls > before && opened == body && tid != 0 && testsupport::ThreadWaitsInPoll(tid);
        }));
        auto t0 = std::chrono::steady_clock::now();
        stop = 1;
        ASSERT_EQ(worker.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
        Fetched f = worker.get();
        if (std::string(path) == "/body") {
            ASSERT_TRUE(f.opened);
            EXPECT_TRUE(f.failed);
            EXPECT_EQ(f.readError, ERROR_INTERNET_OPERATION_CANCELLED);
            EXPECT_TRUE(f.body.empty()) << "no full chunk arrived";
        } else {
            EXPECT_FALSE(f.opened);
            EXPECT_EQ(f.openError, ERROR_INTERNET_OPERATION_CANCELLED);
        }
    }

    // A flag set before the open: nothing is sent.
    size_t before = server.Requests().size();
    std::atomic<int> stop{1};
    Fetched early = Fetch(server.Url("/body"), &stop);
    EXPECT_FALSE(early.opened);
    EXPECT_EQ(early.openError, ERROR_INTERNET_OPERATION_CANCELLED);
    EXPECT_EQ(server.Requests().size(), before);
}

TEST(UrlRead, ClosingAHandleFromAnotherThreadCancelsItsRead) {
    std::promise<void> stalled;
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nabc");
        stalled.set_value();
        r.Pause(60000);
    });
    HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET file = InternetOpenUrlA(session, server.Url("/x").c_str(), nullptr, DWORD(-1), kDocFlags, 0);
    ASSERT_NE(file, nullptr);
    std::atomic<pid_t> tid{0};
    auto reader = std::async(std::launch::async, [&] {
        tid = testsupport::ThreadId();
        char buf[kChunk];
        DWORD n = 0;
        BOOL ok = InternetReadFile(file, buf, kChunk, &n);
        return std::make_pair(ok, GetLastError());
    });
    stalled.get_future().wait();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return tid != 0 && testsupport::ThreadWaitsInPoll(tid); }))
        << "the read blocks";
    // Closing the session closes the URL handle made under it.
    EXPECT_TRUE(InternetCloseHandle(session));
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    auto [ok, error] = reader.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_INTERNET_OPERATION_CANCELLED);
    EXPECT_FALSE(InternetCloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(UrlRead, HandlesAreCheckedAndClosedOnce) {
    LoopbackServer server([](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(200, "x"); });
    HINTERNET session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    char buf[4];
    DWORD n = 7;
    EXPECT_FALSE(InternetReadFile(session, buf, sizeof buf, &n));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(InternetOpenUrlA(nullptr, server.Url("/").c_str(), nullptr, DWORD(-1), 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HINTERNET file = InternetOpenUrlA(session, server.Url("/").c_str(), nullptr, DWORD(-1), kDocFlags, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(InternetCloseHandle(file));
    EXPECT_FALSE(InternetCloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetReadFile(file, buf, sizeof buf, &n));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_FALSE(InternetCloseHandle(session));
    EXPECT_FALSE(InternetCloseHandle(nullptr));

    EXPECT_FALSE(InternetSetCookieA("not an address", nullptr, "USRAGENT=VeloranViewer"));
    EXPECT_FALSE(InternetSetCookieA(server.Url("/").c_str(), nullptr, "no value"));
}

TEST(UrlRead, ThreadsFetchOnTheirOwnHandlesAtTheSameTime) {
    LoopbackServer server([](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        r.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        std::string body = Pattern(30000 + q.target.size() * 1000);
        for (size_t i = 0; i < body.size(); i += 7000) {
            r.Pause(5);
            r.Send(body.substr(i, 7000));
        }
    });
    std::vector<std::future<bool>> workers;
    for (int t = 0; t < 4; ++t)
        workers.push_back(std::async(std::launch::async, [&, t] {
            bool good = true;
            for (int i = 0; i < 3; ++i) {
                std::string path = "/t" + std::to_string(t) + std::string(size_t(i + t), 'x');
                Fetched f = Fetch(server.Url(path));
                good = good && f.opened && f.body == Pattern(30000 + path.size() * 1000);
            }
            return good;
        }));
    for (auto& w : workers) EXPECT_TRUE(w.get());
}
