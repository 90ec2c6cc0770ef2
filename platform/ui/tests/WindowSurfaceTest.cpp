// Window back buffers, painting, input messages, cursors and the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <thread>

#include "platform/ui/Clipboard.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/View.h"
#include "platform/ui/VirtualKeys.h"
#include "platform/ui/Wnd.h"
#include "platform/ui/tests/QtTestApp.h"

#include "platform/ui/WindowDC.h"

namespace {

// Paints a frame of one colour around a rectangle of another, straight into
// the back buffer.
class PaintWnd : public CWnd {
public:
    uint32_t outer = 0xFF2040C0u, inner = 0xFFE0A010u;
    int paints = 0;
    void OnPaint() override {
        ++paints;
        WindowSurface& s = GetSurface();
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                s.Row(y)[x] = (x >= 10 && x < 20 && y >= 5 && y < 15) ? inner : outer;
    }
};

TEST(WindowSurface, PaintLandsInSurfaceAndIsShownByTheWidget) {
    TestApp();
    PaintWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "paint", WS_VISIBLE, CRect(0, 0, 64, 48), nullptr, 0));
    ASSERT_TRUE(PumpUntilQueuedRan());
    CRect client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 64, 48));
    ASSERT_EQ(wnd.GetSurface().width, 64);
    ASSERT_EQ(wnd.GetSurface().height, 48);
    wnd.Invalidate();
    wnd.UpdateWindow();
    EXPECT_GE(wnd.paints, 1);
    EXPECT_EQ(wnd.GetSurface().Row(7)[12], wnd.inner);
    EXPECT_EQ(wnd.GetSurface().Row(30)[40], wnd.outer);

    QImage shown = wnd.GetWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.width(), 64);
    EXPECT_EQ(shown.pixel(12, 7), wnd.inner);
    EXPECT_EQ(shown.pixel(40, 30), wnd.outer);
    EXPECT_EQ(shown.pixel(9, 7), wnd.outer);

    // A resize keeps the surface the size of the client area.
    wnd.MoveWindow(0, 0, 30, 20);
    EXPECT_TRUE(PumpUntil([&] { return wnd.GetSurface().width == 30 && wnd.GetSurface().height == 20; }));
    EXPECT_EQ(wnd.GetSurface().width, 30);
    EXPECT_EQ(wnd.GetSurface().height, 20);
}

TEST(WindowSurface, InvalidateFromWorkerPaintsOnUiThread) {
    TestApp();
    struct Wnd : PaintWnd {
        bool onUi = true;
        void OnPaint() override {
            onUi = onUi && UiDispatcher::IsUiThread();
            PaintWnd::OnPaint();
        }
    } wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "paint", WS_VISIBLE, CRect(0, 0, 32, 32), nullptr, 0));
    ASSERT_TRUE(PumpUntilQueuedRan());
    int before = wnd.paints;
    std::thread worker([&] {
        wnd.Invalidate();
        wnd.UpdateWindow();
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return wnd.paints > before; }));
    EXPECT_TRUE(wnd.onUi);
    // Invalidations before the paint runs are delivered as one paint.
    before = wnd.paints;
    wnd.Invalidate();
    wnd.Invalidate();
    wnd.Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return wnd.paints > before; }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(wnd.paints, before + 1);
}

// A view draws through OnDraw with a device context on its back buffer,
// in a paint and outside one.
TEST(WindowSurface, ViewDrawsThroughDeviceContext) {
    TestApp();
    struct DrawView : CView {
        int draws = 0;
        void OnDraw(CDC* pDC) override {
            ++draws;
            pDC->FillSolidRect(0, 0, 40, 30, RGB(0x10, 0x20, 0x30));
            pDC->FillSolidRect(5, 5, 10, 10, RGB(0xF0, 0x80, 0x00));
        }
    };
    auto* view = new DrawView;
    ASSERT_TRUE(view->Create(nullptr, "v", WS_VISIBLE, CRect(0, 0, 40, 30), nullptr, 0));
    ASSERT_TRUE(PumpUntilQueuedRan());
    view->Invalidate();
    view->UpdateWindow();
    EXPECT_GE(view->draws, 1);
    EXPECT_EQ(view->GetSurface().Row(20)[30], 0xFF102030u);
    EXPECT_EQ(view->GetSurface().Row(7)[7], 0xFFF08000u);
    QImage shown = view->GetWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(7, 7), 0xFFF08000u);
    std::unique_ptr<CDC> dc = view->GetSurfaceDC();
    ASSERT_NE(dc, nullptr);
    dc->FillSolidRect(0, 0, 2, 2, RGB(0xFF, 0, 0));
    dc.reset();
    EXPECT_EQ(view->GetSurface().Row(1)[1], 0xFFFF0000u);
    {
        CClientDC client(view);
        client.FillSolidRect(38, 28, 2, 2, RGB(0, 0xFF, 0));
    }
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(view->GetWidget()->grab().toImage().pixel(39, 29), 0xFF00FF00u);
    view->DestroyWindow(); // deletes the view
}

