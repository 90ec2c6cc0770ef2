#include "platform/ui/FrameWnd.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDockWidget>
#include <QDropEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/ControlBars.h"
#include "platform/ui/DocTemplate.h"
#include "platform/ui/Document.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/UiDispatcher.h"
#include "platform/ui/View.h"
#include "platform/ui/WinApp.h"

namespace {

// True while owner is the window of w or of one of its parents; a frame
// widget outliving its CWnd (deleted later) then sends it nothing.
bool OwnerAlive(const QWidget* w, const CWnd* owner) {
    for (; w; w = w->parentWidget())
        if (CWnd::FromWidget(w) == owner) return owner != nullptr;
    return false;
}

// The body of every frame: routes closing and dropped files to the frame.
class FrameBody : public QMainWindow {
public:
    FrameBody(CFrameWnd* owner, QWidget* parent) : QMainWindow(parent), owner_(owner) {
        auto* client = new QWidget(this);
        auto* layout = new QVBoxLayout(client);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        setCentralWidget(client);
    }
protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (OwnerAlive(this, owner_)) owner_->OnClose();
    }
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (e->mimeData()->hasUrls()) e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        CWinApp* app = AfxGetApp();
        if (!app || !OwnerAlive(this, owner_)) return;
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) app->OpenDocumentFile(url.toLocalFile().toStdString().c_str());
        e->acceptProposedAction();
    }

private:
    CFrameWnd* owner_;
};

class ChildSubWindow : public QMdiSubWindow {
public:
    explicit ChildSubWindow(CFrameWnd* owner) : owner_(owner) { setAttribute(Qt::WA_DeleteOnClose, false); }

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (OwnerAlive(this, owner_)) owner_->OnClose();
    }

private:
    CFrameWnd* owner_;
};

} // namespace

CFrameWnd::CFrameWnd() {
    MapCommand(ID_VIEW_STATUS_BAR, [this] { OnBarCheck(ID_VIEW_STATUS_BAR); });
    MapCommand(ID_VIEW_TOOLBAR, [this] { OnBarCheck(ID_VIEW_TOOLBAR); });
    MapUpdateUI(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) { OnUpdateControlBarMenu(ui); });
    MapUpdateUI(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) { OnUpdateControlBarMenu(ui); });
}

CFrameWnd::~CFrameWnd() = default;

QWidget* CFrameWnd::CreateFrameWidget(QWidget* parent, const CREATESTRUCT&) {
    auto* body = new FrameBody(this, parent);
    m_body = body;
    return body;
}

QWidget* CFrameWnd::GetClientWidget() const { return m_body ? m_body->centralWidget() : nullptr; }

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
    if (IsWindow()) return FALSE;
    CREATESTRUCT cs;
    cs.style = dwDefaultStyle;
    cs.hwndParent = pParentWnd;
    if (!PreCreateWindow(cs)) return FALSE;
    m_dwStyle = cs.style;
    std::string title = AfxLoadString(nIDResource).str();
    m_strTitle = CString(title.substr(0, title.find('\n')));
    QWidget* w = CreateFrameWidget(pParentWnd ? pParentWnd->GetWidget() : nullptr, cs);
    AttachWidget(w, pParentWnd);
    m_nIDHelp = nIDResource;
    BuildMenuAndAccelerators(nIDResource);
    // What is enabled can depend on where the focus is (the active view).
    if (!pParentWnd && qApp && m_body)
        QObject::connect(qApp, &QApplication::focusChanged, m_body, [this, life = GetGuard()] {
            if (!life.expired()) DelayUpdateCmdUI();
        });
    if (OnCreate(&cs) == -1 || !OnCreateClient(&cs, pContext)) {
        DestroyWindow();
        return FALSE;
    }
    OnUpdateFrameTitle(TRUE);
    if (m_dwStyle & WS_VISIBLE) ShowWindow(SW_SHOW);
    return TRUE;
}

