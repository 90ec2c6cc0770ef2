// Whether a face is installed, asked of the font catalog without opening any
// font file: cheap enough for the hundreds of faces a font map names.
#pragma once

namespace FontEngine {
// True when the catalog has a face of that family or PostScript name
// (matched case-insensitively).
bool HasFace(const char* family);
}  // namespace FontEngine
