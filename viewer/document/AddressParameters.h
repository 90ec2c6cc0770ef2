// Parameters a document address carries for its first view: a fragment after
// '#' (a target tag) and a query after '?' of name=value pairs joined by '&'
// (mag, dispmag, page, origin, hltext/hlcolor and their slot forms, the bar
// choices, workspacecolor, goto, targettag, windowname). The texts come from
// web addresses: numbers are read in the C locale and clamped, lengths and
// counts are capped, percent-escapes in text values are decoded, and a value
// that does not parse leaves its field as it was.
#pragma once

#include <string>

constexpr int kParamNone = int(0x80000001u);  // an origin that was not given
constexpr int kMagNone = -1000000;
constexpr int kMagFitWidth = -10000;
constexpr int kMagFitPage = -20000;
constexpr int kHighlightSlots = 3;
constexpr int kHighlightTextMax = 255;      // bytes kept of a highlight text
constexpr int kParamTextMax = 1024;         // longest target tag or window name
constexpr int kMaxAddressParameters = 256;  // pairs read from one query
constexpr int kMaxMagPercent = 100000;
constexpr int kMaxPlainOrigin = 100000000;
constexpr int kMaxOriginSp = 0x3FFFFFFF;    // TeX's largest dimension

struct HighlightSlot {
    int active = 0;
    char text[kHighlightTextMax + 1] = {};
    int length = 0;
    int mode = 0;  // 1 plain, 2 for the "i" form
    int red = 255, green = 0, blue = 0;
};

// A document's parameter fields. A parse updates them in place: fields the
// address does not name keep their values.
struct AddressParameters {
    std::string address;    // without its parameters
    std::string targetTag;  // fragment, goto or targettag
    int magnification = kMagNone;  // percent x 100, or kMagFitWidth / kMagFitPage
    int magnificationGiven = 0;
    int page = -1;  // 0-based
    int originX = kParamNone, originY = kParamNone;      // plain numbers
    int originXsp = kParamNone, originYsp = kParamNone;  // scaled points
    int scrollBarChoice = 4;    // 0..3; 4: none
    int toolbarChoice = 2;      // 0 or 1; 2: none
    int mainToolbarChoice = 2;  // 0 or 1; 2: none
    int workspaceColor = 0x1000000;  // 0x00BBGGRR (given as RRGGBB); 0x1000000: none
    std::string windowName;
    HighlightSlot highlights[kHighlightSlots];
    int highlightDone = 0;
};

// An address taken apart: the base (the document), the query after '?' and
// the fragment after '#'. The last '#' or '?' decides: after '#' the text is
// the fragment, and a '?' before it starts the query. A separator in the
// first place does not count, and a local file that exists under the whole
// name is never cut.
struct AddressParts {
    std::string base, query, fragment;
    bool hasQuery = false, hasFragment = false;
};
AddressParts SplitAddress(const std::string& address);

// Takes `address` apart into p (see above). The last '#' or '?' of the
// address decides: after '#' the text is the target tag, and a query before
// the '#' is read as well; after '?' the query is read. p.address is the
// address without both.
void ParseAddressParameters(const std::string& address, AddressParameters& p);

// The file behind a local address: the text after "file://" (any case, and
// an optional "localhost"), percent-decoded, or the address as it stands.
// Empty when a "file://" address does not decode.
std::string LocalPathOfAddress(const std::string& address);

// Decodes %XX escapes; false on a malformed escape or a NUL, raw or decoded.
bool PercentDecode(const std::string& in, std::string& out);