// The paint handler the system's views use: a CPaintDC on the window.
TEST(WindowSurface, PaintHandlerWithPaintDC) {
    TestApp();
    struct PaintDCWnd : CWnd {
        void OnPaint() override {
            CPaintDC dc(this);
            dc.FillSolidRect(0, 0, 4, 4, RGB(1, 2, 3));
        }
    } wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "p", WS_VISIBLE, CRect(0, 0, 8, 8), nullptr, 0));
    wnd.Invalidate();
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.GetSurface().Row(3)[3], 0xFF010203u);
    EXPECT_EQ(wnd.GetSurface().Row(5)[5], 0xFFFFFFFFu);
}

// Rectangles invalidated before a paint make one: the paint covers it and
// leaves the rest of the back buffer, and the widget shows the new pixels.
TEST(WindowSurface, APaintAfterInvalidateRectCoversTheRectanglesOnly) {
    TestApp();
    struct FillWnd : CWnd {
        COLORREF colour = RGB(10, 20, 30);
        void OnPaint() override {
            CPaintDC dc(this);
            dc.FillSolidRect(0, 0, 40, 30, colour);
        }
    } wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "p", WS_VISIBLE, CRect(0, 0, 40, 30), nullptr, 0));
    wnd.Invalidate();
    wnd.UpdateWindow();
    ASSERT_EQ(wnd.GetSurface().Row(20)[30], 0xFF0A141Eu);
    wnd.colour = RGB(200, 100, 50);
    const RECT a{2, 3, 6, 5}, b{10, 8, 12, 9}, empty{20, 20, 20, 25};
    wnd.InvalidateRect(&a, FALSE);
    wnd.InvalidateRect(&b, FALSE);
    wnd.InvalidateRect(&empty, FALSE);
    wnd.UpdateWindow();
    const QImage shown = wnd.GetWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 2 && x < 12 && y >= 3 && y < 9;
            const uint32_t want = inside ? 0xFFC86432u : 0xFF0A141Eu;
            ASSERT_EQ(wnd.GetSurface().Row(y)[x], want) << x << "," << y;
            ASSERT_EQ(shown.pixel(x, y), want) << x << "," << y;
        }
    // Invalidate after a rectangle: the whole window.
    wnd.colour = RGB(0, 0, 255);
    wnd.InvalidateRect(&a, FALSE);
    wnd.Invalidate(FALSE);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.GetSurface().Row(29)[39], 0xFF0000FFu);
}

class InputWnd : public CWnd {
public:
    std::vector<std::string> log;
    UINT cursorId = 0;
    void OnLButtonDown(UINT flags, CPoint p) override {
        log.push_back("down " + std::to_string(p.x) + "," + std::to_string(p.y) +
                      ((flags & MK_SHIFT) ? " shift" : "") + ((flags & MK_LBUTTON) ? " L" : ""));
    }
    void OnKeyDown(UINT vk, UINT, UINT) override { log.push_back("key " + std::to_string(vk)); }
    void OnChar(UINT c, UINT, UINT) override { log.push_back("char " + std::to_string(c)); }
    BOOL OnSetCursor(CWnd*, UINT, UINT) override {
        if (!cursorId) return FALSE;
        SetCursor(AfxLoadCursor(cursorId));
        return TRUE;
    }
};

TEST(WindowInput, MouseAndKeysBecomeMessages) {
    TestApp();
    InputWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "in", WS_VISIBLE, CRect(0, 0, 50, 50), nullptr, 0));
    QWidget* w = wnd.GetWidget();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(7, 9), w->mapToGlobal(QPointF(7, 9)), Qt::LeftButton,
                      Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(w, &press);
    struct Key {
        int key;
        Qt::KeyboardModifiers mods;
        const char* text;
        std::vector<std::string> expected;
    } keys[] = {
        {Qt::Key_F, Qt::ControlModifier, "\x06", {"key 70", "char 6"}},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", {"key 8", "char 8"}},
        {Qt::Key_PageDown, Qt::NoModifier, "", {"key 34"}},
        {Qt::Key_A, Qt::NoModifier, "a", {"key 65", "char 97"}},
    };
    ASSERT_EQ(wnd.log, std::vector<std::string>{"down 7,9 shift L"});
    for (const Key& k : keys) {
        wnd.log.clear();
        QKeyEvent e(QEvent::KeyPress, k.key, k.mods, QString::fromLatin1(k.text));
        QApplication::sendEvent(w, &e);
        EXPECT_EQ(wnd.log, k.expected) << k.key;
    }
}

