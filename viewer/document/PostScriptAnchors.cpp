#include <new>
#include <unordered_map>

#include "viewer/document/LinkScanText.h"
#include "viewer/document/PdfLinks.h"

using namespace linkscan;

namespace {

constexpr size_t npos = std::string_view::npos;

// The (string) that closes at `close`, scanning back no further than `floor`.
bool StringEndingAt(std::string_view s, size_t floor, size_t close, size_t* open, std::string* out) {
    const size_t o = s.substr(0, close).rfind('(');
    if (o == npos || o < floor) return false;
    *open = o;
    out->assign(s.substr(o + 1, close - o - 1));
    return true;
}

size_t CountPageComments(std::string_view s) {
    size_t n = 0;
    for (size_t at = s.find("%Page:"); at != npos; at = s.find("%Page:", at + 6)) ++n;
    return n;
}

void ScanMarks(std::string_view text, std::vector<LinkRecord>* links) {
    const size_t prolog = text.find("%EndProlog");
    if (prolog == npos) return;
    size_t pos = prolog + 10;

    std::unordered_map<std::string, int32_t> anchors;
    const size_t table = text.find("/TargetAnchors", pos);
    if (table != npos) {
        pos = table + 14;
        size_t used = 0;
        const int32_t count = ToInt32(ReadNumberToken(text.substr(pos), &used));
        pos += used;
        for (int32_t k = 0; k < count; ++k) {
            const size_t open = text.find('(', pos);
            const size_t close = open == npos ? npos : text.find(')', open + 1);
            const size_t bracket = close == npos ? npos : text.find('[', close + 1);
            if (bracket == npos) break;
            const int32_t page = ToInt32(ReadNumberToken(text.substr(bracket + 1), &used));
            anchors.try_emplace(std::string(text.substr(open + 1, close - open - 1)), page);
            pos = bracket + 1 + used;
        }
    }

    int32_t page = 0;
    for (size_t mark = text.find("pdfm", pos); mark != npos; pos = mark + 4, mark = text.find("pdfm", pos)) {
        std::string_view before = text.substr(pos, mark - pos);
        page += int32_t(CountPageComments(before));
        size_t end = before.size();
        while (end > 0 && IsWhite(before[end - 1])) --end;
        if (end == 0 || (before[end - 1] != ']' && before[end - 1] != ')')) continue;

        // The rectangle: four numbers behind the fourth opening bracket from the end.
        size_t rect = end;
        for (int k = 0; k < 4 && rect != npos; ++k) rect = rect == 0 ? npos : before.rfind('[', rect - 1);
        if (rect == npos) continue;
        LinkRecord link;
        link.page = page;
        std::string_view numbers = before.substr(rect + 1, end - rect - 1);
        for (int32_t* c : {&link.x0, &link.y0, &link.x1, &link.y1}) {
            size_t used = 0;
            *c = ToInt32(ReadNumberToken(numbers, &used));
            numbers.remove_prefix(used);
        }

        size_t open = 0;
        if (before[end - 1] == ')') {
            if (!StringEndingAt(before, rect, end - 1, &open, &link.text)) continue;
            size_t b = open;
            while (b > 0 && IsWhite(before[b - 1])) --b;
            if (b == 0 || before[b - 1] != ']') continue;
            link.target = -2;
        } else {
            const size_t close = before.substr(0, end - 1).rfind(')');
            if (close == npos || close < rect || !StringEndingAt(before, rect, close, &open, &link.text)) continue;
            auto it = anchors.find(link.text);
            link.target = it == anchors.end() ? -1 : it->second;
        }
        links->push_back(std::move(link));
    }
}

} // namespace

int ScanPostScriptAnchorText(std::string_view data, std::vector<LinkRecord>* links) {
    if (!links) return 0;
    links->clear();
    try {
        ScanMarks(data, links);
        return 1;
    } catch (const std::bad_alloc&) {
        links->clear();
        return 0;
    }
}

int ScanPostScriptAnchors(const char* path, std::vector<LinkRecord>* links) {
    if (!links) return 0;
    links->clear();
    std::string data;
    try {
        if (!ReadWholeFile(path, &data)) return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return ScanPostScriptAnchorText(data, links);
}
