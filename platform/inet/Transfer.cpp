#include "platform/inet/Transfer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/inet/CurlRuntime.h"
#include "platform/inet/WinInet.h"

namespace inet {

namespace {

// How long one wait inside libcurl may last before the cancel test runs again.
constexpr int kPollMs = 50;
constexpr long kConnectTimeoutS = 60;
// A transfer that moves no byte for this long while a caller waits on it
// fails; VELORAN_STALL_SECONDS shortens it (tests).
constexpr long kStallTimeoutS = 120;
constexpr long kMaxRedirects = 20;

bool StartsWithNoCase(const char* data, size_t size, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (size < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char a = data[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

std::chrono::milliseconds StallLimit() {
    long seconds = kStallTimeoutS;
    if (const char* env = std::getenv("VELORAN_STALL_SECONDS")) {
        char* end = nullptr;
        long v = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && v > 0 && v < kStallTimeoutS) seconds = v;
    }
    return std::chrono::seconds(seconds);
}

bool IsRedirectStatus(long status) {
    return (status >= 300 && status <= 303) || status == 307 || status == 308;
}

}  // namespace

Transfer::Transfer(std::function<bool()> cancelled) : cancelled_(std::move(cancelled)) {}

Transfer::~Transfer() {
    if (multi_ && easy_ && added_) curl_multi_remove_handle(multi_, easy_);
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
}

bool Transfer::Start(const Options& o) {
    CurlRuntime& runtime = CurlRuntime::Instance();
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_) return false;

    curl_easy_setopt(easy_, CURLOPT_URL, o.url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    if (!o.agent.empty()) curl_easy_setopt(easy_, CURLOPT_USERAGENT, o.agent.c_str());
    if (o.direct) {
        curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    } else {
        // Proxies from the environment, never for the machine itself.
        const char* env = std::getenv("no_proxy");
        if (!env) env = std::getenv("NO_PROXY");
        std::string noProxy = env && *env ? std::string(env) + "," : std::string();
        noProxy += "localhost,127.0.0.1,::1";
        curl_easy_setopt(easy_, CURLOPT_NOPROXY, noProxy.c_str());  // copied by libcurl
    }
    // A cancelled transfer's name lookup is left behind instead of awaited.
    curl_easy_setopt(easy_, CURLOPT_QUICK_EXIT, 1L);
    followRedirects_ = o.followRedirects;
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, o.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    stallLimit_ = StallLimit();
    // No CURLOPT_ACCEPT_ENCODING: the body arrives exactly as the server sent it.
    runtime.AttachCookies(easy_);

    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);

    if (o.noCache) {
        headers_ = curl_slist_append(headers_, "Pragma: no-cache");
        headers_ = curl_slist_append(headers_, "Cache-Control: no-cache");
    }
    size_t pos = 0;
    while (pos < o.extraHeaders.size()) {
        size_t end = o.extraHeaders.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = o.extraHeaders.size();
        if (end > pos) headers_ = curl_slist_append(headers_, o.extraHeaders.substr(pos, end - pos).c_str());
        pos = end + 1;
    }

    if (o.upload) {
        uploadSize_ = o.uploadSize;
        curl_easy_setopt(easy_, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy_, CURLOPT_INFILESIZE_LARGE, curl_off_t(o.uploadSize));
        curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &Transfer::OnUploadRead);
        curl_easy_setopt(easy_, CURLOPT_READDATA, this);
        if (o.verb != "PUT") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, o.verb.c_str());
        // The body follows at once; no wait for "100 Continue".
        headers_ = curl_slist_append(headers_, "Expect:");
    } else if (o.verb != "GET") {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, o.verb.c_str());
    }
    if (headers_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);

    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
    added_ = true;
    return true;
}

size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
    Transfer* t = static_cast<Transfer*>(self);
    size_t n = size * count;
    t->lastProgress_ = Clock::now();
    if (StartsWithNoCase(data, n, "http/")) {
        // A new answer: "HTTP/1.1 302 Found".
        t->lineStatus_ = 0;
        t->lineLocation_ = false;
        size_t i = 5;
        while (i < n && data[i] != ' ') ++i;
        while (i < n && data[i] == ' ') ++i;
        while (i < n && data[i] >= '0' && data[i] <= '9') t->lineStatus_ = t->lineStatus_ * 10 + (data[i++] - '0');
    } else if (StartsWithNoCase(data, n, "location:")) {
        t->lineLocation_ = true;
    } else if ((n == 2 && data[0] == '\r') || (n == 1 && data[0] == '\n')) {
        // End of one answer's headers: interim answers and followed redirects
        // are not the final one.
        bool interim = t->lineStatus_ >= 100 && t->lineStatus_ < 200;
        bool followed = t->followRedirects_ && t->lineLocation_ && IsRedirectStatus(t->lineStatus_);
        if (!interim && !followed) t->headersDone_ = true;
    }
    return n;
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
    Transfer* t = static_cast<Transfer*>(self);
    size_t n = size * count;
    t->lastProgress_ = Clock::now();
    t->body_.append(data, n);
    t->headersDone_ = true;
    return n;
}