namespace {

// Update-UI that only records whether the item came out enabled.
class ProbeCmdUI : public CCmdUI {
public:
    explicit ProbeCmdUI(UINT nID) { m_nID = nID; }
    void Enable(BOOL bOn) override {
        CCmdUI::Enable(bOn);
        enabled = bOn != 0;
    }
    bool enabled = true;
};

// Fills a menu bar with popup menus made from resource items.
std::vector<QPointer<QMenu>> MakeMenus(CFrameWnd* frame, QWidget* owner, const std::vector<MenuItemTemplate>& items) {
    std::vector<QPointer<QMenu>> menus;
    for (const MenuItemTemplate& item : items) {
        if (item.items.empty()) continue;
        auto* menu = new QMenu(QString::fromUtf8(item.text.c_str()), owner);
        AfxBuildMenu(menu, item.items, [frame](QAction* a) { frame->AddCommandAction(a, AfxActionCommandId(a)); });
        QObject::connect(menu, &QMenu::aboutToShow, [frame] {
            if (CFrameWnd* top = frame->GetTopLevelFrame()) top->UpdateCmdUI();
        });
        menus.emplace_back(menu);
    }
    return menus;
}

} // namespace

void CFrameWnd::BuildMenuAndAccelerators(UINT nIDResource) {
    if (!m_body) return;
    if (const auto* items = AfxFindMenu(nIDResource)) {
        QMenuBar* bar = m_body->menuBar();
        for (const QPointer<QMenu>& menu : MakeMenus(this, m_body, *items)) bar->addMenu(menu);
    }
    if (const auto* accels = AfxFindAccelerators(nIDResource))
        for (const AccelTemplate& a : *accels) AddAccelerator(a);
}

QAction* CFrameWnd::AddAccelerator(const AccelTemplate& accel) {
    if (!m_body) return nullptr;
    auto* action = new QAction(m_body);
    action->setShortcut(QKeySequence(QString::fromUtf8(accel.keys)));
    action->setShortcutContext(Qt::WindowShortcut);
    m_body->addAction(action);
    AfxSetActionCommandId(action, accel.id);
    WndGuard life = GetGuard();
    QObject::connect(action, &QAction::triggered, [this, life, id = accel.id] {
        if (life.expired()) return;
        ProbeCmdUI probe(id);
        probe.DoUpdate(this, m_bAutoMenuEnable);
        if (!life.expired() && probe.enabled) OnCommand(id);
    });
    return action;
}

void CFrameWnd::AddCommandAction(QAction* action, UINT nID) {
    AfxSetActionCommandId(action, nID);
    m_actions.emplace_back(action);
    WndGuard life = GetGuard();
    QObject::connect(action, &QAction::triggered, [this, life, action] {
        if (!life.expired()) OnCommand(AfxActionCommandId(action));
    });
}

void CFrameWnd::AddUpdateAction(QAction* action, UINT nID) {
    AfxSetActionCommandId(action, nID);
    m_actions.emplace_back(action);
}

std::vector<QAction*> CFrameWnd::FindCommandActions(UINT nID) const {
    std::vector<QAction*> out;
    for (const auto& a : m_actions)
        if (a && AfxActionCommandId(a) == nID) out.push_back(a);
    return out;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext) {
    if (pContext && pContext->m_pNewViewClass) return CreateView(pContext) != nullptr;
    return TRUE;
}

CView* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID) {
    CView* view = pContext->m_pNewViewClass();
    if (!view) return nullptr;
    if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, nID)) {
        delete view;
        return nullptr;
    }
    if (QWidget* client = GetClientWidget())
        if (client->layout()) client->layout()->addWidget(view->GetWidget());
    if (pContext->m_pCurrentDoc) pContext->m_pCurrentDoc->AddView(view);
    return view;
}

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL bNotify) {
    CView* old = m_pViewActive;
    if (old == pViewNew) return;
    m_pViewActive = pViewNew;
    if (bNotify) {
        if (old) old->OnActivateView(FALSE, pViewNew, old);
        if (pViewNew) pViewNew->OnActivateView(TRUE, pViewNew, old);
    }
}

CDocument* CFrameWnd::GetActiveDocument() { return m_pViewActive ? m_pViewActive->GetDocument() : nullptr; }

CFrameWnd* CFrameWnd::GetParentFrame() const {
    for (CWnd* p = GetParent(); p; p = p->GetParent())
        if (auto* f = dynamic_cast<CFrameWnd*>(p)) return f;
    return nullptr;
}

