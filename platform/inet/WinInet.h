// Internet handles over libcurl: a session with its agent, URLs opened for
// reading, HTTP requests with a streamed body, process-wide cookies.
//
// Handles: InternetOpenA makes a session; InternetOpenUrlA and
// InternetConnectA/HttpOpenRequestA make handles under it. Every call is
// blocking and runs on the calling thread; each thread uses its own handles.
// A handle is closed once, with InternetCloseHandle; closing a session also
// closes the handles made under it. Closing a handle from another thread
// cancels a call blocked on it; the handle's memory lives until that call
// has returned.
//
// Cancelling: InternetSetStopFlag ties a handle (and the handles made under it
// afterwards) to a flag; once the flag is nonzero a blocked open, read, write
// or end of request returns FALSE with ERROR_INTERNET_OPERATION_CANCELLED
// within a fraction of a second.
//
// Failing calls return FALSE or null and leave a code for GetLastError
// (platform/core/LastError.h).
//
// A document's worker, in outline:
//   HINTERNET net = InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
//   InternetSetStopFlag(net, &stopRequested);
//   InternetSetCookieA(url, nullptr, "NAME=value");
//   HINTERNET file = InternetOpenUrlA(net, url, nullptr, DWORD(-1), flags, 0);
//   HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
//   while (InternetReadFile(file, buf, 20480, &n) && n > 0) { ... }
//   InternetCloseHandle(file); InternetCloseHandle(net);
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/core/LastError.h"
#include "platform/core/WinTypes.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;
using DWORD_PTR = uintptr_t;

// InternetOpenA access types. DIRECT ignores proxy settings; PRECONFIG takes
// them from the environment (http_proxy and its kin).
constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;

// Flags of InternetOpenUrlA and HttpOpenRequestA. Nothing is cached, so
// RELOAD, NO_CACHE_WRITE and HYPERLINK change nothing; PRAGMA_NOCACHE sends
// "Pragma: no-cache" and "Cache-Control: no-cache"; SECURE makes a request
// of HttpOpenRequestA go over https.
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000u;
constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000u;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000u;
constexpr DWORD INTERNET_FLAG_HYPERLINK = 0x00000400u;
constexpr DWORD INTERNET_FLAG_PRAGMA_NOCACHE = 0x00000100u;

constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;

// HttpSendRequestExA flags.
constexpr DWORD HSR_INITIATE = 0x00000008u;

// HttpQueryInfoA: an item, optionally with FLAG_NUMBER (the value as a DWORD
// in place of its text).
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000u;

// Error codes of this layer.
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURE_FAILURE = 12175;

struct INTERNET_BUFFERSA {
    DWORD dwStructSize;            // sizeof(INTERNET_BUFFERSA)
    INTERNET_BUFFERSA* Next;       // not used
    const char* lpcszHeader;       // extra request headers, CR LF separated, or null
    DWORD dwHeadersLength;         // their length; -1: up to the NUL
    DWORD dwHeadersTotal;          // not used
    void* lpvBuffer;               // first body bytes, or null
    DWORD dwBufferLength;          // their count
    DWORD dwBufferTotal;           // length of the whole body (Content-Length)
    DWORD dwOffsetLow;             // not used
    DWORD dwOffsetHigh;            // not used
};

// A session. The agent goes out as User-Agent on every request made under it.
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass,
                        DWORD flags);

// Ties hInternet, and the handles made under it from now on, to stopFlag
// (null unties). The flag must outlive the handles.
BOOL InternetSetStopFlag(HINTERNET hInternet, const std::atomic<int>* stopFlag);

// Sets a process-wide session cookie, sent with every later request to the
// URL's host whose path lies in the URL's folder (the path up to its last
// '/'), also after a redirect. With a null name, data reads "name=value";
// attributes after a ';' are ignored.
BOOL InternetSetCookieA(const char* url, const char* cookieName, const char* cookieData);

// Opens an http or https URL for reading: sends the GET request, follows
// redirects and returns once the final answer's headers have arrived.
// The body is delivered as sent (no content decoding). An answer with an
// error status (404, 500) still opens; its status is read with HttpQueryInfoA.
// headers: extra request lines, CR LF separated (length -1: up to the NUL).
// A '#' fragment is dropped; blanks and bytes of 128 and above are
// percent-encoded. Fails on a refused connection, an unknown host, a TLS
// failure, a broken redirect chain or a stop.
HINTERNET InternetOpenUrlA(HINTERNET hInternet, const char* url, const char* headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR context);

// Reads up to toRead bytes of the body into buffer; blocks until toRead bytes
// have arrived or the body has ended. TRUE with *read == 0 at the end of the
// body; FALSE on a broken transfer (after the bytes that did arrive), a
// timeout (no byte for two minutes) or a stop.
BOOL InternetReadFile(HINTERNET hFile, void* buffer, DWORD toRead, DWORD* read);

// Waits until body bytes have arrived or the body has ended, and gives how
// many can be read at once without waiting (0 at the end). Fails like
// InternetReadFile. flags and context are ignored.
BOOL InternetQueryDataAvailable(HINTERNET hFile, DWORD* available, DWORD flags, DWORD_PTR context);

BOOL InternetCloseHandle(HINTERNET hInternet);

// A server connection of a session for HttpOpenRequestA. The port is used as
// given; 0 takes the service's default. User name and password are not
// supported and must be null.
HINTERNET InternetConnectA(HINTERNET hInternet, const char* serverName, INTERNET_PORT serverPort,
                           const char* userName, const char* password, DWORD service, DWORD flags,
                           DWORD_PTR context);

// A request of verb (PUT, POST) for objectName on the connection; nothing is
// sent yet. version, referrer and acceptTypes are ignored.
HINTERNET HttpOpenRequestA(HINTERNET hConnect, const char* verb, const char* objectName, const char* version,
                           const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context);

// Connects and sends the request headers; the body, of buffersIn->dwBufferTotal
// bytes, follows through InternetWriteFile. Fails when the connection fails.
BOOL HttpSendRequestExA(HINTERNET hRequest, INTERNET_BUFFERSA* buffersIn, INTERNET_BUFFERSA* buffersOut,
                        DWORD flags, DWORD_PTR context);

// Sends body bytes; blocks until the connection has taken them. Writing past
// the declared body length fails with ERROR_INVALID_PARAMETER.
BOOL InternetWriteFile(HINTERNET hFile, const void* buffer, DWORD toWrite, DWORD* written);

// Ends the body and waits for the answer's headers; the status is then read
// with HttpQueryInfoA and the answer's body with InternetReadFile. Fails when
// fewer bytes than declared were written or the transfer broke. An error
// status is not a failure here.
BOOL HttpEndRequestA(HINTERNET hRequest, INTERNET_BUFFERSA* buffersOut, DWORD flags, DWORD_PTR context);

// Reads an item of the answer of a URL or request handle. With
// HTTP_QUERY_FLAG_NUMBER the buffer receives a DWORD (*bufferLength at least
// 4); otherwise the decimal text with its NUL, *bufferLength being set to the
// text's length (or, when the buffer is too small, to the size needed, with
// ERROR_INSUFFICIENT_BUFFER). An answer without a Content-Length fails with
// ERROR_HTTP_HEADER_NOT_FOUND and leaves the buffer alone. index must be null.
BOOL HttpQueryInfoA(HINTERNET hRequest, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
