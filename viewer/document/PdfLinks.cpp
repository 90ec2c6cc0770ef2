#include "viewer/document/PdfLinks.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <new>
#include <unordered_map>

#include "viewer/document/LinkScanText.h"
#include "viewer/document/PdfObjectStreams.h"

namespace linkscan {

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDelimiter(char c) {
    static constexpr std::string_view kDelimiters = "`-=~!@#$%^&*()_+[]\\;',./{}|:\"<>?";
    return c != '\0' && kDelimiters.find(c) != std::string_view::npos;
}

// A NUL byte ends a token as a delimiter does.
bool IsBoundary(char c) { return IsWhite(c) || IsDelimiter(c) || c == '\0'; }

size_t SkipWhite(std::string_view s, size_t i) {
    while (i < s.size() && IsWhite(s[i])) ++i;
    return i;
}

int32_t ToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(INT32_MAX)) return INT32_MAX;
    if (v <= double(INT32_MIN)) return INT32_MIN;
    return int32_t(v);
}

int32_t ParseInt(std::string_view s) {
    size_t i = SkipWhite(s, 0);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min<int64_t>(v * 10 + (s[i] - '0'), int64_t(1) << 32);
    v = negative ? -v : v;
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool ReadWholeFile(const char* path, std::string* out) {
    std::error_code ec;
    if (!path || !std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    out->resize(size_t(size));
    in.read(out->data(), size);
    return in.gcount() == size;
}

} // namespace linkscan

using namespace linkscan;

double ReadNumberToken(std::string_view text, size_t* consumed) {
    size_t i = SkipWhite(text, 0);
    const size_t start = i;
    while (i < text.size() && !IsWhite(text[i]) && i - start < 1023) ++i;
    if (consumed) *consumed = std::min(i + 1, text.size());
    std::string_view token = text.substr(start, i - start);
    // Like atof in the C locale: the longest leading number, else 0.
    bool negative = false;
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
        negative = token[0] == '-';
        token.remove_prefix(1);
    }
    if (token.empty() || token[0] == '+' || token[0] == '-') return 0;
    double v = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Overflow saturates, underflow is 0.
        std::string_view number = token.substr(0, size_t(end - token.data()));
        const size_t e = number.find_first_of("eE");
        const bool tiny = e != std::string_view::npos
                              ? e + 1 < number.size() && number[e + 1] == '-'
                              : number.find_first_of("123456789") >= number.find('.');
        v = tiny ? 0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        return 0;
    }
    return negative ? -v : v;
}

size_t MatchKeyword(std::string_view text, std::string_view keyword) {
    if (keyword.empty() || text.size() <= keyword.size() || text.substr(0, keyword.size()) != keyword) return 0;
    if (!IsBoundary(text[keyword.size()])) return 0;
    return SkipWhite(text, keyword.size());
}

size_t FindKeyword(std::string_view buffer, size_t from, std::string_view keyword, size_t* found) {
    const size_t f = keyword.empty() || from > buffer.size() ? std::string_view::npos : buffer.find(keyword, from);
    if (found) *found = f;
    if (f == std::string_view::npos) return 0;
    // A name starts at its "/": what comes before it is no part of it.
    if (f > 0 && keyword[0] != '/' && !IsBoundary(buffer[f - 1])) return 0;
    const size_t after = f + keyword.size();
    if (after >= buffer.size() || !IsBoundary(buffer[after])) return 0;
    return SkipWhite(buffer, after) - f;
}

