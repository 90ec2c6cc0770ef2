#include "platform/inet/ParseUrl.h"

#include <curl/curl.h>

#include <cstdlib>
#include <string>

#include "platform/inet/InetUrl.h"

BOOL AfxParseURL(const char* url, DWORD& serviceType, CString& server, CString& object, INTERNET_PORT& port) {
    serviceType = AFX_INET_SERVICE_UNK;
    server.Empty();
    object.Empty();
    port = 0;
    if (!url) return FALSE;

    CURLU* u = curl_url();
    if (!u) return FALSE;
    char* scheme = nullptr;
    char* host = nullptr;
    char* path = nullptr;
    char* query = nullptr;
    char* portText = nullptr;
    BOOL ok = FALSE;
    if (curl_url_set(u, CURLUPART_URL, inet::EscapeUrl(url).c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &portText, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        std::string s = scheme;
        long number = std::strtol(portText, nullptr, 10);
        if ((s == "http" || s == "https") && *host && number > 0 && number < 65536) {
            serviceType = s == "http" ? AFX_INET_SERVICE_HTTP : AFX_INET_SERVICE_HTTPS;
            server = host;
            std::string obj = path;
            if (curl_url_get(u, CURLUPART_QUERY, &query, 0) == CURLUE_OK) obj += std::string("?") + query;
            object = CString(obj);
            port = INTERNET_PORT(number);
            ok = TRUE;
        }
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(path);
    curl_free(query);
    curl_free(portText);
    curl_url_cleanup(u);
    return ok;
}
