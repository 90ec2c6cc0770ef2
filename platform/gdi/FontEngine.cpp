// The font engine: faces from FontCatalog, instances from FreeType, and a
// cache of instances by LOGFONT so that making the same font again is cheap.
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/FontEngineCache.h"
#include "platform/gdi/FontPresence.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/gdi/FontCatalog.h"
#include "platform/gdi/FontFace.h"
#include "platform/gdi/FontLibrary.h"
#include "platform/gdi/FreeTypeFont.h"
#include "platform/gdi/GlyphCache.h"

namespace {
// Stands in when no face can be opened at all: a plausible cell, no ink.
class EmptyFont final : public FontInstance {
public:
    explicit EmptyFont(const LOGFONT& lf) {
        long long h = lf.lfHeight < 0 ? -(long long)lf.lfHeight : lf.lfHeight;
        if (h <= 0 || h > 4096) h = 16;
        tm_.tmHeight = LONG(h);
        tm_.tmAscent = LONG(h * 4 / 5);
        tm_.tmDescent = tm_.tmHeight - tm_.tmAscent;
        tm_.tmAveCharWidth = std::max<LONG>(1, LONG(h / 2));
        tm_.tmMaxCharWidth = LONG(h);
        tm_.tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
        tm_.tmItalic = lf.lfItalic ? 1 : 0;
    }
    const TEXTMETRIC& Metrics() const override { return tm_; }
    int Advance(WCHAR) const override { return tm_.tmAveCharWidth; }
    void Render(const WCHAR*, int count, const int* dx, Mask& out, int& endX, int& endY) const override {
        out = Mask{};
        long pen = 0;
        for (int i = 0; i < count; ++i) pen += dx ? dx[i] : tm_.tmAveCharWidth;
        endX = int(std::clamp<long>(pen, INT_MIN, INT_MAX));
        endY = 0;
    }

private:
    TEXTMETRIC tm_;
};

std::string FaceName(const char* name) { return std::string(name, strnlen(name, LF_FACESIZE)); }

std::string CacheKey(const LOGFONT& lf) {
    const LONG numbers[] = {lf.lfHeight, lf.lfWidth, lf.lfEscapement, lf.lfWeight,
                            LONG(lf.lfItalic != 0), LONG(lf.lfUnderline != 0), LONG(lf.lfStrikeOut != 0),
                            lf.lfCharSet, lf.lfEmHeight64};
    std::string key(reinterpret_cast<const char*>(numbers), sizeof numbers);
    key += FaceName(lf.lfFaceName);
    return key;
}

FreeTypeFont::Style StyleOf(const FaceRecord& r) { return {r.weight, r.italic, r.korean}; }

std::shared_ptr<FreeTypeFont> MakeFreeType(const FaceRecord& r, const LOGFONT& lf) {
    auto face = FontFace::Open(r.file, r.index);
    if (!face) return nullptr;
    auto font = std::make_shared<FreeTypeFont>(std::move(face), lf, StyleOf(r));
    if (!font->Valid()) return nullptr;
    return font;
}

// A text face without Korean letters borrows them from an installed Korean
// face, as the document's platform links fonts on a Korean system.
std::shared_ptr<const FontInstance> Make(const FaceRecord& r, const LOGFONT& lf) {
    auto font = MakeFreeType(r, lf);
    if (!font || r.korean || r.type1 || font->Metrics().tmCharSet == SYMBOL_CHARSET || font->HasGlyph(0xAC00))
        return font;
    static uint64_t generation = ~uint64_t(0);
    static std::optional<FaceRecord> korean;
    FontCatalog& catalog = FontCatalog::Instance();
    if (generation != catalog.Generation()) {
        generation = catalog.Generation();
        korean = catalog.Fallback("", FW_NORMAL, false, HANGUL_CHARSET);
        if (korean && !korean->korean) korean.reset();
    }
    if (korean)
        if (auto link = MakeFreeType(*korean, lf)) font->SetLink(std::move(link));
    return font;
}

// Resolved instances, most recently used first. Dropping one releases only
// the engine's reference; its glyphs live in the shared pool.
class InstanceCache {
public:
    std::shared_ptr<const FontInstance> Find(const std::string& key, uint64_t generation) {
        if (generation != generation_) {
            order_.clear();
            index_.clear();
            generation_ = generation;
            return nullptr;
        }
        auto it = index_.find(key);
        if (it == index_.end()) return nullptr;
        order_.splice(order_.begin(), order_, it->second);
        return it->second->second;
    }
    void Insert(const std::string& key, std::shared_ptr<const FontInstance> font) {
        ++misses_;
        order_.emplace_front(key, std::move(font));
        index_[key] = order_.begin();
        if (order_.size() > kCapacity) {
            index_.erase(order_.back().first);
            order_.pop_back();
        }
    }

