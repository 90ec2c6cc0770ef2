// The page view's own child controls: the two scroll bars, the bottom row
// with the navigation buttons, page and zoom boxes, zoom spin, the second
// button group and the download progress bar, and the toolbar band with the
// main toolbar along the top. Plain child widgets placed in pixels by the
// view. A scroll bar reports its actions as the view's scroll codes; only
// the view moves a bar (SetBar).
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/Geometry.h"
#include "viewer/view/ToolbarControls.h"


class ViewControls {
public:
    // onScroll(vertical, code, position); onCommand(id).
    ViewControls(QWidget* parent, int inPlace, std::function<void(bool, int, int)> onScroll,
                 std::function<void(unsigned)> onCommand);
    ~ViewControls();
    ViewControls(const ViewControls&) = delete;
    ViewControls& operator=(const ViewControls&) = delete;

    // Range 0..max with page and position, as the system's bars take them
    // (the highest position is max - page + 1).
    void SetBar(bool vertical, int max, int page, int pos);
    QScrollBar* Bar(bool vertical) const { return vertical ? m_vBar : m_hBar; }

    // Places the children (see the view's ShowScrollBar).
    void Layout(const RECT& area, int scrollBarFlags, int showToolbar, int showMainToolbar, int topOffset,
                int downloading);
    void SetProgressRange(int total);
    void SetProgressPos(int pos);
    QProgressBar* Progress() const { return m_progress; }
    QWidget* Band() const { return m_rebarParent; }
    bool BandVisible() const;
    ToolbarEdit* PageBox() const { return m_pageBox; }
    ToolbarEdit* ZoomBox() const { return m_zoomBox; }
    // A button of the navigation row by command id (null when none).
    QAction* NavigationButton(unsigned id) const;
    ZoomSpinButton* Spin() const { return m_spin; }
    // The band's toolbar and its page and zoom combo boxes.
    ViewToolbar* MainToolbar() const { return m_mainToolbar; }
    ToolbarComboBox* BandComboBox(UINT id) const { return m_mainToolbar ? m_mainToolbar->ComboBox(id) : nullptr; }
    // Where the boxes and the spin send their messages.
    void SetOwner(const ToolbarNotify& notify);
    // A press on a drop-down arrow of the main toolbar: (button id, the
    // button's rectangle on the screen).
    using DropDownNotify = std::function<void(unsigned id, const RECT& screenRect)>;
    void SetDropDownOwner(DropDownNotify notify);
    // A button of the main toolbar by command id (null when none).
    QAction* MainToolbarButton(unsigned id) const;
    // Every command button of the bottom row and the main toolbar (its id in data()).
    std::vector<QAction*> CommandActions() const;

private:
    static void Place(QWidget* w, int x, int y, int cx, int cy, bool shown);

    QPointer<QScrollBar> m_hBar, m_vBar;
    QPointer<QWidget> m_toolBarParent;
    QPointer<QWidget> m_navigation;
    QPointer<ToolbarEdit> m_pageBox, m_zoomBox;
    QPointer<QWidget> m_spinParent;
    QPointer<ZoomSpinButton> m_spin;
    QPointer<QWidget> m_group2;
    QPointer<QProgressBar> m_progress;
    QPointer<QWidget> m_rebarParent;
    QPointer<ViewToolbar> m_mainToolbar;
    bool m_showBand = true;
    std::shared_ptr<DropDownNotify> m_onDropDown;
};
