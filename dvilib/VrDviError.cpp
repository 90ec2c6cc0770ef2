#include "dvilib/VrDviError.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex& HookLock() {
    static std::mutex m;  // guards Hook()
    return m;
}
VrDviErrorHook& Hook() {
    static VrDviErrorHook h;
    return h;
}
VrDviBusyHook& BusyHook() {
    static VrDviBusyHook h;
    return h;
}
} // namespace

VrDviErrorHook VrDviSetErrorHook(VrDviErrorHook hook) {
    std::lock_guard<std::mutex> g(HookLock());
    VrDviErrorHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

void VrDviReportError(const char* text) {
    VrDviErrorHook h;
    {
        std::lock_guard<std::mutex> g(HookLock());
        h = Hook();
    }
    if (h) h(text ? text : "");
    else std::fprintf(stderr, "VrDviLib: %s\n", text ? text : "");
}

VrDviBusyHook VrDviSetBusyHook(VrDviBusyHook hook) {
    std::lock_guard<std::mutex> g(HookLock());
    VrDviBusyHook old = std::move(BusyHook());
    BusyHook() = std::move(hook);
    return old;
}

void VrDviReportBusy(bool busy) {
    VrDviBusyHook h;
    {
        std::lock_guard<std::mutex> g(HookLock());
        h = BusyHook();
    }
    if (h) h(busy);
}
