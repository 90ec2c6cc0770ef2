// VrDviDrawer: the page interpreter bound to a device context. It turns DVI
// units into device pixels at a zoom, draws characters with outline faces
// (one CFont per TeX font, and a second one for double-byte characters),
// draws rules in the current colour, collects the rectangles of hyperlinks
// and the pictures of the page, and finds a named anchor.
//
// Open saves the target's state (SaveDC) and Close restores it; between the
// two the drawer selects its fonts, pen and brush into the target. A drawer
// and its device context are used by one thread at a time.
#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <string>

#include "base/DList.h"
#include "base/String8.h"
#include "base/fpreal4.h"
#include "dvilib/CommandPlayer.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviApi.h"
#include "dvilib/VrDviDrawerBase.h"
#include "platform/gdi/DC.h"

class VRDVI_API VrDviDrawer : public VrDviDrawerBase {
public:
    // The two faces of one TeX font: single-byte and double-byte characters.
    struct OSFontInfo {
        CFont sbFont;
        CFont dbFont;
    };

    // A hyperlink of the page: kind 0 for an html link, 1 for a hypertext
    // link, with rectangles in device pixels.
    class VRDVI_API HyLinkInfo {
    public:
        struct Rect {
            int x = 0, y = 0, width = 0, height = 0;
        };
        HyLinkInfo(const String8& reference, const String8& target, int kind)
            : kind(kind), reference(reference), target(target) {}
        // The first rectangle is appended; later ones grow the last rectangle
        // to the smallest one that holds both.
        void AddRect(int x, int y, int w, int h);
        int GetKind() const { return kind; }
        const String8& GetReference() const { return reference; }
        const String8& GetTarget() const { return target; }
        const DList<Rect>& GetRectList() const { return rects; }

    private:
        int kind;
        String8 reference;
        String8 target;
        DList<Rect> rects;
    };

    // A picture named by a special, drawn after the page's text.
    struct PictInfo {
        int drawn = 0;
        int type = 0;    // 0 WMF, 1 EPS, 2 JPEG, 3 GIF, 4 PNG, 5 BMP
        int anchor = 1;  // 1: (x, y) is the top-left corner; 0: the bottom-left
        int x = 0, y = 0;
        double hScale = 1.0, vScale = 1.0;
        String8 fileName;
        HyLinkInfo* link = nullptr;  // not owned
        int box[4] = {0, 0, 0, 0};
        // 1: x, y and negative scales are in 1/r inch (r the drawing
        // resolution), else device pixels.
        int inchUnits = 0;
        // The binary raster operation of a binary picture special (0: none).
        int rop2 = 0;
    };

    // Line width after Open: 0.4 pt in DVI units.
    static constexpr int kDefaultLineWidth = 0x6666;

    VrDviDrawer();
    VrDviDrawer(CDC& dc, VrDvi& dvi, int page, const fpreal4& zoom, int originX, int originY);
    ~VrDviDrawer() override;

    using VrDviDrawerBase::Open;
    // Opens a page on dc at zoom (10000 = 100 %) with the DVI origin at
    // (originX, originY) in device pixels. Characters and rules inside html
    // links take linkColour; tag names an anchor to find (may be null).
    // 1 on success, 0 when the page cannot be opened.
    virtual int Open(CDC& dc, VrDvi& dvi, int page, const fpreal4& zoom, int originX, int originY,
                     unsigned long linkColour, const String8& tag);
    void Close() override;

    // Units. grw (and grxy): 1/r inch (r the document's drawing resolution)
    // to device pixels, truncated, both with the horizontal resolution.
    int grw(int v) const;
    int grxy(int v) const { return grw(v); }
    // Positions are rounded half away from zero and include the origin;
    // sizes are rounded up.
    int hDot(int h) const { return Round(h * hFactor_) + originX_; }
    int vDot(int v) const { return Round(v * vFactor_) + originY_; }
    int dhDot(int dh) const { return Ceil(dh * hFactor_); }
    int dvDot(int dv) const { return Ceil(dv * vFactor_); }
    int hDvi(int x) const { return Round((x - originX_) * hInverse_); }
    int vDvi(int y) const { return Round((y - originY_) * vInverse_); }
    double GethFactor() const { return hFactor_; }
    double GetvFactor() const { return vFactor_; }
    double GethDotsPerInch() const { return hDotsPerInch_; }
    double GetvDotsPerInch() const { return vDotsPerInch_; }

