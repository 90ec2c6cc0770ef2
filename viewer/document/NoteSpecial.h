// The "note:" special that carries a sticky note in a DVI page: "note:",
// x and y at 100 % zoom (lower-case hex, four digits), the length n of the
// author's name (one hex digit), the name, the time stamp right-aligned in
// 19 characters and the note's text up to the special's end.
#pragma once

#include <string>

#include "viewer/document/NoteList.h"

namespace notespecial {

struct Decoded {
    int x = 0;  // at 100 % zoom, pixels
    int y = 0;
    std::string user;
    std::string time;
    std::string text;
};

// false for a special that is not a whole note (too short, not hex).
bool Decode(const char* text, int length, Decoded& out);

// The special of a note: its position taken to 100 % zoom (y on the page,
// without the band), each clamped to 0..0xFFFF so that every field reads
// back where it was written; the name at most 15 bytes.
std::string Encode(const NoteRecord& note);

}  // namespace notespecial
