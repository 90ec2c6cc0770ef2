// The objects a PDF file keeps inside compressed object streams (/Type
// /ObjStm, since PDF 1.5), unpacked one stream at a time so that the link
// scanner sees them as it sees the file's own objects.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One object of an unpacked stream: its number and the span of its text.
struct StreamObject {
    int32_t num = 0;
    size_t begin = 0, end = 0;
};

using TakeObjectStream = std::function<void(std::string_view data, const std::vector<StreamObject>& objects)>;

// Calls `take` for each object stream of `file` (FlateDecode, or no filter)
// with the stream unpacked and its objects. A stream that is damaged, uses another filter or would unpack to
// more than what is left of `limit` is skipped; so are entries whose offsets
// lie outside their stream. Every byte unpacked counts against `limit`,
// damaged streams' too, and only one stream is held at a time. The walk is
// linear in the size of the file. False when `stop` was set before the end.
bool ForEachObjectStream(std::string_view file, const TakeObjectStream& take,
                         const std::atomic<int>* stop = nullptr, size_t limit = size_t(256) << 20);
