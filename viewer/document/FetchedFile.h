// The side files of a DVI document (pictures and other files its specials
// name), each with a local copy in the private temporary folder.
//
// FetchedFile is one side file: its lookup key, its full address, and the
// temporary copy that is filled from the web server, from the disk or from
// the document itself. A name ending in ".gz" is stored as it arrives and
// unpacked (zlib) when it is closed. A side file that already lies beside a
// local document is complete at once, with that file as its local copy.
//
// FetchedFileList is the document's one list of side files, with the names
// that travel inside the document. Lookups, inserts and the fetch walk meet
// under the list's lock: the reader's specials and the fetch run on the
// document's worker, the drawer looks files up on the UI thread. Entries live
// until the list is cleared (a new load or the document's end), which happens
// only while no worker runs.
#pragma once

#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/String8.h"
#include "platform/sys/TempFiles.h"

class CVrViewerDoc;

class FetchedFile {
public:
    // Makes the temporary copy ("hpp" prefix) and opens the sink on it; the
    // temporary name stays empty when that fails.
    FetchedFile(CVrViewerDoc* doc, const String8& url, int compressed, int embedded, const String8& fullAddress);
    ~FetchedFile();
    FetchedFile(const FetchedFile&) = delete;
    FetchedFile& operator=(const FetchedFile&) = delete;

    // Appends bytes to the temporary copy; nothing without one.
    void Write(const char* data, int length);
    // Ends the copy: a compressed entry is unpacked, and the entry is
    // complete when that worked. Nothing without a temporary copy.
    void Close();
    // An empty copy again, for a new attempt.
    void Reopen();
    // The entry is complete with `path` as its local copy (a file that is
    // there already).
    void CompleteWith(const String8& path);

    CVrViewerDoc* GetDocument() const { return m_pDoc; }
    int GetIndex() const { return m_index; }
    const String8& GetUrl() const { return m_url; }
    int IsCompressed() const { return m_compressed; }
    int IsEmbedded() const { return m_embedded; }
    void SetEmbedded(int embedded) { m_embedded = embedded; }
    const String8& GetFullAddress() const { return m_fullAddress; }
    const String8& GetTempFileName() const { return m_tempFileName; }
    int IsComplete() const { return m_complete.load(std::memory_order_acquire); }
    void SetComplete(int complete) { m_complete.store(complete ? 1 : 0, std::memory_order_release); }
    // The file that holds the data once the entry is complete: the
    // temporary copy, or the file beside the document.
    String8 GetLocalCopy() const;

private:
    friend class FetchedFileList;
    bool Unpack();

    CVrViewerDoc* m_pDoc;
    int m_index = 0;
    String8 m_url;
    int m_compressed;
    int m_embedded;
    String8 m_fullAddress;
    String8 m_tempFileName;
    std::ofstream m_sink;
    sys::FileShareLock m_lock;
    std::atomic<int> m_complete{0};
    mutable std::mutex m_copyLock;  // guards m_localCopy
    String8 m_localCopy;
};

class FetchedFileList {
public:
    // Where the document is, for resolving side-file names.
    struct Place {
        int servedInBrowser = 0;  // the document came from a web address
        std::string address;      // its address without parameters
        int allEmbedded = 0;      // every side file travels inside it
    };

    // A name longer than three characters ending in ".gz" (any case) loses
    // those three characters.
    static String8 NormalizeUrl(const String8& url);
    // The full address of a side-file name: absolute URLs and paths as they
    // stand, others against the document's folder. Empty (refused) for a name
    // that leaves a local document's folder.
    static std::string ResolveName(const Place& place, const std::string& name);
    // The local folder of a document that lies on this machine, with a
    // trailing '/'; empty for a web document.
    static std::string LocalFolder(const Place& place);

    FetchedFileList() = default;
    ~FetchedFileList() { Clear(); }
    FetchedFileList(const FetchedFileList&) = delete;
    FetchedFileList& operator=(const FetchedFileList&) = delete;

    void AddEmbeddedUrl(const String8& url);
    int IsEmbeddedUrl(const String8& url) const;
    // The entry for url, made when missing (embedded names only when create
    // is set); null when there is none or the name is refused.
    FetchedFile* Find(CVrViewerDoc* doc, const Place& place, const String8& url, int create);
    // 1 when the list is empty or every entry is complete.
    int AreComplete() const;
    // The entries in the order they were made.
    std::vector<FetchedFile*> Entries() const;
    int GetCount() const;
    // Deletes every entry (and its temporary copy) and the embedded names;
    // indexes start at 0 again.
    void Clear();

private:
    mutable std::mutex m_lock;  // guards m_entries, m_embedded and m_count
    std::vector<std::unique_ptr<FetchedFile>> m_entries;
    std::vector<String8> m_embedded;
    int m_count = 0;
};
