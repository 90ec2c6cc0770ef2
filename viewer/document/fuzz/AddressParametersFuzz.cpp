#include "viewer/document/AddressParameters.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string address(reinterpret_cast<const char*>(data), size);
    AddressParameters p;
    ParseAddressParameters(address, p);
    // A second parse over the first one's fields, as a hyperlink does.
    ParseAddressParameters(p.address + "?" + address, p);
    if (p.address.size() > 2 * address.size() + 1) std::abort();
    for (const HighlightSlot& s : p.highlights) {
        if (s.length < 0 || s.length > kHighlightTextMax || std::strlen(s.text) < size_t(s.length)) std::abort();
        if (s.red < 0 || s.red > 255 || s.green < 0 || s.green > 255 || s.blue < 0 || s.blue > 255) std::abort();
    }
    if (p.magnification != kMagNone && p.magnification != kMagFitWidth && p.magnification != kMagFitPage &&
        (p.magnification <= 0 || p.magnification > kMaxMagPercent * 100))
        std::abort();
    if (p.workspaceColor < 0 || p.workspaceColor > 0x1000000) std::abort();
    if (p.targetTag.size() > size_t(kParamTextMax) || p.windowName.size() > size_t(kParamTextMax)) std::abort();
    return 0;
}
