#include "dvilib/VrDviTTFMap.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gdi/FontPresence.h"

namespace {

// Longest token kept; the byte after it is consumed and lost.
constexpr int MaxToken = 199;

// Default face of double-byte characters: "바탕체" in code page 949.
const char DefaultDbcFace[] = "\xB9\xD9\xC5\xC1\xC3\xBC";

// A face the catalog lists, found without opening its file: a map names
// hundreds of faces.
int DefaultFaceTest(const char* face) { return FontEngine::HasFace(face) ? 1 : 0; }

VrDviTTFMap::FaceTest g_faceTest = DefaultFaceTest;

struct Token {
    bool present = false;  // false at the end of the input
    bool quoted = false;
    std::string text;

    bool Is(const char* s) const { return present && !quoted && text == s; }
};

bool IsWordByte(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

class Tokenizer {
public:
    explicit Tokenizer(std::FILE* f) : f_(f) {}

    Token Next() {
        Token t;
        int c;
        do c = std::getc(f_);
        while (c >= 1 && c <= 32);
        if (c == EOF) return t;
        t.present = true;
        if (c == '\'' || c == '"') {
            t.quoted = true;
            const int quote = c;
            while ((c = std::getc(f_)) != EOF && c != quote) {
                if (int(t.text.size()) == MaxToken) break;  // the cut byte is lost
                t.text.push_back(char(c));
            }
            return t;
        }
        t.text.push_back(char(c));
        while ((c = std::getc(f_)) != EOF) {
            if (!IsWordByte(c)) {
                std::ungetc(c, f_);
                break;
            }
            if (int(t.text.size()) == MaxToken) break;  // the cut byte is lost
            t.text.push_back(char(c));
        }
        return t;
    }

private:
    std::FILE* f_;
};

// Numbers are read as the C library's atof and atoi read them in the "C"
// locale: leading blanks, a sign, as many digits as there are, 0 for none.
const char* SkipNumberBlanks(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    return s;
}

double ParseReal(const String8& value) {
    const char* s = SkipNumberBlanks(value.c_str());
    if (*s == '+' && s[1] != '-') ++s;
    double v = 0.0;
    auto r = std::from_chars(s, s + std::strlen(s), v);
    // Non-finite or out-of-range factors would make the scaled sizes
    // meaningless (and their conversion to int undefined); they count as 0.
    if (r.ec != std::errc() || !std::isfinite(v)) return 0.0;
    return v;
}

int ParseInt(const String8& value) {
    const char* s = SkipNumberBlanks(value.c_str());
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > 1LL + INT_MAX) v = 1LL + INT_MAX;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    return int(v);
}

bool Eq(const String8& a, const char* b) { return std::strcmp(a.c_str(), b) == 0; }

void SetFlag(int& field, const String8& value) {
    if (Eq(value, "true"))
        field = 1;
    else if (Eq(value, "false"))
        field = 0;
}

void SetBold(int& weight, const String8& value) {
    if (Eq(value, "true"))
        weight = 700;
    else if (Eq(value, "false"))
        weight = 400;
}

void SetEncoding(VrDviTTFMap::EncodingName& encoding, const String8& value) {
    static const struct {
        const char* keyword;
        VrDviTTFMap::EncodingName encoding;
    } keywords[] = {
        {"ot1", VrDviTTFMap::EncOT1},
        {"8r-unicode", VrDviTTFMap::Enc8rUnicode},
        {"raw", VrDviTTFMap::EncRaw},
        {"xhan-unicode", VrDviTTFMap::EncXHanUnicode},
        {"xhanja-unicode", VrDviTTFMap::EncXHanjaUnicode},
        {"xsymb-unicode", VrDviTTFMap::EncXSymbUnicode},
        {"mswinsymbol-unicode", VrDviTTFMap::EncMSWinSymbolUnicode},
        {"hlatex", VrDviTTFMap::EncHLatex},
        {"t1-unicode", VrDviTTFMap::EncT1Unicode},
        {"ts1-unicode", VrDviTTFMap::EncTS1Unicode},
        {"ot1-unicode", VrDviTTFMap::EncOT1Unicode},
        {"unicode-subfont", VrDviTTFMap::EncUnicodeSubfont},
    };
    for (const auto& k : keywords)
        if (Eq(value, k.keyword)) {
            encoding = k.encoding;
            return;
        }
}

void ResetEntry(VrDviTTFMap::Entry& e) {
    e = VrDviTTFMap::Entry{};
    e.encoding = VrDviTTFMap::EncOT1;
    e.sbc.fontName = "cmr10";
    e.sbc.weight = 400;
    e.dbc.fontName = DefaultDbcFace;
    e.dbc.weight = 0;
}

void ApplyPair(VrDviTTFMap::Entry& e, const String8& key, const String8& value) {
    if (Eq(key, "encoding")) SetEncoding(e.encoding, value);
    else if (Eq(key, "fontname")) e.sbc.fontName = value;
    else if (Eq(key, "subsname")) e.sbc.subsName = value;
    else if (Eq(key, "height")) e.sbc.height = ParseReal(value);
    else if (Eq(key, "averagewidth")) e.sbc.averageWidth = ParseReal(value);
    else if (Eq(key, "vadjustment")) e.sbc.vAdjustment = ParseReal(value);
    else if (Eq(key, "italic")) SetFlag(e.sbc.italic, value);
    else if (Eq(key, "slant")) SetFlag(e.sbc.slant, value);
    else if (Eq(key, "bold")) SetBold(e.sbc.weight, value);
    else if (Eq(key, "weight")) e.sbc.weight = ParseInt(value);
    else if (Eq(key, "dbcfontname")) {
        e.dbc.fontName = value;
        e.dbcEnabled = 1;
    }
    else if (Eq(key, "dbcheight")) e.dbc.height = ParseReal(value);
    else if (Eq(key, "dbcaveragewidth")) e.dbc.averageWidth = ParseReal(value);
    else if (Eq(key, "dbcvadjustment")) e.dbc.vAdjustment = ParseReal(value);
    else if (Eq(key, "dbcitalic")) SetFlag(e.dbc.italic, value);
    else if (Eq(key, "dbcslant")) SetFlag(e.dbc.slant, value);
    else if (Eq(key, "dbcbold")) SetBold(e.dbc.weight, value);
    else if (Eq(key, "dbcweight")) e.dbc.weight = ParseInt(value);
}

String8 Lower(const Token& t) { return String8(t.text.c_str()).DownCase(); }

struct FileCloser {
    std::FILE* f;
    ~FileCloser() { std::fclose(f); }
};

} // namespace

