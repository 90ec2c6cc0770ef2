// What the document's fetch files share: the chunk size and the caption of
// their message boxes.
#pragma once

namespace docfetch {

constexpr int kChunkSize = 20480;
constexpr const char* kCaption = "Veloran Viewer";

}  // namespace docfetch
