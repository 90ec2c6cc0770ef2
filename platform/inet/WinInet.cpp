#include "platform/inet/WinInet.h"

#include <cstring>
#include <string>

#include "platform/inet/CurlRuntime.h"
#include "platform/inet/InetUrl.h"
#include "platform/inet/InternetHandle.h"

using inet::HandleTable;
using inet::InternetHandle;
using inet::Transfer;

namespace {

using Kind = InternetHandle::Kind;

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

HINTERNET FailNull(DWORD code) {
    SetLastError(code);
    return nullptr;
}

// The open handle behind value when it is of the given kind; else null with
// the error set.
std::shared_ptr<InternetHandle> Lookup(HINTERNET value, Kind kind) {
    std::shared_ptr<InternetHandle> h = HandleTable::Instance().Find(value);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (h->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return h;
}

std::string HeaderText(const char* headers, DWORD length) {
    if (!headers) return std::string();
    if (length == DWORD(-1)) return std::string(headers);
    return std::string(headers, length);
}

// The error of a wait that did not get what it waited for.
DWORD WaitError(const Transfer& t, Transfer::Wait how) {
    if (how == Transfer::Wait::Cancelled) return ERROR_INTERNET_OPERATION_CANCELLED;
    if (t.Failed()) return Transfer::ErrorCode(t.Result());
    return ERROR_INTERNET_CONNECTION_RESET;  // ended before it gave what was asked
}

std::unique_ptr<Transfer> NewTransfer(InternetHandle* owner) {
    return std::make_unique<Transfer>([owner] { return owner->Cancelled(); });
}

}  // namespace

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char*, const char*, DWORD) {
    inet::CurlRuntime::Instance();
    auto h = std::make_shared<InternetHandle>(Kind::Session);
    h->agent = agent ? agent : "";
    h->direct = accessType == INTERNET_OPEN_TYPE_DIRECT;
    return HandleTable::Instance().Add(std::move(h), nullptr);
}

BOOL InternetSetStopFlag(HINTERNET hInternet, const std::atomic<int>* stopFlag) {
    std::shared_ptr<InternetHandle> h = HandleTable::Instance().Find(hInternet);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    h->stopFlag = stopFlag;
    return TRUE;
}

BOOL InternetSetCookieA(const char* url, const char* cookieName, const char* cookieData) {
    if (!url || !cookieData) return Fail(ERROR_INVALID_PARAMETER);
    std::string host, path, name, value;
    if (!inet::CookieScope(url, host, path)) return Fail(ERROR_INTERNET_INVALID_URL);
    if (cookieName && *cookieName) {
        name = cookieName;
        value = std::string(cookieData).substr(0, std::string(cookieData).find(';'));
        if (!inet::SplitCookie(name + "=" + value, name, value)) return Fail(ERROR_INVALID_PARAMETER);
    } else if (!inet::SplitCookie(cookieData, name, value)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!inet::CurlRuntime::Instance().AddCookie(host, path, name, value)) return Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

HINTERNET InternetOpenUrlA(HINTERNET hInternet, const char* url, const char* headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR) {
    std::shared_ptr<InternetHandle> session = Lookup(hInternet, Kind::Session);
    if (!session) return nullptr;
    if (!url || !*url) return FailNull(ERROR_INTERNET_INVALID_URL);

    auto h = std::make_shared<InternetHandle>(Kind::Request);
    h->stopFlag = session->stopFlag.load();
    h->verb = "GET";
    h->object = url;
    h->flags = flags;
    h->session = session;
    h->transfer = NewTransfer(h.get());
    Transfer::Options o;
    o.url = inet::EscapeUrl(url);
    o.agent = session->agent;
    o.verb = "GET";
    o.direct = session->direct;
    o.noCache = (flags & INTERNET_FLAG_PRAGMA_NOCACHE) != 0;
    o.extraHeaders = HeaderText(headers, headersLength);
    if (!h->transfer->Start(o)) return FailNull(ERROR_NOT_ENOUGH_MEMORY);

    // A transfer that broke after the headers still opens; the break comes
    // with the reads.
    Transfer::Wait how = h->transfer->WaitForHeaders();
    if (how != Transfer::Wait::Ready) return FailNull(WaitError(*h->transfer, how));
    HINTERNET value = HandleTable::Instance().Add(h, hInternet);
    // The session may have been closed meanwhile; the new handle goes with it.
    if (session->closed) {
        HandleTable::Instance().Close(value);
        return FailNull(ERROR_INTERNET_OPERATION_CANCELLED);
    }
    SetLastError(ERROR_SUCCESS);
    return value;
}

BOOL InternetReadFile(HINTERNET hFile, void* buffer, DWORD toRead, DWORD* read) {
    if (read) *read = 0;
    std::shared_ptr<InternetHandle> h = Lookup(hFile, Kind::Request);
    if (!h) return FALSE;
    if (!read || (!buffer && toRead)) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(h->call);
    if (!h->transfer) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);  // request not sent
    Transfer::Wait how;
    size_t n = h->transfer->Read(static_cast<char*>(buffer), toRead, how);
    if (how == Transfer::Wait::Cancelled) return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
    *read = DWORD(n);
    // Bytes that arrived before a failure are delivered first; the failure
    // comes with the next read.
    if (n == 0 && h->transfer->Failed()) return Fail(Transfer::ErrorCode(h->transfer->Result()));
    return TRUE;
}