TEST(WindowInput, CursorByResourceIdFollowsOnSetCursor) {
    TestApp();
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::black);
    AfxRegisterCursor(222, img, 3, 4);
    AfxRegisterCursor(205, Qt::CrossCursor);
    EXPECT_EQ(AfxLoadCursor(999), nullptr);
    ASSERT_NE(AfxLoadCursor(205), nullptr);
    InputWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "cur", WS_VISIBLE, CRect(0, 0, 50, 50), nullptr, 0));
    QWidget* w = wnd.GetWidget();
    auto move = [&] {
        QMouseEvent m(QEvent::MouseMove, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &m);
    };
    wnd.cursorId = 205;
    move();
    EXPECT_EQ(w->cursor().shape(), Qt::CrossCursor);
    wnd.cursorId = 222;
    move();
    EXPECT_EQ(w->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w->cursor().hotSpot(), QPoint(3, 4));
    EXPECT_EQ(GetCursor(), AfxLoadCursor(222));
    wnd.cursorId = 0; // not handled: the class cursor
    move();
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(AfxLoadStandardCursor(IDC_IBEAM)->cursor.shape(), Qt::IBeamCursor);
}

TEST(Clipboard, TextGetsLineFeedLineEnds) {
    TestApp();
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"a\r\nb", "a\nb"}, {"a\rb\r", "a\nb\n"}, {"a\n\r\nb", "a\n\nb"}, {"plain", "plain"}, {"", ""}};
    for (const Case& c : cases) {
        ASSERT_TRUE(AfxSetClipboardText(c.in));
        EXPECT_EQ(AfxGetClipboardText().str(), c.out);
    }
}

TEST(Clipboard, ImagesFromSurfaceAndDib) {
    TestApp();
    WindowSurface s;
    s.Resize(3, 2);
    s.Row(1)[2] = 0xFF112233u;
    ASSERT_TRUE(AfxSetClipboardImage(s));
    WindowSurface back;
    ASSERT_TRUE(AfxGetClipboardImage(back));
    ASSERT_EQ(back.width, 3);
    EXPECT_EQ(back.Row(1)[2], 0xFF112233u);
    EXPECT_EQ(back.Row(0)[0], 0xFFFFFFFFu);

    // A bottom-up 4-bit DIB, 3 x 2, with a two-entry palette.
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[2];
    } info{};
    info.h.biSize = 40;
    info.h.biWidth = 3;
    info.h.biHeight = 2;
    info.h.biPlanes = 1;
    info.h.biBitCount = 4;
    info.h.biClrUsed = 2;
    info.colours[0] = {0, 0, 0, 0};
    info.colours[1] = {0x30, 0x20, 0x10, 0};
    const uint8_t bits[8] = {0x10, 0x10, 0, 0, /* top row */ 0x01, 0x00, 0, 0};
    ASSERT_TRUE(AfxSetClipboardDib(reinterpret_cast<const BITMAPINFO*>(&info), bits));
    ASSERT_TRUE(AfxGetClipboardImage(back));
    ASSERT_EQ(back.width, 3);
    ASSERT_EQ(back.height, 2);
    EXPECT_EQ(back.Row(0)[1], 0xFF102030u);
    EXPECT_EQ(back.Row(0)[0], 0xFF000000u);
    EXPECT_EQ(back.Row(1)[0], 0xFF102030u);
    EXPECT_EQ(back.Row(1)[2], 0xFF102030u);
    // Unsupported forms are refused.
    info.h.biCompression = BI_RLE8;
    EXPECT_FALSE(AfxSetClipboardDib(reinterpret_cast<const BITMAPINFO*>(&info), bits));
    info.h.biCompression = BI_RGB;
    info.h.biClrUsed = 300;
    EXPECT_FALSE(AfxSetClipboardDib(reinterpret_cast<const BITMAPINFO*>(&info), bits));
}

} // namespace
