// The document's side files: the list of FetchedFile entries the reader's
// specials name, the names carried inside the document, and where the
// drawer reads a picture's bytes from.
#include <unistd.h>

#include <cstring>
#include <strings.h>

#include "viewer/app/FetchedFile.h"
#include "viewer/app/VrViewerDoc.h"

String8 CVrViewerDoc::NormalizeUrl(const String8& url) {
    const int n = url.GetLength();
    if (n > 3 && strcasecmp(url.c_str() + n - 3, ".gz") == 0) return String8(std::string(url.c_str(), size_t(n - 3)).c_str());
    return url;
}

void CVrViewerDoc::AddEmbeddedUrl(const String8& url) {
    const String8 key = NormalizeUrl(url);
    std::lock_guard<std::mutex> lock(m_sideLock);
    for (const String8& u : m_embeddedUrls)
        if (u == key) return;
    m_embeddedUrls.push_back(key);
}

int CVrViewerDoc::IsEmbeddedUrl(const String8& url) {
    const String8 key = NormalizeUrl(url);
    std::lock_guard<std::mutex> lock(m_sideLock);
    for (const String8& u : m_embeddedUrls)
        if (u == key) return 1;
    return 0;
}

std::string CVrViewerDoc::LocalFolder() const {
    std::string address = m_address.c_str();
    if (strncasecmp(address.c_str(), "file://", 7) == 0) address = LocalPathOfAddress(address);
    else if (m_servedInBrowser) return "";
    const size_t slash = address.find_last_of("/\\");
    if (slash == std::string::npos) return "./";
    return address.substr(0, slash + 1);
}

namespace {

// A name beside the local document; absolute names stand as they are.
std::string Beside(const std::string& folder, const char* name) {
    if (!name || !*name) return "";
    if (name[0] == '/') return name;
    return folder.empty() ? std::string() : folder + name;
}

}  // namespace

FetchedFile* CVrViewerDoc::FindFetchedFile(const String8& url, int create) {
    if (url.GetLength() == 0) return nullptr;
    String8 key = NormalizeUrl(url);
    const int compressed = key.GetLength() < url.GetLength();
    const int embedded = m_allFilesEmbedded.load() || IsEmbeddedUrl(key);
    if (!embedded) key = url;
    std::lock_guard<std::mutex> lock(m_sideLock);
    for (const auto& f : m_fetchedFiles)
        if (f->GetUrl() == key) return f.get();
    // Carried inside the document: made only by the writer of its data.
    if (embedded && !create) return nullptr;
    int beside = 0;
    if (!embedded) {
        const std::string path = Beside(LocalFolder(), url.c_str());
        beside = !path.empty() && ::access(path.c_str(), F_OK) == 0;
    }
    auto file = std::make_unique<FetchedFile>(this, key, compressed, 0);
    file->SetIndex(m_fetchedFileCount++);
    file->SetEmbedded(embedded);
    file->SetComplete(beside);
    m_fetchedFiles.push_back(std::move(file));
    return m_fetchedFiles.back().get();
}

int CVrViewerDoc::AreFetchedFilesComplete() {
    std::lock_guard<std::mutex> lock(m_sideLock);
    for (const auto& f : m_fetchedFiles)
        if (!f->IsComplete()) return 0;
    return 1;
}

void CVrViewerDoc::ClearFetchedFiles() {
    std::lock_guard<std::mutex> lock(m_sideLock);
    m_fetchedFiles.clear();
    m_fetchedFileCount = 0;
    m_embeddedUrls.clear();
    m_allFilesEmbedded.store(0);
}

std::string CVrViewerDoc::PictureSourcePath(const String8& name) {
    // A side file filled from the document or the web: its local copy. One
    // that lies beside a local document is read there, where it is whole
    // from the start.
    FetchedFile* file = FindFetchedFile(name, 0);
    const std::string beside = Beside(LocalFolder(), name.c_str());
    if (file && file->IsEmbedded()) return file->IsComplete() ? file->GetTempFileName() : std::string();
    if (!beside.empty() && ::access(beside.c_str(), R_OK) == 0) return beside;
    if (file && file->IsComplete()) return file->GetTempFileName();
    return "";
}