BOOL InternetQueryDataAvailable(HINTERNET hFile, DWORD* available, DWORD, DWORD_PTR) {
    if (available) *available = 0;
    std::shared_ptr<InternetHandle> h = Lookup(hFile, Kind::Request);
    if (!h) return FALSE;
    if (!available) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(h->call);
    if (!h->transfer) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    Transfer::Wait how;
    size_t n = h->transfer->Available(how);
    if (how == Transfer::Wait::Cancelled) return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
    if (n == 0 && h->transfer->Failed()) return Fail(Transfer::ErrorCode(h->transfer->Result()));
    *available = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : DWORD(n);
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET hInternet) {
    if (!HandleTable::Instance().Close(hInternet)) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

HINTERNET InternetConnectA(HINTERNET hInternet, const char* serverName, INTERNET_PORT serverPort,
                           const char* userName, const char* password, DWORD service, DWORD flags, DWORD_PTR) {
    std::shared_ptr<InternetHandle> session = Lookup(hInternet, Kind::Session);
    if (!session) return nullptr;
    if (!serverName || !*serverName || service != INTERNET_SERVICE_HTTP || userName || password)
        return FailNull(ERROR_INVALID_PARAMETER);
    auto h = std::make_shared<InternetHandle>(Kind::Connection);
    h->stopFlag = session->stopFlag.load();
    h->session = session;
    h->server = serverName;
    h->port = serverPort;
    h->flags = flags;
    SetLastError(ERROR_SUCCESS);
    return HandleTable::Instance().Add(std::move(h), hInternet);
}

HINTERNET HttpOpenRequestA(HINTERNET hConnect, const char* verb, const char* objectName, const char*,
                           const char*, const char**, DWORD flags, DWORD_PTR) {
    std::shared_ptr<InternetHandle> connection = Lookup(hConnect, Kind::Connection);
    if (!connection) return nullptr;
    auto h = std::make_shared<InternetHandle>(Kind::Request);
    h->stopFlag = connection->stopFlag.load();
    h->connection = connection;
    h->session = connection->session;
    h->verb = verb && *verb ? verb : "GET";
    h->object = objectName && *objectName ? objectName : "/";
    if (h->object[0] != '/') h->object.insert(0, "/");
    h->flags = flags;
    SetLastError(ERROR_SUCCESS);
    return HandleTable::Instance().Add(std::move(h), hConnect);
}

BOOL HttpSendRequestExA(HINTERNET hRequest, INTERNET_BUFFERSA* buffersIn, INTERNET_BUFFERSA*, DWORD, DWORD_PTR) {
    std::shared_ptr<InternetHandle> h = Lookup(hRequest, Kind::Request);
    if (!h) return FALSE;
    std::lock_guard<std::mutex> lock(h->call);
    if (h->transfer || !h->connection) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);  // sent already

    bool secure = (h->flags & INTERNET_FLAG_SECURE) != 0;
    INTERNET_PORT port = h->connection->port;
    if (port == 0) port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    std::string host = h->connection->server;
    if (host.find(':') != std::string::npos && host[0] != '[') host = "[" + host + "]";

    Transfer::Options o;
    o.url = inet::EscapeUrl((secure ? "https://" : "http://") + host + ":" + std::to_string(port) + h->object);
    o.agent = h->session->agent;
    o.direct = h->session->direct;
    o.verb = h->verb;
    o.followRedirects = false;
    o.noCache = (h->flags & INTERNET_FLAG_PRAGMA_NOCACHE) != 0;
    o.upload = true;
    const char* first = nullptr;
    DWORD firstLength = 0;
    if (buffersIn) {
        o.uploadSize = buffersIn->dwBufferTotal;
        o.extraHeaders = HeaderText(buffersIn->lpcszHeader, buffersIn->dwHeadersLength);
        first = static_cast<const char*>(buffersIn->lpvBuffer);
        firstLength = first ? buffersIn->dwBufferLength : 0;
        if (firstLength > buffersIn->dwBufferTotal) return Fail(ERROR_INVALID_PARAMETER);
    }
    h->transfer = NewTransfer(h.get());
    if (!h->transfer->Start(o)) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    Transfer::Wait how = h->transfer->WaitForUploadStart();
    if (how != Transfer::Wait::Ready) return Fail(WaitError(*h->transfer, how));
    if (firstLength) {
        how = h->transfer->Write(first, firstLength);
        if (how != Transfer::Wait::Ready) return Fail(WaitError(*h->transfer, how));
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL InternetWriteFile(HINTERNET hFile, const void* buffer, DWORD toWrite, DWORD* written) {
    if (written) *written = 0;
    std::shared_ptr<InternetHandle> h = Lookup(hFile, Kind::Request);
    if (!h) return FALSE;
    if (!written || (!buffer && toWrite)) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(h->call);
    if (!h->transfer || !h->connection) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    Transfer& t = *h->transfer;
    if (int64_t(toWrite) > t.UploadSize() - t.Uploaded()) return Fail(ERROR_INVALID_PARAMETER);
    Transfer::Wait how = t.Write(static_cast<const char*>(buffer), toWrite);
    if (how != Transfer::Wait::Ready) return Fail(WaitError(t, how));
    *written = toWrite;
    return TRUE;
}

BOOL HttpEndRequestA(HINTERNET hRequest, INTERNET_BUFFERSA*, DWORD, DWORD_PTR) {
    std::shared_ptr<InternetHandle> h = Lookup(hRequest, Kind::Request);
    if (!h) return FALSE;
    std::lock_guard<std::mutex> lock(h->call);
    if (!h->transfer || !h->connection) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    Transfer& t = *h->transfer;
    if (t.Uploaded() != t.UploadSize()) return Fail(ERROR_INVALID_PARAMETER);  // body shorter than declared
    Transfer::Wait how = t.EndUpload();
    if (how != Transfer::Wait::Ready) return Fail(WaitError(t, how));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET hRequest, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) {
    std::shared_ptr<InternetHandle> h = Lookup(hRequest, Kind::Request);
    if (!h) return FALSE;
    if (!bufferLength || index) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(h->call);
    if (!h->transfer) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);

    int64_t value = 0;
    switch (infoLevel & ~HTTP_QUERY_FLAG_NUMBER) {
        case HTTP_QUERY_STATUS_CODE:
            value = h->transfer->StatusCode();
            if (value <= 0) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
            break;
        case HTTP_QUERY_CONTENT_LENGTH:
            value = h->transfer->ContentLength();
            if (value < 0) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }

    if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
        if (*bufferLength < sizeof(DWORD)) {
            *bufferLength = sizeof(DWORD);
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
        DWORD number = value > 0xFFFFFFFFll ? 0xFFFFFFFFu : DWORD(value);
        std::memcpy(buffer, &number, sizeof number);
        *bufferLength = sizeof number;
        return TRUE;
    }
    std::string text = std::to_string(value);
    if (!buffer || *bufferLength < text.size() + 1) {
        *bufferLength = DWORD(text.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *bufferLength = DWORD(text.size());
    return TRUE;
}