    void SetRefDC(CDC* dc) { refDC_ = dc; }
    CDC* GetpDC() const { return dc_; }
    void SetGSBitsPerPixel(int bpp) { gsBitsPerPixel_ = bpp; }
    int GetGSBitsPerPixel() const { return gsBitsPerPixel_; }

    // The faces of a font of the open reader; null for a font the drawer has
    // no entry for (WinFont mode, or a font loaded after Open).
    OSFontInfo* GetpOSFont(const VrDvi::ItrnFont& font) const;
    CFont* GetpSBFont(const VrDvi::ItrnFont& font) const;
    CFont* GetpDBFont(const VrDvi::ItrnFont& font) const;

    // The first link with a rectangle holding (x, y) (right and bottom edges
    // excluded), in device pixels; null when none.
    HyLinkInfo* FindHyLink(int x, int y) const;
    // Paints the link rectangles merged in the link colour: which 0 every
    // link, 1 html links, 2 hypertext links.
    void DrawHyperlinkMark(int which);
    // Current colour, fill brush and a pen 1 pixel wide from the low bytes.
    void SetPenBrush(unsigned short r, unsigned short g, unsigned short b);
    COLORREF GetCurrentColor() const { return currentColour_; }

    int IsTagFound() const { return tagFound_; }
    int GetTaghPos() const { return tagH_; }
    int GetTagvPos() const { return tagV_; }
    PictInfo* GetMask() const { return mask_.get(); }
    PictInfo* GetWaterMark() const { return watermark_.get(); }
    DList<std::unique_ptr<PictInfo>>& GetPictList() { return pictures_; }
    DList<std::unique_ptr<HyLinkInfo>>& GetHyLinkList() { return hyperlinks_; }

    // The built-in face for a TeX font name (case-insensitive): face name,
    // height and width factors of the font size, weight and italic. 0 when
    // the table has no row for the name.
    struct BuiltinFace {
        const char* texName;
        const char* face;
        double heightFactor;
        double widthFactor;
        int weight;
        int italic;
    };
    static const BuiltinFace* FindBuiltinFace(const char* texName);

    // Pictures. DrawPicture draws one picture: 1 when drawn, 0 when the
    // drawer is not working, the picture was drawn already or it cannot be
    // read or decoded. DrawPictureRop copies bitmaps with rop instead of
    // SRCCOPY. DrawAllPictures draws the list in order and calls shown
    // (when given) after each picture.
    int DrawPicture(PictInfo* p);
    int DrawPictureRop(PictInfo* p, unsigned long rop);
    void DrawAllPictures(const std::function<void()>& shown = nullptr);
    // The first picture of the list not yet drawn, or null.
    PictInfo* GetPendingPicture() const;
    // How long Ghostscript may take over one EPS picture (process-wide;
    // 20 seconds unless set); a picture still running then is stopped and
    // left undrawn, with a message through OnPictureMessage, and the same
    // PostScript is not run again in this process.
    static void SetPictureTimeLimit(int milliseconds);
    // A picture could not be drawn for a reason the person should know. The
    // base does nothing.
    virtual void OnPictureMessage(const PictInfo* p, const std::string& text);
    // The bytes of a picture: the file it names, opened for reading; with
    // size given, the file's size is stored there first. Null on failure.
    virtual std::unique_ptr<std::istream> OpenPictFileStream(PictInfo* p, int* size);
    // Ends the use of a stream OpenPictFileStream gave.
    virtual void ClosePictFileStream(PictInfo* p, std::unique_ptr<std::istream> s);
    // The "#" font state of this drawer, copied from the reader at Open and
    // changed by the special player: here width and height are device
    // pixels, while the reader's copy (set by the base interpreter) holds
    // them in 1/r inch.
    VrDvi::FontSpecialState& GetFontState() { return fontState_; }

protected:
    void PutChar(int h, int v, unsigned short code, int width, int height, int depth) override;
    bool ExpandsMappedVirtualFonts() const override { return true; }
    void PutRule(int h, int v, int height, int width) override;
    // Binary drawing commands go to the special player first; the rest to
    // the interpreter's own handling.
    void DoSpecial(unsigned int length, InstPtr text) override;

