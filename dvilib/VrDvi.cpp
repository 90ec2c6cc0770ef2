#include "dvilib/VrDvi.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cmath>
#include <string>

#include "base/BinStream.h"
#include "base/Errors.h"
#include "dvilib/DviOpcodes.h"
#include "dvilib/SharedBlock.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviFont.h"
#include "platform/sys/NamedBlock.h"

// The reader's file stream: a read-only binary stream over the file that
// reads it in large blocks and keeps its own position, so that offsets stay
// right after a read met the end of the file. It knows how many bytes the
// file held when it was opened.
class VrDvi::DviStream : public BinInFileStream {
public:
    explicit DviStream(const String8& path) : buf_(kBlock) {
        open(path.c_str());
        if (!is_open()) throw FileOpenError(path.c_str());
        seekg(0, std::ios::end);
        size_ = long(tellg());
        if (size_ < 0) size_ = 0;
        seekg(0, std::ios::beg);
    }

    long Pos() const { return base_ + long(cur_); }
    long Left() const { return size_ > Pos() ? size_ - Pos() : 0; }
    bool Good() const override { return !atEnd_; }
    int ReadUInt8() override { return Byte(); }

    void Seek(long at) {
        if (at >= base_ && at <= base_ + long(end_)) {
            cur_ = size_t(at - base_);
            return;
        }
        clear();
        seekg(at);
        base_ = at;
        cur_ = end_ = 0;
    }
    // Passes a run of set_char opcodes (bytes below 128) within the block.
    void SkipChars() {
        const unsigned char* p = buf_.data() + cur_;
        const unsigned char* e = buf_.data() + end_;
        while (p < e && *p < 128) ++p;
        cur_ = size_t(p - buf_.data());
    }
    int Byte() {
        if (cur_ == end_ && !Fill()) {
            atEnd_ = true;
            return 0xFF;
        }
        return buf_[cur_++];
    }
    unsigned Unsigned(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | unsigned(Byte());
        return v;
    }
    int Signed(int n) {
        unsigned v = Unsigned(n);
        if (n < 4 && (v & (1u << (8 * n - 1)))) v |= ~0u << (8 * n);
        return int(v);
    }
    void Skip(long n) {
        if (long(end_ - cur_) >= n) cur_ += size_t(n);
        else Seek(Pos() + n);
    }
    // Reads n bytes; false when the file held fewer.
    bool Bytes(char* out, long n) {
        while (n > 0) {
            if (cur_ == end_ && !Fill()) {
                atEnd_ = true;
                return false;
            }
            size_t take = std::min(size_t(n), end_ - cur_);
            std::memcpy(out, buf_.data() + cur_, take);
            cur_ += take;
            out += take;
            n -= long(take);
        }
        return true;
    }
    String8 Text(int n) {
        std::string s(size_t(n), '\0');
        if (n > 0 && !Bytes(s.data(), n)) return String8::Null;
        return String8(s.c_str());
    }

private:
    static constexpr size_t kBlock = 1 << 17;

    bool Fill() {
        base_ += long(end_);
        cur_ = end_ = 0;
        if (atEnd_) return false;
        read(reinterpret_cast<char*>(buf_.data()), std::streamsize(buf_.size()));
        end_ = size_t(gcount());
        return end_ > 0;
    }

    std::vector<unsigned char> buf_;
    size_t cur_ = 0;
    size_t end_ = 0;
    long base_ = 0;  // file offset of buf_[0]
    long size_ = 0;
    bool atEnd_ = false;
};

VrDvi::VrDvi() : extFontIndex_(new ItrnFont*[kExtFontIndexSize]) {
    for (auto& h : hash_) h.store(nullptr, std::memory_order_relaxed);
    InitAll(0);
}

VrDvi::VrDvi(const String8& file, const DList<String8>& tfmPaths, const DList<String8>& vfPaths)
    : VrDvi() {
    {
        std::lock_guard<std::mutex> g(fileLock_);
        fileName_ = file;
    }
    opened_.store(!file.IsNull(), std::memory_order_release);
    tfmPaths_ = tfmPaths;
    vfPaths_ = vfPaths;
}

VrDvi::~VrDvi() {
    FreeFonts();
    FreePages();
}

void VrDvi::Open(const String8& file, const DList<String8>& tfmPaths, const DList<String8>& vfPaths) {
    if (IsOpened()) Close();
    {
        std::lock_guard<std::mutex> g(fileLock_);
        fileName_ = file;
    }
    tfmPaths_ = tfmPaths;
    vfPaths_ = vfPaths;
    RenewDvi();
    SetWaterMarkWMFFileName(CString());
    {
        std::lock_guard<std::mutex> g(fallbackLock_);
        fallbackFont_ = String8();
        fallbackState_ = 0;
    }
    opened_.store(!file.IsNull(), std::memory_order_release);
}

