#include "dvilib/VrDviFont.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "dvilib/VrDviError.h"
#include "platform/kpathsea/KPathSea.h"

namespace {

// Fonts being loaded on this thread, outermost first: a virtual font that
// (through any chain) defines a font of a name being loaded is a cycle.
thread_local std::vector<String8> g_loading;

bool Opens(const String8& path) {
    std::ifstream f(path.c_str(), std::ios::binary);
    return f.is_open();
}

String8 Join(const String8& folder, const String8& file) {
    if (folder.GetLength() == 0 || folder[folder.GetLength() - 1] == '/') return folder + file;
    return folder + String8("/") + file;
}

} // namespace

long VrDvi::Tfmifstream::FileSize() {
    if (!is_open()) return -1;
    std::streampos at = tellg();
    seekg(0, std::ios::end);
    long size = long(tellg());
    clear();
    seekg(at);
    return size;
}

VrDvi::ItrnFont::ItrnFont(VrDvi* owner, const String8& area, const String8& name, unsigned size)
    : owner(owner), area(area), name(name), scaledSize(int(size)), textLayout(vrcodes::FontTextOf(name.c_str())) {}

int VrDvi::GetHashCode(const String8& name) {
    int h = 12;
    for (int i = 0; i < name.GetLength(); ++i) {
        h = (2 * h + static_cast<signed char>(name[i])) % kHashSize;
        if (h < 0) h += kHashSize;
    }
    return h;
}

VrDvi::ItrnFont* VrDvi::LoadItrnFont(const String8& area, const String8& name, int scaledSize,
                                     unsigned designSize) {
    // A definition of size 0 or less means the design size, turned; the
    // font is shared by its effective size and turn.
    unsigned size = scaledSize < 1 ? designSize : unsigned(scaledSize);
    unsigned rotation = scaledSize > 0 ? 0 : 900;
    int bucket = GetHashCode(name);
    for (ItrnFont* f = hash_[bucket].load(std::memory_order_acquire); f; f = f->next)
        if (f->scaledSize == int(size) && f->rotation == rotation && f->name == name) return f;

    ItrnFont* font = new ItrnFont(this, area, name, size);
    font->rotation = rotation;
    if (!LoadFontFiles(font)) {
        delete font;
        return nullptr;
    }
    // Linked only once complete, so a walk on another thread never sees a
    // half-made font.
    font->id = nFont_.load(std::memory_order_relaxed);
    font->next = hash_[bucket].load(std::memory_order_relaxed);
    hash_[bucket].store(font, std::memory_order_release);
    nFont_.store(font->id + 1, std::memory_order_release);
    return font;
}

// Finds the metric file through the TFM folders (".ofm" before ".tfm" in
// each) and then kpathsea, reads it, then reads the font's VF file when a VF
// folder holds one, and sets the faces from the TrueType map.
int VrDvi::LoadFontFiles(ItrnFont* font) {
    const String8& name = font->name;
    // TeX's scaler handles sizes below 2048 pt only.
    if (font->scaledSize <= 0 || font->scaledSize >= (1 << 27)) {
        VrDviReportError((String8("font ") + name + String8(": the size is out of range")).c_str());
        return 0;
    }
    if (int(g_loading.size()) >= ItrnFont::kMaxVfDepth) {
        VrDviReportError((String8("font ") + name + String8(": virtual fonts nest too deeply")).c_str());
        return 0;
    }
    for (const String8& n : g_loading)
        if (n == name) {
            VrDviReportError((String8("font ") + name + String8(": a virtual font refers to itself")).c_str());
            return 0;
        }

    String8 path;
    for (auto it = tfmPaths_.Begin(); !it.AtEnd() && path.IsNull(); it.Next()) {
        for (const char* ext : {".ofm", ".tfm"}) {
            String8 p = Join(it.Value(), name + String8(ext));
            if (Opens(p)) {
                path = p;
                break;
            }
        }
    }
    if (path.IsNull() && kpse_) {
        if (const char* found = kpse_->KPSEFindTfm((name + String8(".tfm")).c_str())) path = String8(found);
    }
    if (path.IsNull()) {
        VrDviReportError((String8("font ") + name + String8(": no metric file found")).c_str());
        return 0;
    }
    if (!font->LoadTfm(path)) return 0;

    String8 vf;
    for (auto it = vfPaths_.Begin(); !it.AtEnd() && vf.IsNull(); it.Next()) {
        String8 p = Join(it.Value(), name + String8(".vf"));
        if (Opens(p)) vf = p;
    }
    // TeX's own virtual fonts (PSNFSS's T1 and math fonts over their raw
    // fonts ...) for fonts the map names no face for: a mapped font is drawn
    // by its face.
    if (vf.IsNull() && kpse_ && !(ttfMap_ && ttfMap_->GetEntry(name))) {
        if (const char* found = kpse_->KPSEFindVf((name + String8(".vf")).c_str())) vf = String8(found);
    }
    if (!vf.IsNull()) {
        g_loading.push_back(name);
        try {
            font->LoadVf(vf);
        } catch (...) {
            g_loading.pop_back();
            throw;
        }
        g_loading.pop_back();
    }
    font->LoadTTFInfo(ttfMap_);
    return 1;
}

int VrDvi::ItrnFont::Refuse(const char* why) {
    VrDviReportError((source + String8(": ") + String8(why)).c_str());
    return 0;
}

