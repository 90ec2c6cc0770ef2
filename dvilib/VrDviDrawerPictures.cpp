// Pictures of the page drawer: placeable metafiles, EPS through a
// Ghostscript job, JPEG, GIF, PNG and BMP bitmaps.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "dvilib/EpsPictureOutputter.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviError.h"
#include "dvilib/WinMetafile.h"
#include "platform/gdi/Dib.h"
#include "platform/ghostscript/GS.h"
#include "platform/ghostscript/GSChildJob.h"
#include "platform/pictures/PictureDib.h"
#include "platform/pictures/PngStream.h"
#include "platform/sys/RegularFile.h"

namespace {

constexpr double kDviPerInch = 4736286.72;
constexpr double kDviPerMetre = 186467981.1023622;
constexpr double kDviPerPoint = 65781.76;
constexpr int kNoBox = -1000000;
// Largest picture file read whole into memory.
constexpr int kMaxPictureFile = 256 << 20;

// How long an EPS picture may take.
std::atomic<int> g_pictureTimeLimitMs{20000};
// The EPS programs (hashes of their text) stopped at that limit, in this
// process.
std::mutex g_stoppedLock;
std::set<size_t> g_stoppedPictures;

bool BoxAllZero(const VrDviDrawer::PictInfo& p) { return !p.box[0] && !p.box[1] && !p.box[2] && !p.box[3]; }

double Trunc(double v) { return std::trunc(v); }

int ClampInt(double v) {
    if (!(v == v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

int CeilInt(double v) { return ClampInt(std::ceil(v)); }

// Reads exactly size bytes; false on a short read.
bool ReadAll(std::istream& s, std::vector<unsigned char>& out, int size) {
    if (size < 0 || size > kMaxPictureFile) return false;
    out.resize(size_t(size));
    return size == 0 || bool(s.read(reinterpret_cast<char*>(out.data()), size));
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Four integers after "%%BoundingBox:"; false when any is missing, as in
// "(atend)".
bool ParseBoundingBox(const char* p, int box[4]) {
    for (int i = 0; i < 4; ++i) {
        while (*p == ' ' || *p == '\t') ++p;
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p) return false;
        box[i] = int(std::clamp<long>(v, INT_MIN / 2, INT_MAX / 2));
        p = end;
    }
    return true;
}

} // namespace

std::unique_ptr<std::istream> VrDviDrawer::OpenPictFileStream(PictInfo* p, int* size) {
    if (!p || p->fileName.GetLength() == 0) return nullptr;
    int64_t length = 0;
    auto s = sys::OpenRegularFileStream(p->fileName.c_str(), &length);
    if (!s || length > INT_MAX) return nullptr;
    if (size) *size = int(length);
    return s;
}

void VrDviDrawer::ClosePictFileStream(PictInfo*, std::unique_ptr<std::istream>) {}

int VrDviDrawer::DrawPicture(PictInfo* p) { return DrawPictureImpl(p, SRCCOPY); }

int VrDviDrawer::DrawPictureRop(PictInfo* p, unsigned long rop) { return DrawPictureImpl(p, rop); }

void VrDviDrawer::DrawAllPictures(const std::function<void()>& shown) {
    if (!IsWorking()) return;
    for (auto it = pictures_.Begin(); it; it.Next()) {
        DrawPicture(it.Value().get());
        if (shown) shown();
    }
}

VrDviDrawer::PictInfo* VrDviDrawer::GetPendingPicture() const {
    for (auto it = pictures_.Begin(); it; it.Next())
        if (!it.Value()->drawn) return it.Value().get();
    return nullptr;
}

int VrDviDrawer::DrawPictureImpl(PictInfo* p, unsigned long rop) {
    if (!IsWorking() || !dc_ || !p || p->drawn) return 0;
    CDC& dc = *dc_;

    // Size from the natural size in DVI units, and the top-left corner.
    auto width = [&](double w0) {
        if (p->hScale >= 0) return CeilInt(Trunc(w0 * p->hScale + 0.5) * hFactor_);
        const int w = ClampInt(Trunc(-p->hScale));
        return p->inchUnits ? grw(w) : w;
    };
    auto height = [&](double h0) {
        if (p->vScale >= 0) return CeilInt(Trunc(h0 * p->vScale + 0.5) * vFactor_);
        const int h = ClampInt(Trunc(-p->vScale));
        return p->inchUnits ? grw(h) : h;
    };
    int X = 0, Y = 0, W = 0, H = 0;
    auto place = [&](int w, int h) {
        W = w, H = h;
        if (p->inchUnits) {
            X = grw(p->x), Y = grw(p->y);
        } else {
            X = p->x;
            Y = p->anchor ? p->y : ClampInt(double(p->y) - h);
        }
    };
    auto finish = [&](int result) {
        if (result) {
            if (p->link) p->link->AddRect(X, Y, W, H);
            if (!BoxAllZero(*p)) p->drawn = 1;
        }
        return result;
    };

    // Bitmaps: a packed DIB drawn with StretchDIBits.
    auto drawDib = [&](const unsigned char* header, size_t headerSize, const unsigned char* bits, size_t bitsSize,
                       double w0, double h0, int imageWidth, int imageHeight) {
        place(width(w0), height(h0));
        if (W <= 0 || H <= 0) return 0;
        const int oldMode = dc.SetStretchBltMode(HALFTONE);
        int sx = 0, sy = 0, sw = imageWidth, sh = imageHeight;
        if (p->hScale < 0 && !BoxAllZero(*p)) {
            if (p->rop2) dc.SetROP2(p->rop2);
            sx = p->box[0];
            sy = imageHeight - p->box[3];
            sw = p->box[2] - p->box[0];
            sh = p->box[3] - p->box[1];
        }
        const int n = dc.StretchDIBits(X, Y, W, H, sx, sy, sw, sh, bits, bitsSize, header, headerSize,
                                       DIB_RGB_COLORS, DWORD(rop));
        dc.SetStretchBltMode(oldMode);
        return n > 0 ? 1 : 0;
    };
    auto drawPacked = [&](const std::vector<unsigned char>& dib) {
        DibView view;
        if (!view.ParsePacked(dib.data(), dib.size())) return 0;
        const auto* ih = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
        double xppm = 3780, yppm = 3780;
        if (ih->biSize >= 40) {
            if (ih->biXPelsPerMeter > 0) xppm = ih->biXPelsPerMeter;
            if (ih->biYPelsPerMeter > 0) yppm = ih->biYPelsPerMeter;
        }
        const double w0 = view.Width() / xppm * kDviPerMetre, h0 = view.Height() / yppm * kDviPerMetre;
        return drawDib(dib.data(), view.HeaderBytes(), dib.data() + view.HeaderBytes(),
                       dib.size() - view.HeaderBytes(), w0, h0, view.Width(), view.Height());
    };

    switch (p->type) {
    case 0: {  // placeable metafile
        auto s = OpenPictFileStream(p, nullptr);
        if (!s) return 0;
        WinMetafile mf;
        int ok = 0;
        try {
            ok = s->good() && mf.Read(*s);
        } catch (const WinMetafile::ReOpenError&) {
            ok = 0;
        }
        ClosePictFileStream(p, std::move(s));
        if (!ok) return 0;
        const double w0 = double(mf.GetRight() - mf.GetLeft()) / mf.GetUnitsPerInch() * kDviPerInch;
        const double h0 = double(mf.GetBottom() - mf.GetTop()) / mf.GetUnitsPerInch() * kDviPerInch;
        place(width(std::fabs(w0)), height(std::fabs(h0)));
        dc.SaveDC();
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetTextAlign(TA_TOP | TA_LEFT);
        dc.SetViewportOrg(X, Y);
        dc.SetViewportExt(W, H);
        dc.PlayMetaFile(mf.GetHandle());
        dc.RestoreDC(-1);
        return finish(1);
    }
    case 1:
        return finish(DrawEps(p, X, Y, W, H));
    case 2:
    case 3:
    case 5: {
        int size = 0;
        auto s = OpenPictFileStream(p, &size);
        if (!s) return 0;
        std::vector<unsigned char> bytes;
        const bool read = s->good() && ReadAll(*s, bytes, size);
        ClosePictFileStream(p, std::move(s));
        if (!read) return 0;
        if (p->type == 5) {
            // BMP: a 14-byte file header, then the DIB header; the bits at
            // the file header's offset.
            if (bytes.size() < 18 || bytes[0] != 'B' || bytes[1] != 'M') return 0;
            const uint32_t offset = Le32(&bytes[10]);
            if (offset < 14 || offset > bytes.size()) return 0;
            DibView view;
            if (!view.Parse(&bytes[14], offset - 14, bytes.data() + offset, bytes.size() - offset)) return 0;
            const double w0 = view.Width() / 3780.0 * kDviPerMetre, h0 = view.Height() / 3780.0 * kDviPerMetre;
            return finish(drawDib(&bytes[14], offset - 14, bytes.data() + offset, bytes.size() - offset, w0, h0,
                                  view.Width(), view.Height()));
        }
        const int n = p->type == 2 ? check_dib_size(bytes.data(), int(bytes.size()))
                                   : check_gif_size(bytes.data(), int(bytes.size()));
        if (n < 1) return 0;
        std::vector<unsigned char> dib(size_t(n) + 100);
        const int got = p->type == 2 ? Jpg2Dib(bytes.data(), int(bytes.size()), dib.data(), n)
                                     : Gif2Dib(bytes.data(), int(bytes.size()), dib.data(), n);
        if (got < 1) return 0;
        dib.resize(size_t(std::min(got, n)));
        bytes.clear();
        return finish(drawPacked(dib));
    }
    case 4: {
        auto s = OpenPictFileStream(p, nullptr);
        if (!s) return 0;
        std::vector<uint8_t> dib;
        const bool ok = s->good() && PngToDib(*s, dib);
        ClosePictFileStream(p, std::move(s));
        if (!ok) return 0;
        return finish(drawPacked(dib));
    }
    default:
        return 0;
    }
}

int VrDviDrawer::DrawEps(PictInfo* p, int& X, int& Y, int& W, int& H) {
    auto s = OpenPictFileStream(p, nullptr);
    if (!s) return 0;
    if (!s->good()) {
        ClosePictFileStream(p, std::move(s));
        return 0;
    }
    std::vector<unsigned char> file{std::istreambuf_iterator<char>(*s), std::istreambuf_iterator<char>()};
    ClosePictFileStream(p, std::move(s));

    // A DOS-binary EPS: the PostScript section is given by the header.
    size_t begin = 0, end = file.size();
    if (file.size() >= 30 && Le32(file.data()) == 0xC6D3D0C5u) {
        const uint64_t offset = Le32(&file[4]), length = Le32(&file[8]);
        if (offset > file.size() || length > file.size() - offset) return 0;
        begin = size_t(offset);
        end = size_t(offset + length);
    }

    int box[4];
    if (p->box[0] != kNoBox || p->box[1] != kNoBox || p->box[2] != kNoBox || p->box[3] != kNoBox) {
        std::memcpy(box, p->box, sizeof box);
    } else {
        box[0] = box[1] = 0, box[2] = box[3] = 72;
        size_t pos = begin;
        for (int line = 0; line < 50 && pos < end; ++line) {
            size_t stop = pos;
            while (stop < end && file[stop] != '\n' && file[stop] != '\r') ++stop;
            char text[200];
            const size_t n = std::min<size_t>(stop - pos, 199);
            std::memcpy(text, &file[pos], n);
            text[n] = 0;
            if (n >= 14 && strncasecmp(text, "%%BoundingBox:", 14) == 0) {
                int b[4];
                if (ParseBoundingBox(text + 14, b)) std::memcpy(box, b, sizeof box);
            }
            pos = stop;
            if (pos < end && file[pos] == '\r') ++pos;
            if (pos < end && file[pos] == '\n') ++pos;
        }
    }

    double sx = p->hScale, sy = p->vScale;
    if (sx < 0 || sy < 0) {
        // A size in pixels: the scale that gives it.
        const double bw = double(box[2]) - box[0], bh = double(box[3]) - box[1];
        if (bw <= 0 || bh <= 0 || hFactor_ <= 0 || vFactor_ <= 0) return 0;
        auto pixels = [&](double scale) {
            const int n = ClampInt(Trunc(-scale));
            return double(p->inchUnits ? grw(n) : n);
        };
        if (sx < 0) sx = pixels(sx) / (bw * kDviPerPoint * hFactor_);
        if (sy < 0) sy = pixels(sy) / (bh * kDviPerPoint * vFactor_);
    }
    const int L = CeilInt(Trunc(box[0] * sx * kDviPerPoint) * hFactor_);
    const int R = CeilInt(Trunc(box[2] * sx * kDviPerPoint) * hFactor_);
    const int B = CeilInt(Trunc(box[1] * sy * kDviPerPoint) * vFactor_);
    const int T = CeilInt(Trunc(box[3] * sy * kDviPerPoint) * vFactor_);
    X = p->inchUnits ? grw(p->x) : p->x;
    const int y = p->inchUnits ? grw(p->y) : p->y;
    const int bottom = p->anchor ? ClampInt(double(y) + (double(T) - B)) : y;
    Y = ClampInt(double(bottom) - (double(T) - B));
    W = ClampInt(double(R) - L + 1);
    H = ClampInt(double(T) - B + 1);

    EpsPictureOutputter out(dc_, refDC_ ? refDC_ : dc_, X, bottom, gsBitsPerPixel_, palette_.get());
    // Ghostscript takes a while: the wait cursor shows until the picture is done.
    struct Busy {
        Busy() { VrDviReportBusy(true); }
        ~Busy() { VrDviReportBusy(false); }
    } busy;
    const int xRes = CeilInt(Trunc(sx * kDviPerInch) * hFactor_);
    const int yRes = CeilInt(Trunc(sy * kDviPerInch) * vFactor_);
    GS* gs = GetGS();
    if (!gs || !gs->IsGSDLLLoaded()) return 1;
    const std::vector<String8> args = gs->PictureJobArgs(xRes, yRes, R - L, T - B, gsBitsPerPixel_);
    if (args.empty()) return 1;
    // The picture is a program that may never end: it runs in a child
    // process with a time limit. The file as it stands, with a line end at its
    // end; a page if the picture does not output one (later pages are ignored).
    char command[200];
    std::snprintf(command, sizeof command, "%d %d translate\n", -box[0], -box[1]);
    std::string input = command;
    if (gsBitsPerPixel_ >= 8) input += "mark /GraphicsAlphaBits 4 /TextAlphaBits 4 currentdevice putdeviceprops pop\n";
    input.append(reinterpret_cast<const char*>(file.data()) + begin, end - begin);
    if (end > begin && file[end - 1] != '\n') input += '\n';
    input += "showpage\n";
    // A picture stopped once would be stopped again at every redraw, at any
    // size: it is not run again.
    const size_t program =
        std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(file.data()) + begin, end - begin));
    {
        std::lock_guard<std::mutex> lock(g_stoppedLock);
        if (g_stoppedPictures.count(program)) return 1;
    }
    const GSChildJob::Result r = GSChildJob::Run(gs, args, input, &out, g_pictureTimeLimitMs.load());
    if (r.end == GSChildJob::End::TimedOut) {
        {
            std::lock_guard<std::mutex> lock(g_stoppedLock);
            g_stoppedPictures.insert(program);
        }
        OnPictureMessage(p, "The picture " + std::string(p->fileName.c_str()) + " was stopped: it did not finish within " +
                                std::to_string((g_pictureTimeLimitMs.load() + 999) / 1000) + " seconds.");
    }
    return 1;
}

void VrDviDrawer::SetPictureTimeLimit(int milliseconds) { g_pictureTimeLimitMs = std::max(milliseconds, 1); }

void VrDviDrawer::OnPictureMessage(const PictInfo*, const std::string&) {}
