// VrDviSearch: finds a text in the pages of a DVI document. Each page is
// interpreted by an inner drawer that draws nothing and hands every character,
// in drawing order, to a matcher with border-length fall-backs. Blanks and
// controls of the pattern are dropped, so a phrase matches across the gaps
// and line breaks that typeset text has no characters for. A hit never spans
// two pages, hits do not overlap, and at most kMaxResults are collected.
// Characters are matched as their text (VrDviDrawerBase::TextOf): a
// ligature of Latin letters (fi, ffl) as its letters, each with the glyph's
// box; an accent TeX set over a letter and the letter as the one
// precomposed character, with the letter's box.
//
// The multibyte text form is UTF-8; case folding uses a built-in table, so
// neither depends on the process locale.
#pragma once

#include <deque>
#include <vector>

#include "base/DList.h"
#include "dvilib/VrDviApi.h"
#include "dvilib/VrDviDrawerBase.h"

class VRDVI_API VrDviSearch {
public:
    static constexpr int kMaxResults = 1001;
    static constexpr int kStyleWords = 6;

    // A box in the coordinates the interpreter gives PutChar: (x, y) is the
    // top left corner (baseline less height).
    struct Rect {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };

    // A character of a hit: its code, left edge, the bottom of its box and
    // the reader's font-special state when it was drawn (face index, width,
    // height, escapement, bold, italic).
    struct CharRecord {
        int code = 0;
        int x = 0;
        int bottom = 0;
        int style[kStyleWords] = {};
    };

    struct Result {
        int page = 0;
        // Offset within the page of the instruction that drew the first
        // character of the hit; orders hits within a page.
        int position = 0;
        // Characters in the prepared pattern.
        int length = 0;
        // The hit's boxes, merged per line; empty when characters are
        // recorded instead.
        DList<Rect> rectangles;
        DList<CharRecord> characters;
    };

    // With recordCharacters set, results carry character records instead of
    // boxes.
    explicit VrDviSearch(int recordCharacters = 0);
    VrDviSearch(const VrDviSearch& other);
    VrDviSearch& operator=(const VrDviSearch& other);
    virtual ~VrDviSearch();

    // Searches pages first to last (-10000: the first, or the last page) for
    // text given in UTF-8; nonzero when something was found. Returns 0 for a
    // text that is not UTF-8 of the 16-bit range, and without touching the
    // results for bad arguments. Throws MalformedDviError out of a page that
    // cannot be interpreted.
    int FindString(const char* text, VrDvi* dvi, int caseSensitive, int first, int last);
    // The same for a NUL-terminated UTF-16 text.
    int FindString(const unsigned short* text, VrDvi* dvi, int caseSensitive, int first, int last);

    // Hits in page order, and by position within a page.
    DList<Result>& GetResultList() { return results_; }
    const DList<Result>& GetResultList() const { return results_; }
    void ClearResultList();

    // The case folding of searches that ignore case: simple lower-case
    // mappings of Latin, Greek, Cyrillic and full-width Latin letters.
    static unsigned short FoldCase(unsigned short c);

protected:
    // The matcher: one character drawn, with its box.
    void PutChar(unsigned short code, int x, int y, int width, int height);

private:
    // A character as the matcher takes it: its text, box (top left corner),
    // the position of its instruction and the font-special state.
    struct Drawn {
        unsigned short code = 0;
        int x = 0, baseline = 0, width = 0, height = 0, depth = 0;
        int position = 0;
        VrDvi::FontSpecialState style;
    };

    class SearchDrawer : public VrDviDrawerBase {
    public:
        int Open(VrDviSearch* owner, VrDvi* dvi, int page);
        using VrDviDrawerBase::Open;
        int Position() const { return GetInstructionOffset(); }
        // Hands on the character held back at the end of a page.
        void Flush();

    private:
        void PutChar(int h, int v, unsigned short code, int width, int height, int depth) override;
        void Pass(const Drawn& d);
        VrDviSearch* owner_ = nullptr;
        // Each character waits for the next, which may be an accent set
        // over it (or the letter under it).
        Drawn held_;
        bool holding_ = false;
    };

    void Match(unsigned short code, int x, int y, int width, int height, int position,
               const VrDvi::FontSpecialState& style);

    // A character of the partial match, with its own box and position; the
    // boxes are merged when the match is complete.
    struct Partial {
        int position = 0;
        Rect box;
        CharRecord record;
    };

    void AddResult();

    SearchDrawer drawer_;
    // The prepared pattern and its shift table, while a search runs.
    std::vector<unsigned short> pattern_;
    std::vector<int> shift_;
    int caseSensitive_ = 0;
    int matched_ = 0;
    int page_ = 0;
    int matchStart_ = 0;
    VrDvi::FontSpecialState style_;
    std::deque<Partial> partial_;
    DList<Result> results_;
    int resultCount_ = 0;
    int recordCharacters_ = 0;
};
