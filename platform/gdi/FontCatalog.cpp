#include "platform/gdi/FontCatalog.h"

#include <fontconfig/fontconfig.h>
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#include "platform/gdi/FontEngine.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELORAN_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELORAN_LSAN 1
#endif
#endif
#ifdef VELORAN_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {
// Type1 trees of the TeX installations Debian lays out; their faces
// (Computer Modern, the AMS fonts ...) are not in fontconfig's own list.
const char* const kTexType1Dirs[] = {
    "/usr/share/texlive/texmf-dist/fonts/type1",
    "/usr/share/texmf/fonts/type1",
    "/usr/local/share/texmf/fonts/type1",
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    // A face name cut to fit lfFaceName still names its face.
    constexpr size_t kCut = LF_FACESIZE - 1;
    if (a.size() == kCut && b.size() > kCut) b = b.substr(0, kCut);
    if (b.size() == kCut && a.size() > kCut) a = a.substr(0, kCut);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// The Korean faces documents name (in English or Korean, with or without
// the fixed-pitch "Che" form), and the faces of Debian's Korean font packages
// that stand in for them, best first.
struct KoreanFace {
    const char* prefix;
    const char* substitutes[3];
};
const KoreanFace kKoreanFaces[] = {
    {"batang", {"UnBatang", "NanumMyeongjo", nullptr}},
    {"\xEB\xB0\x94\xED\x83\x95", {"UnBatang", "NanumMyeongjo", nullptr}},  // 바탕
    {"myeongjo", {"UnBatang", "NanumMyeongjo", nullptr}},
    {"\xEB\xAA\x85\xEC\xA1\xB0", {"UnBatang", "NanumMyeongjo", nullptr}},  // 명조
    {"dotum", {"UnDotum", "NanumGothic", nullptr}},
    {"\xEB\x8F\x8B\xEC\x9B\x80", {"UnDotum", "NanumGothic", nullptr}},  // 돋움
    {"gulim", {"UnDotum", "NanumGothic", nullptr}},
    {"\xEA\xB5\xB4\xEB\xA6\xBC", {"UnDotum", "NanumGothic", nullptr}},  // 굴림
    {"gungsuh", {"UnGungseo", "UnBatang", "NanumMyeongjo"}},
    {"\xEA\xB6\x81\xEC\x84\x9C", {"UnGungseo", "UnBatang", "NanumMyeongjo"}},  // 궁서
};

const KoreanFace* FindKoreanFace(std::string_view name) {
    for (const KoreanFace& k : kKoreanFaces) {
        const size_t n = std::char_traits<char>::length(k.prefix);
        if (name.size() < n) continue;
        bool same = true;
        for (size_t i = 0; i < n && same; ++i) same = Lower(name[i]) == k.prefix[i];
        if (same) return &k;
    }
    return nullptr;
}

bool LessName(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : SIZE_MAX;
        if (n == SIZE_MAX) return false;
        // A name cut to fit lfFaceName may end inside a character.
        if (s.size() - i - 1 < n) n = s.size() == size_t(LF_FACESIZE - 1) ? s.size() - i - 1 : SIZE_MAX;
        if (n == SIZE_MAX) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

bool GetNumber(FcPattern* p, const char* object, double& out) {
    FcValue v;
    if (FcPatternGet(p, object, 0, &v) != FcResultMatch) return false;
    if (v.type == FcTypeInteger) out = v.u.i;
    else if (v.type == FcTypeDouble) out = v.u.d;
    else return false;  // a range: the default instance of a variable font
    return true;
}

bool GetBool(FcPattern* p, const char* object, bool fallback) {
    FcBool b;
    return FcPatternGetBool(p, object, 0, &b) == FcResultMatch ? b != FcFalse : fallback;
}

std::optional<FaceRecord> RecordOf(FcPattern* p) {
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, FC_FILE, 0, &s) != FcResultMatch) return std::nullopt;
    if (!GetBool(p, FC_SCALABLE, false) || !GetBool(p, FC_OUTLINE, false)) return std::nullopt;
    if (GetBool(p, FC_VARIABLE, false)) return std::nullopt;
    FaceRecord r;
    r.file = reinterpret_cast<const char*>(s);
    int index = 0;
    FcPatternGetInteger(p, FC_INDEX, 0, &index);
    r.index = index;
    for (int n = 0; FcPatternGetString(p, FC_FAMILY, n, &s) == FcResultMatch; ++n)
        r.families.emplace_back(reinterpret_cast<const char*>(s));
    if (r.families.empty()) return std::nullopt;
    if (FcPatternGetString(p, FC_POSTSCRIPT_NAME, 0, &s) == FcResultMatch) r.postscript = reinterpret_cast<const char*>(s);
    double weight = FC_WEIGHT_REGULAR, width = FC_WIDTH_NORMAL;
    FcValue v;
    if (FcPatternGet(p, FC_WEIGHT, 0, &v) == FcResultMatch && !GetNumber(p, FC_WEIGHT, weight)) return std::nullopt;
    GetNumber(p, FC_WIDTH, width);
    r.weight = std::clamp(int(FcWeightToOpenTypeDouble(weight) + 0.5), 100, 900);
    r.width = int(width + 0.5);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(p, FC_SLANT, 0, &slant);
    r.italic = slant != FC_SLANT_ROMAN;
    int spacing = FC_PROPORTIONAL;
    r.fixedPitch = FcPatternGetInteger(p, FC_SPACING, 0, &spacing) == FcResultMatch && spacing >= FC_MONO;
    FcLangSet* langs = nullptr;
    r.korean = FcPatternGetLangSet(p, FC_LANG, 0, &langs) == FcResultMatch &&
               FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ko")) == FcLangEqual;
    r.type1 = FcPatternGetString(p, FC_FONTFORMAT, 0, &s) == FcResultMatch &&
              std::strcmp(reinterpret_cast<const char*>(s), "Type 1") == 0;
    return r;
}

