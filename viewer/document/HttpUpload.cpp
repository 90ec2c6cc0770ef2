// CVrViewerDoc::UploadFile: the file goes to the document's own address, to
// the scheme and port that address names, in 1024-byte pieces.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/inet/ParseUrl.h"
#include "platform/inet/WinInet.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/VrViewerDoc.h"

namespace {

constexpr UINT IDS_UPLOAD_CONNECT_FAILED = 45600;
constexpr UINT IDS_UPLOAD_OPEN_REQUEST_FAILED = 45601;
constexpr UINT IDS_UPLOAD_OPEN_LOCAL_FAILED = 45602;
constexpr UINT IDS_UPLOAD_SEND_FAILED = 45603;
constexpr UINT IDS_UPLOAD_WRITE_FAILED = 45604;
constexpr UINT IDS_UPLOAD_READ_FAILED = 45605;
constexpr UINT IDS_UPLOAD_END_FAILED = 45606;
constexpr UINT IDS_UPLOAD_REFUSED = 45607;

void RegisterUploadStrings() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const StringTableEntry english[] = {
            {IDS_UPLOAD_CONNECT_FAILED, "Internet connection failed"},
            {IDS_UPLOAD_OPEN_REQUEST_FAILED, "HttpOpenRequest failed"},
            {IDS_UPLOAD_OPEN_LOCAL_FAILED, "Failed to open local file."},
            {IDS_UPLOAD_SEND_FAILED, "Error on HttpSendRequestEx %1\n"},
            {IDS_UPLOAD_WRITE_FAILED, "\nInternetWriteFile failed %1"},
            {IDS_UPLOAD_READ_FAILED, "\nReadFile failed on buffer %1."},
            {IDS_UPLOAD_END_FAILED, "Error on HttpEndRequest."},
            {IDS_UPLOAD_REFUSED, "Error on HttpEndRequest.\nThe server answered %1."},
        };
        static const StringTableEntry korean[] = {
            {IDS_UPLOAD_CONNECT_FAILED, "인터넷 연결에 실패했습니다"},
            {IDS_UPLOAD_OPEN_REQUEST_FAILED, "HttpOpenRequest 실패"},
            {IDS_UPLOAD_OPEN_LOCAL_FAILED, "로컬 파일을 열 수 없습니다."},
            {IDS_UPLOAD_SEND_FAILED, "HttpSendRequestEx 오류 %1\n"},
            {IDS_UPLOAD_WRITE_FAILED, "\nInternetWriteFile 실패 %1"},
            {IDS_UPLOAD_READ_FAILED, "\n버퍼 %1 에서 ReadFile 실패."},
            {IDS_UPLOAD_END_FAILED, "HttpEndRequest 오류."},
            {IDS_UPLOAD_REFUSED, "HttpEndRequest 오류.\n서버 응답 %1."},
        };
        AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
        AfxAddStrings(UiLanguage::Korean, korean, int(sizeof korean / sizeof korean[0]));
    });
}

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
    RegisterUploadStrings();
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
