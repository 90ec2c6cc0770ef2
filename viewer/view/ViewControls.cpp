#include "viewer/view/ViewControls.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QIcon>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <algorithm>

#include "platform/ui/StringTable.h"
#include "viewer/res/ToolbarImages.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/res/ViewerStrings.h"

namespace {

struct Button {
    unsigned id;
    const char* label;
    const char* tip;
};

const Button kNavigation[] = {
    {40002, "<", "Previous Page"}, {40001, ">", "Next Page"},       {40004, "|<", "First Page"},
    {40005, ">|", "Last Page"},    {40027, "<<", "Back in History"}, {40028, ">>", "Forward in Hostory"},
};
const Button kGroup2[] = {
    {112, "W", "Fit to Width"}, {113, "P", "Fit to Paper"}, {40006, "S", "Search..."},
    {57607, "Pr", "Print"},     {32780, "O", "Viewer Option"},
};
const Button kMain[] = {
    {57601, "Open", "File Open"},         {57604, "Save", "Save As"},
    {IDC_PAGE_BOX, "", "Page Number"},    {IDC_ZOOM_BOX, "", "Magnification"},  {40017, "View", "View Mode"},
    {40075, "Text", "Text Copy Mode"},    {40135, "Image", "Image Copy Mode"}, {40139, "Note", "Create Note"},
    {40138, "Layout", "LayoutBar"},       {40093, "Info", "Document Information"},
};

QString TipOf(const Button& b) {
    const UINT tip = ToolbarTipStringId(b.id);
    CString text;
    return tip && AfxLoadString(tip, text) ? QString::fromUtf8(text.c_str()) : QString::fromUtf8(b.tip);
}

// The main toolbar: picture buttons (the theme's or the viewer's own), the
// Text Select button with a drop-down arrow.
void FillBar(QToolBar* bar, const Button* buttons, int n, const std::function<void(unsigned)>& onCommand,
             bool skipOpen, const std::shared_ptr<ViewControls::DropDownNotify>& onDropDown) {
    bar->setIconSize(QSize(20, 18));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < n; ++i) {
        if (skipOpen && buttons[i].id == 57601) continue;
        QAction* a = bar->addAction(ToolbarIcon(buttons[i].id), QString::fromUtf8(buttons[i].label));
        a->setToolTip(TipOf(buttons[i]));
        const unsigned id = buttons[i].id;
        a->setData(id);
        QObject::connect(a, &QAction::triggered, bar, [onCommand, id] { onCommand(id); });
        if (id != 40075) continue;
        if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a)))
            MakeDropDownButton(b, [b, id, onDropDown] {
                if (!*onDropDown) return;
                const QPoint topLeft = b->mapToGlobal(QPoint(0, 0));
                const RECT r{topLeft.x(), topLeft.y(), topLeft.x() + b->width(), topLeft.y() + b->height()};
                (*onDropDown)(id, r);
            });
    }
}

// A 15 x 9 picture of a bottom-row command, drawn in black on clear.
QIcon RowIcon(unsigned id) {
    QPixmap pixmap(15, 9);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    auto left = [&](int x) { p.drawPolygon(QPolygon({QPoint(x, 4), QPoint(x + 4, 0), QPoint(x + 4, 8)})); };
    auto right = [&](int x) { p.drawPolygon(QPolygon({QPoint(x + 4, 4), QPoint(x, 0), QPoint(x, 8)})); };
    switch (id) {
    case 40002: left(5); break;
    case 40001: right(5); break;
    case 40004: p.drawRect(3, 0, 1, 8); left(6); break;
    case 40005: right(5); p.drawRect(11, 0, 1, 8); break;
    case 40027: left(2); left(8); break;
    case 40028: right(2); right(8); break;
    case 112:  // fit width: an arrow between two walls
        p.drawLine(1, 0, 1, 8), p.drawLine(13, 0, 13, 8), p.drawLine(3, 4, 11, 4);
        p.drawLine(3, 4, 5, 2), p.drawLine(3, 4, 5, 6), p.drawLine(11, 4, 9, 2), p.drawLine(11, 4, 9, 6);
        break;
    case 113:  // fit page: a page
        p.setBrush(Qt::NoBrush);
        p.drawRect(4, 0, 6, 8), p.drawLine(6, 3, 8, 3), p.drawLine(6, 5, 8, 5);
        break;
    case 40006:  // search: a lens
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(3, 0, 5, 5), p.drawLine(8, 5, 11, 8);
        break;
    case 57607:  // print: a printer
        p.setBrush(Qt::NoBrush);
        p.drawRect(5, 0, 4, 2), p.drawRect(2, 3, 10, 3), p.drawRect(5, 6, 4, 2);
        break;
    case 32780:  // options: a list of settings
        for (int y : {1, 4, 7}) p.drawLine(3, y, 11, y);
        break;
    default: break;
    }
    return QIcon(pixmap);
}