void ListInto(FcConfig* config, std::vector<FaceRecord>& out) {
    FcPattern* all = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_POSTSCRIPT_NAME, FC_WEIGHT, FC_WIDTH,
                                       FC_SLANT, FC_SPACING, FC_SCALABLE, FC_OUTLINE, FC_VARIABLE,
                                       FC_LANG, FC_FONTFORMAT, nullptr);
    if (FcFontSet* set = FcFontList(config, all, os)) {
        for (int i = 0; i < set->nfont; ++i)
            if (auto r = RecordOf(set->fonts[i])) out.push_back(std::move(*r));
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(os);
    FcPatternDestroy(all);
}

// Lower is better: slant first, then width, then weight; Type1 copies of a
// face that also exists as TrueType or CFF come second.
int Distance(const FaceRecord& f, int weight, bool italic) {
    return (f.italic != italic ? 100000 : 0) + std::abs(f.width - 100) * 100 + std::abs(f.weight - weight) * 2 +
           (f.type1 ? 1 : 0);
}

std::string RealPath(const char* path) {
    char buf[PATH_MAX];
    return realpath(path, buf) ? std::string(buf) : std::string();
}
}  // namespace

FontCatalog& FontCatalog::Instance() {
    static auto* catalog = new FontCatalog;
    return *catalog;
}

std::string FontCatalog::FaceNameToUtf8(std::string_view name) {
    if (IsUtf8(name)) return std::string(name);
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == iconv_t(-1)) return std::string(name);
    std::string in(name), out(name.size() * 3 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t srcLeft = in.size(), dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const int error = errno;
    iconv_close(cd);
    // EINVAL: a lead byte without its trail byte at the end of a cut name.
    if (rc == size_t(-1) && error != EINVAL) return std::string(name);
    out.resize(out.size() - dstLeft);
    return out;
}

void FontCatalog::Load() {
    if (loaded_) return;
    loaded_ = true;
#ifdef VELORAN_LSAN
    // fontconfig loses a few bytes while it reads the system's configuration.
    __lsan_disable();
    FcInit();
    __lsan_enable();
#else
    FcInit();
#endif
    ListInto(nullptr, installed_);

    std::string xml =
        "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\"><fontconfig>"
        "<cachedir prefix=\"xdg\">fontconfig</cachedir>";
    bool any = false;
    for (const char* dir : kTexType1Dirs) {
        struct stat st;
        if (stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) {
            xml += std::string("<dir>") + dir + "</dir>";
            any = true;
        }
    }
    xml += "</fontconfig>";
    if (!any) return;
    FcConfig* tex = FcConfigCreate();
    std::vector<FaceRecord> texFaces;
    if (FcConfigParseAndLoadFromMemory(tex, reinterpret_cast<const FcChar8*>(xml.c_str()), FcFalse) &&
        FcConfigBuildFonts(tex))
        ListInto(tex, texFaces);
    FcConfigDestroy(tex);
    // Skip files fontconfig lists already (through another path).
    auto baseName = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
    const size_t systemCount = installed_.size();
    for (FaceRecord& r : texFaces) {
        bool known = false;
        for (size_t i = 0; i < systemCount && !known; ++i)
            known = installed_[i].postscript == r.postscript && baseName(installed_[i].file) == baseName(r.file);
        if (!known) installed_.push_back(std::move(r));
    }
}

