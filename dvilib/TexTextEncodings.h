// The text encodings of LaTeX's fonts as Unicode, for outline faces that are
// reached through their Unicode character map: T1 (the EC and Latin Modern
// "ec-" fonts), TS1 (the TC text symbols and "ts1-" fonts) and OT1 (the
// Latin Modern "rm-" text fonts). 0 for a code whose glyph has no Unicode
// character (the compound-word mark, the "SS" glyph, tie accents ...): such
// a code is not drawn.
#pragma once

#include "dvilib/VrDviApi.h"

namespace vrcodes {

VRDVI_API unsigned short T1ToUnicode(unsigned char code);
VRDVI_API unsigned short TS1ToUnicode(unsigned char code);
VRDVI_API unsigned short OT1ToUnicode(unsigned char code);

} // namespace vrcodes
