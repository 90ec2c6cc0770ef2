#include "platform/ui/Menu.h"

#include <QAction>
#include <QMenu>
#include <map>
#include <mutex>

#include "platform/ui/MessageBox.h"
#include "platform/ui/Wnd.h"

namespace {

const char* const kIdProperty = "afxCmdId";

std::map<UINT, std::vector<MenuItemTemplate>>& Menus() {
    static std::map<UINT, std::vector<MenuItemTemplate>> m;
    return m;
}
std::map<UINT, std::vector<AccelTemplate>>& Accels() {
    static std::map<UINT, std::vector<AccelTemplate>> a;
    return a;
}
PopupMenuAnswerer& PopupAnswerer() {
    static PopupMenuAnswerer a;
    return a;
}

} // namespace

void AfxRegisterMenu(UINT nIDResource, std::vector<MenuItemTemplate> items) {
    Menus()[nIDResource] = std::move(items);
}

const std::vector<MenuItemTemplate>* AfxFindMenu(UINT nIDResource) {
    auto it = Menus().find(nIDResource);
    return it == Menus().end() ? nullptr : &it->second;
}

void AfxRegisterAccelerators(UINT nIDResource, std::vector<AccelTemplate> accels) {
    Accels()[nIDResource] = std::move(accels);
}

const std::vector<AccelTemplate>* AfxFindAccelerators(UINT nIDResource) {
    auto it = Accels().find(nIDResource);
    return it == Accels().end() ? nullptr : &it->second;
}

UINT AfxActionCommandId(const QAction* action) {
    return action ? action->property(kIdProperty).toUInt() : 0;
}

void AfxSetActionCommandId(QAction* action, UINT nID) { action->setProperty(kIdProperty, nID); }

void AfxBuildMenu(QMenu* menu, const std::vector<MenuItemTemplate>& items,
                  const std::function<void(QAction*)>& onAction) {
    for (const MenuItemTemplate& item : items) {
        if (!item.items.empty()) {
            QMenu* sub = menu->addMenu(QString::fromUtf8(item.text.c_str()));
            AfxBuildMenu(sub, item.items, onAction);
        } else if (item.id == 0 && item.text.empty()) {
            menu->addSeparator();
        } else {
            QAction* a = menu->addAction(QString::fromUtf8(item.text.c_str()));
            AfxSetActionCommandId(a, item.id);
            if (onAction) onAction(a);
        }
    }
}

CActionCmdUI::CActionCmdUI(QAction* action) : m_pAction(action) { m_nID = AfxActionCommandId(action); }

void CActionCmdUI::Enable(BOOL bOn) {
    CCmdUI::Enable(bOn);
    if (m_pAction) m_pAction->setEnabled(bOn != 0);
}

void CActionCmdUI::SetCheck(int nCheck) {
    if (!m_pAction) return;
    // The indeterminate state shows as checked; Qt actions have two states.
    m_pAction->setCheckable(nCheck != 0 || m_pAction->isCheckable());
    m_pAction->setChecked(nCheck != 0);
    m_pAction->setProperty("afxCheck", nCheck);
}

void CActionCmdUI::SetText(const char* lpszText) {
    if (!m_pAction) return;
    QString text = QString::fromUtf8(lpszText ? lpszText : "");
    // Keep the shortcut text of a menu item.
    QString old = m_pAction->text();
    int tab = old.indexOf(QLatin1Char('\t'));
    if (tab >= 0 && !text.contains(QLatin1Char('\t'))) text += old.mid(tab);
    m_pAction->setText(text);
}

CMenu::CMenu() = default;

CMenu::~CMenu() { DestroyMenu(); }

BOOL CMenu::LoadMenu(UINT nIDResource) {
    const auto* items = AfxFindMenu(nIDResource);
    if (!items) return FALSE;
    DestroyMenu();
    m_menu = new QMenu();
    m_owned = true;
    AfxBuildMenu(m_menu, *items, nullptr);
    return TRUE;
}

BOOL CMenu::CreatePopupMenu() {
    DestroyMenu();
    m_menu = new QMenu();
    m_owned = true;
    return TRUE;
}

