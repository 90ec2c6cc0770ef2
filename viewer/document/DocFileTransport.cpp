// The local-file transport: the document's file, and its side files, read
// chunk by chunk on the worker thread.
#include "viewer/document/VrViewerDoc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/sys/RegularFile.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/DocFetch.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/view/DocumentView.h"

namespace {

// The string of a file error, by errno.
UINT FileErrorString(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return IDS_FILE_NOT_EXIST;
    case EACCES:
    case EPERM: return IDS_FILE_ACCESS_DENIED;
    case ETXTBSY: return IDS_FILE_SHARING_VIOLATION;
    default: return IDS_FILE_UNKNOWN_ERROR;
    }
}

// Reads until n bytes or the end of the file; -1 on an error.
ssize_t ReadFull(int fd, unsigned char* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::read(fd, buf + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += size_t(r);
    }
    return ssize_t(done);
}

}  // namespace

int CVrViewerDoc::ReadLinkedFileLocal(FetchedFile* entry) {
    if (!entry || m_stopRequested.load()) return 0;
    if (entry->IsComplete()) return 1;
    const std::string path = LocalPathOfAddress(entry->GetFullAddress().c_str());
    if (path.empty()) return 0;
    int64_t size = 0;
    int fd = sys::OpenRegularFile(path, &size);
    if (fd < 0) return 0;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (size == 0) return 0;
    std::unique_ptr<unsigned char[]> buf(new unsigned char[docfetch::kChunkSize]);
    for (;;) {
        if (m_stopRequested.load()) {
            entry->Reopen();
            return 0;
        }
        ssize_t n = ReadFull(fd, buf.get(), docfetch::kChunkSize);
        if (n < 0) {
            entry->Reopen();
            return 0;
        }
        if (n == 0) break;
        entry->Write(reinterpret_cast<const char*>(buf.get()), int(n));
    }
    entry->Close();
    if (entry->IsComplete()) TellFileArrived(entry);
    return entry->IsComplete();
}

int CVrViewerDoc::GetFileData() {
    m_active = 1;
    m_received = 0;
    m_total = 0;
    m_beyondTotal = 0;
    m_stage = 0;
    // Without waiting: a FIFO or device is refused below instead of blocking.
    int fd = ::open(m_localPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        UINT id = FileErrorString(errno);
        return FailRun(AfxLoadString(id), MB_SYSTEMMODAL);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (m_stopRequested.load()) return StopPath();
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return FailRun(AfxLoadString(IDS_FILE_UNKNOWN_ERROR), MB_SYSTEMMODAL);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_total = int64_t(st.st_size);
    if (m_total == 0) {
        m_active = 0;
        ShowBox("File error!!!!", nullptr, MB_SYSTEMMODAL);
        return 0;
    }
    if (!MakeTempFile()) {
        m_active = 0;
        return 0;
    }
    std::unique_ptr<unsigned char[]> buf(new unsigned char[docfetch::kChunkSize]);
    int64_t received = 0;
    while (received < m_total) {
        if (m_stopRequested.load()) return StopPath();
        ssize_t n = ReadFull(fd, buf.get(), docfetch::kChunkSize);
        if (n < 0) {
            UINT id = FileErrorString(errno);
            return FailRun(AfxLoadString(id), MB_SYSTEMMODAL);
        }
        // The file became shorter while it was read: its end is here.
        if (n == 0) break;
        received += n;
        m_received = int(received);
        if (m_stage == 0) {
            Detect d = DetectType(buf.get(), int(n), false);
            if (d == Detect::Ended) return StopPath();
            if (d == Detect::Rejected) {
                CloseTempStream();
                return 0;
            }
            int type = m_docType.load();
            PostView("SetDocType " + std::to_string(type), [type](CDocumentView* v) { v->SetDocType(type); });
            m_stage = 1;
        }
        if (!TakeChunk(buf.get(), int(n), false)) return m_stopRequested.load() ? StopPath() : 0;
    }
    return EndOfData(false);
}
