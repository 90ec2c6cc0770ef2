#include "dvilib/VrDviDrawerBase.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <new>

#include "dvilib/CharCodes.h"
#include "dvilib/DviOpcodes.h"
#include "dvilib/TexTextEncodings.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviTTFMap.h"

namespace {

int32_t Add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

// n bytes (1..4), big-endian, two's-complement.
int32_t Signed(const unsigned char* p, int n) {
    uint32_t v = p[0] & 0x80 ? 0xFFFFFFFFu : 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return int32_t(v);
}

uint32_t Unsigned(const unsigned char* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

} // namespace

VrDviDrawerBase::VrDviDrawerBase() {
    InitAll();
}

VrDviDrawerBase::VrDviDrawerBase(VrDvi& dvi, int page) {
    InitAll();
    Open(dvi, page);
}

VrDviDrawerBase::~VrDviDrawerBase() {
    if (working_) VrDviDrawerBase::Close();
}

void VrDviDrawerBase::InitAll() {
    working_ = 0;
    dvi_ = nullptr;
    page_.reset();
    pageLength_ = 0;
    ip_ = nullptr;
    instOffset_ = 0;
    stack_.reset();
}

int VrDviDrawerBase::Open(VrDvi& dvi, int page) {
    if (page < 0 || page >= dvi.GetNPage()) return 0;
    // The bytes are read before anything changes, so a page that cannot be
    // read leaves the drawer as it was.
    int length = 0;
    std::shared_ptr<const unsigned char[]> bytes = dvi.SharePageContents(page, &length);
    if (!bytes) return 0;

    if (working_) Close();
    dvi_ = &dvi;
    winFont_ = dvi.GetWinFont() ? 1 : 0;
    page_ = std::move(bytes);
    pageLength_ = length;
    ip_ = page_.get();
    instOffset_ = 0;
    stack_.reset(new (std::nothrow) Registers[kStackSize]);
    if (!stack_) {
        page_.reset();
        pageLength_ = 0;
        ip_ = nullptr;
        throw StackOverflowError();
    }
    fontIndex_ = dvi.GetExtFontIndex();
    localFonts_ = nullptr;
    fontTableSize_ = VrDvi::GetExtFontIndexSize();
    curFont_ = -1;
    h_ = v_ = w_ = x_ = y_ = z_ = 0;
    stackDepth_ = 0;
    stackBase_ = 0;
    vfDepth_ = 0;
    mbState_ = 0;
    working_ = 1;
    return 1;
}

void VrDviDrawerBase::Close() {
    if (!working_) return;
    page_.reset();
    pageLength_ = 0;
    ip_ = nullptr;
    stack_.reset();
    working_ = 0;
}

int VrDviDrawerBase::Draw(int count) {
    if (!working_) return 1;
    // Every instruction takes a byte at least, so this reaches the end.
    if (count < 0) count = pageLength_ < INT_MAX ? pageLength_ + 1 : INT_MAX;
    if (count < 1) return 0;
    const unsigned char* end = page_.get() + pageLength_;
    for (int i = 0; i < count; ++i) {
        if (ip_ >= end || *ip_ == dviop::Eop) return 1;
        instOffset_ = int(ip_ - page_.get());
        int len = ProcessInstruction(ip_, size_t(end - ip_));
        if (len < 1) throw MalformedDviError();
        ip_ += len;
    }
    return 0;
}

int VrDviDrawerBase::ProcessInstruction(const unsigned char* p) {
    if (!working_ || !p) return -1;
    const unsigned char* begin = page_.get();
    const unsigned char* end = begin + pageLength_;
    if (p < begin || p >= end) return -1;
    return ProcessInstruction(p, size_t(end - p));
}

int VrDviDrawerBase::ProcessInstruction(const unsigned char* p, size_t avail) {
    if (!working_ || !p || avail < 1) return -1;
    const uint8_t op = p[0];
    if (op <= dviop::SetChar127) {
        DviSet(op);
        return 1;
    }
    switch (op) {
    case dviop::Set3: case dviop::Set4: case dviop::Put3: case dviop::Put4: case dviop::Fnt3: case dviop::Fnt4:
        return -1;
    default:
        if (op >= dviop::Pre) return -1;  // pre, post, post_post and undefined
    }
    const size_t fixed = 1 + size_t(dviop::ParamLength(op));
    if (fixed > avail) return -1;
    const unsigned char* q = p + 1;

    switch (op) {
    case dviop::Set1: DviSet(q[0]); return 2;
    case dviop::Set2: DviSet((unsigned short)Unsigned(q, 2)); return 3;
    case dviop::SetRule: DviSetRule(Signed(q, 4), Signed(q + 4, 4)); return 9;
    case dviop::Put1: DviPut(q[0]); return 2;
    case dviop::Put2: DviPut((unsigned short)Unsigned(q, 2)); return 3;
    case dviop::PutRule: DviPutRule(Signed(q, 4), Signed(q + 4, 4)); return 9;
    case dviop::Nop: return 1;
    case dviop::Bop: return 45;
    case dviop::Eop: return 1;
    case dviop::Push: return DviPush() ? 1 : -1;
    case dviop::Pop: return DviPop() ? 1 : -1;
    case dviop::W0: DviW0(); return 1;
    case dviop::X0: DviX0(); return 1;
    case dviop::Y0: DviY0(); return 1;
    case dviop::Z0: DviZ0(); return 1;
    case dviop::Fnt1: DviFnt(q[0]); return 2;
    case dviop::Fnt2: DviFnt(Unsigned(q, 2)); return 3;
    default: break;
    }
    if (op >= dviop::Right1 && op <= dviop::Right4) {
        DviRight(Signed(q, op - dviop::Right1 + 1));
        return int(fixed);
    }
    if (op >= dviop::W1 && op <= dviop::W4) {
        DviW(Signed(q, op - dviop::W1 + 1));
        return int(fixed);
    }
    if (op >= dviop::X1 && op <= dviop::X4) {
        DviX(Signed(q, op - dviop::X1 + 1));
        return int(fixed);
    }
    if (op >= dviop::Down1 && op <= dviop::Down4) {
        DviDown(Signed(q, op - dviop::Down1 + 1));
        return int(fixed);
    }
    if (op >= dviop::Y1 && op <= dviop::Y4) {
        DviY(Signed(q, op - dviop::Y1 + 1));
        return int(fixed);
    }
    if (op >= dviop::Z1 && op <= dviop::Z4) {
        DviZ(Signed(q, op - dviop::Z1 + 1));
        return int(fixed);
    }
    if (op >= dviop::FntNum0 && op <= dviop::FntNum63) {
        DviFnt(op - dviop::FntNum0);
        return 1;
    }
    if (op >= dviop::Xxx1 && op <= dviop::Xxx4) {
        const uint64_t k = Unsigned(q, dviop::SizeByte(op));
        const uint64_t total = fixed + k;
        if (total > avail || total > uint64_t(INT32_MAX)) return -1;
        DviXxx(unsigned(k), InstPtr(p + fixed, p + total));
        return int(total);
    }
    if (op >= dviop::FntDef1 && op <= dviop::FntDef4) {
        // Fonts are the reader's business; the definition is stepped over.
        const size_t total = fixed + p[fixed - 2] + p[fixed - 1];
        return total > avail ? -1 : int(total);
    }
    return -1;
}

// Characters.

void VrDviDrawerBase::DviSet(unsigned short c) {
    const VrDvi::ItrnFont* font = GetCurrentFont();
    if (winFont_) {
        // Documents without fonts place every character themselves: it is
        // drawn whatever the font, and moves h only by a real font's width.
        DviPut(c);
        if (font) h_ = Add(h_, font->GetCharWidthA(c));
        return;
    }
    if (!font) {
        CancelMultiByte();
        return;
    }
    DviPut(c);
    h_ = Add(h_, font->GetCharWidthA(c));
}

class VrDviDrawerBase::LigatureScope {
public:
    LigatureScope(VrDviDrawerBase& d, const VrDvi::ItrnFont* font, unsigned code) : d_(d), owner_(!d.ligLetters_) {
        if (!owner_) return;
        d.ligTaken_ = 0;
        d.ligLetters_ = HasLatinLigatures(*font) ? font->GetLigatureLetters(code) : nullptr;
        if (d.ligLetters_) {
            const int32_t box[5] = {d.h_, d.v_, font->GetCharWidthA(code), font->GetCharHeight(code),
                                    font->GetCharDepth(code)};
            std::copy(std::begin(box), std::end(box), d.ligBox_);
        }
    }
    ~LigatureScope() {
        if (owner_) d_.ligLetters_ = nullptr;
    }
    LigatureScope(const LigatureScope&) = delete;
    LigatureScope& operator=(const LigatureScope&) = delete;

private:
    // Korean and symbol fonts place other characters at the codes of
    // letters.
    static bool HasLatinLigatures(const VrDvi::ItrnFont& font) {
        if (font.IsDBCEnabled()) return false;
        switch (font.GetEncoding()) {
        case VrDviTTFMap::EncXHanUnicode:
        case VrDviTTFMap::EncXHanjaUnicode:
        case VrDviTTFMap::EncXSymbUnicode:
        case VrDviTTFMap::EncMSWinSymbolUnicode:
        case VrDviTTFMap::EncHLatex:
            return false;
        default:
            return true;
        }
    }

