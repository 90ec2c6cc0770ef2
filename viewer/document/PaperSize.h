// Size and orientation of a page. Width and height are kept in portrait sense
// (1/10000 mm); GetWidth/GetHeight give the shown size, swapped for landscape.
#pragma once

class PaperSize {
public:
    enum { kB5 = 0, kA4 = 1, kB4 = 2, kA3 = 3, kLetter = 4, kCustom = 1000 };

    PaperSize(int id, int orientation);
    PaperSize(int width, int height, int orientation);

    // Builds a paper from a shown (oriented) size, the inverse of GetWidth/GetHeight.
    static PaperSize FromShownSize(int shownWidth, int shownHeight, int orientation);

    // *orientation = the orientation; *id = the table id when width and height
    // match a row exactly, otherwise *id is left as the caller preset it.
    void GetId(int* id, int* orientation) const;
    int* GetWidth(int* out) const;
    int* GetHeight(int* out) const;
    // The stored portrait-sense pair.
    void GetPortraitSize(int* width, int* height) const;
    int GetOrientation() const { return m_orientation; }

    void SetSize(int width, int height);
    void SetId(int id);
    void SetOrientation(int orientation) { m_orientation = orientation; }

    bool operator==(const PaperSize&) const = default;

    struct TableRow {
        int id, width, height;
    };
    // The standard sizes; the last row (id kCustom, 0 x 0) ends the table.
    static const TableRow PaperSizeTable[6];

private:
    int m_width;
    int m_height;
    int m_orientation; // 1 landscape, 0 portrait
};
