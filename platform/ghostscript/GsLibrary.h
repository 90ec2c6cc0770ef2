// The Ghostscript library, loaded when first needed rather than with the
// program: libgs brings some sixty shared libraries that a DVI page without
// pictures never uses. The gsapi_* entry points the wrapper calls are defined
// in GsLibrary.cpp and forward to the loaded library; each call loads it
// first, and a call while it cannot be loaded fails as Ghostscript's own
// fatal error does.
#pragma once

namespace gslibrary {

// Loads the library once (later calls return the first result). Safe from
// any thread; a call made while another thread loads waits for it.
bool Load();

}  // namespace gslibrary
