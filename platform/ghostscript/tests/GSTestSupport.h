// Helpers of the Ghostscript wrapper tests: an outputter that records what a
// job delivers, and a folder for files outside /tmp.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/ghostscript/GS.h"

struct RecordedPage {
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> palette;
    std::vector<unsigned char> bits; // copied in one block from row 0, as the page view does
    int reportedWidth = 0, reportedHeight = 0;

    int Stride() const { return int(DibRowBytes(header.biWidth, header.biBitCount)); }
    // Colour of pixel x of row y counted from the top, as 0x00RRGGBB.
    unsigned Pixel(int x, int yFromTop) const {
        const unsigned char* row = bits.data() + size_t(header.biHeight - 1 - yFromTop) * Stride();
        auto fromPalette = [&](int i) {
            const RGBQUAD& q = palette.at(size_t(i));
            return unsigned(q.rgbRed) << 16 | unsigned(q.rgbGreen) << 8 | q.rgbBlue;
        };
        switch (header.biBitCount) {
        case 1: return fromPalette((row[x / 8] >> (7 - x % 8)) & 1);
        case 4: return fromPalette(x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
        case 8: return fromPalette(row[x]);
        default: return unsigned(row[3 * x + 2]) << 16 | unsigned(row[3 * x + 1]) << 8 | row[3 * x];
        }
    }
};

class RecordingOutputter : public GS::PageOutputter {
public:
    std::vector<RecordedPage> pages;
    std::vector<std::pair<int, int>> pageSizes;
    std::vector<std::string> texts;
    std::atomic<int> stop{0};
    std::function<void(GS*)> onPage; // extra work inside OnPage

    void OnPage(GS* gs, int width, int height) override {
        RecordedPage p;
        p.reportedWidth = width;
        p.reportedHeight = height;
        p.palette.resize(256);
        unsigned char* row0 = nullptr;
        EXPECT_EQ(gs->LockGSDevice(), 1);
        int stride = gs->GetBitmapRow(&p.header, p.palette.data(), &row0, 0);
        if (stride > 0 && row0) {
            p.bits.assign(row0, row0 + size_t(stride) * size_t(height));
            // Rows are contiguous upward from row 0.
            unsigned char* top = nullptr;
            EXPECT_EQ(gs->GetBitmapRow(nullptr, nullptr, &top, unsigned(height - 1)), stride);
            EXPECT_EQ(top, row0 + size_t(stride) * size_t(height - 1));
            EXPECT_EQ(gs->GetBitmapRow(nullptr, nullptr, &top, unsigned(height)), 0);
            EXPECT_EQ(top, nullptr);
        }
        EXPECT_EQ(gs->UnlockGSDevice(), 1);
        pages.push_back(std::move(p));
        if (onPage) onPage(gs);
    }
    void OnText(GS*, const char* text, int length) override { texts.emplace_back(text, size_t(length)); }
    void OnPageSize(GS*, int width, int height) override { pageSizes.emplace_back(width, height); }
    int IsDone(GS*) override { return stop.load(); }

    std::string AllText() const {
        std::string s;
        for (const auto& t : texts) s += t;
        return s;
    }
};

// Ghostscript lets every job read its temporary folder (TMPDIR, else /tmp).
// The tests give it a folder of its own, so that their files, even in a build
// tree under /tmp, are readable only when a job is granted them.
inline const bool kGSTestTempDirSet = [] {
    std::filesystem::path tmp = std::filesystem::path(VELORAN_BINARY_DIR) / "testdata" / "ghostscript-tmp";
    std::filesystem::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    return true;
}();

// A folder for test files under the build tree.
inline std::filesystem::path GSTestDir(const std::string& name) {
    std::filesystem::path dir = std::filesystem::path(VELORAN_BINARY_DIR) / "testdata" / "ghostscript" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::filesystem::path WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Arguments of a bitmap job the way the page view builds them.
inline std::vector<String8> BitmapJobArgs(int bitsPerPixel, const char* geometry, const char* resolution = "-r72") {
    return {"gswin.exe", "-I",        "-sDEVICE=mswindll", "-dSAFER",  "-dNOPLATFONTS", "-dQUIET",
            "-dNOPAUSE", "-dBATCH",   String8("-dBitsPerPixel=") + String8(std::to_string(bitsPerPixel).c_str()),
            resolution,  "-dNOFONTMAP", geometry};
}
