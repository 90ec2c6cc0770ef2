// Contents files: parsing any bytes gives a well-formed tree; the folder
// rules take any pair of addresses.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "viewer/view/ContentsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TocData toc = ParseToc(text);
    for (size_t i = 0; i < toc.entries.size(); ++i) {
        const TocEntry& e = toc.entries[i];
        const bool ok = e.parent < int(i) && e.level >= 1 && e.level <= kTocMaxLevel && e.page >= 0 &&
                        e.page <= kTocMaxPage && (e.parent < 0 ? e.level == 1 : e.level == toc.entries[size_t(e.parent)].level + 1);
        if (!ok) abort();
    }
    const size_t cut = size / 2;
    TocAddressInFolder(text.substr(0, cut), text.substr(cut));
    TocAddressBeside(text);
    return 0;
}