namespace {

constexpr size_t npos = std::string_view::npos;

struct ArrayRef {
    int32_t objNum, refNum, refGen;
};

struct AnnotRef {
    int32_t page, num, gen;
};

uint64_t Key(int32_t num, int32_t gen) { return uint64_t(uint32_t(num)) << 32 | uint32_t(gen); }

// Calls fn(n, g) for every R in [begin, end), n and g being the two numbers
// behind the previous opening bracket or R.
template <class Fn>
void ForEachReference(std::string_view obj, size_t begin, size_t end, Fn&& fn) {
    size_t cursor = begin;
    while (cursor < end) {
        const size_t r = obj.substr(0, end).find('R', cursor);
        if (r == npos) break;
        std::string_view span = obj.substr(cursor, r - cursor);
        size_t used = 0;
        const double n = ReadNumberToken(span, &used);
        const double g = ReadNumberToken(span.substr(used), nullptr);
        fn(ToInt32(n), ToInt32(g));
        cursor = r + 1;
    }
}

bool IsIntegerToken(std::string_view t) {
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.remove_prefix(1);
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads "n g R" at *pos; on success *pos moves behind the R.
bool ReadReference(std::string_view s, size_t* pos, int32_t* num, int32_t* gen) {
    size_t i = *pos;
    std::string_view tokens[2];
    for (std::string_view& t : tokens) {
        i = SkipWhite(s, i);
        const size_t start = i;
        while (i < s.size() && !IsWhite(s[i])) ++i;
        t = s.substr(start, i - start);
        if (!IsIntegerToken(t)) return false;
    }
    i = SkipWhite(s, i);
    if (i >= s.size() || s[i] != 'R' || (i + 1 < s.size() && !IsBoundary(s[i + 1]))) return false;
    *num = ParseInt(tokens[0]);
    *gen = ParseInt(tokens[1]);
    *pos = i + 1;
    return true;
}

// The text of a literal (string) starting at `open`: escapes decoded, nested
// balanced parentheses kept, a backslash before a line end joining the lines.
// *next, when given, is the offset behind the closing ')'. False when the
// string does not end.
bool ReadString(std::string_view s, size_t open, std::string* out, size_t* next = nullptr) {
    if (open >= s.size() || s[open] != '(') return false;
    std::string text;
    int depth = 0;
    for (size_t i = open + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == ')') {
            if (depth == 0) {
                *out = std::move(text);
                if (next) *next = i + 1;
                return true;
            }
            --depth;
        } else if (c == '(') {
            ++depth;
        } else if (c == '\\' && i + 1 < s.size()) {
            c = s[++i];
            switch (c) {
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            case 't': c = '\t'; break;
            case 'b': c = '\b'; break;
            case 'f': c = '\f'; break;
            case '\r':
                if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
                continue;
            case '\n':
                continue;
            default:
                if (c >= '0' && c <= '7') {
                    int v = c - '0';
                    for (int k = 0; k < 2 && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7'; ++k)
                        v = v * 8 + (s[++i] - '0');
                    c = char(v & 0xFF);
                }
                break;  // any other character stands for itself
            }
        }
        text += c == '\0' ? '|' : c;  // no NUL byte reaches a name or an address
    }
    return false;
}

class PdfScanner {
public:
    explicit PdfScanner(const std::atomic<int>* stop) : stop_(stop) {}

    // The obj ... endobj blocks of `buf`; false when stopped.
    bool Run(std::string_view buf) {
        buf_ = buf;
        size_t pos = 0;
        for (unsigned n = 0; pos < buf_.size(); ++n) {
            if (n % 1024 == 0 && Stopped()) return false;
            size_t found;
            const size_t r = FindKeyword(buf_, pos, "obj", &found);
            if (found == npos) break;
            if (!r) {
                pos = found + 3;
                continue;
            }
            const size_t end = buf_.find("endobj", found + 3);
            if (end == npos) break;
            int32_t num, gen;
            if (ObjectNumbers(pos, found, &num, &gen)) Object(buf_.substr(0, end), found + r, num, gen);
            pos = end + 6;
        }
        return !Stopped();
    }

    // The objects of an unpacked object stream, behind the file's own.
    bool Run(std::string_view data, const std::vector<StreamObject>& entries) {
        for (size_t n = 0; n < entries.size(); ++n) {
            if (n % 1024 == 0 && Stopped()) return false;
            const std::string_view obj = data.substr(0, entries[n].end);
            Object(obj, SkipWhite(obj, entries[n].begin), entries[n].num, 0);
        }
        return !Stopped();
    }

    bool Stopped() const { return stop_ && stop_->load(std::memory_order_relaxed); }

    void Resolve();
    // The longest chain of page-tree nodes, walked without recursion.
    int TreeDepth() const;

    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;

private:
    // The generation and the object number are the two tokens before "obj",
    // looked for no further back than `floor`.
    bool ObjectNumbers(size_t floor, size_t obj, int32_t* num, int32_t* gen) const {
        size_t p = obj;
        std::string_view tokens[2];
        for (std::string_view& t : tokens) {
            while (p > floor && IsWhite(buf_[p - 1])) --p;
            const size_t end = p;
            while (p > floor && !IsWhite(buf_[p - 1])) --p;
            t = buf_.substr(p, end - p);
            if (t.empty()) return false;
        }
        *gen = ParseInt(tokens[0]);
        *num = ParseInt(tokens[1]);
        return true;
    }

    void Object(std::string_view obj, size_t value, int32_t num, int32_t gen) {
        if (value < obj.size() && obj[value] == '[') {
            const size_t close = obj.find(']', value);
            if (close != npos)
                ForEachReference(obj, value + 1, close, [&](int32_t n, int32_t g) { arrays_.push_back({num, n, g}); });
            return;
        }
        size_t f;
        size_t r = FindKeyword(obj, value, "/Type", &f);
        if (r && MatchKeyword(obj.substr(f + r), "/Page")) {
            ++pages_;
            pageObjects_.push_back(Key(num, gen));
            Annots(obj, value);
        } else if (r && MatchKeyword(obj.substr(f + r), "/Pages")) {
            Kids(obj, value, num, gen);
        }
        r = FindKeyword(obj, value, "/Subtype", &f);
        if (r) {
            if (MatchKeyword(obj.substr(f + r), "/Link")) Link(obj, value, num, gen);
        } else {
            NamesOrDest(obj, value, num, gen);
        }
        objects.push_back({pages_, num, gen, {}});
    }

    void Annots(std::string_view obj, size_t value) {
        size_t f;
        const size_t r = FindKeyword(obj, value, "/Annots", &f);
        if (!r || f + r >= obj.size()) return;
        const size_t v = f + r;
        if (obj[v] == '[') {
            const size_t close = obj.find(']', v);
            if (close != npos)
                ForEachReference(obj, v + 1, close, [&](int32_t n, int32_t g) { annots_.push_back({pages_, n, g}); });
        } else {
            size_t used = 0;
            const double n = ReadNumberToken(obj.substr(v), &used);
            const double g = ReadNumberToken(obj.substr(v + used), nullptr);
            indirect_.push_back({pages_, ToInt32(n), ToInt32(g)});
        }
    }

    // The /Kids of a page-tree node, and whether it has a /Parent.
    void Kids(std::string_view obj, size_t value, int32_t num, int32_t gen) {
        size_t f;
        const size_t r = FindKeyword(obj, value, "/Kids", &f);
        if (!r || f + r >= obj.size() || obj[f + r] != '[') return;
        const size_t close = obj.find(']', f + r);
        if (close == npos) return;
        TreeNode& node = tree_[Key(num, gen)];
        node.kids.clear();
        ForEachReference(obj, f + r + 1, close, [&](int32_t n, int32_t g) { node.kids.push_back(Key(n, g)); });
        size_t pf;
        node.root = FindKeyword(obj, value, "/Parent", &pf) == 0;
        treeOrder_.push_back(Key(num, gen));
    }

    // Page numbers in the order of the page tree, by file order (1-based);
    // empty when the tree does not name every page object exactly once.
    std::vector<int32_t> TreeNumbers() const;

    void Link(std::string_view obj, size_t value, int32_t num, int32_t gen) {
        size_t f;
        size_t r = FindKeyword(obj, value, "/Rect", &f);
        if (!r || f + r >= obj.size() || obj[f + r] != '[') return;
        const size_t open = f + r, close = obj.find(']', open);
        if (close == npos) return;
        LinkRecord link;
        link.objNum = num;
        link.objGen = gen;
        std::string_view rect = obj.substr(open + 1, close - open - 1);
        int32_t* corners[4] = {&link.x0, &link.y0, &link.x1, &link.y1};
        for (int32_t* c : corners) {
            size_t used = 0;
            *c = ToInt32(ReadNumberToken(rect, &used));
            rect.remove_prefix(used);
        }

        r = FindKeyword(obj, value, "/Dest", &f);
        if (!r) r = FindKeyword(obj, value, "/D", &f);
        if (r) {
            const size_t v = f + r;
            if (v >= obj.size()) return;
            if (obj[v] == '[') {
                const size_t end = std::min(obj.find(']', v), obj.size());
                size_t used = 0;
                std::string_view refs = obj.substr(v + 1, end - v - 1);
                link.destNum = ToInt32(ReadNumberToken(refs, &used));
                link.destGen = ToInt32(ReadNumberToken(refs.substr(used), nullptr));
                links.push_back(std::move(link));
            } else if (ReadString(obj, v, &link.text)) {
                links.push_back(std::move(link));
            }
            return;
        }
        for (size_t from = value;;) {
            r = FindKeyword(obj, from, "/URI", &f);
            if (f == npos) return;
            if (r && f + r < obj.size() && obj[f + r] == '(') {
                // A string that does not end has nothing behind it to read.
                if (!ReadString(obj, f + r, &link.text)) return;
                link.target = -2;
                links.push_back(std::move(link));
                return;
            }
            from = f + 4;
        }
    }

    void NamesOrDest(std::string_view obj, size_t value, int32_t num, int32_t gen) {
        size_t fl, fn;
        const size_t rl = FindKeyword(obj, value, "/Limits", &fl);
        const size_t rn = FindKeyword(obj, value, "/Names", &fn);
        if (rl && rn) {
            size_t i = fn + rn;
            if (i >= obj.size() || obj[i] != '[') return;
            for (++i; i < obj.size() && obj[i] != ']';) {
                std::string name;
                if (obj[i] != '(') {
                    ++i;
                } else if (!ReadString(obj, i, &name, &i)) {
                    return;
                } else {
                    PdfNameRecord rec;
                    if (ReadReference(obj, &i, &rec.refNum, &rec.refGen)) {
                        rec.name = std::move(name);
                        names.push_back(std::move(rec));
                    }
                }
            }
            return;
        }
        size_t f;
        const size_t r = FindKeyword(obj, value, "/D", &f);
        if (!r || f + r >= obj.size()) return;
        const size_t v = f + r;
        PdfDestRecord rec;
        rec.objNum = num;
        rec.objGen = gen;
        if (obj[v] == '[') {
            const size_t end = std::min(obj.find(']', v), obj.size());
            size_t used = 0;
            std::string_view refs = obj.substr(v + 1, end - v - 1);
            rec.refNum = ToInt32(ReadNumberToken(refs, &used));
            rec.refGen = ToInt32(ReadNumberToken(refs.substr(used), nullptr));
            dests.push_back(std::move(rec));
        } else if (ReadString(obj, v, &rec.name)) {
            namedDests_ = true;
            dests.push_back(std::move(rec));
        }
    }

    struct TreeNode {
        std::vector<uint64_t> kids;
        bool root = false;
    };

    const std::atomic<int>* stop_;
    std::string_view buf_;
    int32_t pages_ = 0;
    std::vector<uint64_t> pageObjects_;  // in file order
    std::unordered_map<uint64_t, TreeNode> tree_;
    std::vector<uint64_t> treeOrder_;  // the tree's nodes in file order
    bool namedDests_ = false;
    std::vector<ArrayRef> arrays_;
    std::vector<AnnotRef> annots_;
    std::vector<AnnotRef> indirect_;
};

std::vector<int32_t> PdfScanner::TreeNumbers() const {
    if (pageObjects_.empty() || tree_.empty()) return {};
    std::unordered_map<uint64_t, int32_t> fileNumber;
    for (size_t i = 0; i < pageObjects_.size(); ++i)
        if (!fileNumber.try_emplace(pageObjects_[i], int32_t(i + 1)).second) return {};
    std::vector<int32_t> numbers(pageObjects_.size() + 1, 0);
    int32_t next = 0;
    std::unordered_map<uint64_t, bool> visited;
    for (uint64_t start : treeOrder_) {
        if (!tree_.at(start).root) continue;
        std::vector<std::pair<uint64_t, size_t>> stack{{start, 0}};  // node, next kid
        if (!visited.try_emplace(start, true).second) continue;
        while (!stack.empty()) {
            auto& [node, kid] = stack.back();
            const std::vector<uint64_t>& kids = tree_.at(node).kids;
            if (kid >= kids.size()) {
                stack.pop_back();
                continue;
            }
            const uint64_t k = kids[kid++];
            if (!visited.try_emplace(k, true).second) return {};  // a page or node named twice
            if (auto page = fileNumber.find(k); page != fileNumber.end()) {
                numbers[size_t(page->second)] = ++next;
            } else if (tree_.count(k)) {
                stack.push_back({k, 0});
            }
        }
    }
    if (size_t(next) != pageObjects_.size()) return {};
    return numbers;
}

int PdfScanner::TreeDepth() const {
    // depth: 0 not reached yet, -1 on the walk's path, else the chain's length
    // from that node down.
    std::unordered_map<uint64_t, int> depth;
    int deepest = 0;
    for (uint64_t start : treeOrder_) {
        if (depth.count(start)) continue;
        std::vector<std::pair<uint64_t, size_t>> stack{{start, 0}};  // node, next kid
        depth[start] = -1;
        while (!stack.empty()) {
            auto& [node, kid] = stack.back();
            const std::vector<uint64_t>& kids = tree_.at(node).kids;
            if (kid < kids.size()) {
                const uint64_t k = kids[kid++];
                if (tree_.count(k) && !depth.count(k)) {
                    depth[k] = -1;
                    stack.push_back({k, 0});
                }
                continue;
            }
            int below = 0;
            for (uint64_t k : kids)
                if (auto it = depth.find(k); it != depth.end()) below = std::max(below, it->second);
            depth[node] = below + 1;
            deepest = std::max(deepest, below + 1);
            stack.pop_back();
        }
    }
    return deepest;
}

void PdfScanner::Resolve() {
    // Pages count in the order of the page tree where the file's order
    // differs from it.
    if (const std::vector<int32_t> numbers = TreeNumbers(); !numbers.empty()) {
        auto renumber = [&](int32_t& page) {
            if (page >= 1 && size_t(page) < numbers.size()) page = numbers[size_t(page)];
        };
        for (AnnotRef& a : annots_) renumber(a.page);
        for (AnnotRef& a : indirect_) renumber(a.page);
        std::unordered_map<uint64_t, int32_t> pageOf;
        for (size_t i = 0; i < pageObjects_.size(); ++i) pageOf.emplace(pageObjects_[i], numbers[i + 1]);
        for (PdfObjectRecord& o : objects)
            if (auto it = pageOf.find(Key(o.objNum, o.objGen)); it != pageOf.end()) o.pageCount = it->second;
    }

    // An indirect /Annots stands for the elements of every array object of
    // that number. Each link takes the page of the last reference naming it,
    // so only the last indirect reference to each array number matters; the
    // expansion is walked in that order instead of being built.
    std::unordered_map<int32_t, size_t> lastIndirect;
    for (size_t i = 0; i < indirect_.size(); ++i) lastIndirect[indirect_[i].num] = i;
    std::vector<std::pair<size_t, size_t>> expanded; // (indirect reference, array element)
    for (size_t k = 0; k < arrays_.size(); ++k) {
        auto it = lastIndirect.find(arrays_[k].objNum);
        if (it != lastIndirect.end()) expanded.push_back({it->second, k});
    }
    if (annots_.empty() && expanded.empty()) {
        links.clear();
        objects.clear();
        names.clear();
        dests.clear();
        return;
    }
    std::stable_sort(expanded.begin(), expanded.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::unordered_map<uint64_t, size_t> linkByObj;
    for (size_t i = 0; i < links.size(); ++i) linkByObj.try_emplace(Key(links[i].objNum, links[i].objGen), i);
    auto assign = [&](int32_t num, int32_t gen, int32_t page) {
        auto it = linkByObj.find(Key(num, gen));
        if (it != linkByObj.end()) links[it->second].page = page;
    };
    for (const AnnotRef& a : annots_) assign(a.num, a.gen, a.page);
    for (const auto& [i, k] : expanded) assign(arrays_[k].refNum, arrays_[k].refGen, indirect_[i].page);

    // URI links keep their target; only destinations are resolved.
    auto isDest = [](const LinkRecord& l) { return l.target != -2; };

    if (!names.empty()) {
        std::unordered_map<std::string_view, size_t> nameIndex;
        for (size_t i = 0; i < names.size(); ++i) nameIndex.try_emplace(names[i].name, i);
        for (LinkRecord& l : links) {
            if (!isDest(l) || l.text.empty()) continue;
            auto it = nameIndex.find(l.text);
            if (it == nameIndex.end()) continue;
            l.destNum = names[it->second].refNum;
            l.destGen = names[it->second].refGen;
        }
    }

    if (!dests.empty()) {
        if (namedDests_ && !names.empty()) {
            std::unordered_map<std::string_view, size_t> destByName;
            for (size_t i = 0; i < dests.size(); ++i)
                if (!dests[i].name.empty()) destByName.try_emplace(dests[i].name, i);
            for (const PdfNameRecord& n : names) {
                auto it = destByName.find(n.name);
                if (it == destByName.end()) continue;
                dests[it->second].refNum = n.refNum;
                dests[it->second].refGen = n.refGen;
            }
        }
        std::unordered_map<uint64_t, size_t> destByObj;
        for (size_t i = 0; i < dests.size(); ++i) destByObj.try_emplace(Key(dests[i].objNum, dests[i].objGen), i);
        for (LinkRecord& l : links) {
            if (!isDest(l)) continue;
            auto it = destByObj.find(Key(l.destNum, l.destGen));
            if (it == destByObj.end()) continue;
            l.destNum = dests[it->second].refNum;
            l.destGen = dests[it->second].refGen;
        }
    }

    std::unordered_map<uint64_t, size_t> objectByNum;
    for (size_t i = 0; i < objects.size(); ++i) objectByNum.try_emplace(Key(objects[i].objNum, objects[i].objGen), i);
    for (LinkRecord& l : links) {
        if (!isDest(l)) continue;
        auto it = objectByNum.find(Key(l.destNum, l.destGen));
        if (it != objectByNum.end()) l.target = objects[it->second].pageCount;
    }
}

int ScanText(std::string_view text, std::vector<LinkRecord>* links, std::vector<PdfObjectRecord>* objects,
             std::vector<PdfNameRecord>* names, std::vector<PdfDestRecord>* dests, const std::atomic<int>* stop,
             int* pageTreeDepth) {
    try {
        PdfScanner scan(stop);
        if (!scan.Run(text)) return 0;
        // The objects of compressed object streams are scanned behind the
        // file's own, one stream at a time.
        bool going = true;
        const bool walked = ForEachObjectStream(
            text,
            [&](std::string_view data, const std::vector<StreamObject>& entries) {
                going = going && scan.Run(data, entries);
            },
            stop);
        if (!walked || !going) return 0;
        if (pageTreeDepth) *pageTreeDepth = scan.TreeDepth();
        scan.Resolve();
        if (links) *links = std::move(scan.links);
        if (objects) *objects = std::move(scan.objects);
        if (names) *names = std::move(scan.names);
        if (dests) *dests = std::move(scan.dests);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

template <class T>
void Clear(std::vector<T>* v) {
    if (v) v->clear();
}

} // namespace

int ScanPdfLinkText(std::string_view data, std::vector<LinkRecord>* links, std::vector<PdfObjectRecord>* objects,
                    std::vector<PdfNameRecord>* names, std::vector<PdfDestRecord>* dests, int* pageTreeDepth) {
    if (pageTreeDepth) *pageTreeDepth = 0;
    Clear(links);
    Clear(objects);
    Clear(names);
    Clear(dests);
    try {
        return ScanText(data, links, objects, names, dests, nullptr, pageTreeDepth);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int ScanPdfLinks(const char* path, std::vector<LinkRecord>* links, std::vector<PdfObjectRecord>* objects,
                 std::vector<PdfNameRecord>* names, std::vector<PdfDestRecord>* dests, const std::atomic<int>* stop,
                 int* pageTreeDepth) {
    if (pageTreeDepth) *pageTreeDepth = 0;
    Clear(links);
    Clear(objects);
    Clear(names);
    Clear(dests);
    std::string data;
    try {
        if (!ReadWholeFile(path, &data)) return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return ScanText(data, links, objects, names, dests, stop, pageTreeDepth);
}

int FindLinkAtPoint(int page, int x, int y, int count, const LinkRecord* links, std::string* uri) {
    if (count < 1 || !links) return 0;
    for (int i = 0; i < count; ++i) {
        const LinkRecord& l = links[i];
        if (l.page != page || x < l.x0 || x > l.x1 || y < l.y0 || y > l.y1) continue;
        if (l.target > 0) return l.target;
        if (l.target != -2) return 0;
        if (uri) *uri = l.text;
        return -2;
    }
    return 0;
}
