#include "platform/ui/Cursor.h"

#include <QApplication>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "platform/ui/AfxIds.h"

namespace {

struct Cursors {
    std::map<UINT, std::unique_ptr<CursorHandle>> resources;
    std::map<UINT, std::unique_ptr<CursorHandle>> standard;
    QPointer<QWidget> window;
    HCURSOR current = nullptr;
};

Cursors& GetCursors() {
    static Cursors c;
    return c;
}

Qt::CursorShape StandardShape(UINT id) {
    switch (id) {
    case IDC_IBEAM: return Qt::IBeamCursor;
    case IDC_WAIT: return Qt::WaitCursor;
    case IDC_CROSS: return Qt::CrossCursor;
    case IDC_UPARROW: return Qt::UpArrowCursor;
    case IDC_SIZENWSE: return Qt::SizeFDiagCursor;
    case IDC_SIZENESW: return Qt::SizeBDiagCursor;
    case IDC_SIZEWE: return Qt::SizeHorCursor;
    case IDC_SIZENS: return Qt::SizeVerCursor;
    case IDC_SIZEALL: return Qt::SizeAllCursor;
    case IDC_NO: return Qt::ForbiddenCursor;
    case IDC_HAND: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

void Store(UINT nID, QCursor cursor) {
    auto& slot = GetCursors().resources[nID];
    if (slot) slot->cursor = std::move(cursor);
    else slot = std::make_unique<CursorHandle>(CursorHandle{std::move(cursor)});
}

} // namespace

void AfxRegisterCursor(UINT nID, const QImage& image, int hotX, int hotY) {
    Store(nID, QCursor(QPixmap::fromImage(image), hotX, hotY));
}

void AfxRegisterCursor(UINT nID, Qt::CursorShape shape) { Store(nID, QCursor(shape)); }

HCURSOR AfxLoadCursor(UINT nID) {
    auto& r = GetCursors().resources;
    auto it = r.find(nID);
    return it == r.end() ? nullptr : it->second.get();
}

HCURSOR AfxLoadStandardCursor(UINT nIDC) {
    auto& slot = GetCursors().standard[nIDC];
    if (!slot) slot = std::make_unique<CursorHandle>(CursorHandle{QCursor(StandardShape(nIDC))});
    return slot.get();
}

HCURSOR SetCursor(HCURSOR hCursor) {
    Cursors& c = GetCursors();
    HCURSOR old = c.current;
    c.current = hCursor;
    if (c.window) {
        if (hCursor) c.window->setCursor(hCursor->cursor);
        else c.window->setCursor(Qt::BlankCursor);
    }
    return old;
}

HCURSOR GetCursor() { return GetCursors().current; }

void AfxSetCursorWindow(QWidget* widget) { GetCursors().window = widget; }

CWaitCursor::CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
CWaitCursor::~CWaitCursor() { QApplication::restoreOverrideCursor(); }
void CWaitCursor::Restore() { QApplication::changeOverrideCursor(Qt::WaitCursor); }