BOOL CMenu::DestroyMenu() {
    m_subMenus.clear();
    if (m_owned && m_menu) delete m_menu.data();
    bool had = m_menu != nullptr;
    m_menu = nullptr;
    m_owned = false;
    return had;
}

CMenu* CMenu::GetSubMenu(int nPos) {
    if (!m_menu || nPos < 0 || nPos >= m_menu->actions().size()) return nullptr;
    QMenu* sub = m_menu->actions()[nPos]->menu();
    if (!sub) return nullptr;
    for (auto& s : m_subMenus)
        if (s->m_menu == sub) return s.get();
    auto wrapper = std::make_unique<CMenu>();
    wrapper->m_menu = sub;
    m_subMenus.push_back(std::move(wrapper));
    return m_subMenus.back().get();
}

int CMenu::GetMenuItemCount() const { return m_menu ? int(m_menu->actions().size()) : -1; }

UINT CMenu::GetMenuItemID(int nPos) const {
    if (!m_menu || nPos < 0 || nPos >= m_menu->actions().size()) return UINT(-1);
    QAction* a = m_menu->actions()[nPos];
    if (a->menu()) return UINT(-1);
    return AfxActionCommandId(a);
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const char* lpszNewItem) {
    if (!m_menu) return FALSE;
    if (nFlags & MF_SEPARATOR) {
        m_menu->addSeparator();
        return TRUE;
    }
    QAction* a = m_menu->addAction(QString::fromUtf8(lpszNewItem ? lpszNewItem : ""));
    AfxSetActionCommandId(a, UINT(nIDNewItem));
    a->setEnabled(!(nFlags & (MF_GRAYED | MF_DISABLED)));
    if (nFlags & MF_CHECKED) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    return TRUE;
}

QAction* CMenu::Find(UINT nID, UINT nFlags) const {
    if (!m_menu) return nullptr;
    if (nFlags & MF_BYPOSITION) {
        auto list = m_menu->actions();
        return int(nID) < list.size() ? list[int(nID)] : nullptr;
    }
    std::function<QAction*(QMenu*)> search = [&](QMenu* menu) -> QAction* {
        for (QAction* a : menu->actions()) {
            if (a->menu()) {
                if (QAction* f = search(a->menu())) return f;
            } else if (AfxActionCommandId(a) == nID && !a->isSeparator()) {
                return a;
            }
        }
        return nullptr;
    };
    return search(m_menu);
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    QAction* a = Find(nIDEnableItem, nEnable);
    if (!a) return UINT(-1);
    UINT old = a->isEnabled() ? MF_ENABLED : MF_GRAYED;
    a->setEnabled(!(nEnable & (MF_GRAYED | MF_DISABLED)));
    return old;
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck) {
    QAction* a = Find(nIDCheckItem, nCheck);
    if (!a) return UINT(-1);
    UINT old = a->isChecked() ? MF_CHECKED : MF_UNCHECKED;
    a->setCheckable(true);
    a->setChecked(nCheck & MF_CHECKED);
    return old;
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const {
    QAction* a = Find(nID, nFlags);
    if (!a) return UINT(-1);
    UINT s = 0;
    if (!a->isEnabled()) s |= MF_GRAYED;
    if (a->isChecked()) s |= MF_CHECKED;
    if (a->isSeparator()) s |= MF_SEPARATOR;
    return s;
}

void AfxSetPopupMenuAnswerer(PopupMenuAnswerer answerer) { PopupAnswerer() = std::move(answerer); }

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT) {
    if (!m_menu) return FALSE;
    UINT chosen = 0;
    if (PopupAnswerer()) {
        chosen = PopupAnswerer()(*this);
        if (chosen) {
            QAction* a = Find(chosen, MF_BYCOMMAND);
            if (!a || !a->isEnabled()) chosen = 0;
        }
    } else if (!AfxIsHeadless()) {
        QAction* a = m_menu->exec(QPoint(x, y));
        chosen = a ? AfxActionCommandId(a) : 0;
    }
    if (nFlags & TPM_RETURNCMD) return BOOL(chosen);
    if (chosen && pWnd) pWnd->SendCommand(chosen);
    return chosen != 0;
}
