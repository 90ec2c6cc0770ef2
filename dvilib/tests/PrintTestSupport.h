// Helpers of the Ghostscript printing tests: a print sink that keeps each
// page's pixels, a printer that also records each band it draws, a pipe fed
// in pieces by a thread, and a builder of BMP streams.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dvilib/PrintDIB.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/PrintSink.h"

namespace printtest {

// One printed page as 0x00RRGGBB, printable area only.
struct Page {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px.at(size_t(y) * size_t(width) + size_t(x)) & 0xFFFFFF; }
};

class KeepingSink : public PrintSink {
public:
    std::vector<Page> pages;
    int bands = 0;
    bool BeginDocument(const std::string&, const PrinterInfo&) override { return true; }
    bool BeginPage(int) override {
        pages.emplace_back();
        return true;
    }
    bool PrintBand(const ::PrintBand& b) override {
        Page& p = pages.back();
        if (p.px.empty()) {
            p.width = b.width, p.height = b.pageHeight;
            p.px.assign(size_t(b.width) * size_t(b.pageHeight), 0);
        }
        for (int r = 0; r < b.height; ++r)
            std::memcpy(&p.px[size_t(b.top + r) * size_t(p.width)], b.pixels + size_t(r) * size_t(b.stride),
                        size_t(b.width) * 4);
        ++bands;
        return true;
    }
    bool EndDocument() override { return true; }
};

// A band as it reached StretchDIBits.
struct Band {
    int x, y, width, height, bitCount;
    unsigned usage;
};

class RecordingPrintDIB : public CPrintDIB {
public:
    std::vector<Band> bands;

protected:
    int StretchBand(HDC dc, int x, int y, const BITMAPINFO* info, const void* bits, UINT usage) override {
        const BITMAPINFOHEADER& h = info->bmiHeader;
        bands.push_back({x, y, int(h.biWidth), int(h.biHeight), int(h.biBitCount), usage});
        return CPrintDIB::StretchBand(dc, x, y, info, bits, usage);
    }
};

// Reads a pipe whose other end a thread fills with data in pieces of the
// given sizes (cycled; empty: all at once), then closes.
class FedPipe {
public:
    FedPipe(std::vector<unsigned char> data, std::vector<size_t> pieces = {}) : data_(std::move(data)) {
        signal(SIGPIPE, SIG_IGN);  // the reader may stop early
        int fds[2] = {-1, -1};
        if (pipe(fds) != 0) return;
        readFd_ = fds[0];
        int w = fds[1];
        writer_ = std::thread([this, w, pieces] {
            size_t at = 0, i = 0;
            while (at < data_.size()) {
                size_t n = pieces.empty() ? data_.size() - at : std::min(pieces[i++ % pieces.size()], data_.size() - at);
                size_t done = 0;
                while (done < n) {
                    ssize_t k = write(w, data_.data() + at + done, n - done);
                    if (k <= 0) break;
                    done += size_t(k);
                }
                if (done < n) break;  // the reader has gone
                at += n;
            }
            close(w);
        });
    }
    ~FedPipe() {
        if (readFd_ >= 0) close(readFd_);
        if (writer_.joinable()) writer_.join();
    }
    // Hands the read end over (the caller closes it).
    int Take() {
        int fd = readFd_;
        readFd_ = -1;
        return fd;
    }

private:
    std::vector<unsigned char> data_;
    int readFd_ = -1;
    std::thread writer_;
};

inline void Put16(std::vector<unsigned char>& v, uint32_t x) {
    v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8));
}
inline void Put32(std::vector<unsigned char>& v, uint32_t x) {
    Put16(v, x & 0xFFFF), Put16(v, x >> 16);
}

// A BMP page: width x height at bpp bits (1, 4, 8, 24), bottom-up rows.
// palette holds 0x00RRGGBB; pixel(x, yFromTop) gives an index or, at 24 bits,
// 0x00RRGGBB. Rows are padded with padByte; extraHeader bytes of zeros go
// between the colour table and the rows.
struct BmpPage {
    int width = 8, height = 8, bpp = 8;
    std::vector<uint32_t> palette;
    std::vector<uint32_t> pixels;  // top row first
    unsigned char padByte = 0;
    size_t extraHeader = 0;

    BmpPage(int w, int h, int b, std::vector<uint32_t> pal, uint32_t fill)
        : width(w), height(h), bpp(b), palette(std::move(pal)), pixels(size_t(w) * size_t(h), fill) {}
    void Set(int x, int y, uint32_t v) { pixels[size_t(y) * size_t(width) + size_t(x)] = v; }
    void Fill(int x0, int y0, int x1, int y1, uint32_t v) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Set(x, y, v);
    }

    std::vector<unsigned char> Bytes() const {
        size_t stride = size_t(DibRowBytes(width, bpp));
        size_t rowBits = size_t(width) * size_t(bpp);
        uint32_t offset = uint32_t(14 + 40 + 4 * palette.size() + extraHeader);
        std::vector<unsigned char> v;
        Put16(v, 0x4D42);
        Put32(v, uint32_t(offset + stride * size_t(height)));
        Put32(v, 0);
        Put32(v, offset);
        Put32(v, 40);
        Put32(v, uint32_t(width));
        Put32(v, uint32_t(height));
        Put16(v, 1);
        Put16(v, uint32_t(bpp));
        Put32(v, 0);
        Put32(v, uint32_t(stride * size_t(height)));
        Put32(v, 2835), Put32(v, 2835);
        Put32(v, uint32_t(palette.size()));
        Put32(v, 0);
        for (uint32_t c : palette) Put32(v, c);
        v.resize(v.size() + extraHeader, 0);
        for (int y = height - 1; y >= 0; --y) {
            std::vector<unsigned char> row(stride, padByte);
            if (bpp < 8) std::memset(row.data(), 0, (rowBits + 7) / 8);
            else std::memset(row.data(), 0, rowBits / 8);
            for (int x = 0; x < width; ++x) {
                uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
                if (bpp == 24) {
                    row[3 * x] = uint8_t(p), row[3 * x + 1] = uint8_t(p >> 8), row[3 * x + 2] = uint8_t(p >> 16);
                } else if (bpp == 8) {
                    row[x] = uint8_t(p);
                } else {
                    int per = 8 / bpp;
                    int shift = 8 - bpp * (x % per + 1);
                    row[x / per] |= uint8_t(p << shift);
                }
            }
            v.insert(v.end(), row.begin(), row.end());
        }
        return v;
    }
};

inline std::vector<uint32_t> GreyPalette() {
    std::vector<uint32_t> p(256);
    for (uint32_t i = 0; i < 256; ++i) p[i] = i * 0x010101u;
    return p;
}

}  // namespace printtest
