#include "viewer/document/PsConversion.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>

// Ghostscript's text (which a document's own PostScript can write) in pieces
// cut where the first byte says.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t cut = data[0];
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t n = size - 1;
    PsInfoOutputter out;
    for (size_t at = 0; at < n;) {
        const size_t piece = cut ? std::min(cut, n - at) : n - at;
        out.OnText(nullptr, text + at, int(piece));
        at += piece;
    }
    out.Finish();
    ParseThroughCount(std::string(text, n));
    return 0;
}
