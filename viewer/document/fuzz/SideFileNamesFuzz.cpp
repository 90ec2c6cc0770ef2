// Side-file names come from the specials of a document: resolved against a
// local and a web document, a local result stays inside the document's
// folder unless the name was absolute.
#include "viewer/document/FetchedFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    FetchedFileList::NormalizeUrl(String8(name.c_str()));
    const FetchedFileList::Place local{0, "/home/u/papers/doc.dvi", 0};
    const FetchedFileList::Place web{1, "http://host/dir/doc.dvi?page=2", 0};
    const std::string full = FetchedFileList::ResolveName(local, name);
    const bool absolute = !name.empty() && (name[0] == '/' || name.find("://") != std::string::npos);
    if (!full.empty() && !absolute && full.rfind("/home/u/papers/", 0) != 0) std::abort();
    if (!absolute && full.find("/../") != std::string::npos) std::abort();
    FetchedFileList::ResolveName(web, name);
    return 0;
}
