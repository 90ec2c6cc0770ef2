// A page interpreter that records what reaches its virtuals, for the tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "dvilib/VrDviDrawerBase.h"

namespace dvitest {

struct DrawEvent {
    char kind;  // 'c' character, 'r' rule, 's' special
    int h, v;
    unsigned code;     // character
    int a, b, c;       // character: width, height, depth; rule: height, width
    int offset;        // instruction offset in the page
    std::string text;  // special
    bool operator==(const DrawEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& o, const DrawEvent& e) {
    return o << e.kind << "@" << e.offset << "(" << e.h << "," << e.v << ") code " << e.code << " " << e.a << "/"
             << e.b << "/" << e.c << " '" << e.text << "'";
}

class RecordingDrawer : public VrDviDrawerBase {
public:
    using VrDviDrawerBase::GetCurrentFont;
    using VrDviDrawerBase::GetH;
    using VrDviDrawerBase::GetInstructionOffset;
    using VrDviDrawerBase::GetMultiByteState;
    using VrDviDrawerBase::GetPageBytes;
    using VrDviDrawerBase::GetV;
    using VrDviDrawerBase::SetWinFont;

    std::vector<DrawEvent> events;
    std::vector<int> statesAtPut;  // multibyte state seen by each PutChar
    bool passSpecials = true;      // hand specials to the base class too

    std::vector<DrawEvent> Chars() const { return Kind('c'); }
    std::vector<DrawEvent> Rules() const { return Kind('r'); }
    std::vector<DrawEvent> Specials() const { return Kind('s'); }

private:
    std::vector<DrawEvent> Kind(char k) const {
        std::vector<DrawEvent> out;
        for (const auto& e : events)
            if (e.kind == k) out.push_back(e);
        return out;
    }
    void PutChar(int h, int v, unsigned short code, int width, int height, int depth) override {
        events.push_back({'c', h, v, code, width, height, depth, GetInstructionOffset(), {}});
        statesAtPut.push_back(GetMultiByteState());
    }
    void PutRule(int h, int v, int height, int width) override {
        events.push_back({'r', h, v, 0, height, width, 0, GetInstructionOffset(), {}});
    }
    void DoSpecial(unsigned int length, InstPtr text) override {
        std::string t(reinterpret_cast<const char*>(text.Pointer()), length);
        events.push_back({'s', GetH(), GetV(), 0, 0, 0, 0, GetInstructionOffset(), t});
        if (passSpecials) VrDviDrawerBase::DoSpecial(length, text);
    }
};

} // namespace dvitest
