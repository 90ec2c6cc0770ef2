// Reads arbitrary bytes as an address and as cookie data: the escaped address
// holds no blank, control, high byte or fragment; a cookie scope names a host
// and a folder path; a split cookie has a clean name; a split address has a
// server and an object that starts with '/'.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/inet/InetUrl.h"
#include "platform/inet/ParseUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    std::string escaped = inet::EscapeUrl(text);
    for (char ch : escaped) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F || c == '#') std::abort();
    }
    if (inet::EscapeUrl(escaped) != escaped) std::abort();

    std::string host, path;
    if (inet::CookieScope(text, host, path)) {
        if (host.empty() || path.empty() || path.front() != '/' || path.back() != '/') std::abort();
        if (host.find_first_of("\t\r\n") != std::string::npos || path.find_first_of("\t\r\n") != std::string::npos)
            std::abort();
    }

    std::string name, value;
    if (inet::SplitCookie(text, name, value)) {
        if (name.empty() || name.find_first_of("\t\r\n=;") != std::string::npos) std::abort();
        if (value.find_first_of("\t\r\n;") != std::string::npos) std::abort();
    }
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    if (AfxParseURL(text.c_str(), service, server, object, port)) {
        if (server.IsEmpty() || object.GetAt(0) != '/' || port == 0) std::abort();
        if (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS) std::abort();
    } else if (!server.IsEmpty() || !object.IsEmpty() || service != AFX_INET_SERVICE_UNK) {
        std::abort();
    }
    return 0;
}
