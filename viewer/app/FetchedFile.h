// FetchedFile: one side file a DVI document names (a picture or another
// included file): a local temporary copy, filled from the document itself
// (files it carries inside its specials), from the web or from the disk.
// A name ending in ".gz" is stored compressed and unpacked when complete.
//
// Threads: entries are made and filled by the document's worker and looked
// up by the drawer on the UI thread; the document's list lock guards the
// list, and the complete flag is published after the copy is whole.
#pragma once

#include <atomic>
#include <fstream>
#include <string>

#include "base/String8.h"
#include "platform/sys/TempFiles.h"

class CVrViewerDoc;

class FetchedFile {
public:
    FetchedFile(CVrViewerDoc* doc, const String8& url, int compressed, int embedded);
    ~FetchedFile();
    FetchedFile(const FetchedFile&) = delete;
    FetchedFile& operator=(const FetchedFile&) = delete;

    // Appends bytes to the copy while it is being filled.
    void Write(const char* data, int length);
    // Ends the filling: unpacks a compressed entry; complete on success.
    void Close();

    int GetIndex() const { return m_index; }
    void SetIndex(int index) { m_index = index; }
    const String8& GetUrl() const { return m_url; }
    const String8& GetFullAddress() const { return m_fullAddress; }
    int IsCompressed() const { return m_compressed; }
    int IsEmbedded() const { return m_embedded; }
    void SetEmbedded(int embedded) { m_embedded = embedded; }
    int IsComplete() const { return m_complete.load(std::memory_order_acquire); }
    void SetComplete(int complete) { m_complete.store(complete, std::memory_order_release); }
    // The local copy ("" when no temporary file could be made).
    const std::string& GetTempFileName() const { return m_tempFileName; }

private:
    bool Unpack();

    CVrViewerDoc* m_pDoc;
    int m_index = 0;
    String8 m_url;
    int m_compressed;
    int m_embedded;
    String8 m_fullAddress;
    std::string m_tempFileName;
    sys::FileShareLock m_lock;
    std::ofstream m_sink;
    std::atomic<int> m_complete{0};
};