CFrameWnd* CFrameWnd::GetTopLevelFrame() {
    CFrameWnd* f = this;
    while (CFrameWnd* p = f->GetParentFrame()) f = p;
    return f;
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (!m_body) return;
    for (CControlBar* bar : m_bars) {
        if (!bar->m_nDockBarID || !bar->GetWidget()) continue;
        auto* dock = qobject_cast<QDockWidget*>(bar->GetWidget()->parentWidget());
        if (!dock) continue;
        bool horz = bar->IsHorzDocked();
        CSize size = bar->CalcFixedLayout(FALSE, horz);
        int extent = std::max(0, horz ? size.cy : size.cx);
        m_body->resizeDocks({dock}, {extent}, horz ? Qt::Vertical : Qt::Horizontal);
    }
    if (m_body->centralWidget() && m_body->centralWidget()->layout()) m_body->centralWidget()->layout()->activate();
}

void CFrameWnd::DelayRecalcLayout(BOOL bNotify) {
    if (m_recalcQueued) return;
    m_recalcQueued = true;
    UiDispatcher::Post(GetGuard(), [this, bNotify] {
        m_recalcQueued = false;
        RecalcLayout(bNotify);
    });
}

void CFrameWnd::DelayUpdateCmdUI() {
    CFrameWnd* top = GetTopLevelFrame();
    if (!top || top->m_updateQueued) return;
    top->m_updateQueued = true;
    UiDispatcher::Post(top->GetGuard(), [top] {
        top->m_updateQueued = false;
        if (top->IsWindow()) top->UpdateCmdUI();
    });
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
    std::vector<CView*> views;
    if (pDoc)
        for (CView* v : pDoc->GetViews())
            if (v->GetParentFrame() == this) views.push_back(v);
    if (!m_pViewActive && !views.empty()) SetActiveView(views.front());
    for (CView* v : views) v->OnInitialUpdate();
    if (bMakeVisible) {
        if (m_dwStyle & WS_MAXIMIZE) ShowWindow(SW_SHOWMAXIMIZED);
        else ShowWindow(SW_SHOW);
    }
    OnUpdateFrameTitle(TRUE);
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    if (!IsWindow()) return;
    CDocument* doc = GetActiveDocument();
    CString title = m_strTitle;
    if (bAddToTitle && (m_dwStyle & FWS_ADDTOTITLE) && doc) {
        title = doc->GetTitle();
        if (!m_strTitle.IsEmpty()) title += " - " + m_strTitle;
    }
    SetWindowText(title);
}

void CFrameWnd::SetMessageText(const char* lpszText) {
    if (m_pStatusBar) m_pStatusBar->SetPaneText(0, lpszText);
}

void CFrameWnd::SetMessageText(UINT nID) { SetMessageText(AfxLoadString(nID)); }

void CFrameWnd::EnableDocking(DWORD dwDockStyle) {
    if (m_body) m_body->setDockNestingEnabled(dwDockStyle != 0);
}

void CFrameWnd::DockControlBar(CControlBar* pBar, UINT nDockBarID) {
    if (!m_body || !pBar || !pBar->GetWidget()) return;
    if (!nDockBarID) nDockBarID = AFX_IDW_DOCKBAR_TOP;
    if (auto* tb = qobject_cast<QToolBar*>(pBar->GetWidget())) {
        Qt::ToolBarArea area = Qt::TopToolBarArea;
        if (nDockBarID == AFX_IDW_DOCKBAR_LEFT) area = Qt::LeftToolBarArea;
        else if (nDockBarID == AFX_IDW_DOCKBAR_RIGHT) area = Qt::RightToolBarArea;
        else if (nDockBarID == AFX_IDW_DOCKBAR_BOTTOM) area = Qt::BottomToolBarArea;
        m_body->addToolBar(area, tb);
        pBar->m_nDockBarID = nDockBarID;
        return;
    }
    Qt::DockWidgetArea area = Qt::TopDockWidgetArea;
    if (nDockBarID == AFX_IDW_DOCKBAR_LEFT) area = Qt::LeftDockWidgetArea;
    else if (nDockBarID == AFX_IDW_DOCKBAR_RIGHT) area = Qt::RightDockWidgetArea;
    else if (nDockBarID == AFX_IDW_DOCKBAR_BOTTOM) area = Qt::BottomDockWidgetArea;
    auto* dock = qobject_cast<QDockWidget*>(pBar->GetWidget()->parentWidget());
    if (!dock) {
        dock = new QDockWidget(m_body);
        dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
        dock->setTitleBarWidget(new QWidget(dock));
        if (QWidget* client = GetClientWidget(); client && client->layout())
            client->layout()->removeWidget(pBar->GetWidget());
        dock->setWidget(pBar->GetWidget());
    }
    m_body->addDockWidget(area, dock);
    dock->show();
    // A bar made with CWnd::Create on this frame joins its bars here.
    if (std::find(m_bars.begin(), m_bars.end(), pBar) == m_bars.end()) {
        m_bars.push_back(pBar);
        pBar->m_pDockSite = this;
    }
    pBar->m_nDockBarID = nDockBarID;
    RecalcLayout();
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL) {
    if (pBar && pBar->GetWidget()) pBar->GetWidget()->setVisible(bShow != 0);
}

