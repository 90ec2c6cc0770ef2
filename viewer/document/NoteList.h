// NoteList: the sticky notes of one page view. Each note is pinned to a
// point of a DVI page at the zoom it was placed with, carries its author's
// name, a time stamp and a text. Deleted notes stay in the list, flagged.
// The list draws an icon for each live note of the shown page and keeps the
// icon rectangles of that draw for hit testing.
//
// Threads: UI thread only. Notes read from a document during its scan are
// handed to the UI thread before they are added.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"

struct NoteRecord {
    int zoom = 10000;   // DispMag (percent x 100) the position below is at
    int page = 0;       // 0-based
    int x = 0;          // page-bitmap pixels
    int y = 0;          // window y + scroll position: includes topOffset
    int topOffset = 0;  // the view's band height when placed; the page y is y - topOffset
    std::string text;
    std::string time;   // "%Y/%m/%d %H:%M:%S"
    std::string user;   // at most kUserNameMax bytes, whole UTF-8 characters
    int deleted = 0;
};

class NoteList {
public:
    // A note's author name holds at most this many bytes.
    static constexpr int kUserNameMax = 14;
    static constexpr int kIconWidth = 15, kIconHeight = 18;
    static constexpr int kHitWidth = 13, kHitHeight = 16;

    struct IconRect {
        RECT rect;  // right and bottom edges excluded
        int index;
    };

    NoteList() = default;
    virtual ~NoteList();
    NoteList(const NoteList&) = delete;
    NoteList& operator=(const NoteList&) = delete;

    // Adds a note stamped with the time and the user's name and an empty
    // text; returns the new count.
    int AddNote(int zoom, int page, int x, int y, int topOffset);
    // Adds a note as it stands (one read from a document): no stamp, no
    // change. Its author's name is cut to kUserNameMax bytes.
    int AppendNote(const NoteRecord& note);
    // Replaces the text of note index; nothing for an index out of range.
    void SetNoteText(int index, const std::string& text);
    // New time stamp on note index, and the list counts as changed.
    void StampTime(int index);
    // Sets the deleted flag; the list counts as changed. 0 when there is
    // no such live note.
    int DeleteNote(int index);
    // Sets the author (cut to kUserNameMax bytes); stamps the time when
    // it differs. 1 when it changed.
    int SetNoteUser(int index, const std::string& user);
    // Records a change: `changed` is set and the owner told.
    void MarkChanged();
    // Drops every note (a document read again brings its notes anew).
    void Clear();

    int GetCount() const { return int(m_records.size()); }
    NoteRecord* GetNote(int index);
    const NoteRecord* GetNote(int index) const;
    const std::vector<NoteRecord>& GetNotes() const { return m_records; }

    // Icon rectangles of the live notes of page, for a view at dispMag
    // scrolled to (scrollX, scrollY) below a band of topOffset pixels.
    void ComputeIconRects(int page, int dispMag, int scrollX, int scrollY, int topOffset);
    // Computes the rectangles and paints the icons on dc.
    void Draw(CDC& dc, int page, int dispMag, int scrollX, int scrollY, int topOffset);
    const std::vector<IconRect>& GetIconRects() const { return m_iconRects; }
    // 1 when an icon of the last draw holds (x, y) (the first drawn wins);
    // its rectangle and note index go to hitRect and hitIndex.
    int HitTest(int unused, int x, int y);

    // Cut to kUserNameMax bytes at a character boundary.
    static std::string CutUserName(const std::string& name);
    // The local time text of t.
    static std::string FormatTime(std::time_t t);

    // Told on every change (the view marks a file document modified).
    std::function<void()> onChanged;
    // Time and user name sources (tests replace them).
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };
    std::function<std::string()> userName = &CurrentUserName;

    RECT hitRect{};
    int hitIndex = -1;
    // Set by every addition, move, edit and deletion; saving clears it.
    int changed = 0;

private:
    static std::string CurrentUserName();
    void LoadIcon();

    std::vector<NoteRecord> m_records;
    std::vector<IconRect> m_iconRects;
    CDC m_iconDC;
    CBitmap m_iconBitmap;
    CBitmap* m_iconOld = nullptr;
    bool m_iconLoaded = false;
};
