#include "dvilib/LigatureLetters.h"

#include <algorithm>
#include <map>
#include <set>

namespace ligature {

namespace {

constexpr unsigned kStopFlag = 128;
constexpr unsigned kPlainLigature = 0;

bool IsLetter(unsigned c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct Pair {
    unsigned left, right, result;
};

// The plain ligatures of one character's program, walked as TeX walks it:
// a restart in the first step, then step by step until a stop; the first
// step for a next character is the one that applies.
void CollectPairs(unsigned left, int start, const std::vector<Step>& program, std::vector<Pair>& out) {
    const size_t n = program.size();
    if (start < 0 || size_t(start) >= n) return;
    size_t k = size_t(start);
    if (program[k].skip > kStopFlag) {
        k = 256 * size_t(program[k].op) + program[k].rem;
        if (k >= n) return;
    }
    std::set<unsigned> seen;
    for (;;) {
        const Step& s = program[k];
        if (s.skip <= kStopFlag && seen.insert(s.next).second && s.op == kPlainLigature)
            out.push_back({left, s.next, s.rem});
        if (s.skip >= kStopFlag) return;
        k += size_t(s.skip) + 1;
        if (k >= n) return;
    }
}

} // namespace

std::vector<std::pair<unsigned, std::string>> InvertProgram(unsigned bc, const std::vector<int>& entry,
                                                            const std::vector<Step>& program) {
    std::vector<Pair> pairs;
    for (size_t k = 0; k < entry.size(); ++k) CollectPairs(bc + unsigned(k), entry[k], program, pairs);

    // Letters stand for themselves; a ligature's letters are those of its
    // pair, once both are known. Each round settles at least one more
    // character or ends, so ligatures of ligatures come out in order.
    std::map<unsigned, std::string> letters;
    auto lettersOf = [&](unsigned c) -> std::string {
        if (IsLetter(c)) return std::string(1, char(c));
        auto it = letters.find(c);
        return it == letters.end() ? std::string() : it->second;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (const Pair& p : pairs) {
            if (IsLetter(p.result) || letters.count(p.result)) continue;
            const std::string a = lettersOf(p.left), b = lettersOf(p.right);
            if (a.empty() || b.empty() || a.size() + b.size() > kMaxLetters) continue;
            letters[p.result] = a + b;
            changed = true;
        }
    }
    return {letters.begin(), letters.end()};
}

} // namespace ligature