CControlBar* CFrameWnd::GetControlBar(UINT nID) const {
    for (CControlBar* b : m_bars)
        if (b->GetDlgCtrlID() == nID) return b;
    return nullptr;
}

void CFrameWnd::DragAcceptFiles(BOOL bAccept) {
    if (m_body) m_body->setAcceptDrops(bAccept != 0);
}

void CFrameWnd::OnBarCheck(UINT nID) {
    if (CControlBar* bar = GetControlBar(nID)) ShowControlBar(bar, !bar->IsWindowVisible(), FALSE);
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* pCmdUI) {
    CControlBar* bar = GetControlBar(pCmdUI->m_nID);
    if (!bar) {
        pCmdUI->ContinueRouting();
        return;
    }
    pCmdUI->SetCheck(bar->GetWidget() && !bar->GetWidget()->isHidden());
}

BOOL CFrameWnd::OnCommand(UINT nID) {
    WndGuard life = GetGuard();
    BOOL handled = OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr);
    if (!handled && !life.expired())
        if (CFrameWnd* parent = GetParentFrame()) handled = parent->OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr);
    // The command may have changed what the items show.
    if (CWinApp* app = AfxGetApp())
        if (auto* main = dynamic_cast<CFrameWnd*>(app->m_pMainWnd); main && main->IsWindow()) main->UpdateCmdUI();
    if (!life.expired() && IsWindow()) UpdateCmdUI();
    return handled;
}

