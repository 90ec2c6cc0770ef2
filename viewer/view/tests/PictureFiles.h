// Picture files for the viewer's tests: a placeable metafile of one filled
// rectangle, and PNG and BMP files of one colour written by Qt.
#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace picturefiles {

// boxWidth x boxHeight units at unitsPerInch, all filled with the colour
// 0x00BBGGRR.
inline std::vector<unsigned char> MakeWmf(int boxWidth, int boxHeight, int unitsPerInch, uint32_t fill) {
    std::vector<unsigned char> records, f;
    auto le16 = [](std::vector<unsigned char>& b, int v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
    auto le32 = [&](std::vector<unsigned char>& b, uint32_t v) { le16(b, int(v & 0xFFFF)), le16(b, int(v >> 16)); };
    auto record = [&](int function, std::vector<int> params) {
        le32(records, uint32_t(3 + params.size()));
        le16(records, function);
        for (int p : params) le16(records, p);
    };
    record(0x020B, {0, 0});                                        // SETWINDOWORG
    record(0x020C, {boxHeight, boxWidth});                         // SETWINDOWEXT
    record(0x02FC, {0, int(fill & 0xFFFF), int(fill >> 16), 0});   // CREATEBRUSHINDIRECT
    record(0x012D, {0});                                           // SELECTOBJECT
    record(0x041B, {boxHeight, boxWidth, 0, 0});                   // RECTANGLE
    record(0x0000, {});                                            // EOF
    const uint32_t words = 9 + uint32_t(records.size() / 2);
    le32(f, 0x9AC6CDD7);
    for (int v : {0, 0, 0, boxWidth, boxHeight, unitsPerInch}) le16(f, v);
    le32(f, 0);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(f[i] | f[i + 1] << 8);
    le16(f, sum);
    for (int v : {1, 9, 0x300}) le16(f, v);
    le32(f, words);
    le16(f, 1);
    le32(f, 7);
    le16(f, 0);
    f.insert(f.end(), records.begin(), records.end());
    return f;
}

inline void SaveWmf(const std::string& path, int boxWidth, int boxHeight, int unitsPerInch, uint32_t fill) {
    const auto b = MakeWmf(boxWidth, boxHeight, unitsPerInch, fill);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// A width x height image of one colour (0xRRGGBB) at 96 dpi; the format
// follows the name's extension.
inline bool SaveImage(const std::string& path, int width, int height, uint32_t rgb) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(rgb));
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    return image.save(QString::fromStdString(path));
}

}  // namespace picturefiles
