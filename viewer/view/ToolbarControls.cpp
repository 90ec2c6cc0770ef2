#include "viewer/view/ToolbarControls.h"

#include <QAbstractItemView>
#include <QAction>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QWidgetAction>
#include <algorithm>

#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/VrViewerView.h"

namespace {
bool IsEnter(const QEvent* e) {
    if (e->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(e)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
}  // namespace

// ---- ToolbarEdit

ToolbarEdit::ToolbarEdit(UINT id, QWidget* parent) : QLineEdit(parent), m_id(id) {}

void ToolbarEdit::keyPressEvent(QKeyEvent* e) {
    if (IsEnter(e)) {
        e->accept();
        if (m_notify) m_notify(WM_TOOLBAR_EDIT_ENTER, m_id);
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void ToolbarEdit::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    // After the press that gave the focus, which would place the caret.
    QTimer::singleShot(0, this, [this] {
        if (hasFocus()) selectAll();
    });
}

// ---- EnterNotifyWnd

EnterNotifyWnd::EnterNotifyWnd(UINT id, QWidget* parent) : QComboBox(parent), m_id(id) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->installEventFilter(this);
}

bool EnterNotifyWnd::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lineEdit() && IsEnter(e)) {
        if (m_notify) m_notify(WM_TOOLBAR_EDIT_ENTER, m_id);
        return true;
    }
    return QComboBox::eventFilter(watched, e);
}

void EnterNotifyWnd::keyPressEvent(QKeyEvent* e) {
    if (IsEnter(e)) {
        e->accept();
        if (m_notify) m_notify(WM_TOOLBAR_EDIT_ENTER, m_id);
        return;
    }
    QComboBox::keyPressEvent(e);
}

// ---- ZoomSpinButton

ZoomSpinButton::ZoomSpinButton(UINT id, QWidget* parent) : QWidget(parent), m_id(id) {
    setFocusPolicy(Qt::NoFocus);
}

UINT ZoomSpinButton::MessageAt(int y, int height) {
    const int half = height / 2;
    if (y < half) return WM_ZOOM_STEP_UP;
    if (y > half) return WM_ZOOM_STEP_DOWN;
    return 0;
}

void ZoomSpinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int h = height(), half = h / 2;
    const QRect halves[] = {QRect(0, 0, width(), half), QRect(0, half, width(), h - half)};
    for (int i = 0; i < 2; ++i) {
        QStyleOption opt;
        opt.initFrom(this);
        opt.rect = halves[i];
        const bool down = (i == 0 && m_pressed == 1) || (i == 1 && m_pressed == -1);
        opt.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, this);
        opt.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &opt, &p, this);
    }
}

void ZoomSpinButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    const UINT message = MessageAt(e->position().toPoint().y(), height());
    m_pressed = message == WM_ZOOM_STEP_UP ? 1 : message == WM_ZOOM_STEP_DOWN ? -1 : 0;
    update();
    if (message && m_notify) m_notify(message, m_id);
}

void ZoomSpinButton::mouseReleaseEvent(QMouseEvent* e) {
    m_pressed = 0;
    update();
    QWidget::mouseReleaseEvent(e);
}

// ---- PageSlider

PageSlider::PageSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(m_rangeMin, m_rangeMax);
    setValue(m_position);
}

void PageSlider::SetPos(int position) {
    m_position = position;
    setValue(position);
    update();
}

void PageSlider::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) m_dragging = 1;
    QSlider::mousePressEvent(e);
}

void PageSlider::keyPressEvent(QKeyEvent* e) {
    m_dragging = 1;
    QSlider::keyPressEvent(e);
}

void PageSlider::mouseReleaseEvent(QMouseEvent* e) {
    QSlider::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton) Released();
}

void PageSlider::keyReleaseEvent(QKeyEvent* e) {
    QSlider::keyReleaseEvent(e);
    if (!e->isAutoRepeat()) Released();
}

void PageSlider::Released() {
    m_dragging = 0;
    const int position = value();
    if (position == m_position) return;
    m_position = position;
    if (m_pView) m_pView->GotoPage(position - 1);
}

// ---- ToolbarComboBox

ToolbarComboBox::ToolbarComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
}

bool ToolbarComboBox::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lineEdit() && IsEnter(e)) {
        OnEnter();
        return true;
    }
    return QComboBox::eventFilter(watched, e);
}

