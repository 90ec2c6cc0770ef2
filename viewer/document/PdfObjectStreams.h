// The objects a PDF file keeps inside compressed object streams (/Type
// /ObjStm, since PDF 1.5), written out as plain "n 0 obj ... endobj" text so
// that the link scanner sees them as it sees the file's own objects.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The objects of every object stream of `file`, unpacked (FlateDecode, or no
// filter). A stream that is damaged, uses another filter or would unpack to
// more than `limit` bytes is skipped; so are entries whose offsets lie
// outside their stream. Empty when the file has no object stream.
std::string ExpandObjectStreams(std::string_view file, size_t limit = size_t(256) << 20);
