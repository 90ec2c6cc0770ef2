#include "platform/ui/WindowDC.h"

#include "platform/gdi/PixelBuffer.h"
#include "platform/ui/Wnd.h"

CClientDC::CClientDC(CWnd* pWnd) : m_pWnd(pWnd) {
    if (!pWnd) return;
    WindowSurface& s = pWnd->GetSurface();
    kind_ = Kind::Surface;
    auto px = std::make_unique<PixelBuffer>();
    if (s.width > 0 && s.height > 0 && s.pixels.size() >= size_t(s.width) * size_t(s.height) &&
        px->Wrap(reinterpret_cast<uint8_t*>(s.pixels.data()), s.width, s.height, 32, s.width * 4))
        SetDevicePixels(std::move(px));
}

CPaintDC::CPaintDC(CWnd* pWnd) : CClientDC(pWnd) {
    RECT r;
    if (pWnd && pWnd->GetPaintRect(&r)) {
        IntersectClipRect(r.left, r.top, r.right, r.bottom);
        m_updateOnClose = false;
    }
}

CClientDC::~CClientDC() {
    if (m_updateOnClose && m_pWnd && m_pWnd->GetWidget()) m_pWnd->GetWidget()->update();
}
