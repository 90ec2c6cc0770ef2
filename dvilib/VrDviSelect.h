// VrDviSelect: text selection on one page of a DVI document. The page is
// interpreted by an inner drawer that draws nothing and records every
// character with its box and position (the offset within the page of the
// instruction that drew it; the characters of one virtual-font packet share
// it). Characters on exactly one baseline form a line. Mouse points become
// character positions through the line nearest to them; the selection gives
// one highlight rectangle per line and its text, with spaces and line breaks
// inferred from the gaps, in UTF-8. Characters are read as their text
// (VrDviDrawerBase::TextOf): a ligature of Latin letters (fi, ffl) is one
// character whose text is its letters, and an accent TeX set over a letter
// joins it into the precomposed character.
//
// Coordinates are those the interpreter passes to PutChar (DVI units). In
// WinFont mode they are device pixels: value x LOGPIXELSX x zoom / the
// document's drawing resolution, from the first device a drawer registered
// in the reader (documents without fonts place their characters in units of
// that resolution, which stay as they are when no device is registered), and
// the positions are renumbered 1, 2, 3, ... in reading order.
#pragma once

#include <string>
#include <vector>

#include "base/DList.h"
#include "base/String8.h"
#include "dvilib/VrDviApi.h"
#include "dvilib/VrDviDrawerBase.h"

class VRDVI_API VrDviSelect {
public:
    struct Rectangle {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };

    VrDviSelect();
    VrDviSelect(const VrDviSelect& other);
    VrDviSelect& operator=(const VrDviSelect& other);
    virtual ~VrDviSelect();

    // Clears the selection and interprets the page: 1 when the page was
    // interpreted to its end (also without characters), 0 when it could not
    // be opened. Throws MalformedDviError out of a page that cannot be
    // interpreted (the page then has no characters).
    int Open(VrDvi& dvi, int page);

    // The anchor point of a drag, and the point it has reached; the range
    // follows unless the selection is frozen. UpdateSelect returns 0.
    void BeginSelect(int x, int y);
    int UpdateSelect(int x, int y);
    void SetRange(int start, int end);
    void Empty();
    // Start equals end, or either is unset (-1).
    int IsEmpty() const;
    int GetStartPos() const { return start_; }
    int GetEndPos() const { return end_; }
    int GetCurPageNo() const { return page_; }
    int IsWinFont() const { return winFont_; }

    // While frozen, UpdateSelect only records the point.
    void SetFrozen(int on) { frozen_ = on ? 1 : 0; }
    int IsFrozen() const { return frozen_; }
    // WinFont mode: keep the drawing order within a row instead of sorting
    // the row by x; positions are then row index + 10000 x the baseline.
    // Takes effect at the next Open.
    void SetKeepDrawingOrder(int on) { keepDrawingOrder_ = on ? 1 : 0; }
    int IsKeepDrawingOrder() const { return keepDrawingOrder_; }

    // The position of the first character whose box (edges included) holds
    // the point; -1 when none.
    int GetCharUnderPos(int x, int y);
    // The character (its text, as search and copying read it) at a
    // position, 0 when none.
    unsigned short GetCharInCommand(int position) const;
    // The position of the (n+1)-th character at or after position from, in
    // drawing order; -1 when there are not that many (n itself for a
    // negative n on a page without characters).
    int GetNextCharPos(int from, int n) const;

    // One rectangle per line that the range meets, in line order; owned by
    // the object and rebuilt by each call.
    DList<Rectangle>* GetSelRect();
    // The selected text in UTF-8 (the multibyte form of the C library's
    // locales here): "\r\n" before a lower line, a space where the gap on a
    // line is wide enough. Puts start and end in order first. Empty for an
    // empty selection.
    String8 GetSelectedString();

private:
    struct CharRecord {
        int x = 0;
        int y = 0;  // baseline
        int width = 0;
        int height = 0;
        int depth = 0;
        int em = 0;  // the font's size, 0 where unknown
        unsigned short code = 0;
        int position = 0;
        // A ligature's letters, which its text is; a further character that
        // the same virtual-font ligature draws has no text (continued).
        std::string letters;
        bool continued = false;
        // An accent joined into the letter it is set over.
        bool joined = false;
    };
    struct Line {
        int left = 0;
        int right = 0;
        int baseline = 0;
        int height = 0;
        int depth = 0;
        int first = 0;
        int last = 0;
    };
    enum NearKind { kNone, kInside, kPointLeft, kPointRight, kLineBelow, kLineAbove };
    struct Near {
        int line = -1;
        NearKind kind = kNone;
    };

    class SelectDrawer : public VrDviDrawerBase {
    public:
        explicit SelectDrawer(VrDviSelect* owner) : owner_(owner) {}
        int Draw(int count) override;
        void Reset() { drawn_ = 0; }
        int IsDrawn() const { return drawn_; }
        void SetDrawn(int drawn) { drawn_ = drawn; }

    private:
        void PutChar(int h, int v, unsigned short code, int width, int height, int depth) override;
        void Reorder();
        void JoinAccents();
        VrDviSelect* owner_;
        // LOGPIXELSX, zoom (10000 = 100 %) and drawing resolution of WinFont
        // scaling; none when the first is 0.
        int scale_[3] = {0, 10000, 1};
        int drawn_ = 0;
    };

    void CopyFrom(const VrDviSelect& other);
    void BuildLines();
    Near NearestLine(int x, int y) const;
    int PositionAt(int x, int y, bool forward) const;
    const CharRecord* CharAt(int position) const;

    SelectDrawer drawer_{this};
    int page_ = -1;
    int start_ = -1;
    int end_ = -1;
    int anchorX_ = -1;
    int anchorY_ = -1;
    int curX_ = -1;
    int curY_ = -1;
    DList<Rectangle> rects_;
    int winFont_ = 0;
    int frozen_ = 0;
    int keepDrawingOrder_ = 0;
    std::vector<CharRecord> chars_;
    std::vector<Line> lines_;
};
