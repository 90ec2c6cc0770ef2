// Notes read from a document: the "note:" specials of its pages become notes
// of the view. The special is "note:", x and y at 100 % zoom (four hex digits
// each), the author's name length n (one hex digit), the name, the time stamp
// right-aligned in 19 characters, and the text to the special's end.
#include <cmath>
#include <string>

#include "viewer/app/NoteList.h"
#include "viewer/app/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Hex(const char* p, int digits, int& out) {
    out = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexDigit(p[i]);
        if (d < 0) return false;
        out = out * 16 + d;
    }
    return true;
}

}  // namespace

void CVrViewerDoc::ReadNoteSpecial(const char* text, int length, int page) {
    if (!text || length < 14 || page < 0) return;
    int x = 0, y = 0, n = 0;
    if (!Hex(text + 5, 4, x) || !Hex(text + 9, 4, y) || !Hex(text + 13, 1, n)) return;
    if (length < 14 + n + 19) return;
    NoteRecord note;
    note.page = page;
    note.user.assign(text + 14, size_t(n));
    std::string time(text + 14 + n, 19);
    time.erase(0, time.find_first_not_of(' '));
    note.time = time;
    note.text.assign(text + 14 + n + 19, size_t(length - 14 - n - 19));
    // Cut at a NUL: the name, time and text are texts.
    for (std::string* s : {&note.user, &note.time, &note.text})
        if (size_t z = s->find('\0'); z != std::string::npos) s->resize(z);
    // At the view's zoom, on the page (no band offset).
    PostView("ReadNoteSpecial", [note, x, y](CVrViewerView* v) mutable {
        ViewStatus vs;
        v->GetViewStatus(vs);
        const int z = vs.DispMag / 100;
        note.zoom = vs.DispMag;
        note.x = int(float(z) * float(x) * 0.01f + 0.5f);
        note.y = int(float(z) * float(y) * 0.01f + 0.5f);
        note.topOffset = 0;
        v->GetNotes().AppendNote(note);
        v->Invalidate(FALSE);
    });
}