String8 VrDvi::GetFileName() const {
    std::lock_guard<std::mutex> g(fileLock_);
    return fileName_;
}

void VrDvi::SetDisplayName(const String8& name) {
    std::lock_guard<std::mutex> g(fileLock_);
    displayName_ = name;
}

void VrDvi::SetWaterMarkWMFFileName(const CString& name) {
    std::lock_guard<std::mutex> g(fileLock_);
    waterMark_ = name;
}

CString VrDvi::GetWaterMarkWMFFileName() const {
    std::lock_guard<std::mutex> g(fileLock_);
    return waterMark_;
}

void VrDvi::NoteFallbackFont(const String8& name) {
    std::lock_guard<std::mutex> g(fallbackLock_);
    if (fallbackState_ != 0) return;
    fallbackFont_ = name;
    fallbackState_ = 1;
}

String8 VrDvi::TakeFallbackFont() {
    std::lock_guard<std::mutex> g(fallbackLock_);
    if (fallbackState_ != 1) return String8("");
    fallbackState_ = 2;
    return fallbackFont_;
}

void VrDvi::Close() {
    if (!IsOpened()) return;
    mode_.store(ModeScanning, std::memory_order_release);
    opened_.store(false, std::memory_order_release);
    {
        std::lock_guard<std::mutex> g(fileLock_);
        fileName_ = String8::Null;
    }
    tfmPaths_.RemoveAll();
    vfPaths_.RemoveAll();
    {
        std::lock_guard<std::mutex> g(lock_);
        fontList_.RemoveAll();
        tags_.RemoveAll();
    }
    InitAll(1);
    SetWaterMarkWMFFileName(CString());
}

void VrDvi::RenewDvi() {
    InitAll(1);
    mode_.store(ModeScanning, std::memory_order_release);
}

void VrDvi::InitAll(int freeOld) {
    if (freeOld) {
        FreeFonts();
        FreePages();
    }
    id_ = 0;
    mag_ = fpreal4(10000).Raw();
    num_ = 25400000;
    den_ = 473628672;
    nFont_.store(0, std::memory_order_release);
    for (auto& h : hash_) h.store(nullptr, std::memory_order_release);
    for (int i = 0; i < kExtFontIndexSize; ++i) extFontIndex_[i] = nullptr;
    colorStack_[0] = 0;
    colorStackSize_ = 1;
    background_ = 0xFFFFFF;
    nPage_.store(0, std::memory_order_release);
    pageHeight_ = 0;
    pageWidth_ = 0;
    if (fontState_.percent == 0) fontState_.percent = 100;
    {
        std::lock_guard<std::mutex> g(lock_);
        fontDefs_.clear();
        errorText_ = String8::Null;
    }
    // The block lives as long as the application holds it; a reader made
    // when there is none works without its face lists.
    sharedBlock_ = NamedBlock::Open(SharedBlock::kName);
    if (!sharedBlock_) {
        static std::atomic<bool> reported{false};
        if (!reported.exchange(true)) VrDviReportError("Can't open Memorymapfile");
    }
}

void VrDvi::FreeFonts() {
    for (auto& head : hash_) {
        ItrnFont* f = head.exchange(nullptr, std::memory_order_acq_rel);
        while (f) {
            ItrnFont* next = f->next;
            delete f;
            f = next;
        }
    }
}

void VrDvi::FreePages() {
    nPage_.store(0, std::memory_order_release);
    for (auto& chunk : pages_) chunk.reset();
}

const VrDvi::PageRecord* VrDvi::Page(int page) const {
    if (page < 0 || page >= GetNPage()) return nullptr;
    return &pages_[page / kPageChunk][page % kPageChunk];
}

VrDvi::PageRecord* VrDvi::NewPageRecord(int page) {
    auto& chunk = pages_[page / kPageChunk];
    if (!chunk) chunk.reset(new PageRecord[kPageChunk]);
    PageRecord* r = &chunk[page % kPageChunk];
    *r = PageRecord();
    return r;
}

void VrDvi::SetInvalid(const char* why) {
    mode_.store(ModeInvalid, std::memory_order_release);
    String8 text = String8(why);
    String8 name;
    {
        std::lock_guard<std::mutex> g(fileLock_);
        name = displayName_.IsNull() || displayName_.GetLength() == 0 ? fileName_ : displayName_;
    }
    if (!name.IsNull()) text = name + String8(": ") + text;
    {
        std::lock_guard<std::mutex> g(lock_);
        errorText_ = text;
    }
    VrDviReportError(text.c_str());
}

String8 VrDvi::GetErrorText() const {
    std::lock_guard<std::mutex> g(lock_);
    return errorText_;
}

