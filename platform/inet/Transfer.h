// One HTTP transfer on libcurl's multi interface, driven by the calling
// thread: it runs only while a caller waits for headers, body bytes or the
// taking of upload bytes, and every wait gives up once the cancel test says so.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/core/WinTypes.h"

namespace inet {

class Transfer {
public:
    struct Options {
        std::string url;          // escaped
        std::string agent;
        std::string verb;         // "GET", "PUT", "POST", ...
        bool direct = true;       // no proxy
        bool noCache = false;     // Pragma and Cache-Control: no-cache
        bool followRedirects = true;
        std::string extraHeaders; // CR LF separated lines
        bool upload = false;      // a body follows through Write
        int64_t uploadSize = 0;
    };

    // Why a wait ended: what it waited for happened, the transfer is over
    // (with or without an error), or the caller cancelled.
    enum class Wait { Ready, Finished, Cancelled };

    explicit Transfer(std::function<bool()> cancelled);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Sets the handles up and starts the transfer; false on a setup failure.
    bool Start(const Options& options);

    // Runs until the final answer's headers are in (redirects followed).
    Wait WaitForHeaders();
    // Runs until the upload wants its body bytes (headers sent).
    Wait WaitForUploadStart();

    // Copies up to count body bytes into buffer, running until count bytes
    // have arrived or the transfer is over. Returns the bytes copied.
    size_t Read(char* buffer, size_t count, Wait& how);

    // Runs until some body bytes are waiting or the transfer is over; returns
    // how many are waiting.
    size_t Available(Wait& how);

    // Queues upload bytes and runs until the connection has taken them.
    Wait Write(const char* data, size_t count);
    // Marks the end of the upload body and waits for the answer's headers.
    Wait EndUpload();

    bool Finished() const { return finished_; }
    CURLcode Result() const { return result_; }
    bool Failed() const { return finished_ && result_ != CURLE_OK; }
    int64_t UploadSize() const { return uploadSize_; }
    int64_t Uploaded() const { return uploadQueued_; }

    long StatusCode() const;
    // -1 when the answer gave no length.
    int64_t ContentLength() const;

    // This layer's error code for a failed transfer.
    static DWORD ErrorCode(CURLcode code);

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnUploadRead(char* data, size_t size, size_t count, void* self);

    // Runs the transfer until ready() holds, it is over, or it is cancelled.
    Wait RunUntil(const std::function<bool()>& ready);
    void Resume();

    using Clock = std::chrono::steady_clock;

    std::function<bool()> cancelled_;
    // When a byte last moved, and how long the transfer may go without one.
    Clock::time_point lastProgress_{};
    std::chrono::milliseconds stallLimit_{0};
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headers_ = nullptr;
    bool added_ = false;
    bool finished_ = false;
    CURLcode result_ = CURLE_OK;

    // Answer headers as they pass.
    bool followRedirects_ = true;
    long lineStatus_ = 0;
    bool lineLocation_ = false;
    bool headersDone_ = false;

    // Body bytes not yet read: body_[bodyPos_..].
    std::string body_;
    size_t bodyPos_ = 0;

    // Upload bytes not yet taken: upload_[uploadPos_..].
    std::string upload_;
    size_t uploadPos_ = 0;
    int64_t uploadSize_ = 0;
    int64_t uploadQueued_ = 0;
    bool uploadEnded_ = false;
    bool uploadStarted_ = false;
    bool uploadPaused_ = false;
};

}  // namespace inet
