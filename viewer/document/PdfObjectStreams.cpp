#include "viewer/document/PdfObjectStreams.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "viewer/document/LinkScanText.h"
#include "viewer/document/PdfLinks.h"

using namespace linkscan;

namespace {

constexpr size_t npos = std::string_view::npos;
// No stream dictionary is this long; a "/ObjStm" further from its "stream"
// keyword is taken for text of something else.
constexpr size_t kMaxDictionary = 4096;

// A non-negative integer of at most 12 digits at *i; -1 when there is none.
long long ReadCount(std::string_view s, size_t* i) {
    *i = SkipWhite(s, *i);
    long long v = 0;
    size_t digits = 0;
    for (; *i < s.size() && s[*i] >= '0' && s[*i] <= '9'; ++*i)
        if (++digits > 12) return -1;
        else v = v * 10 + (s[*i] - '0');
    return digits ? v : -1;
}

// The number behind a keyword of the dictionary; -1 when absent, not a
// non-negative integer, or a reference "n g R".
long long DictNumber(std::string_view dict, std::string_view key) {
    for (size_t from = 0;;) {
        size_t f;
        const size_t r = FindKeyword(dict, from, key, &f);
        if (f == npos) return -1;
        if (!r) {
            from = f + 1;
            continue;
        }
        size_t i = f + r;
        const long long v = ReadCount(dict, &i);
        size_t j = i;
        if (v >= 0 && ReadCount(dict, &j) >= 0) {
            j = SkipWhite(dict, j);
            if (j < dict.size() && dict[j] == 'R') return -1;
        }
        return v;
    }
}

bool Stopped(const std::atomic<int>* stop) { return stop && stop->load(std::memory_order_relaxed); }

// Unpacks a zlib stream, into *out when it is not null, else only counting.
// *produced is the number of bytes unpacked, damaged or not. False when the
// stream is damaged, would exceed `limit`, or `stop` is set.
bool Inflate(std::string_view in, size_t limit, const std::atomic<int>* stop, std::string* out, size_t* produced) {
    *produced = 0;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(std::min<size_t>(in.size(), UINT_MAX));
    unsigned char buf[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (Stopped(stop)) {
            rc = Z_MEM_ERROR;
            break;
        }
        z.next_out = buf;
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        const size_t n = sizeof buf - z.avail_out;
        if (*produced + n > limit) {
            rc = Z_MEM_ERROR;
            break;
        }
        *produced += n;
        if (out) out->append(reinterpret_cast<char*>(buf), n);
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // the data ends before the stream's end
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

// The objects of one unpacked stream: /N pairs "number offset" before
// /First, each object running to the next one's offset.
std::vector<StreamObject> ListObjects(std::string_view data, long long count, long long first) {
    std::vector<StreamObject> objects;
    if (first < 0 || size_t(first) > data.size() || count <= 0) return objects;
    std::string_view head = data.substr(0, size_t(first));
    std::vector<std::pair<long long, size_t>> entries;
    size_t i = 0;
    for (long long k = 0; k < count; ++k) {
        const long long num = ReadCount(head, &i), offset = ReadCount(head, &i);
        if (num < 0 || offset < 0 || num > INT32_MAX) return objects;
        entries.push_back({num, size_t(first) + size_t(offset)});
    }
    for (size_t k = 0; k < entries.size(); ++k) {
        const size_t begin = entries[k].second;
        const size_t end = k + 1 < entries.size() ? entries[k + 1].second : data.size();
        if (begin > end || end > data.size()) continue;
        objects.push_back({int32_t(entries[k].first), begin, end});
    }
    return objects;
}

// The next occurrence of a word at or after `from`, remembered so that
// repeated questions cost the file's length once in all.
class NextWord {
public:
    NextWord(std::string_view file, std::string_view word) : file_(file), word_(word) {}
    size_t From(size_t from) {
        const bool known = searched_ && from >= searchedFrom_ && (found_ == npos || from <= found_);
        if (!known) {
            found_ = file_.find(word_, from);
            searchedFrom_ = from;
            searched_ = true;
        }
        return found_;
    }

private:
    std::string_view file_, word_;
    bool searched_ = false;
    size_t searchedFrom_ = 0, found_ = npos;
};

}  // namespace

bool ForEachObjectStream(std::string_view file, const TakeObjectStream& take, const std::atomic<int>* stop,
                         size_t limit) {
    size_t unpacked = 0;
    NextWord nextStream(file, "stream"), nextEnd(file, "endstream");
    // The last "obj" at or before a position, found walking forward.
    size_t lastObj = npos, objScan = 0;
    auto objBefore = [&](size_t at) {
        for (size_t f; objScan <= at && (f = file.find("obj", objScan)) != npos && f <= at; objScan = f + 1)
            lastObj = f;
        if (objScan <= at) objScan = at + 1;
        return lastObj;
    };
    // A dictionary starts behind the last stream taken: one stream keyword
    // is read once.
    size_t floor = 0;
    for (size_t at = file.find("/ObjStm"); at != npos; at = file.find("/ObjStm", std::max(at + 7, floor))) {
        if (Stopped(stop)) return false;
        const size_t after = at + 7;
        if (after < file.size() && !IsBoundary(file[after])) continue;
        const size_t keyword = nextStream.From(after);
        if (keyword == npos) break;
        if (keyword - after > kMaxDictionary) continue;
        const size_t objAt = objBefore(at);
        if (objAt == npos || objAt < floor || at - objAt > kMaxDictionary) continue;
        floor = keyword + 6;
        std::string_view dict = file.substr(objAt + 3, keyword - objAt - 3);
        size_t tf;
        const size_t tr = FindKeyword(dict, 0, "/Type", &tf);
        if (!tr || !MatchKeyword(dict.substr(tf + tr), "/ObjStm")) continue;
        size_t ff;
        const bool filtered = FindKeyword(dict, 0, "/Filter", &ff) != 0;
        if (filtered && dict.find("/FlateDecode") == npos) continue;
        const long long count = DictNumber(dict, "/N"), first = DictNumber(dict, "/First");
        if (count <= 0 || first < 0) continue;

        size_t begin = keyword + 6;
        if (begin < file.size() && file[begin] == '\r') ++begin;
        if (begin < file.size() && file[begin] == '\n') ++begin;
        const long long length = DictNumber(dict, "/Length");
        size_t end = length >= 0 && size_t(length) <= file.size() - begin ? begin + size_t(length)
                                                                          : nextEnd.From(begin);
        if (end == npos) end = file.size();
        std::string_view raw = file.substr(begin, end - begin);
        std::string data;
        if (filtered) {
            // Counted first, then unpacked into memory of its exact size.
            size_t size = 0;
            const bool sound = Inflate(raw, limit - unpacked, stop, nullptr, &size);
            unpacked += size;
            if (!sound) continue;
            data.reserve(size);
            if (!Inflate(raw, size, stop, &data, &size)) continue;
        } else {
            if (raw.size() > limit - unpacked) continue;
            unpacked += raw.size();
            data.assign(raw);
        }
        const std::vector<StreamObject> objects = ListObjects(data, count, first);
        if (!objects.empty()) take(data, objects);
    }
    return !Stopped(stop);
}