void CFrameWnd::UpdateCmdUI() {
    std::vector<QPointer<QAction>> actions = m_actions;
    m_actions.erase(std::remove_if(m_actions.begin(), m_actions.end(), [](const QPointer<QAction>& a) { return !a; }),
                    m_actions.end());
    WndGuard life = GetGuard();
    for (auto& a : actions) {
        if (!a || life.expired()) continue;
        CActionCmdUI ui(a);
        ui.DoUpdate(this, m_bAutoMenuEnable);
    }
    for (CControlBar* bar : std::vector<CControlBar*>(m_bars)) {
        if (life.expired()) return;
        bar->OnUpdateCmdUI(this, FALSE);
    }
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    if (DispatchOwn(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    if (!GetParentFrame())
        if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    return FALSE;
}

void CFrameWnd::OnClose() {
    CWinApp* app = AfxGetApp();
    CDocument* doc = GetActiveDocument();
    if (doc && !doc->CanCloseFrame(this)) return;
    if (app && app->m_pMainWnd == this) {
        if (!app->SaveAllModified()) return;
        app->CloseAllDocuments(FALSE);
    } else if (doc && doc->m_bAutoDelete) {
        // The last frame of the document: closing the document closes it.
        bool other = false;
        for (CView* v : doc->GetViews())
            if (v->GetParentFrame() != this) other = true;
        if (!other) {
            doc->OnCloseDocument();
            return;
        }
    }
    DestroyWindow();
}

void CFrameWnd::OnDestroy() {
    for (CControlBar* b : m_bars) b->m_pDockSite = nullptr;
    m_bars.clear();
    m_pStatusBar = nullptr;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        // As the end of the message loop: no window gets a say.
        QCoreApplication::exit(0);
    }
}

void CFrameWnd::PostNcDestroy() { delete this; }

// MDI main frame.

CMDIFrameWnd::CMDIFrameWnd() = default;

QWidget* CMDIFrameWnd::CreateFrameWidget(QWidget* parent, const CREATESTRUCT& cs) {
    QWidget* w = CFrameWnd::CreateFrameWidget(parent, cs);
    m_mdiArea = new QMdiArea();
    m_mdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    GetBody()->setCentralWidget(m_mdiArea);
    QObject::connect(m_mdiArea, &QMdiArea::subWindowActivated, [this](QMdiSubWindow*) {
        if (!IsWindow()) return;
        OnUpdateFrameMenu();
        OnUpdateFrameTitle(TRUE);
        DelayUpdateCmdUI();
    });
    return w;
}

void CMDIFrameWnd::BuildMenuAndAccelerators(UINT nIDResource) {
    m_nIDMenuDefault = nIDResource;
    ShowMenuSet(nIDResource);
}

void CMDIFrameWnd::ShowMenuSet(UINT nIDResource) {
    QMainWindow* body = GetBody();
    if (!body || (nIDResource == m_nIDMenuShown && m_nIDMenuShown != 0)) return;
    auto it = m_menuSets.find(nIDResource);
    if (it == m_menuSets.end()) {
        MenuSet set;
        if (const auto* items = AfxFindMenu(nIDResource)) set.menus = MakeMenus(this, body, *items);
        if (const auto* accels = AfxFindAccelerators(nIDResource))
            for (const AccelTemplate& a : *accels) set.accelerators.emplace_back(AddAccelerator(a));
        for (const QPointer<QMenu>& menu : set.menus) {
            std::vector<UINT> ids;
            for (QAction* a : menu->actions())
                if (!a->isSeparator() && !a->menu()) ids.push_back(AfxActionCommandId(a));
            if (!IsWindowMenuPopup(ids)) continue;
            menu->setProperty("afxWindowMenu", true);
            QPointer<QMenu> popup = menu;
            QObject::connect(menu, &QMenu::aboutToShow, menu, [this, popup] {
                if (popup) FillWindowList(popup);
            });
        }
        it = m_menuSets.emplace(nIDResource, std::move(set)).first;
    }
    QMenuBar* bar = body->menuBar();
    for (QAction* a : bar->actions()) bar->removeAction(a);
    for (const QPointer<QMenu>& menu : it->second.menus)
        if (menu) bar->addAction(menu->menuAction());
    for (auto& [id, set] : m_menuSets)
        for (const QPointer<QAction>& a : set.accelerators)
            if (a) a->setEnabled(id == nIDResource);
    m_nIDMenuShown = nIDResource;
}

bool CMDIFrameWnd::IsWindowMenuPopup(const std::vector<UINT>& itemIds) const {
    return !itemIds.empty() && itemIds.back() >= AFX_IDM_WINDOW_FIRST && itemIds.back() <= AFX_IDM_WINDOW_LAST;
}

QMenu* CMDIFrameWnd::GetWindowMenuPopup() const {
    auto it = m_menuSets.find(m_nIDMenuShown);
    if (it == m_menuSets.end()) return nullptr;
    for (const QPointer<QMenu>& menu : it->second.menus)
        if (menu && menu->property("afxWindowMenu").toBool()) return menu;
    return nullptr;
}

void CMDIFrameWnd::FillWindowList(QMenu* popup) {
    for (QAction* a : popup->actions())
        if (a->property("afxWindowList").toBool()) {
            popup->removeAction(a);
            a->deleteLater();
        }
    if (!m_mdiArea) return;
    const QList<QMdiSubWindow*> children = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    if (children.isEmpty()) return;
    QAction* separator = popup->addSeparator();
    separator->setProperty("afxWindowList", true);
    QMdiSubWindow* active = m_mdiArea->currentSubWindow();
    if (!active && !children.isEmpty()) active = m_mdiArea->activeSubWindow();
    for (int i = 0; i < int(children.size()); ++i) {
        QMdiSubWindow* sub = children[i];
        QString title = sub->windowTitle();
        title.replace("&", "&&");
        // The first nine get their number as mnemonic.
        const QString text = i < 9 ? QString("&%1 %2").arg(i + 1).arg(title) : QString("%1 %2").arg(i + 1).arg(title);
        QAction* a = popup->addAction(text);
        a->setProperty("afxWindowList", true);
        a->setData(AFX_IDM_FIRST_MDICHILD + UINT(i));
        a->setCheckable(true);
        a->setChecked(sub == active);
        QPointer<QMdiSubWindow> target = sub;
        QObject::connect(a, &QAction::triggered, a, [this, target] {
            if (target && m_mdiArea) m_mdiArea->setActiveSubWindow(target);
        });
    }
}

void CMDIFrameWnd::OnUpdateFrameMenu() {
    UINT id = m_nIDMenuDefault;
    if (CMDIChildWnd* child = MDIGetActive())
        if (AfxFindMenu(child->GetResourceID())) id = child->GetResourceID();
    ShowMenuSet(id);
}

BOOL CMDIFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext*) { return m_mdiArea != nullptr; }

