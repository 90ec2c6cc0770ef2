// CDC: a device context over a pixel surface (memory bitmap, window back
// buffer or printer page) with GDI's state, mapping, clipping, drawing,
// blits, DIBs, paths and text, and GDI's pixel rules: right and bottom edges
// excluded, LineTo leaves out its last point, a Rectangle with the null pen
// fills one pixel less each way, mono-to-colour blits take the target's text
// (0) and background (1) colours.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/CString.h"
#include "platform/core/DibTypes.h"
#include "platform/core/Geometry.h"
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/GdiConstants.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Raster.h"
#include "platform/gdi/Region.h"

class PixelBuffer;
struct PrintJob;

// Device capabilities, set by whoever makes the DC.
struct DeviceCaps {
    int technology = DT_RASDISPLAY;
    int logPixelsX = 96, logPixelsY = 96;
    int horzRes = 0, vertRes = 0;  // 0: the surface's size
    int bitsPixel = 32;
    int physicalWidth = 0, physicalHeight = 0;  // printers
    int physicalOffsetX = 0, physicalOffsetY = 0;
    int rasterCaps = RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
};

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Both handles name this object.
    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    static CDC* FromHandle(HDC h) { return h; }

    // A memory DC holding a 1x1 mono bitmap, with the caps of ref (screen
    // caps when ref is null).
    BOOL CreateCompatibleDC(CDC* ref);
    BOOL DeleteDC();
    // The caps of the device; the maker of a DC sets them.
    int GetDeviceCaps(int index) const;
    void SetDeviceCaps(const DeviceCaps& caps) { caps_ = caps; }
    const DeviceCaps& Caps() const { return caps_; }
    // The pixels being drawn on (null before a bitmap or page exists).
    PixelBuffer* Surface() const { return px_; }
    bool IsMemoryDC() const { return kind_ == Kind::Memory; }
    bool IsPrinting() const;

    // State.
    int SaveDC();
    BOOL RestoreDC(int saved);  // negative: relative to the latest
    COLORREF SetTextColor(COLORREF c);
    COLORREF GetTextColor() const { return st_.textColor; }
    COLORREF SetBkColor(COLORREF c);
    COLORREF GetBkColor() const { return st_.bkColor; }
    int SetBkMode(int mode);
    int GetBkMode() const { return st_.bkMode; }
    int SetROP2(int rop2);
    int GetROP2() const { return st_.rop2; }
    int SetStretchBltMode(int mode);
    int GetStretchBltMode() const { return st_.stretchMode; }
    int SetPolyFillMode(int mode);
    int GetPolyFillMode() const { return st_.polyFillMode; }
    UINT SetTextAlign(UINT align);
    UINT GetTextAlign() const { return st_.textAlign; }
    int SetTextCharacterExtra(int extra);
    int GetTextCharacterExtra() const { return st_.charExtra; }
    int SetArcDirection(int dir);
    int GetArcDirection() const { return st_.arcDirection; }
    CPoint SetBrushOrg(int x, int y);
    CPoint SetBrushOrg(POINT p) { return SetBrushOrg(p.x, p.y); }
    CPoint GetBrushOrg() const { return st_.brushOrg; }
    COLORREF GetNearestColor(COLORREF c) const;

    // Objects. The previous object comes back (as a wrapper that lives as
    // long as the object).
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    int SelectObject(CRgn* rgn);  // as SelectClipRgn; the region kind
    CGdiObject* SelectObject(CGdiObject* obj);
    HGDIOBJ SelectObject(HGDIOBJ h);
    CGdiObject* SelectStockObject(int id);
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;
    CPalette* GetCurrentPalette() const;
    CPalette* SelectPalette(CPalette* pal, BOOL forceBackground);
    HPALETTE SelectPalette(HPALETTE pal, BOOL forceBackground);
    UINT RealizePalette();

    // Mapping.
    int SetMapMode(int mode);
    int GetMapMode() const { return st_.mapMode; }
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
    CPoint GetWindowOrg() const { return st_.winOrg; }
    CPoint OffsetWindowOrg(int dx, int dy);
    CSize SetWindowExt(int cx, int cy);
    CSize SetWindowExt(SIZE s) { return SetWindowExt(s.cx, s.cy); }
    CSize GetWindowExt() const { return st_.winExt; }
    CSize ScaleWindowExt(int xNum, int xDenom, int yNum, int yDenom);
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
    CPoint GetViewportOrg() const { return st_.vpOrg; }
    CPoint OffsetViewportOrg(int dx, int dy);
    CSize SetViewportExt(int cx, int cy);
    CSize SetViewportExt(SIZE s) { return SetViewportExt(s.cx, s.cy); }
    CSize GetViewportExt() const { return st_.vpExt; }
    CSize ScaleViewportExt(int xNum, int xDenom, int yNum, int yDenom);
    void LPtoDP(LPPOINT pts, int count = 1) const;
    void LPtoDP(LPRECT rc) const;
    void LPtoDP(SIZE* s) const;
    void DPtoLP(LPPOINT pts, int count = 1) const;
    void DPtoLP(LPRECT rc) const;
    void DPtoLP(SIZE* s) const;

    // Clipping (regions in device units, rectangles in logical units).
    int SelectClipRgn(CRgn* rgn);
    int SelectClipRgn(CRgn* rgn, int mode);
    int ExcludeClipRect(int l, int t, int r, int b);
    int ExcludeClipRect(LPCRECT rc) { return ExcludeClipRect(rc->left, rc->top, rc->right, rc->bottom); }
    int IntersectClipRect(int l, int t, int r, int b);
    int IntersectClipRect(LPCRECT rc) { return IntersectClipRect(rc->left, rc->top, rc->right, rc->bottom); }
    int OffsetClipRgn(int dx, int dy);
    int GetClipBox(LPRECT rc) const;  // logical units; the region kind
    BOOL PtVisible(int x, int y) const;
    BOOL RectVisible(LPCRECT rc) const;

    // Lines and shapes.
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    CPoint GetCurrentPosition() const { return st_.cp; }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    BOOL Polyline(const POINT* pts, int count);
    BOOL PolylineTo(const POINT* pts, int count);
    BOOL PolyPolyline(const POINT* pts, const DWORD* counts, int polys);
    BOOL Polygon(const POINT* pts, int count);
    BOOL PolyPolygon(const POINT* pts, const int* counts, int polys);
    BOOL PolyBezier(const POINT* pts, int count);
    BOOL PolyBezierTo(const POINT* pts, int count);
    BOOL PolyDraw(const POINT* pts, const BYTE* types, int count);
    BOOL Rectangle(int l, int t, int r, int b);
    BOOL Rectangle(LPCRECT rc) { return Rectangle(rc->left, rc->top, rc->right, rc->bottom); }
    BOOL RoundRect(int l, int t, int r, int b, int w, int h);
    BOOL Ellipse(int l, int t, int r, int b);
    BOOL Ellipse(LPCRECT rc) { return Ellipse(rc->left, rc->top, rc->right, rc->bottom); }
    BOOL Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2);
    BOOL ArcTo(int l, int t, int r, int b, int x1, int y1, int x2, int y2);
    BOOL Pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2);
    BOOL Chord(int l, int t, int r, int b, int x1, int y1, int x2, int y2);
    COLORREF SetPixel(int x, int y, COLORREF c);
    BOOL SetPixelV(int x, int y, COLORREF c) { return SetPixel(x, y, c) != CLR_INVALID; }
    COLORREF GetPixel(int x, int y) const;
    void FillRect(LPCRECT rc, CBrush* brush);
    void FillRect(LPCRECT rc, HBRUSH brush);
    void FillSolidRect(LPCRECT rc, COLORREF c);
    void FillSolidRect(int x, int y, int w, int h, COLORREF c);
    void FrameRect(LPCRECT rc, CBrush* brush);
    void InvertRect(LPCRECT rc);
    BOOL FillRgn(CRgn* rgn, CBrush* brush);
    BOOL FrameRgn(CRgn* rgn, CBrush* brush, int w, int h);
    BOOL PaintRgn(CRgn* rgn);
    BOOL InvertRgn(CRgn* rgn);

    // Paths (figures recorded between BeginPath and EndPath).
    BOOL BeginPath();
    BOOL EndPath();
    BOOL AbortPath();
    BOOL CloseFigure();
    BOOL FlattenPath();
    BOOL StrokePath();
    BOOL FillPath();
    BOOL StrokeAndFillPath();
    BOOL SelectClipPath(int mode);

    // Blits.
    BOOL PatBlt(int x, int y, int w, int h, DWORD rop);
    BOOL BitBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, DWORD rop);
    BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop);
    BOOL TransparentBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, int wSrc, int hSrc,
                        UINT transparent);
    // DIBs: info is a BITMAPINFO (any header kind) with its colour table.
    // ySrc counts from the bottom row, as GDI does for bottom-up DIBs. The
    // result is the number of scan lines drawn, 0 on failure.
    int StretchDIBits(int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc, const void* bits,
                      const BITMAPINFO* info, UINT usage, DWORD rop);
    // The same with the sizes of both blocks known (metafiles, files).
    int StretchDIBits(int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc, const void* bits,
                      size_t bitsSize, const void* info, size_t infoSize, UINT usage, DWORD rop);
    int SetDIBitsToDevice(int x, int y, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan, UINT scanLines,
                          const void* bits, const BITMAPINFO* info, UINT usage);
    int SetDIBitsToDevice(int x, int y, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan, UINT scanLines,
                          const void* bits, size_t bitsSize, const void* info, size_t infoSize, UINT usage);

    // Plays a metafile made by SetMetaFileBitsEx (MetaFile.h) on this DC.
    BOOL PlayMetaFile(HMETAFILE mf);

    // Text. Strings given as char are UTF-8.
    BOOL ExtTextOutW(int x, int y, UINT options, LPCRECT rc, const WCHAR* text, UINT count, const int* dx);
    BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rc, const char* text, UINT count, const int* dx);
    BOOL TextOut(int x, int y, const char* text, int count);
    BOOL TextOut(int x, int y, const CString& text);
    BOOL TextOutW(int x, int y, const WCHAR* text, int count);
    BOOL GetTextMetrics(TEXTMETRIC* tm) const;
    CSize GetTextExtent(const char* text, int count) const;
    CSize GetTextExtent(const CString& text) const;
    CSize GetTextExtentW(const WCHAR* text, int count) const;
    CSize GetOutputTextExtent(const char* text, int count) const { return GetTextExtent(text, count); }
    BOOL GetCharWidth(UINT first, UINT last, int* widths) const;
    int GetTextFace(int count, char* face) const;
    int EnumFontFamilies(const char* family, FONTENUMPROC proc, LPARAM data) const;

    // Printing (printer DCs only; elsewhere these fail).
    int StartDoc(const DOCINFO* info);
    int StartDoc(const char* name);
    int StartPage();
    int EndPage();
    int EndDoc();
    int AbortDoc();
    // The procedure the printer DC calls between bands (PrintSink.h).
    int SetAbortProc(BOOL (*proc)(HDC, int));

    // The calls made on this DC, one line each ("Name(arg,arg)"), when
    // recording (see RecordingDC.h).
    const std::vector<std::string>* CallLog() const { return log_.get(); }

