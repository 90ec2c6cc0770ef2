// Notes read from a document: the "note:" specials of its pages become notes
// of the view, at the view's zoom.
#include "viewer/document/NoteSpecial.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/document/DocumentView.h"

void CVrViewerDoc::ReadNoteSpecial(const char* text, int length, int page) {
    notespecial::Decoded d;
    if (page < 0 || !notespecial::Decode(text, length, d)) return;
    NoteRecord note;
    note.page = page;
    note.user = d.user;
    note.time = d.time;
    note.text = d.text;
    const int x = d.x, y = d.y;
    // On the page, without the band's offset: a note saved and read again
    // stays where it was.
    PostView("ReadNoteSpecial", [note, x, y](CDocumentView* v) mutable {
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
