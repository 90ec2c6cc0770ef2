#include "viewer/document/FetchedFile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>

#include "viewer/document/AddressParameters.h"
#include "viewer/document/VrViewerDoc.h"

namespace fs = std::filesystem;

namespace {

bool StartsNoCase(const std::string& s, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= s.size()) return false;
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Unpacks the gzip file src into dst (made anew); false when src is not
// whole gzip data or dst cannot be written.
bool Gunzip(const std::string& src, const std::string& dst) {
    gzFile in = gzopen(src.c_str(), "rb");
    if (!in) return false;
    std::ofstream out(dst, std::ios::binary | std::ios::trunc);
    bool ok = bool(out);
    char buf[16384];
    bool first = true;
    while (ok) {
        int n = gzread(in, buf, sizeof buf);
        if (n < 0) {
            ok = false;
            break;
        }
        // Data that is not gzip would be copied as it stands.
        if (first && gzdirect(in)) ok = false;
        first = false;
        if (n == 0 || !ok) break;
        out.write(buf, n);
        ok = bool(out);
    }
    if (gzclose_r(in) != Z_OK) ok = false;
    out.close();
    return ok && !out.fail();
}

}  // namespace

// ------------------------------------------------------------ FetchedFile

FetchedFile::FetchedFile(CVrViewerDoc* doc, const String8& url, int compressed, int embedded,
                         const String8& fullAddress)
    : m_pDoc(doc), m_url(url), m_compressed(compressed), m_embedded(embedded), m_fullAddress(fullAddress) {
    sys::TempFile temp = sys::CreateTempFile(sys::GetTempPath(), "hpp");
    if (temp.path.empty()) return;
    m_sink.open(temp.path, std::ios::binary | std::ios::trunc);
    if (!m_sink) {
        ::unlink(temp.path.c_str());
        return;
    }
    m_lock = std::move(temp.lock);
    m_tempFileName = temp.path.c_str();
}

FetchedFile::~FetchedFile() {
    if (m_sink.is_open()) m_sink.close();
    m_lock.Release();
    if (m_tempFileName.GetLength() > 0) ::unlink(m_tempFileName.c_str());
}

void FetchedFile::Write(const char* data, int length) {
    if (m_tempFileName.GetLength() == 0 || !m_sink.is_open() || length <= 0) return;
    m_sink.write(data, length);
    m_sink.flush();
}

void FetchedFile::Close() {
    if (m_tempFileName.GetLength() == 0) return;
    if (m_sink.is_open()) m_sink.close();
    if (m_compressed) {
        if (!Unpack()) return;
    }
    {
        std::lock_guard<std::mutex> lock(m_copyLock);
        m_localCopy = m_tempFileName;
    }
    SetComplete(1);
}

void FetchedFile::Reopen() {
    if (m_tempFileName.GetLength() == 0) return;
    if (m_sink.is_open()) m_sink.close();
    m_sink.open(m_tempFileName.c_str(), std::ios::binary | std::ios::trunc);
}

void FetchedFile::CompleteWith(const String8& path) {
    // The file itself serves: no copy is needed.
    if (m_sink.is_open()) m_sink.close();
    m_lock.Release();
    if (m_tempFileName.GetLength() > 0) ::unlink(m_tempFileName.c_str());
    m_tempFileName = String8();
    {
        std::lock_guard<std::mutex> lock(m_copyLock);
        m_localCopy = path;
    }
    SetComplete(1);
}

String8 FetchedFile::GetLocalCopy() const {
    std::lock_guard<std::mutex> lock(m_copyLock);
    return m_localCopy;
}

