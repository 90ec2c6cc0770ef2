// The framework's splitting of an address into service, server, object and port.
#pragma once

#include "platform/core/CString.h"
#include "platform/inet/WinInet.h"

constexpr DWORD AFX_INET_SERVICE_UNK = 0x1000;
constexpr DWORD AFX_INET_SERVICE_HTTP = INTERNET_SERVICE_HTTP;
constexpr DWORD AFX_INET_SERVICE_HTTPS = 0x1004;

// Splits an http or https address: server is the host name, object the path
// with its query ("/" at least), port the given one or the scheme's default.
// Blanks and bytes of 128 and above come out percent-encoded; a '#' fragment
// is dropped. Any other address gives FALSE with AFX_INET_SERVICE_UNK and
// the outputs emptied.
BOOL AfxParseURL(const char* url, DWORD& serviceType, CString& server, CString& object, INTERNET_PORT& port);
