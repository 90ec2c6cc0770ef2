// Error reports of the DVI library. The library shows no message: it hands
// the text to a hook that the application connects (the viewer logs it and
// shows it on the UI thread). Without a hook the text goes to stderr.
// The hook may be called on any thread that uses the library.
#pragma once

#include <functional>

#include "dvilib/VrDviApi.h"

using VrDviErrorHook = std::function<void(const char* text)>;

// Connects the hook and returns the one before; an empty hook restores the
// default.
VRDVI_API VrDviErrorHook VrDviSetErrorHook(VrDviErrorHook hook);
VRDVI_API void VrDviReportError(const char* text);

// Long waits of the library (a picture that Ghostscript converts): the hook
// is called with true before and false after, on the drawing thread; the
// viewer shows the wait cursor meanwhile. Without a hook nothing happens.
using VrDviBusyHook = std::function<void(bool busy)>;

VRDVI_API VrDviBusyHook VrDviSetBusyHook(VrDviBusyHook hook);
VRDVI_API void VrDviReportBusy(bool busy);
