// Small controls of the page view's toolbars. They turn keys and clicks into
// messages to their owner (a function given by the owner, called with the
// message and the control's id): Enter in an edit box asks to apply the
// typed page or zoom, the halves of the spin button step the zoom, a slider
// goes to a page, and the toolbar's combo boxes report their command.
#pragma once

#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "platform/core/WinTypes.h"

class CVrViewerView;

// (message, control id); the messages are those of ViewCommandIds.h.
using ToolbarNotify = std::function<void(UINT message, UINT id)>;

// An edit box: Enter sends WM_TOOLBAR_EDIT_ENTER (once; the key goes no
// further); taking the focus selects the whole text.
class ToolbarEdit : public QLineEdit {
public:
    explicit ToolbarEdit(UINT id, QWidget* parent = nullptr);
    UINT GetDlgCtrlID() const { return m_id; }
    void SetOwner(ToolbarNotify notify) { m_notify = std::move(notify); }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

private:
    UINT m_id;
    ToolbarNotify m_notify;
};

// A combo box with the Enter rule of ToolbarEdit.
class EnterNotifyWnd : public QComboBox {
public:
    explicit EnterNotifyWnd(UINT id, QWidget* parent = nullptr);
    UINT GetDlgCtrlID() const { return m_id; }
    void SetOwner(ToolbarNotify notify) { m_notify = std::move(notify); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    UINT m_id;
    ToolbarNotify m_notify;
};

// The zoom spin: a press in the upper half sends WM_ZOOM_STEP_UP, in the
// lower half WM_ZOOM_STEP_DOWN; a press exactly on the middle row sends
// nothing.
class ZoomSpinButton : public QWidget {
public:
    explicit ZoomSpinButton(UINT id, QWidget* parent = nullptr);
    UINT GetDlgCtrlID() const { return m_id; }
    void SetOwner(ToolbarNotify notify) { m_notify = std::move(notify); }
    // The message a press at row y of a control of this height sends (0: none).
    static UINT MessageAt(int y, int height);
    QSize sizeHint() const override { return QSize(15, 16); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    UINT m_id;
    ToolbarNotify m_notify;
    int m_pressed = 0;  // 1 upper half held, -1 lower half
};

// A slider over the pages (1-based): when a button or key is released at a
// position other than the stored one, the view goes to that page.
class PageSlider : public QSlider {
public:
    explicit PageSlider(QWidget* parent = nullptr);
    void SetPos(int position);
    void SetPageView(CVrViewerView* view) { m_pView = view; }
    int IsDragging() const { return m_dragging; }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    void Released();
    int m_position = 1;
    int m_rangeMin = 1, m_rangeMax = 1;
    int m_dragging = 0;
    CVrViewerView* m_pView = nullptr;
};

// A combo box of the view toolbar. Enter puts the typed text into the list
// (unless an entry equals it exactly), selects that entry and sends the
// command id to the owner. A drop-down function, when set, replaces the list.
class ToolbarComboBox : public QComboBox {
public:
    explicit ToolbarComboBox(QWidget* parent = nullptr);
    void SetCommandId(UINT id) { m_commandId = id; }
    UINT GetCommandId() const { return m_commandId; }
    void SetOwner(std::function<void(UINT id)> onCommand) { m_onCommand = std::move(onCommand); }
    void SetDropDown(std::function<void()> onDropDown) { m_onDropDown = std::move(onDropDown); }
    void showPopup() override;
    // What Enter does, also for tests of the rule.
    void OnEnter();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    UINT m_commandId = 0;
    std::function<void(UINT)> m_onCommand;
    std::function<void()> m_onDropDown;
};

// Gives a toolbar button a drop-down arrow: a press on the arrow calls
// onDropDown (and does not press the button); the rest of the button works
// as before.
void MakeDropDownButton(QToolButton* button, std::function<void()> onDropDown);

// The view's toolbar with its page (32783) and zoom (32782) combo boxes in
// the places of buttons.
class ViewToolbar : public QToolBar {
public:
    explicit ViewToolbar(QWidget* parent = nullptr);
    // The combo box for id at button index (appended when the index is past
    // the end); 32783 makes the page box, any other id the zoom box.
    ToolbarComboBox* AddComboBox(int index, UINT id, int width, int dropHeight);
    ToolbarComboBox* ComboBox(UINT id) const;
    const QFont& BoxFont() const { return m_font; }

private:
    QFont m_font;
    ToolbarComboBox* m_zoomBox = nullptr;
    ToolbarComboBox* m_pageBox = nullptr;
};