template <class F> void FontCatalog::ForEachFace(F&& f) {
    Load();
    for (const AddedFile& a : added_)
        for (const FaceRecord& r : a.faces) f(r);
    // A file added again by the application is listed once.
    for (const FaceRecord& r : installed_)
        if (added_.empty() || std::none_of(added_.begin(), added_.end(),
                                           [&](const AddedFile& a) { return a.realPath == r.file; }))
            f(r);
}

std::vector<FontCatalog::Match> FontCatalog::Find(std::string_view rawName, int weight, bool italic) {
    std::vector<Match> out;
    std::string name = FaceNameToUtf8(rawName);
    if (name.empty()) return out;
    const FaceRecord* byPostScript = nullptr;
    ForEachFace([&](const FaceRecord& r) {
        for (const std::string& family : r.families)
            if (SameName(name, family)) {
                out.push_back({&r, family});
                return;
            }
        if (!r.postscript.empty() && SameName(name, r.postscript) &&
            (!byPostScript || (byPostScript->type1 && !r.type1)))
            byPostScript = &r;
    });
    if (out.empty() && byPostScript) out.push_back({byPostScript, byPostScript->postscript});
    std::stable_sort(out.begin(), out.end(), [&](const Match& a, const Match& b) {
        return Distance(*a.face, weight, italic) < Distance(*b.face, weight, italic);
    });
    return out;
}

std::vector<FontCatalog::Match> FontCatalog::Families() {
    std::vector<Match> out;
    ForEachFace([&](const FaceRecord& r) {
        const std::string& family = r.families.front();
        auto it = std::find_if(out.begin(), out.end(), [&](const Match& m) { return SameName(m.name, family); });
        if (it == out.end()) out.push_back({&r, family});
        else if (Distance(r, FW_NORMAL, false) < Distance(*it->face, FW_NORMAL, false)) it->face = &r;
    });
    std::stable_sort(out.begin(), out.end(), [](const Match& a, const Match& b) { return LessName(a.name, b.name); });
    return out;
}

std::optional<FaceRecord> FontCatalog::Fallback(std::string_view rawName, int weight, bool italic, BYTE charSet) {
    Load();
    std::string name = FaceNameToUtf8(rawName);
    // A Korean face that is not installed: an installed Korean face of the
    // same kind, else any face with Korean letters.
    const KoreanFace* korean = FindKoreanFace(name);
    if (korean)
        for (const char* sub : korean->substitutes) {
            if (!sub) break;
            std::vector<Match> found = Find(sub, weight, italic);
            if (!found.empty()) return *found.front().face;
        }
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.empty() ? "sans-serif" : name.c_str()));
    FcPatternAddDouble(p, FC_WEIGHT, FcWeightFromOpenTypeDouble(weight));
    FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(p, FC_SCALABLE, FcTrue);
    // Western text gets a Latin face whatever the user's language: the
    // locale's own default face may put other letters at Latin codes (the
    // Korean faces' jamo in the private-use area that symbol codes reach).
    const char* lang = charSet == HANGUL_CHARSET || korean ? "ko" : charSet == ANSI_CHARSET ? "en" : nullptr;
    if (lang) FcPatternAddString(p, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    if (!match) return std::nullopt;
    std::optional<FaceRecord> r = RecordOf(match);
    FcPatternDestroy(match);
    if (!r) return std::nullopt;
    for (const FaceRecord& known : installed_)
        if (known.file == r->file && known.index == r->index) return known;
    return r;
}

int FontCatalog::AddFile(const char* path) {
    if (!path || !*path) return 0;
    Load();
    std::string real = RealPath(path);
    if (real.empty()) return 0;
    for (const AddedFile& a : added_)
        if (a.realPath == real) return int(a.faces.size());
    AddedFile added{path, real, {}};
    FcFontSet* set = FcFontSetCreate();
    int count = 0;
    FcFreeTypeQueryAll(reinterpret_cast<const FcChar8*>(real.c_str()), unsigned(-1), nullptr, &count, set);
    for (int i = 0; i < set->nfont; ++i)
        if (auto r = RecordOf(set->fonts[i])) added.faces.push_back(std::move(*r));
    FcFontSetDestroy(set);
    if (added.faces.empty()) return 0;
    int n = int(added.faces.size());
    added_.push_back(std::move(added));
    ++generation_;
    return n;
}

bool FontCatalog::RemoveFile(const char* path) {
    if (!path || !*path) return false;
    std::string real = RealPath(path);
    for (auto it = added_.begin(); it != added_.end(); ++it) {
        if (it->path == path || (!real.empty() && it->realPath == real)) {
            added_.erase(it);
            ++generation_;
            return true;
        }
    }
    return false;
}