    VrDviDrawerBase& d_;
    bool owner_;
};

class VrDviDrawerBase::TextScope {
public:
    TextScope(VrDviDrawerBase& d, vrcodes::FontText layout, unsigned char code)
        : d_(d), set_(d.textSet_), text_(d.text_) {
        d.textSet_ = layout != vrcodes::FontText::kAsDrawn;
        if (d.textSet_) d.text_ = vrcodes::FontTextChar(layout, code);
    }
    ~TextScope() {
        d_.textSet_ = set_;
        d_.text_ = text_;
    }
    TextScope(const TextScope&) = delete;
    TextScope& operator=(const TextScope&) = delete;

private:
    VrDviDrawerBase& d_;
    int set_;
    unsigned short text_;
};

VrDviDrawerBase::Ligature VrDviDrawerBase::TakeLigature() {
    if (!ligLetters_) return {};
    const Ligature l{ligTaken_ ? nullptr : ligLetters_, ligTaken_, ligBox_[0], ligBox_[1], ligBox_[2], ligBox_[3],
                     ligBox_[4]};
    ligTaken_ = 1;
    return l;
}

void VrDviDrawerBase::DviPut(unsigned short code) {
    if (winFont_) {
        const VrDvi::FontSpecialState& st = dvi_->GetFontSpecialState();
        PutChar(h_, v_, code, st.width, st.height, 0);
        return;
    }
    const VrDvi::ItrnFont* font = GetCurrentFont();
    if (!font || !font->IsValidChar(code)) {
        CancelMultiByte();
        return;
    }
    const LigatureScope ligature(*this, font, code);
    auto W = [font](unsigned c) { return font->GetCharWidthA(c); };
    auto H = [font](unsigned c) { return font->GetCharHeight(c); };
    auto D = [font](unsigned c) { return font->GetCharDepth(c); };

    if (font->IsDBCEnabled()) {
        if (mbState_ != 1 && vrcodes::IsCp949LeadByte(code)) {
            pending_[0] = (unsigned char)code;
            pendingH_ = h_;
            pendingV_ = v_;
            mbState_ = 1;
            return;
        }
        if (mbState_ == 1) {
            unsigned short wc = 0;
            if (code > 0xFF || !vrcodes::Cp949ToUnicode(pending_[0], (unsigned char)code, wc)) {
                CancelMultiByte();
                return;
            }
            // The state stays 1 during the call: the drawer picks the
            // double-byte face by it.
            PutChar(pendingH_, pendingV_, wc, Add(W(pending_[0]), W(code)), H(code), D(code));
            CancelMultiByte();
            return;
        }
    }

    if (font->IsVirtual() && (!font->IsMapped() || ExpandsMappedVirtualFonts())) {
        DoVirtualFont(font, code);
        return;
    }

    const unsigned char c = (unsigned char)(code & 0xFF);
    const TextScope text(*this, code <= 0xFF ? font->GetTextLayout() : vrcodes::FontText::kAsDrawn, c);
    unsigned char lead = 0, trail = 0;
    switch (font->GetEncoding()) {
    case VrDviTTFMap::EncOT1:
        PutChar(h_, v_, vrcodes::Ot1ToSymbol(c), W(c), H(c), D(c));
        break;
    case VrDviTTFMap::Enc8rUnicode: {
        unsigned short u = 0;
        EightrToUnicode(c, u);
        if (u) PutChar(h_, v_, u, W(c), H(c), D(c));
        break;
    }
    case VrDviTTFMap::EncRaw:
        PutChar(h_, v_, code, W(code), H(code), D(code));
        break;
    case VrDviTTFMap::EncT1Unicode:
    case VrDviTTFMap::EncTS1Unicode:
    case VrDviTTFMap::EncOT1Unicode: {
        const auto e = font->GetEncoding();
        const unsigned short u = e == VrDviTTFMap::EncT1Unicode    ? vrcodes::T1ToUnicode(c)
                                 : e == VrDviTTFMap::EncTS1Unicode ? vrcodes::TS1ToUnicode(c)
                                                                   : vrcodes::OT1ToUnicode(c);
        if (u) PutChar(h_, v_, u, W(c), H(c), D(c));
        break;
    }
    case VrDviTTFMap::EncXHanUnicode: {
        // Three bytes make a syllable; only the last carries a width.
        int received;
        if (mbState_ == 2) {
            pending_[1] = c;
            mbState_ = 3;
            received = 2;
        } else if (mbState_ == 3) {
            pending_[2] = c;
            mbState_ = 0;
            received = 3;
        } else {
            pending_[0] = c;
            pending_[1] = pending_[2] = 0;
            pendingH_ = h_;
            pendingV_ = v_;
            mbState_ = 2;
            received = 1;
        }
        if (W(c) < 1) return;
        CancelMultiByte();
        if (!xHanToEucKr(font->GetxSeriesFontIndex(), pending_[0], pending_[1], pending_[2], lead, trail)) return;
        int width = 0;
        for (int i = 0; i < received; ++i) width = Add(width, W(pending_[i]));
        PutKorean(pendingH_, pendingV_, lead, trail, width, H(pending_[0]), D(pending_[0]));
        break;
    }
    case VrDviTTFMap::EncXHanjaUnicode:
        if (vrcodes::XHanjaToEucKr(font->GetxSeriesFontIndex(), c, lead, trail))
            PutKorean(h_, v_, lead, trail, W(c), H(c), D(c));
        break;
    case VrDviTTFMap::EncXSymbUnicode:
        if (vrcodes::XSymbToEucKr(font->GetxSeriesFontIndex(), c, lead, trail))
            PutKorean(h_, v_, lead, trail, W(c), H(c), D(c));
        break;
    case VrDviTTFMap::EncMSWinSymbolUnicode:
        PutChar(h_, v_, (unsigned short)(0xF000 + c), W(c), H(c), D(c));
        break;
    case VrDviTTFMap::EncHLatex:
        if (code <= 0xFF && HLatexToEucKr(font->GetName().c_str(), c, lead, trail) == 0)
            PutKorean(h_, v_, lead, trail, W(code), H(code), D(code));
        break;
    case VrDviTTFMap::EncUnicodeSubfont: {
        unsigned short u = 0;
        if (vrcodes::UnicodeSubfontChar(font->GetName().c_str(), code, u))
            PutChar(h_, v_, u, W(code), H(code), D(code));
        break;
    }
    default:
        break;
    }
}

void VrDviDrawerBase::PutKorean(int h, int v, unsigned char lead, unsigned char trail, int width, int height,
                                int depth) {
    unsigned short wc = 0;
    if (vrcodes::Cp949ToUnicode(lead, trail, wc)) PutChar(h, v, wc, width, height, depth);
}

int VrDviDrawerBase::EightrToUnicode(unsigned char code, unsigned short& out) {
    out = vrcodes::EightrToUnicode(code);
    return 1;
}

int VrDviDrawerBase::xHanToEucKr(int series, unsigned char b1, unsigned char b2, unsigned char b3,
                                 unsigned char& lead, unsigned char& trail) {
    return vrcodes::XHanToEucKr(series, b1, b2, b3, lead, trail);
}

void VrDviDrawerBase::DoVirtualFont(const VrDvi::ItrnFont* font, unsigned short code) {
    if (!font || !working_ || vfDepth_ >= kMaxVfDepth) return;
    const unsigned char* packet = font->GetCharPacket(code);
    const int length = font->GetCharPacketLength(code);
    if (!packet || length <= 0) return;

    ++vfDepth_;
    VrDvi::ItrnFont* const* savedIndex = fontIndex_;
    const VrDvi::ItrnFont* savedLocal = localFonts_;
    const int savedSize = fontTableSize_, savedFont = curFont_;
    const Registers saved{h_, v_, w_, x_, y_, z_};
    const int savedDepth = stackDepth_, savedBase = stackBase_, savedState = mbState_;

    fontIndex_ = nullptr;
    localFonts_ = font;
    fontTableSize_ = VrDvi::ItrnFont::GetLocalFontIndexSize();
    curFont_ = font->GetFirstLocalFont();
    w_ = x_ = y_ = z_ = 0;
    stackBase_ = stackDepth_;
    mbState_ = 0;

    // A bad instruction ends the packet; so does a pop below the depth the
    // packet started at, which would take the page's own registers.
    const unsigned char* p = packet;
    const unsigned char* end = packet + length;
    while (p < end) {
        int n = ProcessInstruction(p, size_t(end - p));
        if (n < 1) break;
        p += n;
    }

    fontIndex_ = savedIndex;
    localFonts_ = savedLocal;
    fontTableSize_ = savedSize;
    curFont_ = savedFont;
    h_ = saved.h;
    v_ = saved.v;
    w_ = saved.w;
    x_ = saved.x;
    y_ = saved.y;
    z_ = saved.z;
    stackDepth_ = savedDepth;
    stackBase_ = savedBase;
    mbState_ = savedState;
    --vfDepth_;
}

// Rules, stack, movements, fonts and specials.

void VrDviDrawerBase::DviSetRule(int a, int b) {
    DviPutRule(a, b);
    h_ = Add(h_, b);
}

void VrDviDrawerBase::DviPutRule(int a, int b) {
    CancelMultiByte();
    if (a > 0 && b > 0) PutRule(h_, v_, a, b);
}

int VrDviDrawerBase::DviPush() {
    CancelMultiByte();
    if (stackDepth_ >= kStackSize) return 0;
    stack_[size_t(stackDepth_++)] = {h_, v_, w_, x_, y_, z_};
    return 1;
}

int VrDviDrawerBase::DviPop() {
    CancelMultiByte();
    if (stackDepth_ <= stackBase_) return 0;
    const Registers& r = stack_[size_t(--stackDepth_)];
    h_ = r.h;
    v_ = r.v;
    w_ = r.w;
    x_ = r.x;
    y_ = r.y;
    z_ = r.z;
    return 1;
}

void VrDviDrawerBase::DviRight(int b) {
    CancelMultiByte();
    h_ = Add(h_, b);
}

void VrDviDrawerBase::DviW0() {
    CancelMultiByte();
    h_ = Add(h_, w_);
}

void VrDviDrawerBase::DviW(int b) {
    CancelMultiByte();
    w_ = b;
    h_ = Add(h_, b);
}

void VrDviDrawerBase::DviX0() {
    CancelMultiByte();
    h_ = Add(h_, x_);
}

void VrDviDrawerBase::DviX(int b) {
    CancelMultiByte();
    x_ = b;
    h_ = Add(h_, b);
}

void VrDviDrawerBase::DviDown(int a) {
    CancelMultiByte();
    v_ = Add(v_, a);
}

void VrDviDrawerBase::DviY0() {
    CancelMultiByte();
    v_ = Add(v_, y_);
}

void VrDviDrawerBase::DviY(int a) {
    CancelMultiByte();
    y_ = a;
    v_ = Add(v_, a);
}

void VrDviDrawerBase::DviZ0() {
    CancelMultiByte();
    v_ = Add(v_, z_);
}

void VrDviDrawerBase::DviZ(int a) {
    CancelMultiByte();
    z_ = a;
    v_ = Add(v_, a);
}

void VrDviDrawerBase::DviFnt(unsigned k) {
    CancelMultiByte();
    curFont_ = k < unsigned(fontTableSize_) && GetItrnFont(int(k)) ? int(k) : -1;
}

void VrDviDrawerBase::DviXxx(unsigned int k, InstPtr text) {
    DoSpecial(k, text);
}

const VrDvi::ItrnFont* VrDviDrawerBase::GetItrnFont(int n) const {
    if (n < 0 || n >= fontTableSize_) return nullptr;
    if (localFonts_) return localFonts_->GetLocalFont(unsigned(n));
    return fontIndex_ ? fontIndex_[n] : nullptr;
}

int VrDviDrawerBase::GetDrawingResolution(const VrDvi& dvi) {
    int r = dvi.GetSpecialValue();
    return r > 0 ? r : kDefaultDrawingResolution;
}

void VrDviDrawerBase::PutChar(int, int, unsigned short, int, int, int) {}

void VrDviDrawerBase::PutRule(int, int, int, int) {}

void VrDviDrawerBase::DoSpecial(unsigned int length, InstPtr text) {
    if (!dvi_ || length < 3 || text.Left() < length) return;
    if (text.GetUInt8() != '#') return;
    const unsigned code = text.GetUInt16();
    VrDvi::FontSpecialState& st = dvi_->GetFontSpecialState();
    // Each operand is taken only when the special holds it whole.
    switch (code) {
    case 0:
        if (length >= 5) dvi_->SetSpecialValue((unsigned short)text.GetUInt16());
        break;
    case 3:
        if (length >= 7) st.faceIndex = text.GetInt32();
        break;
    case 4:
    case 5:
        if (length >= 5) {
            int value = int16_t(text.GetUInt16());
            (code == 4 ? st.width : st.height) = value < 0 ? -value : value;
            st.escapement = value < 0 ? (code == 4 ? 900 : 2700) : 0;
        }
        break;
    case 6: st.bold = 1; break;
    case 7: st.bold = 0; break;
    case 8: st.italic = 1; break;
    case 9: st.italic = 0; break;
    case 11:
        if (length >= 5) st.escapement = int16_t(text.GetUInt16());
        break;
    default:
        break;  // 2 carries four bytes that mean nothing here; others are not ours
    }
}