int VrDvi::ItrnFont::GetCharWidthA(unsigned c) const {
    int s = Slot(c);
    return s < 0 ? 0 : widths[charIndex[size_t(s)]];
}

int VrDvi::ItrnFont::GetCharHeight(unsigned c) const {
    int s = Slot(c);
    return s < 0 ? 0 : heights[heightIndex[size_t(s)]];
}

int VrDvi::ItrnFont::GetCharDepth(unsigned c) const {
    int s = Slot(c);
    return s < 0 ? 0 : depths[depthIndex[size_t(s)]];
}

int VrDvi::ItrnFont::GetCharItalic(unsigned c) const {
    int s = Slot(c);
    return s < 0 ? 0 : italics[italicIndex[size_t(s)]];
}

const char* VrDvi::ItrnFont::GetLigatureLetters(unsigned c) const {
    auto it = std::lower_bound(ligatureLetters.begin(), ligatureLetters.end(), c,
                               [](const auto& entry, unsigned code) { return entry.first < code; });
    return it != ligatureLetters.end() && it->first == c ? it->second.c_str() : nullptr;
}

const unsigned char* VrDvi::ItrnFont::GetCharPacket(unsigned c) const {
    int s = Slot(c);
    if (s < 0 || packetOffset.empty() || packetOffset[size_t(s)] < 0) return nullptr;
    return packetData.data() + packetOffset[size_t(s)];
}

int VrDvi::ItrnFont::GetCharPacketLength(unsigned c) const {
    int s = Slot(c);
    if (s < 0 || packetOffset.empty() || packetOffset[size_t(s)] < 0) return 0;
    return packetLength[size_t(s)];
}

VrDvi::ItrnFont* VrDvi::ItrnFont::GetLocalFont(unsigned k) const {
    auto it = std::lower_bound(localFonts.begin(), localFonts.end(), k,
                               [](const std::pair<unsigned, ItrnFont*>& e, unsigned key) { return e.first < key; });
    return it != localFonts.end() && it->first == k ? it->second : nullptr;
}

void VrDvi::ItrnFont::LoadTTFInfo(const VrDviTTFMap* map) {
    if (const VrDviTTFMap::Entry* e = map ? map->GetEntry(name) : nullptr) {
        auto fill = [this](TTFInfo& out, const VrDviTTFMap::TTFInfo& in) {
            auto scale = [this](double f) {
                double v = double(scaledSize) * f;
                return v >= double(INT_MAX) ? INT_MAX : v <= double(INT_MIN) ? INT_MIN : int(v);
            };
            out.faceName = in.fontName;
            out.height = scale(in.height);
            out.averageWidth = scale(in.averageWidth);
            out.vAdjustment = scale(in.vAdjustment);
            out.weight = in.weight;
            out.italic = in.italic;
            out.slant = in.slant;
        };
        encoding = e->encoding;
        fill(sbcInfo, e->sbc);
        if (e->dbcEnabled) fill(dbcInfo, e->dbc);
    }
    xSeriesFontIndex = 1;
    if (encoding == VrDviTTFMap::EncXHanUnicode || encoding == VrDviTTFMap::EncXHanjaUnicode ||
        encoding == VrDviTTFMap::EncXSymbUnicode) {
        int i = name.GetLength();
        while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
        long long v = 0;
        for (; i < name.GetLength(); ++i) v = std::min<long long>(v * 10 + (name[i] - '0'), INT_MAX);
        if (v > 1) xSeriesFontIndex = int(v);
    }
}

VrDvi::ItrnFont::Scaler::Scaler(int z) {
    // TeX's scaler: z is halved until it fits 23 bits, alpha and beta keep
    // the product exact to the last unit TeX keeps.
    if (z <= 0 || z >= (1 << 27)) z = 1;
    int alpha = 16;
    while (z >= (1 << 23)) {
        z /= 2;
        alpha += alpha;
    }
    beta_ = 256 / alpha;
    alpha_ = alpha * z;
    z_ = z;
}

int VrDvi::ItrnFont::Scaler::operator()(int32_t fixWord) const {
    uint32_t u = uint32_t(fixWord);
    int64_t b0 = int8_t(u >> 24), b1 = (u >> 16) & 0xff, b2 = (u >> 8) & 0xff, b3 = u & 0xff;
    int64_t sw = ((((b3 * z_) / 256) + (b2 * z_)) / 256 + (b1 * z_)) / beta_;
    // b0 is 0 or 255 (-1) in a metric file; other values (VF distances
    // beyond 16 design sizes) count by their sign as well.
    int64_t v = sw + b0 * int64_t(alpha_);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
}

VrDvi::ItrnFontItr::ItrnFontItr(VrDvi& dvi) : dvi_(&dvi) {
    FirstFrom(0);
}

void VrDvi::ItrnFontItr::FirstFrom(int bucket) {
    cur_ = nullptr;
    for (bucket_ = bucket; bucket_ < kHashSize; ++bucket_) {
        cur_ = dvi_->hash_[bucket_].load(std::memory_order_acquire);
        if (cur_) return;
    }
}

VrDvi::ItrnFontItr& VrDvi::ItrnFontItr::operator++() {
    if (!cur_) return *this;
    if (cur_->next) cur_ = cur_->next;
    else FirstFrom(bucket_ + 1);
    return *this;
}