// The keys a person types reach the box itself (its edit part is the focus
// proxy's other side); only keys sent to the edit part pass the filter.
void ToolbarComboBox::keyPressEvent(QKeyEvent* e) {
    if (IsEnter(e)) {
        e->accept();
        OnEnter();
        return;
    }
    QComboBox::keyPressEvent(e);
}

void ToolbarComboBox::OnEnter() {
    const QString text = currentText();
    // An exact search: a prefix search would pick "100" for a typed "1".
    int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0 && !text.isEmpty()) {
        addItem(text);
        index = count() - 1;
    }
    if (index >= 0) setCurrentIndex(index);
    if (m_onCommand) m_onCommand(m_commandId);
}

void ToolbarComboBox::showPopup() {
    if (m_onDropDown) {
        m_onDropDown();
        return;
    }
    QComboBox::showPopup();
}

// ---- drop-down arrow

namespace {

class DropDownArrow : public QObject {
public:
    DropDownArrow(QToolButton* button, std::function<void()> onDropDown)
        : QObject(button), m_button(button), m_onDropDown(std::move(onDropDown)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != m_button || (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick))
            return false;
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton) return false;
        if (!ArrowRect().contains(me->position().toPoint())) return false;
        if (m_onDropDown) m_onDropDown();
        return true;
    }

private:
    // Where the style draws the arrow of a button with a menu part.
    QRect ArrowRect() const {
        QStyleOptionToolButton opt;
        opt.initFrom(m_button);
        opt.rect = m_button->rect();
        opt.subControls = QStyle::SC_ToolButton | QStyle::SC_ToolButtonMenu;
        opt.features = QStyleOptionToolButton::MenuButtonPopup | QStyleOptionToolButton::HasMenu;
        QRect r = m_button->style()->subControlRect(QStyle::CC_ToolButton, &opt, QStyle::SC_ToolButtonMenu, m_button);
        if (r.isEmpty()) {
            const int w = std::max(12, m_button->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, m_button));
            r = QRect(m_button->width() - w, 0, w, m_button->height());
        }
        return r;
    }

    QToolButton* m_button;
    std::function<void()> m_onDropDown;
};

}  // namespace

void MakeDropDownButton(QToolButton* button, std::function<void()> onDropDown) {
    if (!button) return;
    // The arrow is drawn for a button with a menu; the press on it is taken
    // before the menu could open, so the menu stays empty and unseen.
    button->setMenu(new QMenu(button));
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->installEventFilter(new DropDownArrow(button, std::move(onDropDown)));
}

// ---- ViewToolbar

ViewToolbar::ViewToolbar(QWidget* parent) : QToolBar(parent) {
    // The Korean fixed-width Gothic face, or what fontconfig has like it.
    m_font.setFamilies({QString::fromUtf8("굴림체"), "GulimChe", "NanumGothicCoding", "UnDotum", "DejaVu Sans Mono"});
    m_font.setWeight(QFont::Bold);
    m_font.setPixelSize(12);
}

ToolbarComboBox* ViewToolbar::AddComboBox(int index, UINT id, int width, int dropHeight) {
    auto* box = new ToolbarComboBox(this);
    box->SetCommandId(id);
    box->setFont(m_font);
    box->setFixedWidth(width);
    box->view()->setMinimumHeight(0);
    box->setMaxVisibleItems(std::max(1, dropHeight / std::max(1, box->fontMetrics().height())));
    if (id == IDC_PAGE_BOX) {
        // A simple combo box: the edit part only, no list button.
        box->setStyleSheet("QComboBox { border: 1px solid #808080; padding: 1px 2px; background: white; }"
                           "QComboBox::drop-down { width: 0px; border: none; }"
                           "QComboBox::down-arrow { image: none; }");
        box->SetDropDown([] {});
        m_pageBox = box;
    } else {
        m_zoomBox = box;
    }
    const QList<QAction*> buttons = actions();
    QAction* slot = nullptr;
    if (index >= 0 && index < buttons.size()) {
        QAction* before = buttons[index];
        slot = insertWidget(before, box);
        // The button at the index makes way for the box.
        removeAction(before);
        before->deleteLater();
    } else {
        slot = addWidget(box);
    }
    slot->setData(id);
    slot->setVisible(true);
    return box;
}

ToolbarComboBox* ViewToolbar::ComboBox(UINT id) const {
    if (id == IDC_PAGE_BOX) return m_pageBox;
    if (id == IDC_ZOOM_BOX) return m_zoomBox;
    return nullptr;
}