    size_t Size() const { return order_.size(); }
    uint64_t Misses() const { return misses_; }
    static constexpr size_t kCapacity = 64;

private:
    using Entry = std::pair<std::string, std::shared_ptr<const FontInstance>>;
    std::list<Entry> order_;
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    uint64_t generation_ = 0;
    uint64_t misses_ = 0;
};

InstanceCache& Instances() {
    static auto* cache = new InstanceCache;
    return *cache;
}

struct Enumerated {
    LOGFONT lf;
    TEXTMETRIC tm;
};

// The LOGFONT and metrics an enumeration reports for a face, at a 16-pixel em.
bool Describe(const FaceRecord& r, const std::string& name, Enumerated& out) {
    LOGFONT lf;
    lf.lfHeight = -16;
    lf.lfWeight = r.weight;
    lf.lfItalic = r.italic ? 1 : 0;
    auto font = Make(r, lf);
    if (!font) return false;
    out.tm = font->Metrics();
    out.lf = LOGFONT{};
    out.lf.lfHeight = out.tm.tmHeight;
    out.lf.lfWidth = out.tm.tmAveCharWidth;
    out.lf.lfWeight = r.weight;
    out.lf.lfItalic = r.italic ? 1 : 0;
    out.lf.lfCharSet = out.tm.tmCharSet;
    out.lf.lfOutPrecision = 3;   // stroke precision
    out.lf.lfClipPrecision = 2;  // stroke precision
    out.lf.lfQuality = 1;        // draft quality
    out.lf.lfPitchAndFamily = BYTE((r.fixedPitch ? 1 : 2) | (out.tm.tmPitchAndFamily & 0xF0));
    std::strncpy(out.lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    return true;
}

// What Describe gave for each face and name while the catalog stays the same:
// a face is opened once, not at every enumeration (a map file asks for the
// same few families many times). Empty for a face that cannot be made.
struct DescribedFaces {
    uint64_t generation = 0;
    std::unordered_map<std::string, std::optional<Enumerated>> faces;
};

const std::optional<Enumerated>& DescribeOnce(const FaceRecord& r, const std::string& name, uint64_t generation) {
    static auto* described = new DescribedFaces;
    if (described->generation != generation) {
        described->faces.clear();
        described->generation = generation;
    }
    std::string key = r.file;
    key += '\0' + std::to_string(r.index) + '\0' + std::to_string(r.weight) + (r.italic ? "i" : "r") + '\0' + name;
    auto it = described->faces.find(key);
    if (it == described->faces.end()) {
        Enumerated e;
        it = described->faces.emplace(std::move(key), Describe(r, name, e) ? std::optional<Enumerated>(e) : std::nullopt)
                 .first;
    }
    return it->second;
}
}  // namespace

namespace FontEngine {
std::shared_ptr<const FontInstance> Resolve(const LOGFONT& lf) {
    std::lock_guard lock(FontLibrary::Mutex());
    FontCatalog& catalog = FontCatalog::Instance();
    const std::string key = CacheKey(lf);
    if (auto hit = Instances().Find(key, catalog.Generation())) return hit;

    const std::string name = FaceName(lf.lfFaceName);
    const int weight = lf.lfWeight > 0 ? std::min(int(lf.lfWeight), 1000) : FW_NORMAL;
    std::shared_ptr<const FontInstance> font;
    for (const auto& m : catalog.Find(name, weight, lf.lfItalic != 0))
        if ((font = Make(*m.face, lf))) break;
    if (!font)
        if (auto fallback = catalog.Fallback(name, weight, lf.lfItalic != 0, lf.lfCharSet)) font = Make(*fallback, lf);
    if (!font && !name.empty())
        if (auto fallback = catalog.Fallback("", weight, lf.lfItalic != 0, lf.lfCharSet)) font = Make(*fallback, lf);
    if (!font) font = std::make_shared<EmptyFont>(lf);
    Instances().Insert(key, font);
    return font;
}

CacheUsage Usage() {
    std::lock_guard lock(FontLibrary::Mutex());
    CacheUsage u;
    u.instances = Instances().Size();
    u.instanceCapacity = InstanceCache::kCapacity;
    u.resolveMisses = Instances().Misses();
    const GlyphPool& pool = GlyphPool::Shared();
    u.glyphBytes = pool.Bytes();
    u.glyphBudget = pool.Budget();
    u.glyphMisses = pool.Misses();
    return u;
}

void SetGlyphBudget(size_t bytes) {
    std::lock_guard lock(FontLibrary::Mutex());
    GlyphPool::Shared().SetBudget(bytes);
}

int EnumFontFamilies(const char* family, FONTENUMPROC proc, LPARAM data) {
    if (!proc) return 0;
    std::vector<std::pair<FaceRecord, std::string>> matches;
    {
        std::lock_guard lock(FontLibrary::Mutex());
        FontCatalog& catalog = FontCatalog::Instance();
        const bool all = !family || !*family;
        for (const auto& m : all ? catalog.Families() : catalog.Find(family, FW_NORMAL, false))
            matches.emplace_back(*m.face, m.name);
    }
    // Each face is described when the enumeration reaches it (a callback that
    // stops at the first face opens no other), and the callback runs without
    // the lock: it may make fonts or add files.
    int result = 0;
    for (const auto& [face, name] : matches) {
        std::optional<Enumerated> e;
        {
            std::lock_guard lock(FontLibrary::Mutex());
            e = DescribeOnce(face, name, FontCatalog::Instance().Generation());
        }
        if (e && (result = proc(&e->lf, &e->tm, TRUETYPE_FONTTYPE, data)) == 0) break;
    }
    return result;
}

bool HasFace(const char* family) {
    if (!family || !*family) return false;
    std::lock_guard lock(FontLibrary::Mutex());
    return !FontCatalog::Instance().Find(family, FW_NORMAL, false).empty();
}

int AddFontResource(const char* path) {
    std::lock_guard lock(FontLibrary::Mutex());
    return FontCatalog::Instance().AddFile(path);
}

BOOL RemoveFontResource(const char* path) {
    std::lock_guard lock(FontLibrary::Mutex());
    return FontCatalog::Instance().RemoveFile(path) ? TRUE : FALSE;
}
}  // namespace FontEngine
