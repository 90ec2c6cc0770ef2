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