// A bottom-row group: flat picture buttons packed side by side, each
// showing its action (the group's actions, in order).
QWidget* MakeBar(QWidget* parent, const Button* buttons, int n, const std::function<void(unsigned)>& onCommand) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < n; ++i) {
        auto* a = new QAction(RowIcon(buttons[i].id), QString::fromUtf8(buttons[i].label), row);
        a->setToolTip(TipOf(buttons[i]));
        const unsigned id = buttons[i].id;
        a->setData(id);
        QObject::connect(a, &QAction::triggered, row, [onCommand, id] { onCommand(id); });
        row->addAction(a);
        auto* b = new QToolButton(row);
        b->setDefaultAction(a);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setIconSize(QSize(15, 9));
        b->setFixedSize(21, 16);
        layout->addWidget(b);
    }
    layout->addStretch(1);
    return row;
}

int CodeOf(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return viewgeo::kLineUp;
    case QAbstractSlider::SliderSingleStepAdd: return viewgeo::kLineDown;
    case QAbstractSlider::SliderPageStepSub: return viewgeo::kPageUp;
    case QAbstractSlider::SliderPageStepAdd: return viewgeo::kPageDown;
    case QAbstractSlider::SliderMove: return viewgeo::kThumbTrack;
    case QAbstractSlider::SliderToMinimum: return viewgeo::kTop;
    case QAbstractSlider::SliderToMaximum: return viewgeo::kBottom;
    default: return -1;
    }
}

}  // namespace