    // Links, for the specials: a new link becomes current and what follows
    // is drawn in the link colour until EndLink.
    void BeginLink(const String8& reference, const String8& target, int kind);
    void EndLink();
    int IsInLink() const { return inLink_; }
    HyLinkInfo* CurrentLink() const;
    // Deletes the pictures of the list.
    void ClearPictList();
    // The player of binary drawing commands (null: none).
    void SetSpecialPlayer(std::unique_ptr<SpecialPlayer> player) { gdiPlayer_ = std::move(player); }
    SpecialPlayer* GetSpecialPlayer() const { return gdiPlayer_.get(); }
    // The psBox of "ps::[begin]": width, height, llx, lly, urx, ury.
    int* GetPsBox() { return psBox_; }
    int GetLineWidth() const { return lineWidth_; }
    void SetLineWidth(int w) { lineWidth_ = w; }
    CDC* GetRefDC() const { return refDC_; }
    // The anchor being looked for, and where it was found.
    const String8& GetTag() const { return tag_; }
    void SetTagFound(int x, int y) { tagFound_ = 1, tagH_ = x, tagV_ = y; }

private:
    friend class DrawerSpecials;
    // The specials the player did not take (VrDviDrawerDirectives.cpp).
    void DoTextSpecial(unsigned int length, const unsigned char* bytes);
    int DrawPictureImpl(PictInfo* p, unsigned long rop);
    // An EPS picture through a Ghostscript job; where it went, in pixels.
    int DrawEps(PictInfo* p, int& x, int& y, int& w, int& h);
    void InitAll();
    void BuildFonts();
    // 1 and the face's LOGFONT when the target knows an outline face of
    // that name.
    int IsFaceInstalled(const char* face, LOGFONT& lf) const;
    void SetFillBrush(COLORREF c);
    void SetPen(int width, COLORREF c);
    void PutCharWinFont(int h, int v, unsigned short code);
    void CreateCharDC();
    void EraseCharDC();
    void DeleteCharDC();
    void AddLinkRect(int x, int y, int w, int h);

    static int Round(double v);
    static int Ceil(double v);

    VrDvi* dvi_ = nullptr;
    fpreal4 zoom_{10000};
    double hFactor_ = 0.0, vFactor_ = 0.0;
    double hInverse_ = 0.0, vInverse_ = 0.0;
    CDC* dc_ = nullptr;
    CDC* refDC_ = nullptr;
    std::unique_ptr<CPalette> palette_;
    double hDotsPerInch_ = 0.0, vDotsPerInch_ = 0.0;
    int originX_ = 0, originY_ = 0;
    std::unique_ptr<CBrush> fillBrush_;
    COLORREF colorStack_[VrDvi::kColorStackSize] = {};
    int colorStackSize_ = 0;
    COLORREF currentColour_ = 0;
    int lineWidth_ = kDefaultLineWidth;
    std::unique_ptr<CPen> pen_;
    CFont* selectedFont_ = nullptr;
    std::unique_ptr<CDC> charDC_;
    std::unique_ptr<CBitmap> charBitmap_;
    int maxCharWidth_ = 0, ascent_ = 0, descent_ = 0;
    int fontCount_ = 0;
    std::unique_ptr<OSFontInfo[]> fonts_;
    int gsBitsPerPixel_ = 24;
    DList<std::unique_ptr<PictInfo>> pictures_;
    int psBox_[6] = {};
    DList<std::unique_ptr<HyLinkInfo>> hyperlinks_;
    int inLink_ = 0;
    COLORREF linkColour_ = 0;
    COLORREF savedColour_ = 0;
    String8 tag_;
    int tagFound_ = 0;
    int tagH_ = 0, tagV_ = 0;
    std::unique_ptr<SpecialPlayer> gdiPlayer_;
    std::unique_ptr<PictInfo> mask_;
    std::unique_ptr<PictInfo> watermark_;
    VrDvi::FontSpecialState fontState_;
};