VrDviTTFMap::VrDviTTFMap(const char* file) {
    InitHash();
    if (file) OpenTTFMapFile(file);
}

VrDviTTFMap::~VrDviTTFMap() { DeleteHash(); }

void VrDviTTFMap::InitHash() {
    for (Entry*& head : hash_) head = nullptr;
}

void VrDviTTFMap::DeleteHash() {
    for (Entry* head : hash_) {
        while (head) {
            Entry* next = head->next;
            delete head;
            head = next;
        }
    }
}

int VrDviTTFMap::OpenTTFMapFile(const char* file) {
    DeleteHash();
    InitHash();
    return AppendTTFMapFile(file);
}

int VrDviTTFMap::AppendTTFMapFile(const char* file) {
    if (!file) return 0;
    std::FILE* f = std::fopen(file, "r");
    if (!f) return 0;
    FileCloser closer{f};
    Tokenizer in(f);

    Entry pending;
    for (Token tok = in.Next(); tok.present; tok = in.Next()) {
        ResetEntry(pending);
        pending.name = Lower(tok);
        if (!in.Next().Is("{")) return 0;
        for (;;) {
            Token key = in.Next();
            if (!key.present || key.quoted) return 0;
            if (!in.Next().Is("=")) return 0;
            Token value = in.Next();
            if (!value.present || !value.quoted) return 0;
            ApplyPair(pending, Lower(key), Lower(value));
            tok = in.Next();
            if (tok.present && tok.quoted) return 0;
            if (!tok.Is(",")) break;
        }
        if (!pending.sbc.subsName.IsNull() && pending.sbc.subsName.GetLength() > 0 &&
            !IsFaceInstalled(pending.sbc.fontName) && IsFaceInstalled(pending.sbc.subsName))
            pending.sbc.fontName = pending.sbc.subsName;
        if (!tok.Is("}")) return 0;

        Entry* e = new Entry(pending);
        int bucket = GetHashCode(e->name);
        e->next = hash_[bucket];
        hash_[bucket] = e;
    }
    // A read error is no end of file (a folder opens, but cannot be read).
    return std::ferror(f) ? 0 : 1;
}

const VrDviTTFMap::Entry* VrDviTTFMap::GetEntry(const String8& name) const {
    String8 lower = name.DownCase();
    for (const Entry* e = hash_[GetHashCode(lower)]; e; e = e->next)
        if (e->name == lower) return e;
    return nullptr;
}

int VrDviTTFMap::GetHashCode(const String8& name) {
    int h = 12;
    const char* s = name.c_str();
    for (int i = 0; i < name.GetLength(); ++i) {
        h = (2 * h + static_cast<signed char>(s[i])) % HashSize;
        if (h < 0) h += HashSize;
    }
    return h;
}

VrDviTTFMap::FaceTest VrDviTTFMap::SetFaceTest(FaceTest test) {
    FaceTest old = g_faceTest;
    g_faceTest = test ? test : DefaultFaceTest;
    return old;
}

int VrDviTTFMap::IsFaceInstalled(const char* face) { return g_faceTest(face); }
