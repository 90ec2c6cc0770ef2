// The page view's pointer rules that need no window: the auto-scroll
// direction of a drag, and where a DVI link leads.
#pragma once

#include <string>

#include "platform/core/Geometry.h"

namespace viewinput {

// 0 inside rect; 1 left, 2 above, 3 right, 4 below, 5 above-left,
// 6 below-left, 7 above-right, 8 below-right (right and bottom edges
// belong outside).
int ScrollDirection(POINT point, const RECT& rect);

// A link target that is not a tag of the document, as an address: a target
// without ':' is taken relative to the document's address (up to its last
// '/' or '\').
std::string LinkAddress(const std::string& target, const std::string& documentAddress);

// The address handed to the web browser: a remote document of the viewer's
// own kinds (".dvi", ".dgz", ".vrd", any case) gets its page (1-based) as a
// parameter, with '?' or '&' as the address needs.
std::string BrowserAddress(const std::string& address, int page);

}  // namespace viewinput