void VrDvi::NewPageWritten(int nPages) {
    using namespace dviop;
    if (GetMode() != ModeScanning) return;
    if (nPages <= 0) nPages = kMaxPages;
    int count = GetNPage();
    if (nPages <= count) return;

    DviStream in(GetFileName());
    if (count == 0) {
        int pre = in.Byte();
        int id = in.Byte();
        unsigned num = in.Unsigned(4);
        unsigned den = in.Unsigned(4);
        unsigned mag = in.Unsigned(4);
        int k = in.Byte();
        if (!in.Good()) return SetInvalid("the file is too short to hold a DVI preamble");
        if (pre != Pre) return SetInvalid("the file does not begin with a DVI preamble");
        id_ = (unsigned char)id;
        if (id != kDviId) return SetInvalid("unknown DVI identification byte");
        if (num == 0 || den == 0 || num > INT_MAX || den > INT_MAX)
            return SetInvalid("the DVI unit (numerator or denominator) is out of range");
        num_ = num;
        den_ = den;
        // Checked before scaling so that a huge value cannot wrap into range.
        if (mag < 100 || mag > 10000) return SetInvalid("the magnification is out of range");
        mag_ = int32_t(mag * 10);
        in.Seek(15 + k);
    } else {
        in.Seek(Page(count - 1)->end + 1);
    }

    while (GetNPage() < nPages) {
        if (count >= kMaxPages) return SetInvalid("the document has more pages than the viewer can hold");
        long start = in.Pos();
        bool sawBop = false;
        int texPageNo = 0;
        std::vector<COLORREF> stackAtBop;

        for (;;) {
            in.SkipChars();
            int op = in.Byte();
            if (op < 128) continue;  // set_char
            if (!in.Good()) {
                SetInvalid("the file ends inside a page");
                break;
            }
            if (op == Eop) break;
            switch (op) {
            case Bop:
                texPageNo = in.Signed(4);
                in.Skip(40);
                sawBop = true;
                stackAtBop.assign(colorStack_, colorStack_ + colorStackSize_);
                break;
            case Xxx1: case Xxx2: case Xxx3: case Xxx4: {
                unsigned len = in.Unsigned(SizeByte(uint8_t(op)));
                if (!in.Good()) {
                    SetInvalid("the file ends inside a special");
                    break;
                }
                if (len > unsigned(INT_MAX - 1) || long(len) > in.Left()) {
                    SetInvalid("a special is longer than the rest of the file");
                    break;
                }
                std::vector<unsigned char> text(size_t(len) + 1);
                if (len && !in.Bytes(reinterpret_cast<char*>(text.data()), long(len))) {
                    SetInvalid("the file ends inside a special");
                    break;
                }
                text[len] = 0;
                DoSpecial(text.data(), int(len));
                break;
            }
            case FntDef1: case FntDef2: case FntDef3: case FntDef4: {
                FontDef def;
                unsigned k = in.Unsigned(SizeByte(uint8_t(op)));
                def.number = int(k);
                def.checksum = in.Unsigned(4);
                def.scaledSize = in.Signed(4);
                def.designSize = in.Unsigned(4);
                int a = in.Byte();
                int l = in.Byte();
                def.area = in.Text(a);
                def.name = in.Text(l);
                def.page = count;
                if (!in.Good()) {
                    SetInvalid("the file ends inside a font definition");
                    break;
                }
                {
                    std::lock_guard<std::mutex> g(lock_);
                    fontDefs_.push_back(def);
                }
                // Only the one- and two-byte forms are loaded; the others
                // leave the index untouched.
                if (op == FntDef1 || op == FntDef2)
                    extFontIndex_[k] = LoadItrnFont(def.area, def.name, def.scaledSize, def.designSize);
                break;
            }
            case Post: {
                in.Skip(16);
                int l = in.Signed(4);
                int u = in.Signed(4);
                if (!in.Good()) {
                    SetInvalid("the postamble is cut short");
                    break;
                }
                pageHeight_ = l;
                pageWidth_ = u;
                mode_.store(ModeComplete, std::memory_order_release);
                break;
            }
            case Set3: case Set4: case Put3: case Put4: case Pre: case PostPost:
                SetInvalid("an unexpected DVI instruction");
                break;
            default:
                if (ParamLength(uint8_t(op)) == kUndefined) SetInvalid("an undefined DVI instruction");
                else in.Skip(ParamLength(uint8_t(op)));
                break;
            }
            if (GetMode() != ModeScanning) break;
        }

        if (GetMode() != ModeScanning) return;
        if (!sawBop) return SetInvalid("a page without beginning (bop)");
        long end = in.Pos() - 1;
        if (end - start + 1 > INT_MAX) return SetInvalid("a page is too long");
        PageRecord* r = NewPageRecord(count);
        r->texPageNo = texPageNo;
        r->start = start;
        r->end = end;
        r->length = int(end - start + 1);
        r->background = background_;
        r->colorStack = std::move(stackAtBop);
        nPage_.store(++count, std::memory_order_release);
    }
}

