// Hyperlinks of PDF documents, found by a light text scan rather than a PDF
// parser: obj ... endobj blocks are searched for link annotations, page
// objects, named-destination leaves and destination dictionaries, and each
// link is resolved to a page number or a URI. The objects inside compressed
// object streams are scanned too (PdfObjectStreams.h); literal strings are
// read with their escapes and balanced parentheses. Pages are numbered in the
// order of the page tree, or in the order their objects appear in the file
// when the tree does not name every page once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct LinkRecord {
    int32_t page = -1;                 // 1-based page whose /Annots lists the link; -1 when none does
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; // /Rect in PDF units, truncated toward zero
    int32_t objNum = 0, objGen = 0;    // the annotation's own object
    int32_t destNum = -1, destGen = -1; // the object the link points to
    int32_t target = -1;               // 1-based page when resolved, -1 unresolved, -2 URI
    std::string text;                  // URI, destination name, or empty
};

// One per object that is not an array; pageCount counts the page objects seen
// so far, this one included.
struct PdfObjectRecord {
    int32_t pageCount = 0;
    int32_t objNum = 0, objGen = 0;
    std::string text;
};

// One per (name) n g R pair of a name-tree leaf.
struct PdfNameRecord {
    int32_t refNum = 0, refGen = 0;
    std::string name;
};

// One per object without /Subtype that has /D: an array gives the reference,
// a string gives the name (the reference is then -1, -1).
struct PdfDestRecord {
    int32_t objNum = 0, objGen = 0;
    int32_t refNum = -1, refGen = -1;
    std::string name;
};

// Scans the PDF file at `path`. Returns 1 after a scan, 0 when the file cannot
// be read whole, memory runs out or `stop` is set during the scan. The four
// tables are cleared first and filled only when at least one page lists
// annotations, so a file without links leaves them all empty. *pageTreeDepth
// (when given) is the longest chain of page-tree nodes (/Type /Pages) nested
// in one another through their /Kids, 0 when there is none; a cycle does not
// lengthen it.
int ScanPdfLinks(const char* path, std::vector<LinkRecord>* links, std::vector<PdfObjectRecord>* objects,
                 std::vector<PdfNameRecord>* names, std::vector<PdfDestRecord>* dests,
                 const std::atomic<int>* stop = nullptr, int* pageTreeDepth = nullptr);

// The same scan over the bytes of a file already in memory.
int ScanPdfLinkText(std::string_view data, std::vector<LinkRecord>* links, std::vector<PdfObjectRecord>* objects,
                    std::vector<PdfNameRecord>* names, std::vector<PdfDestRecord>* dests,
                    int* pageTreeDepth = nullptr);

// Page trees nested deeper than this are refused before Ghostscript, which
// walks them recursively, reads them (real files stay below ten levels).
inline constexpr int kPdfPageTreeDepthLimit = 256;

// The first link (in array order) on `page` whose rectangle contains (x, y),
// edges included, decides: its target when it is a page (> 0); -2 for a URI
// link, with the URI copied into *uri when `uri` is not null; otherwise 0.
// 0 as well when no link contains the point or `count` < 1.
int FindLinkAtPoint(int page, int x, int y, int count, const LinkRecord* links, std::string* uri);

// Link marks of a PostScript file: the "/TargetAnchors" table behind
// "%EndProlog" and every "pdfm" mark after it, with pages counted by "%Page:"
// comments. Returns 1, or 0 when the file cannot be read.
int ScanPostScriptAnchors(const char* path, std::vector<LinkRecord>* links);
int ScanPostScriptAnchorText(std::string_view data, std::vector<LinkRecord>* links);

// Token rules shared by both scanners. White space is space, tab, CR and LF;
// the delimiters are the 32 characters `-=~!@#$%^&*()_+[]\;',./{}|:"<>?

// Skips white space and converts the token up to the next white space or the
// end (at most 1023 characters) as a C-locale number, 0 when it is none.
// *consumed = the offset just past the token and one more character, never
// beyond the end of `text`.
double ReadNumberToken(std::string_view text, size_t* consumed);

// Nonzero when `text` starts with `keyword` followed by white space or a
// delimiter: the offset behind the keyword and the white space after it.
size_t MatchKeyword(std::string_view text, std::string_view keyword);

// Finds the first occurrence of `keyword` in `buffer` at or after `from`;
// *found is its offset, or npos. It counts only when the character before it
// (or the start of `buffer`) and the one after it are white space or
// delimiters; the result is then the offset from *found to the keyword's value
// (its length plus the white space behind it), else 0.
size_t FindKeyword(std::string_view buffer, size_t from, std::string_view keyword, size_t* found);
