// Splitting addresses into service, server, object and port.
#include <gtest/gtest.h>

#include "platform/inet/ParseUrl.h"

TEST(ParseUrl, SplitsWebAddressesAndRefusesOthers) {
    struct Case {
        const char* url;
        BOOL ok;
        DWORD service;
        const char* server;
        const char* object;
        INTERNET_PORT port;
    };
    const Case cases[] = {
        {"http://example.test/docs/paper.dvi", TRUE, AFX_INET_SERVICE_HTTP, "example.test", "/docs/paper.dvi", 80},
        {"https://example.test:8443/a/b.dvi?x=1&y=2#sec", TRUE, AFX_INET_SERVICE_HTTPS, "example.test",
         "/a/b.dvi?x=1&y=2", 8443},
        {"https://example.test/", TRUE, AFX_INET_SERVICE_HTTPS, "example.test", "/", 443},
        {"http://example.test", TRUE, AFX_INET_SERVICE_HTTP, "example.test", "/", 80},
        {"http://127.0.0.1:8080/my docs/\xC3\xA9.dvi", TRUE, AFX_INET_SERVICE_HTTP, "127.0.0.1",
         "/my%20docs/%C3%A9.dvi", 8080},
        {"ftp://example.test/x", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
        {"example.test/x", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
        {"http://", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
        {"", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
        {"http://example.test:99999/x", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        DWORD service = 77;
        CString server("old"), object("old");
        INTERNET_PORT port = 9;
        EXPECT_EQ(AfxParseURL(c.url, service, server, object, port), c.ok);
        EXPECT_EQ(service, c.service);
        EXPECT_STREQ(server, c.server);
        EXPECT_STREQ(object, c.object);
        EXPECT_EQ(port, c.port);
    }
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    EXPECT_FALSE(AfxParseURL(nullptr, service, server, object, port));
}
