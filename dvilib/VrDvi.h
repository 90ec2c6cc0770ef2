// VrDvi: one opened DVI document. It records where each page lies in the
// file, the fonts the file defines, the colour state each page starts with and
// the html anchors; it reads a page's bytes from the file when a drawer asks.
// The scan is incremental: the document's worker calls NewPageWritten each
// time more complete pages have arrived, and the reader resumes where it
// stopped.
//
// Threads: one thread scans (NewPageWritten, Open, Close) while others may
// read what is published. The page count is published with release order
// after its record is complete, and records never change afterwards; fonts
// are linked into the hash only when complete; the tag list, font list,
// font definitions and error text are guarded by the reader's lock and handed
// out as copies. Open and Close must not run while another thread draws.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/DList.h"
#include "base/String8.h"
#include "base/fpreal4.h"
#include "dvilib/VrDviApi.h"
#include "platform/core/CString.h"

class KPathSea;
class VrDviTTFMap;
class NamedBlock;

enum VrDviMode { ModeScanning = 0, ModeComplete = 1, ModeInvalid = 2 };

class VRDVI_API VrDvi {
public:
    class ItrnFont;     // dvilib/VrDviFont.h
    class ItrnFontItr;  // dvilib/VrDviFont.h
    class Tfmifstream;  // dvilib/VrDviFont.h

    struct TagInfo {
        String8 name;
        int page = 0;
    };

    // One font definition as it stood in the file (fnt_def1 to fnt_def4), in
    // file order; page is the 0-based page being scanned.
    struct FontDef {
        int number = 0;
        unsigned checksum = 0;
        int scaledSize = 0;
        unsigned designSize = 0;
        String8 area;
        String8 name;
        int page = 0;
    };

    // The drawing state that the binary font special sets and the WinFont
    // drawing and the binary drawing-command special read: the character
    // width percentage (low byte), face index into GetFontList, width,
    // height, escapement (tenths of a degree), bold and italic. The
    // percentage is set to 100 on reset when it is 0; the others keep their
    // values across resets.
    struct FontSpecialState {
        int percent = 0;
        int faceIndex = 0;
        int width = 0;
        int height = 0;
        int escapement = 0;
        int bold = 0;
        int italic = 0;
    };

    // A device that a drawer registered: its resolution and zoom as values.
    // Slots are empty (used 0) after construction and carried across resets.
    struct DeviceSlot {
        int used = 0;
        int dpiX = 0;
        int dpiY = 0;
        fpreal4 zoom;
    };

    static constexpr int kHashSize = 73;
    static constexpr int kExtFontIndexSize = 65536;
    static constexpr int kColorStackSize = 200;
    static constexpr int kDeviceSlots = 2;
    // Upper bound of the page table, far above any real document; a file
    // with more pages is refused with an error text.
    static constexpr int kPageChunk = 1024;
    static constexpr int kPageChunks = 4096;
    static constexpr int kMaxPages = kPageChunk * kPageChunks;

    VrDvi();
    VrDvi(const String8& file, const DList<String8>& tfmPaths, const DList<String8>& vfPaths);
    virtual ~VrDvi();
    VrDvi(const VrDvi&) = delete;
    VrDvi& operator=(const VrDvi&) = delete;

    // Files. Open reads no byte; NewPageWritten does the reading.
    void Open(const String8& file, const DList<String8>& tfmPaths, const DList<String8>& vfPaths);
    void Close();
    void RenewDvi();
    // IsOpened and GetFileName may be asked on another thread than the one
    // that opens.
    int IsOpened() const { return opened_.load(std::memory_order_acquire); }
    // The name the reader's messages give its file (a copy may be read in
    // place of the file the person opened); null: the file's own name.
    void SetDisplayName(const String8& name);

    // The first font of the document drawn without an installed face: the
    // drawer notes every such font, TakeFallbackFont hands the first out
    // once (an empty string otherwise) until the next Open.
    void NoteFallbackFont(const String8& name);
    String8 TakeFallbackFont();

    void SetKPathSea(KPathSea* kpse) { kpse_ = kpse; }
    KPathSea* GetKPathSea() const { return kpse_; }
    void SetDviTTFMap(VrDviTTFMap* map) { ttfMap_ = map; }
    VrDviTTFMap* GetDviTTFMap() const { return ttfMap_; }

