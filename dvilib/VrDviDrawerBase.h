// VrDviDrawerBase: the interpreter of one DVI page. It copies the page's
// bytes out of the reader, keeps the registers h, v, w, x, y, z and their
// stack, follows font changes, expands virtual-font characters, turns
// character codes into the characters outline faces understand (by the
// font's encoding, Korean multibyte characters included) and reports what
// the page holds through three virtuals: PutChar, PutRule and DoSpecial.
// It draws nothing itself; the page drawer, the search and the selection
// derive from it.
//
// Every operand is checked against the bytes that hold it: an instruction
// cut off by the end of the page or of a character packet cannot be
// executed. Register arithmetic wraps as two's-complement. A character
// packet runs on the page's stack but cannot pop below the depth it started
// at (such a pop ends the packet), and the depth is restored after it.
//
// WinFont mode (documents without fonts, whose characters come from the
// faces that "#" specials name): every set and put reaches PutChar with its
// 16-bit code as a UTF-16 character and the width and height of the reader's
// font-special state, whatever font is selected; a set moves h only by the
// width of the character in a valid selected font, so such documents place
// their characters with explicit movements.
//
// A drawer is used by one thread at a time; the reader's fonts must not
// change while a page is interpreted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/Errors.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviApi.h"

class VRDVI_API VrDviDrawerBase {
public:
    // A read cursor over instruction bytes, bounded by the end of the bytes
    // it was made over; reading past that end yields zero bytes.
    class InstPtr {
    public:
        InstPtr() = default;
        InstPtr(const unsigned char* p, const unsigned char* end) : p_(p), end_(end) {}
        unsigned char GetUInt8() { return p_ < end_ ? *p_++ : 0; }
        unsigned GetUInt16() { unsigned a = GetUInt8(); return a << 8 | GetUInt8(); }
        unsigned GetUInt24() { unsigned a = GetUInt16(); return a << 8 | GetUInt8(); }
        int GetInt24() { unsigned a = GetUInt24(); return int32_t(a >= 0x800000 ? a | 0xFF000000u : a); }
        int GetInt32() { unsigned a = GetUInt16(); return int32_t(a << 16 | GetUInt16()); }
        const unsigned char* Pointer() const { return p_; }
        // Bytes left before the end.
        size_t Left() const { return p_ < end_ ? size_t(end_ - p_) : 0; }

    private:
        const unsigned char* p_ = nullptr;
        const unsigned char* end_ = nullptr;
    };

    // Draw met an instruction it cannot execute; the instruction pointer
    // stays on it.
    class VRDVI_API MalformedDviError : public uError {};
    // Open could not make the register stack.
    class VRDVI_API StackOverflowError : public uError {};

    static constexpr int kStackSize = 500;
    static constexpr int kMaxVfDepth = 10;
    // The drawing resolution (dots per inch of WinFont coordinates) taken
    // when the document never set one with a "#" code-0 special.
    static constexpr int kDefaultDrawingResolution = 300;

    VrDviDrawerBase();
    VrDviDrawerBase(VrDvi& dvi, int page);
    virtual ~VrDviDrawerBase();
    VrDviDrawerBase(const VrDviDrawerBase&) = delete;
    VrDviDrawerBase& operator=(const VrDviDrawerBase&) = delete;

    // Prepares a page: 1, or 0 when the page is not in the reader or the file
    // no longer holds its bytes (the drawer is then unchanged). A working
    // drawer is closed first (virtual Close). Throws FileOpenError when the
    // file cannot be opened, StackOverflowError when the register stack
    // cannot be made.
    virtual int Open(VrDvi& dvi, int page);
    virtual void Close();
    // Executes up to count instructions (the whole page when count < 0):
    // 1 when the page has ended (or none is open), 0 when count instructions
    // were executed (or count is 0). Throws MalformedDviError on a bad
    // instruction.
    virtual int Draw(int count);

    // Executes the one instruction at p, of which at most avail bytes may be
    // read; its length, or -1 when it cannot be executed (or no page is open).
    int ProcessInstruction(const unsigned char* p, size_t avail);
    // The same for an instruction inside the open page's bytes; -1 for a p
    // outside them.
    int ProcessInstruction(const unsigned char* p);
    // Executes the packet of a character of a virtual font.
    void DoVirtualFont(const VrDvi::ItrnFont* font, unsigned short code);

    int IsWorking() const { return working_; }
    int IsWinFont() const { return winFont_; }

