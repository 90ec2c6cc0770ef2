// The reader's handling of specials at scan time: colour stack and
// background, anchors, picture names and the binary font special.
#include <cstring>
#include <string>

#include "dvilib/SharedBlock.h"
#include "dvilib/SpecialScan.h"
#include "dvilib/VrDvi.h"
#include "platform/gdi/FontEngine.h"
#include "platform/sys/NamedBlock.h"

using namespace vrspecial;

namespace {
const char* const kStandardFaces[SharedBlock::kFaceLists] = {
    "Batang", "Dotum", "Gulim", "Gungsuh", "MS Gothic", "MS PGothic", "MS Mincho", "MS PMincho",
};

int FoundFace(const LOGFONT*, const TEXTMETRIC*, DWORD, LPARAM) { return 1; }

bool FaceInstalled(const String8& face) {
    return !face.IsNull() && face.GetLength() > 0 &&
           FontEngine::EnumFontFamilies(face.c_str(), FoundFace, 0) != 0;
}

// Three reals r g b; false unless all three parse.
bool ThreeReals(unsigned char* p, double* rgb) {
    for (int i = 0; i < 3; ++i) {
        p = NextReal(SkipBlanks(p), &rgb[i]);
        if (!p) return false;
    }
    return true;
}
} // namespace

void VrDvi::AppendPictFile(const String8&) {}

void VrDvi::AddTag(const String8& name) {
    TagInfo tag;
    tag.name = name;
    tag.page = GetNPage();
    std::lock_guard<std::mutex> g(lock_);
    tags_.AddTail(tag);
}

int VrDvi::FindTagPage(const String8& name) const {
    std::lock_guard<std::mutex> g(lock_);
    for (const TagInfo& t : tags_)
        if (t.name == name) return t.page;
    return -1;
}

DList<VrDvi::TagInfo> VrDvi::GetTagList() const {
    std::lock_guard<std::mutex> g(lock_);
    return tags_;
}

DList<String8> VrDvi::GetFontList() const {
    std::lock_guard<std::mutex> g(lock_);
    return fontList_;
}

String8 VrDvi::ChooseFace(const String8& face) const {
    if (FaceInstalled(face)) return face;
    if (!sharedBlock_) return face;
    SharedBlock sb = SharedBlock::Load(*sharedBlock_);
    for (int i = 0; i < SharedBlock::kFaceLists; ++i)
        for (const String8& entry : sb.faceLists[i]) {
            // An empty entry would be a prefix of every name.
            int n = entry.GetLength();
            if (n > 0 && std::strncmp(entry.c_str(), face.c_str(), size_t(n)) == 0)
                return String8(kStandardFaces[i]);
        }
    return sb.defaultFace;
}

void VrDvi::DoBinaryFontSpecial(const unsigned char* text, int length) {
    if (length < 3) return;
    int type = text[1] << 8 | text[2];
    if (type == 2 && length >= 7) {
        String8 face = ChooseFace(String8(reinterpret_cast<const char*>(text + 7)));
        std::lock_guard<std::mutex> g(lock_);
        fontList_.AddTail(face);
    } else if (type == 0 && length >= 5) {
        specialValue_ = (unsigned short)(text[3] << 8 | text[4]);
    } else if (type >= 0x10 && type <= 0x13) {
        // Picture specials: the file name is a length byte and its bytes.
        const int at = type <= 0x11 ? 23 : type == 0x12 ? 11 : 3;
        if (length <= at) return;
        const int n = text[at];
        if (n == 0 || length < at + 1 + n || std::memchr(text + at + 1, 0, size_t(n))) return;
        AppendPictFile(String8(std::string(reinterpret_cast<const char*>(text + at + 1), size_t(n)).c_str()));
    }
}

