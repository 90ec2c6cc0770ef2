#include "viewer/res/ViewerBitmaps.h"

#include <QPainter>
#include <mutex>

#include "platform/ui/Cursor.h"
#include "viewer/res/FrameIds.h"
#include "viewer/res/ViewCommandIds.h"

namespace {

// The layout bar's tabs: a contents list and a stack of page thumbnails.
QImage LayoutTabImages() {
    QImage strip(32, 16, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    QPainter p(&strip);
    // Contents: a page with indented lines.
    p.fillRect(2, 1, 12, 14, Qt::white);
    p.setPen(QColor(64, 64, 64));
    p.drawRect(2, 1, 11, 13);
    p.setPen(QColor(0, 0, 160));
    for (int y = 4, i = 0; y < 13; y += 2, ++i) p.drawLine(i % 2 ? 6 : 4, y, 11, y);
    // Thumbnails: two pages one behind the other.
    p.setPen(QColor(64, 64, 64));
    p.fillRect(21, 1, 9, 11, QColor(224, 224, 224));
    p.drawRect(21, 1, 8, 10);
    p.fillRect(18, 4, 9, 11, Qt::white);
    p.drawRect(18, 4, 8, 10);
    p.fillRect(20, 6, 5, 3, QColor(0, 0, 160));
    return strip;
}

}  // namespace

QImage ViewerBitmap(UINT nID) {
    if (nID == IDB_LAYOUT_TABS) return LayoutTabImages();
    return QImage();
}

void AfxRegisterViewerCursors() {
    static std::once_flag once;
    std::call_once(once, [] {
        const struct {
            UINT id;
            Qt::CursorShape shape;
        } cursors[] = {{IDC_VIEW_GLASS, Qt::SizeAllCursor},       {IDC_VIEW_LINK, Qt::PointingHandCursor},
                       {IDC_VIEW_PAGE, Qt::ArrowCursor},          {IDC_VIEW_COLUMN, Qt::UpArrowCursor},
                       {IDC_VIEW_NOTE_PLACE, Qt::WhatsThisCursor}, {IDC_VIEW_NOTE, Qt::OpenHandCursor}};
        for (const auto& c : cursors)
            if (!AfxLoadCursor(c.id)) AfxRegisterCursor(c.id, c.shape);
    });
}
