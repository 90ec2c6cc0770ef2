// EpsPictureCache: the renderings of EPS pictures, kept so that a picture
// drawn again (a redraw, a zoom back, a page turned back) is copied from
// memory instead of being run through Ghostscript once more. A rendering is
// found by a key that holds everything it depends on (the file and its
// contents, the job's size, resolution and depth, the picture's shift); the
// cache is bounded in bytes and drops the least recently used first. One cache
// serves the process; every operation may be called from any thread.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/core/DibTypes.h"

class EpsPictureCache {
public:
    // A rendered picture as a DIB: rows bottom-up, 4-byte aligned.
    struct Rendering {
        BITMAPINFOHEADER header{};
        std::vector<RGBQUAD> palette;
        std::vector<unsigned char> bits;
        size_t Bytes() const { return bits.size() + palette.size() * sizeof(RGBQUAD) + sizeof *this; }
    };

    static EpsPictureCache& Get();

    // The rendering kept under key, now the most recently used; null when none.
    std::shared_ptr<const Rendering> Find(const std::string& key);
    // Keeps the rendering under key, dropping the least recently used ones
    // beyond the limit. One larger than the limit is not kept.
    void Put(const std::string& key, std::shared_ptr<const Rendering> rendering);

    void SetLimit(size_t bytes);
    size_t Limit() const;
    size_t Bytes() const;
    size_t Count() const;
    void Clear();

    static constexpr size_t kDefaultLimit = size_t(64) << 20;

private:
    struct Entry {
        std::string key;
        std::shared_ptr<const Rendering> rendering;
    };
    void TrimLocked();

    mutable std::mutex m_lock;
    size_t m_limit = kDefaultLimit;
    size_t m_bytes = 0;
    std::list<Entry> m_entries; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_index;
};
