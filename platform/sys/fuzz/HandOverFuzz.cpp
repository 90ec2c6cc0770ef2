// Reads arbitrary bytes as a hand-over message; an accepted target must be
// acceptable and encode back to the same message.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sys/InstanceLock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view message(reinterpret_cast<const char*>(data), size);
    std::string target;
    if (sys::DecodeHandOverMessage(message, target)) {
        if (!sys::IsHandOverTarget(target) || sys::EncodeHandOverMessage(target) != message) std::abort();
    } else if (!target.empty()) {
        std::abort();
    }
    return 0;
}
