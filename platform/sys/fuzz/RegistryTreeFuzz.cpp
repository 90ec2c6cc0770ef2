// Parses arbitrary registry file text; what was read must write out and read
// back to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/sys/RegistryTree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    sys::RegKey tree = sys::ParseRegistry(text);
    std::string written = sys::FormatRegistry(tree);
    int bad = -1;
    sys::RegKey again = sys::ParseRegistry(written, &bad);
    if (bad != 0 || !(again == tree)) std::abort();
    return 0;
}