size_t Transfer::OnUploadRead(char* data, size_t size, size_t count, void* self) {
    Transfer* t = static_cast<Transfer*>(self);
    t->uploadStarted_ = true;
    size_t left = t->upload_.size() - t->uploadPos_;
    if (left == 0) {
        if (t->uploadEnded_) return 0;
        t->uploadPaused_ = true;
        return CURL_READFUNC_PAUSE;
    }
    size_t n = std::min(left, size * count);
    t->lastProgress_ = Clock::now();
    std::memcpy(data, t->upload_.data() + t->uploadPos_, n);
    t->uploadPos_ += n;
    if (t->uploadPos_ == t->upload_.size()) {
        t->upload_.clear();
        t->uploadPos_ = 0;
    }
    return n;
}

void Transfer::Resume() {
    if (uploadPaused_ && easy_) {
        uploadPaused_ = false;
        curl_easy_pause(easy_, CURLPAUSE_CONT);
    }
}

Transfer::Wait Transfer::RunUntil(const std::function<bool()>& ready) {
    // Only time spent waiting here counts towards a stall: between calls the
    // transfer waits for its caller, not for the network.
    const Clock::time_point entered = Clock::now();
    for (;;) {
        if (cancelled_()) return Wait::Cancelled;
        if (ready()) return Wait::Ready;
        if (finished_) return Wait::Finished;
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi_, &running);
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                finished_ = true;
                result_ = msg->data.result;
            }
        }
        if (mc != CURLM_OK && !finished_) {
            finished_ = true;
            result_ = CURLE_FAILED_INIT;
        }
        if (ready()) return Wait::Ready;
        if (finished_) return Wait::Finished;
        if (cancelled_()) return Wait::Cancelled;
        if (Clock::now() - std::max(entered, lastProgress_) >= stallLimit_) {
            // Headers, body or upload alike: no byte moved for the whole limit.
            finished_ = true;
            result_ = CURLE_OPERATION_TIMEDOUT;
            return Wait::Finished;
        }
        curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
    }
}

Transfer::Wait Transfer::WaitForHeaders() {
    return RunUntil([this] { return headersDone_; });
}

Transfer::Wait Transfer::WaitForUploadStart() {
    return RunUntil([this] { return uploadStarted_ || headersDone_; });
}

size_t Transfer::Read(char* buffer, size_t count, Wait& how) {
    how = RunUntil([this, count] { return body_.size() - bodyPos_ >= count; });
    if (how == Wait::Cancelled) return 0;
    size_t n = std::min(count, body_.size() - bodyPos_);
    if (n) std::memcpy(buffer, body_.data() + bodyPos_, n);
    bodyPos_ += n;
    if (bodyPos_ * 2 >= body_.size()) {
        body_.erase(0, bodyPos_);
        bodyPos_ = 0;
    }
    return n;
}

size_t Transfer::Available(Wait& how) {
    how = RunUntil([this] { return body_.size() > bodyPos_; });
    return body_.size() - bodyPos_;
}

Transfer::Wait Transfer::Write(const char* data, size_t count) {
    upload_.append(data, count);
    uploadQueued_ += int64_t(count);
    Resume();
    return RunUntil([this] { return upload_.size() == uploadPos_; });
}

Transfer::Wait Transfer::EndUpload() {
    uploadEnded_ = true;
    Resume();
    return RunUntil([this] { return headersDone_ && upload_.size() == uploadPos_; });
}

long Transfer::StatusCode() const {
    long code = 0;
    if (easy_) curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

int64_t Transfer::ContentLength() const {
    curl_off_t length = -1;
    if (easy_) curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length;
}

DWORD Transfer::ErrorCode(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return ERROR_SUCCESS;
        case CURLE_COULDNT_CONNECT:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_OPERATION_TIMEDOUT:
            return ERROR_INTERNET_TIMEOUT;
        case CURLE_URL_MALFORMAT:
            return ERROR_INTERNET_INVALID_URL;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_TOO_MANY_REDIRECTS:
            return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return ERROR_INTERNET_SECURE_FAILURE;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return ERROR_INTERNET_CONNECTION_RESET;
        default:
            return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

}  // namespace inet
