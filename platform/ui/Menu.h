// Menus and accelerator tables from the program's resources, and the
// update-UI object of menu items and toolbar buttons (both QActions).
#pragma once

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/CString.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/CmdTarget.h"

class CWnd;

// One entry of a menu resource: a command (id and text, "&" marks the
// mnemonic, "\t" starts the shortcut text), a popup (non-empty items) or a
// separator (id 0 and no text).
struct MenuItemTemplate {
    UINT id = 0;
    std::string text;
    std::vector<MenuItemTemplate> items;
};
// One accelerator: the command and its keys in Qt's portable text ("Ctrl+O").
struct AccelTemplate {
    UINT id;
    const char* keys;
};

void AfxRegisterMenu(UINT nIDResource, std::vector<MenuItemTemplate> items);
const std::vector<MenuItemTemplate>* AfxFindMenu(UINT nIDResource);
void AfxRegisterAccelerators(UINT nIDResource, std::vector<AccelTemplate> accels);
const std::vector<AccelTemplate>* AfxFindAccelerators(UINT nIDResource);

// The command id a framework action carries (0 when none).
UINT AfxActionCommandId(const QAction* action);
void AfxSetActionCommandId(QAction* action, UINT nID);
// Fills a Qt menu from resource items; every command action is handed to onAction.
void AfxBuildMenu(QMenu* menu, const std::vector<MenuItemTemplate>& items,
                  const std::function<void(QAction*)>& onAction);

// Update-UI of one action (menu item or toolbar button).
class CActionCmdUI : public CCmdUI {
public:
    explicit CActionCmdUI(QAction* action);
    void Enable(BOOL bOn = TRUE) override;
    void SetCheck(int nCheck = 1) override;
    void SetText(const char* lpszText) override;
    QAction* GetAction() const { return m_pAction; }

private:
    QPointer<QAction> m_pAction;
};

// A menu (popup or the top level of a menu resource).
class CMenu {
public:
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL LoadMenu(UINT nIDResource);
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    QMenu* GetQMenu() const { return m_menu; }

    CMenu* GetSubMenu(int nPos);
    int GetMenuItemCount() const;
    // The command id at nPos; -1 for a popup, 0 for a separator.
    UINT GetMenuItemID(int nPos) const;
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const char* lpszNewItem = nullptr);
    // Returns the previous state (MF_GRAYED / MF_CHECKED), or -1 when not found.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);
    UINT GetMenuState(UINT nID, UINT nFlags) const;

    // Shows the menu at the screen point; the chosen command goes to pWnd's
    // route, or is returned with TPM_RETURNCMD. 0 when nothing was chosen.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);

private:
    QAction* Find(UINT nID, UINT nFlags) const;
    QPointer<QMenu> m_menu;
    bool m_owned = false;
    std::vector<std::unique_ptr<CMenu>> m_subMenus;
};

// Popup menus answered by a script (tests, headless): returns the chosen
// command id, or 0. An empty function restores the real popup.
using PopupMenuAnswerer = std::function<UINT(CMenu& menu)>;
void AfxSetPopupMenuAnswerer(PopupMenuAnswerer answerer);