ViewControls::ViewControls(QWidget* parent, int inPlace, std::function<void(bool, int, int)> onScroll,
                           std::function<void(unsigned)> onCommand)
    : m_onDropDown(std::make_shared<DropDownNotify>()) {
    AfxRegisterViewerStrings();
    for (bool vertical : {false, true}) {
        auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, parent);
        bar->setEnabled(false);
        bar->hide();
        bar->setSingleStep(1);
        QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [bar, vertical, onScroll](int action) {
            const int code = CodeOf(action);
            // The bar's own move is replaced by the view's.
            const int before = bar->value();
            if (code >= 0) onScroll(vertical, code, bar->sliderPosition());
            if (action != QAbstractSlider::SliderMove && bar->property("viewPos").isValid())
                bar->setSliderPosition(bar->property("viewPos").toInt());
            else if (action != QAbstractSlider::SliderMove)
                bar->setSliderPosition(before);
        });
        // The end of a drag.
        QObject::connect(bar, &QAbstractSlider::sliderReleased, bar,
                         [bar, vertical, onScroll] { onScroll(vertical, viewgeo::kEndScroll, bar->sliderPosition()); });
        (vertical ? m_vBar : m_hBar) = bar;
    }

    m_toolBarParent = new QWidget(parent);
    m_navigation = MakeBar(m_toolBarParent, kNavigation, int(std::size(kNavigation)), onCommand);
    m_pageBox = new ToolbarEdit(IDC_PAGE_BOX, parent);
    m_pageBox->setToolTip(AfxLoadString(ToolbarTipStringId(IDC_PAGE_BOX)).c_str());
    m_zoomBox = new ToolbarEdit(IDC_ZOOM_BOX, parent);
    m_zoomBox->setToolTip(AfxLoadString(ToolbarTipStringId(IDC_ZOOM_BOX)).c_str());
    // "200/200" must fit the 48 pixels of the page box: a narrow face, a thin
    // frame and no inner margins.
    QFont boxFont;
    boxFont.setFamilies({"DejaVu Sans Condensed", "Liberation Sans Narrow", "Sans Serif"});
    boxFont.setStretch(QFont::SemiCondensed);
    boxFont.setPixelSize(11);
    for (ToolbarEdit* box : {m_pageBox.data(), m_zoomBox.data()}) {
        box->setFont(boxFont);
        box->setFrame(false);
        box->setTextMargins(1, 0, 0, 0);
        box->setStyleSheet("QLineEdit { border: 1px solid #808080; background: white; padding: 0px; margin: 0px; }");
    }

    m_spinParent = new QWidget(parent);
    m_spin = new ZoomSpinButton(IDC_ZOOM_SPIN, m_spinParent);
    m_spin->setToolTip(AfxLoadString(ToolbarTipStringId(IDC_ZOOM_BOX)).c_str());
    m_group2 = MakeBar(m_spinParent, kGroup2, int(std::size(kGroup2)), onCommand);
    m_progress = new QProgressBar(m_spinParent);
    m_progress->setTextVisible(false);
    m_progress->hide();

    m_rebarParent = new QWidget(parent);
    m_mainToolbar = new ViewToolbar(m_rebarParent);
    FillBar(m_mainToolbar, kMain, int(std::size(kMain)), onCommand, inPlace != 0, m_onDropDown);
    // The page and zoom combo boxes take the places of their buttons.
    for (UINT id : {IDC_PAGE_BOX, IDC_ZOOM_BOX}) {
        const QList<QAction*> buttons = m_mainToolbar->actions();
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->data().toUInt() == id) {
                const QString tip = buttons[i]->toolTip();
                m_mainToolbar->AddComboBox(i, id, id == IDC_PAGE_BOX ? 84 : 72, 200)->setToolTip(tip);
                break;
            }
    }
    for (QWidget* w : {m_toolBarParent.data(), m_spinParent.data(), m_rebarParent.data()}) {
        w->setAutoFillBackground(true);
        w->setStyleSheet("QToolButton { padding: 0px 1px; margin: 0px; }");
    }
    for (QWidget* w : {m_toolBarParent.data(), static_cast<QWidget*>(m_pageBox.data()),
                       static_cast<QWidget*>(m_zoomBox.data()), m_spinParent.data(), m_rebarParent.data()})
        w->hide();
}

ViewControls::~ViewControls() {
    for (QWidget* w : {static_cast<QWidget*>(m_hBar.data()), static_cast<QWidget*>(m_vBar.data()),
                       m_toolBarParent.data(), static_cast<QWidget*>(m_pageBox.data()),
                       static_cast<QWidget*>(m_zoomBox.data()), m_spinParent.data(), m_rebarParent.data()})
        delete w;
}

void ViewControls::SetBar(bool vertical, int max, int page, int pos) {
    QScrollBar* bar = Bar(vertical);
    if (!bar) return;
    const QSignalBlocker block(bar);
    bar->setPageStep(std::max(1, page));
    bar->setRange(0, std::max(0, max - page + 1));
    bar->setValue(pos);
    bar->setProperty("viewPos", pos);
}

void ViewControls::Place(QWidget* w, int x, int y, int cx, int cy, bool shown) {
    if (!w) return;
    w->setGeometry(x, y, std::max(0, cx), std::max(0, cy));
    w->setEnabled(shown);
    w->setVisible(shown);
}

