// The reader's handling of specials at scan time: colour stack and
// background, anchors, picture names (through SpecialGrammar) and the binary
// font special.
#include <cstring>
#include <string>

#include "dvilib/SharedBlock.h"
#include "dvilib/DirectiveGrammar.h"
#include "dvilib/DirectiveScan.h"
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
    } else if (auto picture = ParseBinaryPicture(text, size_t(length))) {
        AppendPictFile(picture->name);
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
        if (auto html = ParseHtml(text + 5); html && html->kind == HtmlSpecial::kAnchor) AddTag(html->name);
        return;
    }
    if (IsKeyword(text, "hypertext:")) {
        if (auto hyper = ParseHypertext(text + 10); hyper && hyper->anchor) AddTag(hyper->name);
        return;
    }
    if (IsKeyword(text, "graphics:")) {
        if (auto graphics = ParseGraphics(text + 9)) AppendPictFile(graphics->name);
        return;
    }
    if (IsKeyword(text, "ps:"))
        if (auto plot = ParsePlotFile(text + 3)) return AppendPictFile(*plot);
    // key=value pairs; only the psfile matters at scan time.
    if (auto ps = ParsePsfile(text)) AppendPictFile(ps->file);
}
