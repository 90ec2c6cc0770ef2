// Fuzz target of the text selection: the input is a page body; drags between
// points taken from the input and from the characters' positions, then every
// query.
#include "TextFuzzWorld.h"
#include "dvilib/VrDviSelect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    textfuzz::World& w = textfuzz::TheWorld();
    if (!w.Load(data, size)) return 0;
    VrDviSelect sel;
    sel.SetKeepDrawingOrder(size & 2);
    try {
        if (!sel.Open(w.dvi, 0)) return 0;
    } catch (const VrDviDrawerBase::MalformedDviError&) {
    }
    for (size_t i = 0; i < 4; ++i) {
        const int x = textfuzz::Pick(data, size, 8 * i), y = textfuzz::Pick(data, size, 8 * i + 4);
        if (i % 2 == 0) sel.BeginSelect(x, y);
        else sel.UpdateSelect(x, y);
        sel.GetCharUnderPos(x, y);
    }
    (void)sel.GetSelRect();
    (void)sel.GetSelectedString();
    const int first = sel.GetNextCharPos(-1, 0);
    sel.SetRange(first, sel.GetNextCharPos(first, int(size % 50)));
    for (const auto& r : *sel.GetSelRect())
        if (r.top > r.bottom) __builtin_trap();
    String8 text = sel.GetSelectedString();
    if (text.GetLength() > 0 && sel.IsEmpty()) __builtin_trap();
    sel.GetCharInCommand(first);
    VrDviSelect copy(sel);
    (void)copy.GetSelectedString();
    return 0;
}