QWidget* CMDIFrameWnd::GetClientWidget() const { return m_mdiArea; }

std::vector<CMDIChildWnd*> CMDIFrameWnd::GetChildFrames() const {
    std::vector<CMDIChildWnd*> out;
    if (!m_mdiArea) return out;
    for (QMdiSubWindow* s : m_mdiArea->subWindowList(QMdiArea::StackingOrder))
        if (auto* c = dynamic_cast<CMDIChildWnd*>(CWnd::FromWidget(s))) out.push_back(c);
    return out;
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive(BOOL* pbMaximized) const {
    if (pbMaximized) *pbMaximized = FALSE;
    if (!m_mdiArea) return nullptr;
    QMdiSubWindow* s = m_mdiArea->currentSubWindow();
    if (!s) {
        auto list = m_mdiArea->subWindowList(QMdiArea::ActivationHistoryOrder);
        if (!list.isEmpty()) s = list.last();
    }
    auto* c = dynamic_cast<CMDIChildWnd*>(CWnd::FromWidget(s));
    if (c && pbMaximized) *pbMaximized = s->isMaximized();
    return c;
}

void CMDIFrameWnd::MDIActivate(CWnd* pWndActivate) {
    if (auto* c = dynamic_cast<CMDIChildWnd*>(pWndActivate)) c->MDIActivate();
}

void CMDIFrameWnd::MDIMaximize(CWnd* pWnd) {
    if (auto* c = dynamic_cast<CMDIChildWnd*>(pWnd)) c->MDIMaximize();
}

CFrameWnd* CMDIFrameWnd::GetActiveFrame() {
    CMDIChildWnd* c = MDIGetActive();
    return c ? static_cast<CFrameWnd*>(c) : this;
}

CDocument* CMDIFrameWnd::GetActiveDocument() {
    CMDIChildWnd* c = MDIGetActive();
    return c ? c->GetActiveDocument() : CFrameWnd::GetActiveDocument();
}

BOOL CMDIFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (CMDIChildWnd* c = MDIGetActive(); c && c->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CMDIFrameWnd::UpdateCmdUI() {
    WndGuard life = GetGuard();
    CFrameWnd::UpdateCmdUI();
    if (life.expired()) return;
    for (CMDIChildWnd* c : GetChildFrames()) c->UpdateCmdUI();
}

CString CMDIFrameWnd::ComposeTitle(BOOL bAddToTitle) {
    CString title = m_strTitle;
    BOOL maximized = FALSE;
    CMDIChildWnd* child = MDIGetActive(&maximized);
    CDocument* doc = child ? child->GetActiveDocument() : nullptr;
    // A maximised child shows as " - [its title]", as the MDI client does.
    if (bAddToTitle && (m_dwStyle & FWS_ADDTOTITLE) && doc)
        title += maximized ? " - [" + doc->GetTitle() + "]" : " - " + doc->GetTitle();
    return title;
}

void CMDIFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    if (!IsWindow()) return;
    SetWindowText(ComposeTitle(bAddToTitle));
    // The MDI area writes a title of its own when a child is maximised or
    // renamed, after this call: the frame's comes back once that is done.
    if (m_titleQueued) return;
    m_titleQueued = true;
    UiDispatcher::Post(GetGuard(), [this, bAddToTitle] {
        m_titleQueued = false;
        const CString title = ComposeTitle(bAddToTitle);
        if (GetWidget() && GetWidget()->windowTitle() != QString::fromUtf8(title.c_str())) SetWindowText(title);
    });
}

void CMDIFrameWnd::OnClose() { CFrameWnd::OnClose(); }

// MDI child frame.

CMDIChildWnd::CMDIChildWnd() = default;

QWidget* CMDIChildWnd::CreateFrameWidget(QWidget* parent, const CREATESTRUCT& cs) {
    auto* sub = new ChildSubWindow(this);
    m_subWindow = sub;
    QWidget* body = CFrameWnd::CreateFrameWidget(nullptr, cs);
    body->setWindowFlags(Qt::Widget);
    sub->setWidget(body);
    auto* main = dynamic_cast<CMDIFrameWnd*>(CWnd::FromWidget(parent));
    if (main && main->GetMdiArea()) {
        main->GetMdiArea()->addSubWindow(sub);
        // A child that opens maximised still needs a size of its own for
        // when it is restored: three quarters of the client area, cascaded.
        const QSize area = main->GetMdiArea()->viewport()->size();
        const int step = 24 * ((int(main->GetMdiArea()->subWindowList().size()) - 1) % 8);
        sub->setGeometry(std::max(0, step), std::max(0, step), std::max(320, area.width() * 3 / 4),
                         std::max(240, area.height() * 3 / 4));
        QObject::connect(sub, &QMdiSubWindow::aboutToActivate, [this] { OnUpdateFrameTitle(TRUE); });
    }
    return sub;
}

CMDIFrameWnd* CMDIChildWnd::GetMDIFrame() const { return dynamic_cast<CMDIFrameWnd*>(GetParentFrame()); }

void CMDIChildWnd::MDIActivate() {
    CMDIFrameWnd* main = GetMDIFrame();
    if (main && main->GetMdiArea() && m_subWindow) main->GetMdiArea()->setActiveSubWindow(m_subWindow);
}

void CMDIChildWnd::MDIMaximize() {
    if (m_subWindow) m_subWindow->showMaximized();
}

BOOL CMDIChildWnd::DestroyWindow() {
    CMDIFrameWnd* main = GetMDIFrame();
    QPointer<QMdiSubWindow> sub = m_subWindow;
    const bool wasMaximized = sub && sub->isMaximized();
    if (main && main->GetMdiArea() && sub) main->GetMdiArea()->removeSubWindow(sub);
    BOOL r = CFrameWnd::DestroyWindow();
    if (main && main->IsWindow()) {
        // The child that takes over shows maximised as the closed one did.
        if (CMDIChildWnd* next = wasMaximized ? main->MDIGetActive() : nullptr) next->MDIMaximize();
        main->OnUpdateFrameMenu();
        main->OnUpdateFrameTitle(TRUE);
    }
    return r;
}

void CMDIChildWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
    if (!IsWindow()) return;
    CDocument* doc = GetActiveDocument();
    CString title = m_strTitle;
    if (bAddToTitle && (m_dwStyle & FWS_ADDTOTITLE) && doc) title = doc->GetTitle();
    SetWindowText(title);
    if (CMDIFrameWnd* main = GetMDIFrame()) main->OnUpdateFrameTitle(TRUE);
}

void CMDIChildWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
    CFrameWnd::InitialUpdateFrame(pDoc, bMakeVisible);
    if (bMakeVisible) MDIActivate();
    if (CMDIFrameWnd* main = GetMDIFrame()) main->OnUpdateFrameMenu();
}

// In-place frame.

COleDocIPFrameWnd::COleDocIPFrameWnd() = default;

BOOL COleDocIPFrameWnd::OnCreateControlBars(CFrameWnd*, CFrameWnd*) { return TRUE; }

void COleDocIPFrameWnd::RepositionFrame(LPCRECT lpPosRect, LPCRECT) {
    if (!lpPosRect || !GetBody()) return;
    m_rectPos = CRect(*lpPosRect);
    // The client area starts at the given position inside the frame.
    QWidget* client = GetBody()->centralWidget();
    if (client) client->setContentsMargins(std::max(0, m_rectPos.left), std::max(0, m_rectPos.top), 0, 0);
}

void COleDocIPFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
    OnCreateControlBars(this, this);
    CFrameWnd::InitialUpdateFrame(pDoc, bMakeVisible);
}