    // Scans until the page count reaches nPages (all pages when nPages <= 0).
    // Does nothing outside ModeScanning. Throws FileOpenError when the file
    // cannot be opened; the state is then unchanged.
    void NewPageWritten(int nPages);

    // Preamble and postamble.
    unsigned char GetDviVersion() const { return id_; }
    String8 GetFileName() const;
    VrDviMode GetMode() const { return VrDviMode(mode_.load(std::memory_order_acquire)); }
    fpreal4 GetAbsMag() const { return fpreal4(mag_.load()); }
    unsigned GetDviNum() const { return num_; }
    unsigned GetDviDen() const { return den_; }
    // Millimetres at the document's magnification; 0 until the postamble.
    double GetPageHeight() const;
    double GetPageWidth() const;
    int GetPageHeightDvi() const { return pageHeight_; }
    int GetPageWidthDvi() const { return pageWidth_; }
    // Why the file was refused (ModeInvalid), else null.
    String8 GetErrorText() const;

    const DList<String8>& GetTfmPathList() const { return tfmPaths_; }
    const DList<String8>& GetVfPathList() const { return vfPaths_; }

    // Pages. The per-page accessors return 0 (-1 for offsets) for a page
    // that is not recorded.
    int GetNPage() const { return nPage_.load(std::memory_order_acquire); }
    int GetTeXPageNo(int page) const;
    long GetPageStartOffset(int page) const;
    long GetPageEndOffset(int page) const;
    int GetPageLength(int page) const;
    COLORREF GetPageBackgroundColor(int page) const;
    int GetPageColorStackSize(int page) const;
    const COLORREF* GetPageColorStack(int page) const;
    // With a null buffer, the page's length. Otherwise reads the page's bytes
    // into buffer (of at least that length) and returns the length; -1 for a
    // page that is not recorded or a file that no longer holds all its bytes.
    // Throws FileOpenError when the file cannot be opened.
    int GetPageContents(int page, unsigned char* buffer);
    // The page's bytes and one more (0), shared by every drawer that has
    // the page open, so that a page is held in memory once; null when it
    // cannot be read.
    std::shared_ptr<const unsigned char[]> SharePageContents(int page, int* length);

    // Fonts. The external index maps DVI font numbers to fonts (null: none).
    int GetNItrnFont() const { return nFont_.load(std::memory_order_acquire); }
    ItrnFont* const* GetExtFontIndex() const { return extFontIndex_.get(); }
    static int GetExtFontIndexSize() { return kExtFontIndexSize; }
    static int GetHashCode(const String8& name);
    std::vector<FontDef> GetFontDefs() const;

    // Specials and tags.
    int FindTagPage(const String8& name) const;
    DList<TagInfo> GetTagList() const;
    DList<String8> GetFontList() const;
    unsigned short GetSpecialValue() const { return specialValue_; }
    void SetSpecialValue(unsigned short v) { specialValue_ = v; }
    FontSpecialState& GetFontSpecialState() { return fontState_; }
    const FontSpecialState& GetFontSpecialState() const { return fontState_; }

    // Drawing settings.
    void SetWinFont(int on) { winFont_ = on; }
    int GetWinFont() const { return winFont_; }
    // Set while the document is scanned, read while its pages are drawn.
    void SetWaterMarkWMFFileName(const CString& name);
    CString GetWaterMarkWMFFileName() const;
    DeviceSlot GetDeviceSlot(int i) const;
    void SetDeviceSlot(int i, const DeviceSlot& slot);

    // Units: device dots per DVI unit from the device resolution (dots per
    // inch); the magnification is not part of the factor.
    void SethDpi(const fpreal4& dpi);
    void SetvDpi(const fpreal4& dpi);
    double GethFactor() const { return hFactor_; }
    double GetvFactor() const { return vFactor_; }
    // Rounded half away from zero; clamped to the int range.
    int hDot(int dvi) const { return Round(dvi * hFactor_); }
    int vDot(int dvi) const { return Round(dvi * vFactor_); }
    // Rounded up; clamped to the int range.
    int dhDot(int dvi) const { return Ceil(dvi * hFactor_); }
    int dvDot(int dvi) const { return Ceil(dvi * vFactor_); }

protected:
    // Called for every special met while scanning, in file order; text holds
    // length bytes and a NUL behind them and may be changed in place.
    virtual void DoSpecial(unsigned char* text, int length);
    // Called for every picture file a special names; empty here.
    virtual void AppendPictFile(const String8& file);

