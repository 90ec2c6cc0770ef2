#include "platform/ui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>

#include "platform/gdi/Surface.h"

namespace {

std::string NormaliseLineEnds(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '\r') {
            out += '\n';
            if (p[1] == '\n') ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace

BOOL AfxSetClipboardText(const char* lpszText) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return FALSE;
    cb->setText(QString::fromStdString(NormaliseLineEnds(lpszText ? lpszText : "")));
    return TRUE;
}

CString AfxGetClipboardText() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return CString();
    return CString(cb->text().toStdString());
}

BOOL AfxSetClipboardImage(const uint32_t* pixels, int width, int height) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb || !pixels || width <= 0 || height <= 0) return FALSE;
    QImage img(reinterpret_cast<const uchar*>(pixels), width, height, width * 4, QImage::Format_RGB32);
    cb->setImage(img.copy());
    return TRUE;
}

BOOL AfxSetClipboardImage(const WindowSurface& surface) {
    return AfxSetClipboardImage(surface.pixels.data(), surface.width, surface.height);
}

BOOL AfxSetClipboardDib(const BITMAPINFO* pInfo, const void* pBits) {
    if (!pInfo || !pBits) return FALSE;
    const BITMAPINFOHEADER& h = pInfo->bmiHeader;
    int bits = h.biBitCount;
    if (h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return FALSE;
    int width = h.biWidth;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool bottomUp = h.biHeight > 0;
    int64_t rowBytes = DibRowBytes(width, bits);
    int colours = bits <= 8 ? (h.biClrUsed ? int(h.biClrUsed) : 1 << bits) : 0;
    if (colours > 256) return FALSE;
    const RGBQUAD* palette = pInfo->bmiColors;
    const auto* data = static_cast<const uint8_t*>(pBits);
    WindowSurface s;
    s.Resize(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + rowBytes * (bottomUp ? height - 1 - y : y);
        uint32_t* out = s.Row(y);
        for (int x = 0; x < width; ++x) {
            uint8_t r, g, b;
            if (bits >= 24) {
                const uint8_t* p = row + x * (bits / 8);
                b = p[0], g = p[1], r = p[2];
            } else {
                int index;
                if (bits == 8) index = row[x];
                else if (bits == 4) index = (row[x / 2] >> ((x % 2) ? 0 : 4)) & 0x0F;
                else index = (row[x / 8] >> (7 - x % 8)) & 1;
                if (index >= colours) index = 0;
                b = palette[index].rgbBlue, g = palette[index].rgbGreen, r = palette[index].rgbRed;
            }
            out[x] = 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
        }
    }
    return AfxSetClipboardImage(s);
}

bool AfxGetClipboardImage(WindowSurface& out) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return false;
    QImage img = cb->image();
    if (img.isNull()) return false;
    img = img.convertToFormat(QImage::Format_RGB32);
    out.Resize(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(out.Row(y), img.constScanLine(y), size_t(img.width()) * 4);
    return true;
}