protected:
    enum class Kind { Memory, Surface, Printer };
    Kind kind_ = Kind::Memory;
    // The device's own pixels (surfaces, printer pages); null for none.
    void SetDevicePixels(std::unique_ptr<PixelBuffer> px);
    void StartLog() { log_ = std::make_unique<std::vector<std::string>>(); }
    std::unique_ptr<PrintJob> print_;
    friend std::unique_ptr<CDC> CreateSurfaceDC(struct WindowSurface&);
    friend std::unique_ptr<CDC> CreateScreenDC(int);
    friend class PrinterDC;

private:
    struct Figure {
        PointList pts;
        bool closed = false;
    };
    struct State {
        std::shared_ptr<GdiObject> pen, brush, font, bitmap, palette;
        bool hasClip = false;
        Region clip;  // device units
        COLORREF textColor = 0, bkColor = 0xFFFFFF;
        int bkMode = OPAQUE, rop2 = R2_COPYPEN, stretchMode = BLACKONWHITE, polyFillMode = ALTERNATE;
        UINT textAlign = 0;
        int charExtra = 0, arcDirection = AD_COUNTERCLOCKWISE;
        int mapMode = MM_TEXT;
        CPoint winOrg, vpOrg;
        CSize winExt{1, 1}, vpExt{1, 1};
        CPoint cp, brushOrg;
        bool inPath = false, pathDone = false;
        std::vector<Figure> path;
    };
    State st_;
    std::vector<State> saved_;
    DeviceCaps caps_;
    PixelBuffer* px_ = nullptr;
    std::unique_ptr<PixelBuffer> devicePx_;  // surfaces and printer pages
    std::unique_ptr<std::vector<std::string>> log_;
    mutable int logDepth_ = 0;
    uint64_t clipGen_ = 1;
    mutable uint64_t visGen_ = 0;
    mutable const PixelBuffer* visPx_ = nullptr;
    mutable Region vis_;
    mutable std::shared_ptr<const FontInstance> fontCache_;
    mutable std::shared_ptr<GdiObject> fontCacheKey_;
    mutable LOGFONT fontCacheLf_{};

    // Internals, in device units.
    struct Brush;
    struct LogScope {
        const CDC* dc;
        ~LogScope() { if (dc) --dc->logDepth_; }
    };
    template <class... A>
    LogScope Log(const char* name, const A&... args) const;
    void UpdateTarget();
    PointF ToDev(double x, double y) const;
    CPoint ToDevPt(int x, int y) const;
    double ScaleX() const;
    double ScaleY() const;
    void FixIsotropic();
    // Shared by the window and viewport extent setters: both return the old extent.
    CSize SetExt(CSize& ext, int cx, int cy);
    CSize ScaleExt(CSize& ext, int xNum, int xDenom, int yNum, int yDenom);
    // The surface's pixels inside the clip, cached until either changes.
    const Region& VisibleRegion() const;
    void ClipChanged() { ++clipGen_; }
    uint32_t DevValue(COLORREF c) const;
    uint32_t DevValueFor(const PixelBuffer& px, COLORREF c) const;
    Brush MakeBrush(const std::shared_ptr<GdiObject>& brush) const;
    void PaintShape(const Region& shape, const Brush& brush, bool rop2);
    void StrokeDev(const PointList& pts, bool closed, bool skipLast, Region* covered = nullptr);
    void Shape(const PointList& pts, bool closed, bool fill);
    void AddToPath(const PointList& pts, bool closed, bool continueFigure);
    PointList BoxDev(int l, int t, int r, int b, double* L, double* T, double* R, double* B) const;
    Region PathRegion() const;
    bool BlitCore(int xd, int yd, int wd, int hd, const PixelBuffer* src, const CDC* srcDc,
                  const class DibView* dib, int xs, int ys, int ws, int hs, DWORD rop, bool dibToMono,
                  bool transparent, uint32_t transparentRgb);
    std::shared_ptr<const FontInstance> CurrentFontInstance() const;
    void DrawMask(int ox, int oy, const FontInstance::Mask& m, uint32_t value, const Region& vis);
    std::shared_ptr<GdiObject> SelectAny(const std::shared_ptr<GdiObject>& obj);
};