    // The drawing resolution the document set with a "#" code-0 special, or
    // kDefaultDrawingResolution when it set none (never 0).
    static int GetDrawingResolution(const VrDvi& dvi);

protected:
    // For subclasses: the page being interpreted and where.
    VrDvi* GetDvi() const { return dvi_; }
    const unsigned char* GetPageBytes() const { return page_.get(); }
    int GetPageLength() const { return pageLength_; }
    // Offset from the page's first byte of the instruction being executed.
    int GetInstructionOffset() const { return instOffset_; }
    int GetH() const { return h_; }
    int GetV() const { return v_; }
    // The font table entry n (of the page, or of the virtual font being
    // expanded); null when n is outside the table or has no font.
    const VrDvi::ItrnFont* GetItrnFont(int n) const;
    // The selected font, null when none is valid.
    const VrDvi::ItrnFont* GetCurrentFont() const { return GetItrnFont(curFont_); }
    // 0 none; 1 while a double-byte lead byte is pending and while the
    // double-byte character is being drawn (PutChar then draws with the
    // font's double-byte face); 2, 3 during a three-byte xHan character.
    int GetMultiByteState() const { return mbState_; }
    // The Latin letters the character being reported stands for when its
    // font's ligature program joined them into it ("fi"), else null; for
    // search and copying. The first call in a report gives them; further
    // characters drawn by the same virtual-font packet get continued = 1.
    // The box is that of the ligature as its font sets it, which a virtual
    // font's packet may draw in pieces.
    struct Ligature {
        const char* letters = nullptr;
        int continued = 0;
        int h = 0, v = 0, width = 0, height = 0, depth = 0;
    };
    Ligature TakeLigature();
    // The character search and copying read for the one being reported,
    // whose drawn code is `code`: the text of its code in the layout of a
    // TeX font that is drawn by its own glyph codes (Computer Modern, the
    // math fonts; 0 for a code that stands for no character), else code.
    unsigned short TextOf(unsigned short code) const { return textSet_ ? text_ : code; }
    // The page drawer switches WinFont mode when it opens a page (documents
    // without fonts draw with the faces the "#" specials name).
    void SetWinFont(int on) { winFont_ = on ? 1 : 0; }

    // Reports of what the page holds, at DVI positions; code is already
    // converted by the font's encoding (Unicode, U+F000-U+F0FF for symbol
    // positions, or the raw code). Empty here.
    virtual void PutChar(int h, int v, unsigned short code, int width, int height, int depth);
    // A rule with its lower left corner at (h, v); height and width > 0.
    virtual void PutRule(int h, int v, int height, int width);
    // A special of length bytes at text (all of them inside the page or
    // packet). Here: the binary font special "#" that sets the reader's
    // drawing state; a subclass that takes specials calls it for those.
    virtual void DoSpecial(unsigned int length, InstPtr text);
    // Whether a virtual font that the map also names runs its packets (the
    // glyphs it sets: the page drawer) or reports the characters its map
    // entry gives (here: search and selection take the text the font stands
    // for, not the codes of the faces under it).
    virtual bool ExpandsMappedVirtualFonts() const { return false; }

private:
    void InitAll();
    void CancelMultiByte() { mbState_ = 0; }

    // Holds the ligature letters of the character DviPut reports while it
    // reports it, unless an outer virtual-font character holds some.
    class LigatureScope;
    // Holds the text of the character DviPut reports while it reports it.
    class TextScope;

    void DviSet(unsigned short c);
    void DviPut(unsigned short c);
    void DviSetRule(int a, int b);
    void DviPutRule(int a, int b);
    int DviPush();
    int DviPop();
    void DviRight(int b);
    void DviW0();
    void DviW(int b);
    void DviX0();
    void DviX(int b);
    void DviDown(int a);
    void DviY0();
    void DviY(int a);
    void DviZ0();
    void DviZ(int a);
    void DviFnt(unsigned k);
    void DviXxx(unsigned int k, InstPtr text);

    int EightrToUnicode(unsigned char code, unsigned short& out);
    int xHanToEucKr(int series, unsigned char b1, unsigned char b2, unsigned char b3, unsigned char& lead,
                    unsigned char& trail);
    // PutChar for an EUC-KR pair decoded as code page 949; nothing when the
    // pair is no character.
    void PutKorean(int h, int v, unsigned char lead, unsigned char trail, int width, int height, int depth);

    struct Registers {
        int32_t h, v, w, x, y, z;
    };

    int working_ = 0;
    VrDvi* dvi_ = nullptr;
    std::shared_ptr<const unsigned char[]> page_;  // shared with the page's other drawers
    int pageLength_ = 0;
    const unsigned char* ip_ = nullptr;
    int instOffset_ = 0;
    // Font table: the reader's external index at page level; inside a
    // virtual-font character, the local fonts of that font.
    VrDvi::ItrnFont* const* fontIndex_ = nullptr;
    const VrDvi::ItrnFont* localFonts_ = nullptr;
    int fontTableSize_ = 0;
    int curFont_ = -1;
    int32_t h_ = 0, v_ = 0, w_ = 0, x_ = 0, y_ = 0, z_ = 0;
    std::unique_ptr<Registers[]> stack_;
    int stackDepth_ = 0;
    // Pops inside a character packet stop at the depth the packet began.
    int stackBase_ = 0;
    int vfDepth_ = 0;
    int mbState_ = 0;
    unsigned char pending_[3] = {0, 0, 0};
    int32_t pendingH_ = 0, pendingV_ = 0;
    int winFont_ = 0;
    const char* ligLetters_ = nullptr;
    int ligTaken_ = 0;
    int32_t ligBox_[5] = {0, 0, 0, 0, 0};
    int textSet_ = 0;
    unsigned short text_ = 0;
};
