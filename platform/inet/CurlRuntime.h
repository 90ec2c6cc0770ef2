// libcurl's process-wide state: the one global initialisation and the cookie
// store that every transfer of the process shares.
#pragma once

#include <curl/curl.h>

#include <string>

namespace inet {

class CurlRuntime {
public:
    // Initialises libcurl on the first call; safe from any thread.
    static CurlRuntime& Instance();

    // Joins an easy handle to the shared cookie store.
    void AttachCookies(CURL* easy);

    // Stores a session cookie for host, sent on requests whose path lies
    // under path. False when libcurl refused it.
    bool AddCookie(const std::string& host, const std::string& path, const std::string& name,
                   const std::string& value);

    CurlRuntime(const CurlRuntime&) = delete;
    CurlRuntime& operator=(const CurlRuntime&) = delete;

private:
    CurlRuntime();

    CURLSH* share_ = nullptr;
};

}  // namespace inet
