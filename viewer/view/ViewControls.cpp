#include "viewer/view/ViewControls.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "viewer/view/ViewGeometry.h"

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
    {57601, "Open", "File Open"},         {57604, "Save", "Save As"},           {40017, "View", "View Mode"},
    {40075, "Text", "Text Copy Mode"},    {40135, "Image", "Image Copy Mode"}, {40139, "Note", "Create Note"},
    {40138, "Layout", "LayoutBar"},       {40093, "Info", "Document Information"},
};

QToolBar* MakeBar(QWidget* parent, const Button* buttons, int n, const std::function<void(unsigned)>& onCommand,
                  bool skipOpen = false) {
    auto* bar = new QToolBar(parent);
    bar->setIconSize(QSize(15, 9));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < n; ++i) {
        if (skipOpen && buttons[i].id == 57601) continue;
        QAction* a = bar->addAction(QString::fromUtf8(buttons[i].label));
        a->setToolTip(QString::fromUtf8(buttons[i].tip));
        const unsigned id = buttons[i].id;
        a->setData(id);
        QObject::connect(a, &QAction::triggered, bar, [onCommand, id] { onCommand(id); });
    }
    return bar;
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
                           std::function<void(unsigned)> onCommand) {
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
        (vertical ? m_vBar : m_hBar) = bar;
    }

    m_toolBarParent = new QWidget(parent);
    m_navigation = MakeBar(m_toolBarParent, kNavigation, int(std::size(kNavigation)), onCommand);
    m_pageBox = new QLineEdit(parent);
    m_pageBox->setToolTip("Page Number");
    m_zoomBox = new QLineEdit(parent);
    m_zoomBox->setToolTip("Magnification");
    QFont boxFont = m_pageBox->font();
    boxFont.setPixelSize(11);
    m_pageBox->setFont(boxFont);
    m_zoomBox->setFont(boxFont);

    m_spinParent = new QWidget(parent);
    m_spin = new QWidget(m_spinParent);
    auto* spinLayout = new QHBoxLayout(m_spin);
    spinLayout->setContentsMargins(0, 0, 0, 0);
    spinLayout->setSpacing(0);
    for (const char* t : {"+", "-"}) {
        auto* b = new QToolButton(m_spin);
        b->setText(t);
        b->setAutoRaise(true);
        spinLayout->addWidget(b);
        (t[0] == '+' ? m_spinUp : m_spinDown) = b;
    }
    m_group2 = MakeBar(m_spinParent, kGroup2, int(std::size(kGroup2)), onCommand);
    m_progress = new QProgressBar(m_spinParent);
    m_progress->setTextVisible(false);
    m_progress->hide();

    m_rebarParent = new QWidget(parent);
    m_mainToolbar = MakeBar(m_rebarParent, kMain, int(std::size(kMain)), onCommand, inPlace != 0);
    m_mainToolbar->setIconSize(QSize(20, 18));
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
        Place(m_navigation, 0, -2, 137, 20, true);
        Place(m_pageBox, 142, bottom + 1, 48, 16, true);
        Place(m_zoomBox, 195, bottom + 1, 35, 16, true);
        Place(m_spinParent, 230, bottom, 360 + p - 230, 16, true);
        Place(m_spin, 0, 0, 15 * 2, 16, true);
        Place(m_group2, 30, -2, 100, 20, true);
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

QAction* ViewControls::NavigationButton(unsigned id) const {
    if (!m_navigation) return nullptr;
    for (QAction* a : m_navigation->actions())
        if (a->data().toUInt() == id) return a;
    return nullptr;
}

bool ViewControls::BandVisible() const { return m_rebarParent && m_rebarParent->isVisible(); }
