#include "platform/inet/CurlRuntime.h"

#include <mutex>

namespace inet {

namespace {

// One mutex per kind of shared data (cookies, DNS cache, connections), each
// guarding that data of the share handle; libcurl asks for them around every use.
std::mutex shareLocks[CURL_LOCK_DATA_LAST];

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
    shareLocks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*) {
    shareLocks[data].unlock();
}

}  // namespace

CurlRuntime& CurlRuntime::Instance() {
    // Never destroyed: transfers may end during static destruction.
    static CurlRuntime* runtime = new CurlRuntime();
    return *runtime;
}

CurlRuntime::CurlRuntime() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

void CurlRuntime::AttachCookies(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_SHARE, share_);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // the cookie engine on, no file
}

bool CurlRuntime::AddCookie(const std::string& host, const std::string& path, const std::string& name,
                            const std::string& value) {
    CURL* easy = curl_easy_init();
    if (!easy) return false;
    AttachCookies(easy);
    // A cookie-file line: host only (no subdomains), path, any scheme, session.
    std::string line = host + "\tFALSE\t" + path + "\tFALSE\t0\t" + name + "\t" + value;
    CURLcode rc = curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
    curl_easy_cleanup(easy);
    return rc == CURLE_OK;
}

}  // namespace inet