// The screen as a reference DC (a desktop DC): 32-bit caps at dpi, no pixels
// of its own. Compatible DCs made from it hold a mono bitmap until one is
// selected; bitmaps compatible with it are 32-bit.
std::unique_ptr<CDC> CreateScreenDC(int dpi = 96);

// A memory DC with a bitmap of its own (tests, off-screen pages): w x h at
// bpp bits, filled white.
std::unique_ptr<CDC> CreateMemoryDC(int width, int height, int bpp, int dpi = 96);

// Flat functions on a DC. CreateCompatibleDC makes a DC that DeleteDC frees.
HDC CreateCompatibleDC(HDC ref);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ h);
BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop);
BOOL BitBlt(HDC dc, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop);
BOOL StretchBlt(HDC dc, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop);
int FillRect(HDC dc, const RECT* rc, HBRUSH brush);
COLORREF SetBkColor(HDC dc, COLORREF c);
int SetROP2(HDC dc, int rop2);
int SetMapMode(HDC dc, int mode);
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm);
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground);
UINT RealizePalette(HDC dc);
int SelectClipRgn(HDC dc, HRGN rgn);
int GetDeviceCaps(HDC dc, int index);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, LPCRECT rc, const WCHAR* text, UINT count, const int* dx);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);
COLORREF SetTextColor(HDC dc, COLORREF c);
int SetBkMode(HDC dc, int mode);
UINT SetTextAlign(HDC dc, UINT align);
int SetStretchBltMode(HDC dc, int mode);
int StretchDIBits(HDC dc, int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan, UINT scanLines,
                      const void* bits, const BITMAPINFO* info, UINT usage);
int EnumFontFamiliesA(HDC dc, const char* family, FONTENUMPROC proc, LPARAM data);