bool FetchedFile::Unpack() {
    // The unpacked data is made under a name the temporary clean-up does not
    // match, locked, and then put in place of the packed data.
    const std::string packed = m_tempFileName.c_str();
    const std::string part = packed + ".part";
    bool ok = Gunzip(packed, part);
    sys::FileShareLock lock;
    if (ok) {
        lock = sys::FileShareLock::TryAcquire(part, sys::FileShareLock::Mode::Shared);
        ok = lock && std::rename(part.c_str(), packed.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(part.c_str());
        // An empty copy for whoever writes the entry again.
        m_sink.open(packed, std::ios::binary | std::ios::trunc);
        return false;
    }
    m_lock = std::move(lock);
    return true;
}

// -------------------------------------------------------- FetchedFileList

String8 FetchedFileList::NormalizeUrl(const String8& url) {
    const int n = url.GetLength();
    if (n > 3) {
        const char* s = url.c_str();
        if (s[n - 3] == '.' && (s[n - 2] == 'g' || s[n - 2] == 'G') && (s[n - 1] == 'z' || s[n - 1] == 'Z'))
            return String8(std::string(s, size_t(n - 3)).c_str());
    }
    return url;
}

std::string FetchedFileList::LocalFolder(const Place& place) {
    std::string path;
    if (StartsNoCase(place.address, "file://")) path = LocalPathOfAddress(place.address);
    else if (!place.servedInBrowser) path = place.address;
    if (path.empty()) return std::string();
    std::error_code ec;
    fs::path folder = fs::absolute(fs::path(path), ec).parent_path();
    if (ec) return std::string();
    std::string out = folder.lexically_normal().string();
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

std::string FetchedFileList::ResolveName(const Place& place, const std::string& name) {
    if (name.empty()) return std::string();
    if (IsWebAddress(name)) return name;
    const std::string folder = LocalFolder(place);
    if (!folder.empty()) {
        if (name[0] == '/') return name;
        const fs::path rel = fs::path(name).lexically_normal();
        // Nothing outside the document's own folder.
        if (rel.empty() || *rel.begin() == "..") return std::string();
        return folder + rel.string();
    }
    // A web document: its folder is the address up to its last '/'.
    const std::string& a = place.address;
    const size_t scheme = a.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t pathStart = a.find('/', hostStart);
    if (name[0] == '/') return (pathStart == std::string::npos ? a : a.substr(0, pathStart)) + name;
    if (pathStart == std::string::npos) return a + "/" + name;
    return a.substr(0, a.rfind('/') + 1) + name;
}

void FetchedFileList::AddEmbeddedUrl(const String8& url) {
    const String8 key = NormalizeUrl(url);
    std::lock_guard<std::mutex> lock(m_lock);
    for (const String8& e : m_embedded)
        if (e == key) return;
    m_embedded.push_back(key);
}

int FetchedFileList::IsEmbeddedUrl(const String8& url) const {
    const String8 key = NormalizeUrl(url);
    std::lock_guard<std::mutex> lock(m_lock);
    for (const String8& e : m_embedded)
        if (e == key) return 1;
    return 0;
}

FetchedFile* FetchedFileList::Find(CVrViewerDoc* doc, const Place& place, const String8& url, int create) {
    if (url.GetLength() == 0) return nullptr;
    String8 key = NormalizeUrl(url);
    const int compressed = key.GetLength() < url.GetLength() ? 1 : 0;
    const int embedded = place.allEmbedded || IsEmbeddedUrl(key) ? 1 : 0;
    if (!embedded) key = url;
    std::lock_guard<std::mutex> lock(m_lock);
    for (const auto& e : m_entries)
        if (e->GetUrl() == key) return e.get();
    std::string full = ResolveName(place, key.c_str());
    bool beside = false;
    if (!embedded) {
        if (full.empty()) return nullptr;  // refused
        beside = !LocalFolder(place).empty() && IsRegularFile(full);
    } else if (!create) {
        return nullptr;
    } else if (full.empty()) {
        full = key.c_str();
    }
    auto entry = std::make_unique<FetchedFile>(doc, key, compressed, embedded, String8(full.c_str()));
    entry->m_index = m_count++;
    // A packed file beside the document is read and unpacked like a fetched one.
    if (beside && !compressed) entry->CompleteWith(String8(full.c_str()));
    m_entries.push_back(std::move(entry));
    return m_entries.back().get();
}

int FetchedFileList::AreComplete() const {
    std::lock_guard<std::mutex> lock(m_lock);
    for (const auto& e : m_entries)
        if (!e->IsComplete()) return 0;
    return 1;
}

std::vector<FetchedFile*> FetchedFileList::Entries() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<FetchedFile*> out;
    out.reserve(m_entries.size());
    for (const auto& e : m_entries) out.push_back(e.get());
    return out;
}

int FetchedFileList::GetCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_count;
}

void FetchedFileList::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_entries.clear();
    m_embedded.clear();
    m_count = 0;
}
