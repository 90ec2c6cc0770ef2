// CVrViewerDoc::UploadFile: the file goes to the document's own address, to
// the scheme and port that address names, in 1024-byte pieces.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/inet/ParseUrl.h"
#include "platform/inet/WinInet.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewerStrings.h"

namespace {

void Say(UINT id, unsigned long number = 0) {
    CString text = AfxLoadString(id);
    std::string n = std::to_string(number);
    const char* args[] = {n.c_str()};
    AfxMessageBox(AfxFormatInserts(text.c_str(), args, 1), MB_OK | MB_ICONEXCLAMATION);
}

// The handles of one upload, closed in reverse order on every way out.
struct UploadHandles {
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    int fd = -1;
    ~UploadHandles() {
        if (fd >= 0) ::close(fd);
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (session) InternetCloseHandle(session);
    }
};

}  // namespace

int CVrViewerDoc::UploadFile(const char* localPath) {
    AfxRegisterViewerStrings();
    UploadHandles h;
    // Proxies as libcurl takes them from the environment, as for fetching.
    h.session = InternetOpenA("Veloran Viewer Internet Upload Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                              nullptr, 0);
    if (!h.session) {
        Say(IDS_UPLOAD_CONNECT_FAILED);
        return 0;
    }
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    // The address's own scheme and port: the file never goes in clear to
    // another service than the one the address names.
    if (!AfxParseURL(m_address.c_str(), service, server, object, port) ||
        !(h.connection = InternetConnectA(h.session, server.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                          0, 0))) {
        Say(IDS_UPLOAD_CONNECT_FAILED);
        return 0;
    }
    DWORD flags = service == AFX_INET_SERVICE_HTTPS ? INTERNET_FLAG_SECURE : 0;
    h.request = HttpOpenRequestA(h.connection, "PUT", object.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (!h.request) {
        Say(IDS_UPLOAD_OPEN_REQUEST_FAILED);
        return 0;
    }
    h.fd = localPath ? ::open(localPath, O_RDONLY | O_CLOEXEC) : -1;
    struct stat st;
    // The request declares its length in 32 bits: a larger file cannot go.
    if (h.fd < 0 || ::fstat(h.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > off_t(0xFFFFFFFFu)) {
        Say(IDS_UPLOAD_OPEN_LOCAL_FAILED);
        return 0;
    }
    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.dwBufferTotal = DWORD(st.st_size);
    if (!HttpSendRequestExA(h.request, &buffers, nullptr, HSR_INITIATE, 0)) {
        Say(IDS_UPLOAD_SEND_FAILED, GetLastError());
        return 0;
    }
    char piece[1024];
    for (;;) {
        ssize_t n = ::read(h.fd, piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Say(IDS_UPLOAD_READ_FAILED, (unsigned long)errno);
            return 0;
        }
        DWORD written = 0;
        if (n > 0 && (!InternetWriteFile(h.request, piece, DWORD(n), &written) || written != DWORD(n))) {
            Say(IDS_UPLOAD_WRITE_FAILED, GetLastError());
            return 0;
        }
        if (n < ssize_t(sizeof piece)) break;
    }
    ::close(h.fd);
    h.fd = -1;
    if (!HttpEndRequestA(h.request, nullptr, 0, 0)) {
        Say(IDS_UPLOAD_END_FAILED);
        return 0;
    }
    // An answer that refuses the file (403, 500) is no success.
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoA(h.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status < 200 || status > 299) {
        Say(IDS_UPLOAD_REFUSED, status);
        return 0;
    }
    return 1;
}