void ViewControls::Layout(const RECT& R, int flags, int showToolbar, int showMainToolbar, int topOffset,
                          int downloading) {
    const int p = downloading ? 100 : 0;
    const int bottom = R.bottom, right = R.right;
    if ((flags & 1) && showToolbar) {
        Place(m_toolBarParent, 0, bottom, 137, 16, true);
        Place(m_navigation, 0, 0, 137, 16, true);
        // One pixel shorter than the row so that the boxes' lower border shows.
        Place(m_pageBox, 142, bottom + 1, 48, 15, true);
        Place(m_zoomBox, 195, bottom + 1, 35, 15, true);
        Place(m_spinParent, 230, bottom, 360 + p - 230, 16, true);
        Place(m_spin, 0, 0, 15, 16, true);
        Place(m_group2, 15, 0, 115, 16, true);
        Place(m_progress, 130, 0, 100, 16, downloading != 0);
        Place(m_hBar, 360 + p, bottom, right - p - 360, 16, true);
        Place(m_rebarParent, 0, -1, right + 17, topOffset, showMainToolbar && topOffset > 0);
        Place(m_mainToolbar, 0, 0, right + 17, topOffset + 1, showMainToolbar && topOffset > 0);
    } else if (flags & 1) {
        for (QWidget* w : {m_toolBarParent.data(), static_cast<QWidget*>(m_pageBox.data()),
                           static_cast<QWidget*>(m_zoomBox.data()), m_rebarParent.data()})
            Place(w, 0, 0, 0, 0, false);
        if (downloading) {
            Place(m_spinParent, 0, bottom, 100, 16, true);
            Place(m_spin, 0, 0, 0, 0, false);
            Place(m_group2, 0, 0, 0, 0, false);
            Place(m_progress, 0, 0, 100, 16, true);
        } else {
            Place(m_spinParent, 0, 0, 0, 0, false);
        }
        Place(m_hBar, p, bottom, right - p, 16, true);
    } else {
        for (QWidget* w : {m_toolBarParent.data(), static_cast<QWidget*>(m_pageBox.data()),
                           static_cast<QWidget*>(m_zoomBox.data()), m_rebarParent.data(), m_spinParent.data(),
                           static_cast<QWidget*>(m_hBar.data())})
            Place(w, 0, 0, 0, 0, false);
    }
    if (flags & 2) Place(m_vBar, right, topOffset, 16, bottom - topOffset, true);
    else Place(m_vBar, 0, 0, 0, 0, false);
    m_showBand = showMainToolbar && topOffset > 0;
}

void ViewControls::SetProgressRange(int total) {
    if (m_progress) m_progress->setRange(0, std::max(0, total));
}

void ViewControls::SetProgressPos(int pos) {
    if (m_progress) m_progress->setValue(pos);
}

void ViewControls::SetOwner(const ToolbarNotify& notify) {
    for (ToolbarEdit* box : {m_pageBox.data(), m_zoomBox.data()})
        if (box) box->SetOwner(notify);
    if (m_spin) m_spin->SetOwner(notify);
}

void ViewControls::SetDropDownOwner(DropDownNotify notify) { *m_onDropDown = std::move(notify); }

QAction* ViewControls::MainToolbarButton(unsigned id) const {
    if (!m_mainToolbar) return nullptr;
    for (QAction* a : m_mainToolbar->actions())
        if (a->data().toUInt() == id) return a;
    return nullptr;
}

std::vector<QAction*> ViewControls::CommandActions() const {
    std::vector<QAction*> out;
    for (QWidget* w : {m_navigation.data(), m_group2.data(), static_cast<QWidget*>(m_mainToolbar.data())}) {
        if (!w) continue;
        for (QAction* a : w->actions())
            if (a->data().toUInt() != 0) out.push_back(a);
    }
    return out;
}

QAction* ViewControls::NavigationButton(unsigned id) const {
    if (!m_navigation) return nullptr;
    for (QAction* a : m_navigation->actions())
        if (a->data().toUInt() == id) return a;
    return nullptr;
}

bool ViewControls::BandVisible() const { return m_rebarParent && m_rebarParent->isVisible(); }
