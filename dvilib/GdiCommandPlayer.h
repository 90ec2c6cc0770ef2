// GdiSpecialPlayer: draws binary drawing-command specials on the page
// drawer's device context. Two families: specials starting "GDI" hold one
// graphics command (shapes, pen, brush, clip, bitmaps, attributes), those
// starting "#" one command of a path language (styles, colour slots, font
// state, path figures that clip, stroke or fill).
//
// Every count and length inside a special is checked against the special's
// length; a malformed special is taken and ignored. Embedded specials nest
// at most kMaxNesting deep.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "dvilib/CommandPlayer.h"
#include "dvilib/VrDviApi.h"
#include "platform/gdi/DC.h"

class VrDviDrawer;

class VRDVI_API GdiSpecialPlayer : public SpecialPlayer {
public:
    static constexpr int kMaxNesting = 16;
    // Colour slots the path family may define.
    static constexpr size_t kMaxColourSlots = 4096;
    // Size of the attribute block of opcode 0x800A.
    static constexpr unsigned kAttributeBlockSize = 42;

    explicit GdiSpecialPlayer(VrDviDrawer* drawer);
    ~GdiSpecialPlayer() override;

    void Reset() override;
    void Release() override;
    int Process(const unsigned char* text, unsigned int length) override;

    // Units of "GDI" coordinates per inch (300 after construction).
    int GetResolutionX() const { return resolutionX; }
    int GetResolutionY() const { return resolutionY; }

private:
    struct ColourSlot {
        COLORREF colour = 0;
        int marker = -1;  // -1 plain, -2 pattern, 0 or more a hatch style
        std::shared_ptr<CBitmap> pattern;
    };

    int ProcessAt(const unsigned char* text, unsigned int length, int depth);
    void ProcessGdi(unsigned opcode, const unsigned char* op, unsigned int n, int depth);
    int ProcessPath(unsigned opcode, const unsigned char* op, unsigned int n);

    // "GDI" family, one handler per opcode; each checks its operands.
    void GdiPolyBezier(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiRuns(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiRectangle(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiEllipse(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPolyline(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPolygon(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPieChord(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPolyPolygon(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPen(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiBrush(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiClipRect(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiMonoBitmap(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiBlit(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPixel(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiStoreDib(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiDrawDib(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiAttributes(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiResolution(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiPicture(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    void GdiGroup(unsigned opcode, const unsigned char* op, unsigned n, int depth);
    // A 16-bit count and that many points; false when short or fewer than minimum.
    bool CountedPoints(const unsigned char* op, unsigned n, unsigned minimum, std::vector<POINT>& pts) const;

    // "#" family, one handler per group of opcodes; each checks its operands.
    POINT PathPoint(const unsigned char* p) const;
    ColourSlot* SlotOf(uint32_t id);
    void PathNothing(unsigned opcode, const unsigned char* op, unsigned n);
    void PathTextColour(unsigned opcode, const unsigned char* op, unsigned n);
    void PathFont(unsigned opcode, const unsigned char* op, unsigned n);
    void PathLineStyle(unsigned opcode, const unsigned char* op, unsigned n);
    void PathColour(unsigned opcode, const unsigned char* op, unsigned n);
    void PathDefineSlot(unsigned opcode, const unsigned char* op, unsigned n);
    void PathUseSlot(unsigned opcode, const unsigned char* op, unsigned n);
    void PathRop(unsigned opcode, const unsigned char* op, unsigned n);
    void PathLineExtension(unsigned opcode, const unsigned char* op, unsigned n);
    void PathLine(unsigned opcode, const unsigned char* op, unsigned n);
    void PathRect(unsigned opcode, const unsigned char* op, unsigned n);
    void PathPoly(unsigned opcode, const unsigned char* op, unsigned n);

    // "GDI" units to device pixels.
    int ToDviX(int v) const;
    int ToDviY(int v) const;
    int PointX(int v) const;
    int PointY(int v) const;
    int LengthX(int v) const;
    int LengthY(int v) const;
    // n points (x, y little-endian 16-bit) at p, converted; false when the
    // bytes are short.
    bool ReadPoints(const unsigned char* p, unsigned int avail, unsigned count, std::vector<POINT>& pts) const;

    // The envelope of a "GDI" drawing command.
    template <class F> void Draw(F&& f);
    void ApplyAttributes();

    // Path family.
    int PathLength(int v) const;
    void SetLineWidth(int raw);
    CBrush* MakeFillBrush(std::unique_ptr<CBrush>& out) const;
    void PaintFigure(std::vector<POINT>& pts, std::vector<BYTE>& types, unsigned flags, bool strokeInFill);
    void DrawFigure(const std::vector<POINT>& pts, const std::vector<BYTE>& types);

    VrDviDrawer* drawer;
    CDC* dc = nullptr;
    std::unique_ptr<CPen> pen;
    std::unique_ptr<CBrush> brush;
    std::unique_ptr<CRgn> clipRegion;
    int clipSet = 0;
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    std::unique_ptr<CBitmap> monoBitmap;
    std::vector<unsigned char> dib;  // stored packed DIB, empty when none
    int attributesSet = 0;
    unsigned char attributes[kAttributeBlockSize] = {};
    int resolutionX = 300, resolutionY = 300;

    // Path settings. Line width in device pixels, never 0.
    int32_t pathLineStyle = 0;
    int pathLineWidth = 1;
    COLORREF strokeColour = 0, fillColour = 0;
    int strokeSelector = -1, fillSelector = -1;
    std::shared_ptr<CBitmap> strokePattern, fillPattern;
    int pathRop = R2_COPYPEN;
    int lineExtension = 0;
    std::map<uint32_t, ColourSlot> slots;
};