void VrDvi::DoSpecial(unsigned char* text, int length) {
    if (!text || length <= 0) return;
    if (text[0] == '#') return DoBinaryFontSpecial(text, length);

    if (IsKeyword(text, "colorpush:")) {
        double rgb[3];
        if (ThreeReals(text + 10, rgb) && colorStackSize_ < kColorStackSize)
            colorStack_[colorStackSize_++] = ColorFromReals(rgb[0], rgb[1], rgb[2]);
        return;
    }
    if (IsKeyword(text, "colorpop:")) {
        if (colorStackSize_ > 1) --colorStackSize_;
        return;
    }
    if (IsKeyword(text, "backgroundcolor:")) {
        double rgb[3];
        if (ThreeReals(text + 16, rgb)) background_ = ColorFromReals(rgb[0], rgb[1], rgb[2]);
        return;
    }
    if (IsKeyword(text, "html:")) {
        unsigned char* p = SkipBlanks(text + 5);
        if (*p != '<') return;
        ++p;
        if (*p == 'a' || *p == 'A') {
            p = SkipBlanks(p + 1);
            if (!IsKeyword(p, "name")) return;
            p = SkipBlanks(p + 4);
            if (*p != '=') return;
            p = SkipBlanks(p + 1);
            if (*p != '"') return;
            unsigned char* value = p + 1;
            unsigned char* close = reinterpret_cast<unsigned char*>(std::strchr(reinterpret_cast<char*>(value), '"'));
            if (!close) return;
            *close = 0;
            AddTag(String8(value));
            return;
        }
        // Other tags go on to the later forms.
    }
    if (IsKeyword(text, "hypertext:")) {
        unsigned char* p = text + 10;
        for (int i = 0; i < 4; ++i)
            if (!(p = NextInt(p, nullptr))) return;
        p = SkipBlanks(p);
        if (!IsKeyword(p, "name")) return;
        p = SkipBlanks(p + 4);
        if (*p != '=') return;
        String8 name;
        if (NextWordUnquoted(p + 1, &name) && name.GetLength() > 0) AddTag(name);
        return;
    }
    if (IsKeyword(text, "graphics:")) {
        unsigned char* p = text + 9;
        for (int i = 0; i < 6; ++i)
            if (!(p = getdimen(SkipBlanks(p), nullptr))) return;
        p = SkipBlanks(p);
        // Every picture type the drawer draws.
        static const char* const kTypes[] = {"WMF", "EPS", "JPEG", "JPG", "GIF", "PNG", "BMP"};
        size_t n = 0;
        for (const char* type : kTypes)
            if (IsKeyword(p, type) && p[std::strlen(type)] <= 32) {
                n = std::strlen(type);
                break;
            }
        if (n == 0) return;
        p = SkipBlanks(p + n);
        if (*p) AppendPictFile(String8(p));
        return;
    }
    if (IsKeyword(text, "ps:") && IsKeyword(SkipBlanks(text + 3), "plotfile")) {
        String8 name;
        if (NextWord(SkipBlanks(text + 3) + 8, &name) && name.GetLength() > 0) AppendPictFile(name);
        return;
    }

    // key=value pairs; only psfile matters at scan time.
    String8 psfile;
    unsigned char* p = text;
    for (;;) {
        p = SkipBlanks(p);
        unsigned char* key = p;
        while (*p > 32 && *p != '=') ++p;
        if (p == key) break;
        bool isPsfile = p - key == 6 && IsKeyword(key, "psfile");
        p = SkipBlanks(p);
        if (*p != '=') break;
        p = SkipBlanks(p + 1);
        unsigned char* value = p;
        if (*p == '"') {
            // A quoted value runs to its closing quote, blanks and all.
            unsigned char* close = reinterpret_cast<unsigned char*>(std::strchr(reinterpret_cast<char*>(p + 1), '"'));
            p = close ? close + 1 : p + std::strlen(reinterpret_cast<char*>(p));
        } else {
            while (*p > 32) ++p;
        }
        if (isPsfile) psfile = String8(std::string(reinterpret_cast<char*>(value), size_t(p - value)).c_str());
    }
    if (!psfile.IsNull()) {
        psfile = Unquote(psfile);
        if (psfile.GetLength() > 0) AppendPictFile(psfile);
    }
}
