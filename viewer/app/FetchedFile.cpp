#include "viewer/app/FetchedFile.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>

#include "viewer/app/VrViewerDoc.h"

FetchedFile::FetchedFile(CVrViewerDoc* doc, const String8& url, int compressed, int embedded)
    : m_pDoc(doc), m_url(url), m_compressed(compressed), m_embedded(embedded) {
    std::string base = doc ? doc->GetAddress().c_str() : "";
    if (base.rfind("file://", 0) == 0) base = base.substr(7);
    const size_t slash = base.find_last_of("/\\");
    base = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
    m_fullAddress = (base + url.c_str()).c_str();
    const std::string dir = sys::GetTempPath();
    if (dir.empty()) return;
    sys::TempFile temp = sys::CreateTempFile(dir, "hpp");
    if (temp.path.empty()) return;
    m_sink.open(temp.path, std::ios::binary | std::ios::trunc);
    if (!m_sink) {
        ::unlink(temp.path.c_str());
        return;
    }
    m_tempFileName = temp.path;
    m_lock = std::move(temp.lock);
}

FetchedFile::~FetchedFile() {
    if (m_tempFileName.empty()) return;
    if (m_sink.is_open()) m_sink.close();
    m_lock.Release();
    ::unlink(m_tempFileName.c_str());
}

void FetchedFile::Write(const char* data, int length) {
    if (m_tempFileName.empty() || !m_sink.is_open() || length <= 0) return;
    m_sink.write(data, length);
    m_sink.flush();
}

void FetchedFile::Close() {
    if (m_tempFileName.empty() || !m_sink.is_open()) return;
    const bool written = bool(m_sink);
    m_sink.close();
    if (!written) return;
    if (m_compressed && !Unpack()) {
        // Left incomplete, ready to be filled again.
        m_sink.open(m_tempFileName, std::ios::binary | std::ios::trunc);
        return;
    }
    SetComplete(1);
}

// Unpacks the copy in place, through a second temporary file renamed over it.
bool FetchedFile::Unpack() {
    const std::string packed = m_tempFileName + ".gz";
    if (std::rename(m_tempFileName.c_str(), packed.c_str()) != 0) return false;
    bool ok = false;
    if (gzFile in = gzopen(packed.c_str(), "rb")) {
        if (FILE* out = std::fopen(m_tempFileName.c_str(), "wb")) {
            char buf[65536];
            int n = 0;
            ok = true;
            while ((n = gzread(in, buf, sizeof buf)) > 0)
                if (std::fwrite(buf, 1, size_t(n), out) != size_t(n)) ok = false;
            if (n < 0) ok = false;
            if (std::fflush(out) != 0) ok = false;
            if (std::fclose(out) != 0) ok = false;
        }
        gzclose(in);
    }
    if (!ok) {
        std::rename(packed.c_str(), m_tempFileName.c_str());
        return false;
    }
    ::unlink(packed.c_str());
    return true;
}
