#include "platform/inet/InetUrl.h"

#include <curl/curl.h>

namespace inet {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

std::string EscapeUrl(const std::string& url) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (char ch : url) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '#') break;
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool CookieScope(const std::string& url, std::string& host, std::string& path) {
    CURLU* u = curl_url();
    if (!u) return false;
    bool ok = false;
    char* scheme = nullptr;
    char* h = nullptr;
    char* p = nullptr;
    if (curl_url_set(u, CURLUPART_URL, EscapeUrl(url).c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &h, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PATH, &p, 0) == CURLUE_OK) {
        std::string s = scheme;
        if ((s == "http" || s == "https") && *h) {
            host = h;
            path = p;
            path.erase(path.rfind('/') + 1);  // the path always starts with '/'
            if (path.empty()) path = "/";
            ok = true;
        }
    }
    curl_free(scheme);
    curl_free(h);
    curl_free(p);
    curl_url_cleanup(u);
    return ok;
}

bool SplitCookie(const std::string& data, std::string& name, std::string& value) {
    std::string pair = data.substr(0, data.find(';'));
    size_t eq = pair.find('=');
    if (eq == std::string::npos) return false;
    name = Trim(pair.substr(0, eq));
    value = Trim(pair.substr(eq + 1));
    return !name.empty() && name.find_first_of("\t\r\n") == std::string::npos &&
           value.find_first_of("\t\r\n") == std::string::npos;
}

}  // namespace inet