double VrDvi::GetPageHeight() const {
    return double(pageHeight_) * num_ / den_ * mag_ * 1e-8;
}

double VrDvi::GetPageWidth() const {
    return double(pageWidth_) * num_ / den_ * mag_ * 1e-8;
}

int VrDvi::GetTeXPageNo(int page) const {
    const PageRecord* r = Page(page);
    return r ? r->texPageNo : 0;
}

long VrDvi::GetPageStartOffset(int page) const {
    const PageRecord* r = Page(page);
    return r ? r->start : -1;
}

long VrDvi::GetPageEndOffset(int page) const {
    const PageRecord* r = Page(page);
    return r ? r->end : -1;
}

int VrDvi::GetPageLength(int page) const {
    const PageRecord* r = Page(page);
    return r ? r->length : 0;
}

COLORREF VrDvi::GetPageBackgroundColor(int page) const {
    const PageRecord* r = Page(page);
    return r ? r->background : 0xFFFFFF;
}

int VrDvi::GetPageColorStackSize(int page) const {
    const PageRecord* r = Page(page);
    return r ? int(r->colorStack.size()) : 0;
}

const COLORREF* VrDvi::GetPageColorStack(int page) const {
    const PageRecord* r = Page(page);
    return r && !r->colorStack.empty() ? r->colorStack.data() : nullptr;
}

int VrDvi::GetPageContents(int page, unsigned char* buffer) {
    const PageRecord* r = Page(page);
    if (!r) return -1;
    if (!buffer) return r->length;
    DviStream in(GetFileName());
    in.Seek(r->start);
    if (!in.Bytes(reinterpret_cast<char*>(buffer), r->length)) return -1;
    return r->length;
}

std::shared_ptr<const unsigned char[]> VrDvi::SharePageContents(int page, int* length) {
    const PageRecord* r = Page(page);
    if (!r) return nullptr;
    const String8 name = GetFileName();
    const std::string file = name.IsNull() ? std::string() : name.c_str();
    std::lock_guard<std::mutex> g(pageCacheLock_);
    DviStream in(name);
    if (cachedFile_ == file && cachedStart_ == int64_t(r->start) && cachedLength_ == int(r->length))
        if (std::shared_ptr<const unsigned char[]> held = cachedPage_.lock()) {
            // Shared only while the file still holds these bytes, compared
            // piece by piece, so that no second copy is made.
            in.Seek(r->start);
            char piece[65536];
            bool same = true;
            for (size_t at = 0; same && at < size_t(r->length);) {
                const size_t n = std::min(sizeof piece, size_t(r->length) - at);
                same = in.Bytes(piece, long(n)) && std::memcmp(piece, held.get() + at, n) == 0;
                at += n;
            }
            if (same) {
                if (length) *length = cachedLength_;
                return held;
            }
        }
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[size_t(r->length) + 1]);
    bytes[r->length] = 0;
    in.Seek(r->start);
    if (!in.Bytes(reinterpret_cast<char*>(bytes.get()), r->length)) return nullptr;
    std::shared_ptr<const unsigned char[]> shared(std::move(bytes));
    cachedFile_ = file;
    cachedStart_ = int64_t(r->start);
    cachedLength_ = int(r->length);
    cachedPage_ = shared;
    if (length) *length = int(r->length);
    return shared;
}

std::vector<VrDvi::FontDef> VrDvi::GetFontDefs() const {
    std::lock_guard<std::mutex> g(lock_);
    return fontDefs_;
}

VrDvi::DeviceSlot VrDvi::GetDeviceSlot(int i) const {
    std::lock_guard<std::mutex> g(lock_);
    return i >= 0 && i < kDeviceSlots ? slots_[i] : DeviceSlot();
}

void VrDvi::SetDeviceSlot(int i, const DeviceSlot& slot) {
    std::lock_guard<std::mutex> g(lock_);
    if (i >= 0 && i < kDeviceSlots) slots_[i] = slot;
}

void VrDvi::SethDpi(const fpreal4& dpi) {
    hFactor_ = double(num_) * dpi.Raw() * 3.9370078740157485e-10 / den_;
}

void VrDvi::SetvDpi(const fpreal4& dpi) {
    vFactor_ = double(num_) * dpi.Raw() * 3.9370078740157485e-10 / den_;
}

int VrDvi::Round(double v) {
    v = std::round(v);
    if (!(v > double(INT_MIN))) return v != v ? 0 : INT_MIN;
    return v >= double(INT_MAX) ? INT_MAX : int(v);
}

int VrDvi::Ceil(double v) {
    v = std::ceil(v);
    if (!(v > double(INT_MIN))) return v != v ? 0 : INT_MIN;
    return v >= double(INT_MAX) ? INT_MAX : int(v);
}
