// The viewer's special parsers on any bytes: the argument parsers, the
// watermark builder and the note special decoder, each given the text with
// a NUL behind it as the reader does.
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/document/NoteSpecial.h"
#include "viewer/document/ViewerDvi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> text(data, data + size);
    text.push_back(0);
    const unsigned char* t = text.data();
    int w = 0, h = 0;
    ViewerDvi::ParsePaperSizeArgs(t, w, h);
    double x = 0, y = 0;
    ViewerDvi::ParseDefaultOrgArgs(t, x, y);
    COLORREF colour = 0;
    ViewerDvi::ParseWorkspaceColorArgs(t, colour);
    std::vector<unsigned char> instruction;
    std::string file;
    if (ViewerDvi::BuildWatermarkInstruction(t, int(size), instruction, file) && instruction.size() < 15) return 1;
    notespecial::Decoded d;
    if (notespecial::Decode(reinterpret_cast<const char*>(t), int(size), d)) {
        NoteRecord n;
        n.x = d.x, n.y = d.y, n.user = d.user, n.time = d.time, n.text = d.text;
        const std::string again = notespecial::Encode(n);
        notespecial::Decoded e;
        if (!notespecial::Decode(again.c_str(), int(again.size()), e) || e.x != d.x || e.y != d.y) __builtin_trap();
    }
    return 0;
}
