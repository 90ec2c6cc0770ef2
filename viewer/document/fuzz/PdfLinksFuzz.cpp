#include "viewer/document/PdfLinks.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
    int depth = 0;
    ScanPdfLinkText(text, &links, &objects, &names, &dests, &depth);
    std::string uri;
    for (const LinkRecord& l : links) {
        FindLinkAtPoint(l.page, l.x0, l.y1, int(links.size()), links.data(), &uri);
        FindLinkAtPoint(l.page, l.x1, l.y0, int(links.size()), links.data(), nullptr);
    }
    ScanPostScriptAnchorText(text, &links);
    return 0;
}