    // Finds the font of that name and scaled size or loads it; null when its
    // metric files cannot be read. Stores nothing in the external index.
    ItrnFont* LoadItrnFont(const String8& area, const String8& name, int scaledSize, unsigned designSize);

    // The shared block "shared_memory", or null when the application made none.
    const std::shared_ptr<NamedBlock>& GetSharedBlock() const { return sharedBlock_; }

    // For subclasses and specials: the scan colour stack and background.
    int GetScanColorStackSize() const { return colorStackSize_; }
    const COLORREF* GetScanColorStack() const { return colorStack_; }
    COLORREF GetScanBackgroundColor() const { return background_; }

private:
    struct PageRecord {
        int texPageNo = 0;
        long start = 0;
        long end = 0;
        int length = 0;
        COLORREF background = 0;
        std::vector<COLORREF> colorStack;
    };
    class DviStream;
    friend class ItrnFontItr;

    void InitAll(int freeOld);
    void FreeFonts();
    void FreePages();
    const PageRecord* Page(int page) const;
    PageRecord* NewPageRecord(int page);
    void SetInvalid(const char* why);
    // Reads the metric and virtual-font files of a new font; 0 when none
    // was read. The font-metrics loader fills the font here.
    int LoadFontFiles(ItrnFont* font);
    void AddTag(const String8& name);
    void DoBinaryFontSpecial(const unsigned char* text, int length);
    void DoColorSpecial(int push, const unsigned char* args);
    String8 ChooseFace(const String8& face) const;

    static int Round(double v);
    static int Ceil(double v);

    // The preamble's and postamble's values: the scanning thread writes them
    // while the UI thread may read them.
    std::atomic<unsigned char> id_{0};
    mutable std::mutex fileLock_;  // guards fileName_, displayName_ and waterMark_
    String8 fileName_;
    std::atomic<bool> opened_{false};
    String8 displayName_;
    std::atomic<int> mode_{ModeScanning};
    std::atomic<int32_t> mag_{0};  // fpreal4's raw value
    std::atomic<unsigned> num_{0};
    std::atomic<unsigned> den_{0};
    DList<String8> tfmPaths_;
    DList<String8> vfPaths_;
    KPathSea* kpse_ = nullptr;
    VrDviTTFMap* ttfMap_ = nullptr;
    DeviceSlot slots_[kDeviceSlots];
    unsigned short specialValue_ = 0;
    double hFactor_ = 0.0;
    double vFactor_ = 0.0;
    std::atomic<int> nFont_{0};
    std::atomic<ItrnFont*> hash_[kHashSize];
    std::unique_ptr<ItrnFont*[]> extFontIndex_;
    COLORREF colorStack_[kColorStackSize] = {};
    int colorStackSize_ = 1;
    COLORREF background_ = 0xFFFFFF;
    std::atomic<int> nPage_{0};
    std::unique_ptr<PageRecord[]> pages_[kPageChunks];
    DList<TagInfo> tags_;
    int winFont_ = 1;
    CString waterMark_;
    FontSpecialState fontState_;
    DList<String8> fontList_;
    std::atomic<int> pageHeight_{0};
    std::atomic<int> pageWidth_{0};
    std::shared_ptr<NamedBlock> sharedBlock_;
    std::vector<FontDef> fontDefs_;
    String8 errorText_;
    mutable std::mutex lock_;
    // The page whose bytes the drawers share (by its place in the file).
    std::mutex pageCacheLock_;
    std::string cachedFile_;
    int64_t cachedStart_ = -1;
    int cachedLength_ = -1;
    std::weak_ptr<const unsigned char[]> cachedPage_;
    std::mutex fallbackLock_;
    String8 fallbackFont_;
    int fallbackState_ = 0;  // 0 none noted, 1 noted, 2 handed out
};
