// Sending a body with a PUT request, against a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/inet/WinInet.h"
#include "platform/inet/tests/LoopbackServer.h"
#include "testsupport/TestTools.h"

namespace {

constexpr const char* kAgent = "Veloran Viewer Internet Upload Agent";

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 13 + 5) & 0xFF);
    return s;
}

// The handles of one upload, closed at the end of the scope.
struct Upload {
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;

    Upload(int port, const char* object, const std::atomic<int>* stop = nullptr) {
        session = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (stop) InternetSetStopFlag(session, stop);
        connection = InternetConnectA(session, "127.0.0.1", INTERNET_PORT(port), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
        request = HttpOpenRequestA(connection, "PUT", object, nullptr, nullptr, nullptr, 0, 0);
    }
    ~Upload() {
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
        InternetCloseHandle(session);
    }

    BOOL Begin(DWORD total) {
        INTERNET_BUFFERSA buffers{};
        buffers.dwStructSize = sizeof buffers;
        buffers.dwBufferTotal = total;
        return HttpSendRequestExA(request, &buffers, nullptr, HSR_INITIATE, 0);
    }

    // Writes in 1024-byte pieces, ending after a piece shorter than 1024 (a
    // body whose size is a multiple of 1024 ends with a write of 0 bytes).
    bool WriteAll(const std::string& body) {
        size_t at = 0;
        for (;;) {
            DWORD piece = DWORD(std::min<size_t>(1024, body.size() - at));
            DWORD written = 0;
            if (!InternetWriteFile(request, body.data() + at, piece, &written) || written != piece) return false;
            at += piece;
            if (piece < 1024) return true;
        }
    }

    DWORD Status() {
        DWORD status = 0, size = sizeof status;
        EXPECT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr));
        return status;
    }
};

}  // namespace

TEST(HttpUpload, PutSendsTheWholeBodyAndReportsTheStatus) {
    LoopbackServer server([](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/forbidden/file.dvi") r.Respond(403, "no");
        else r.Respond(201, "stored " + std::to_string(q.body.size()));
    });
    struct Case {
        const char* object;
        size_t size;
        DWORD status;
    };
    for (const Case& c : {Case{"/up/file.dvi", 3000, 201}, Case{"/up/file.dvi", 2048, 201}, Case{"/up/empty", 0, 201},
                          Case{"up/big.dvi", 300000, 201}, Case{"/forbidden/file.dvi", 1500, 403}}) {
        SCOPED_TRACE(std::string(c.object) + " " + std::to_string(c.size));
        size_t before = server.Requests().size();
        std::string body = Pattern(c.size);
        Upload u(server.Port(), c.object);
        ASSERT_NE(u.request, nullptr);
        ASSERT_TRUE(u.Begin(DWORD(body.size())));
        ASSERT_TRUE(u.WriteAll(body));
        ASSERT_TRUE(HttpEndRequestA(u.request, nullptr, 0, 0));
        // An error status is the caller's to judge, not a failure of the call.
        EXPECT_EQ(u.Status(), c.status);
        if (c.status == 201) {
            // The answer's body is readable too.
            char answer[64];
            DWORD n = 0;
            ASSERT_TRUE(InternetReadFile(u.request, answer, sizeof answer, &n));
            EXPECT_EQ(std::string(answer, n), "stored " + std::to_string(c.size));
        }

        std::vector<LoopbackServer::Request> reqs = server.Requests();
        ASSERT_EQ(reqs.size(), before + 1);
        const auto& q = reqs.back();
        EXPECT_EQ(q.method, "PUT");
        EXPECT_EQ(q.target, c.object[0] == '/' ? std::string(c.object) : "/" + std::string(c.object));
        EXPECT_EQ(q.Header("User-Agent"), kAgent);
        EXPECT_EQ(q.Header("Content-Length"), std::to_string(c.size));
        EXPECT_TRUE(q.body == body);
    }
}

TEST(HttpUpload, FailuresAreReportedNotPassedOffAsSuccess) {
    // Nothing listens: sending the request fails.
    {
        Upload u(LoopbackServer::ClosedPort(), "/up/file.dvi");
        EXPECT_FALSE(u.Begin(10));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    }
    LoopbackServer server([](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(204, ""); });
    // More bytes than declared.
    {
        Upload u(server.Port(), "/up/a");
        ASSERT_TRUE(u.Begin(1000));
        DWORD written = 5;
        std::string body = Pattern(1024);
        EXPECT_FALSE(InternetWriteFile(u.request, body.data(), 1024, &written));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(written, 0u);
    }
    // Fewer bytes than declared.
    {
        Upload u(server.Port(), "/up/b");
        ASSERT_TRUE(u.Begin(1000));
        std::string body = Pattern(500);
        DWORD written = 0;
        ASSERT_TRUE(InternetWriteFile(u.request, body.data(), 500, &written));
        EXPECT_FALSE(HttpEndRequestA(u.request, nullptr, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    // Writing on a request that was not sent, or on a URL handle.
    {
        Upload u(server.Port(), "/up/c");
        DWORD written = 0;
        EXPECT_FALSE(InternetWriteFile(u.request, "x", 1, &written));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        EXPECT_FALSE(HttpEndRequestA(u.request, nullptr, 0, 0));
        EXPECT_EQ(HttpOpenRequestA(u.session, "PUT", "/x", nullptr, nullptr, nullptr, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    }
}

TEST(HttpUpload, TheStopFlagCancelsTheWaitForTheAnswer) {
    std::promise<void> bodyIn;
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        bodyIn.set_value();
        r.Pause(60000);  // takes the body, never answers
    });
    std::atomic<int> stop{0};
    Upload u(server.Port(), "/up/slow", &stop);
    std::string body = Pattern(4000);
    ASSERT_TRUE(u.Begin(DWORD(body.size())));
    ASSERT_TRUE(u.WriteAll(body));
    std::atomic<pid_t> tid{0};
    auto ender = std::async(std::launch::async, [&] {
        tid = testsupport::ThreadId();
        BOOL ok = HttpEndRequestA(u.request, nullptr, 0, 0);
        return std::make_pair(ok, GetLastError());
    });
    bodyIn.get_future().wait();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return tid != 0 && testsupport::ThreadWaitsInPoll(tid); }))
        << "the wait for the answer blocks";
    stop = 1;
    ASSERT_EQ(ender.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    auto [ok, error] = ender.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_INTERNET_OPERATION_CANCELLED);
}
