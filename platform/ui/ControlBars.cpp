#include "platform/ui/ControlBars.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <map>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StringTable.h"

namespace {

std::map<UINT, ToolBarTemplate>& ToolBars() {
    static std::map<UINT, ToolBarTemplate> t;
    return t;
}

} // namespace

void AfxRegisterToolBar(UINT nIDResource, ToolBarTemplate toolbar) { ToolBars()[nIDResource] = std::move(toolbar); }

CControlBar::~CControlBar() {
    if (m_pDockSite) {
        auto& bars = m_pDockSite->m_bars;
        bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
        if (m_pDockSite->m_pStatusBar == this) m_pDockSite->m_pStatusBar = nullptr;
    }
}

CSize CControlBar::CalcFixedLayout(BOOL, BOOL) {
    QSize hint = GetWidget() ? GetWidget()->sizeHint() : QSize();
    return CSize(std::max(0, hint.width()), std::max(0, hint.height()));
}

CSize CControlBar::CalcDynamicLayout(int, DWORD nMode) {
    return CalcFixedLayout((nMode & LM_STRETCH) != 0, (nMode & LM_HORZ) != 0);
}

void CControlBar::AttachToFrame(CFrameWnd* pFrame, QWidget* widget, UINT nID, DWORD dwStyle) {
    m_pDockSite = pFrame;
    m_dwBarStyle = dwStyle;
    m_dwStyle = dwStyle;
    SetDlgCtrlID(nID);
    AttachWidget(widget, pFrame);
    pFrame->m_bars.push_back(this);
    if (!(dwStyle & WS_VISIBLE)) widget->hide();
}

// Toolbars.

BOOL CToolBar::Create(CFrameWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    return CreateEx(pParentWnd, 0, dwStyle, CRect(0, 0, 0, 0), nID);
}

BOOL CToolBar::CreateEx(CFrameWnd* pParentWnd, DWORD, DWORD dwStyle, CRect, UINT nID) {
    if (!pParentWnd || !pParentWnd->GetBody() || IsWindow()) return FALSE;
    m_toolBar = new QToolBar(pParentWnd->GetBody());
    m_toolBar->setMovable(false);
    Qt::ToolBarArea area = Qt::TopToolBarArea;
    if (dwStyle & CBRS_ALIGN_BOTTOM) area = Qt::BottomToolBarArea;
    else if (dwStyle & CBRS_ALIGN_LEFT) area = Qt::LeftToolBarArea;
    else if (dwStyle & CBRS_ALIGN_RIGHT) area = Qt::RightToolBarArea;
    pParentWnd->GetBody()->addToolBar(area, m_toolBar);
    AttachToFrame(pParentWnd, m_toolBar, nID, dwStyle);
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT nIDResource) {
    auto it = ToolBars().find(nIDResource);
    if (it == ToolBars().end()) return FALSE;
    m_images = it->second.images;
    m_imageWidth = std::max(1, it->second.imageWidth);
    return SetButtons(it->second.buttons.data(), int(it->second.buttons.size()));
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount) {
    if (!m_toolBar || !m_pDockSite) return FALSE;
    for (auto& b : m_buttons)
        if (b) delete b.data();
    m_toolBar->clear();
    m_buttons.clear();
    m_ids.clear();
    int image = 0;
    for (int i = 0; i < nIDCount; ++i) {
        UINT id = lpIDArray ? lpIDArray[i] : 0;
        m_ids.push_back(id);
        if (id == ID_SEPARATOR) {
            m_buttons.emplace_back(m_toolBar->addSeparator());
            continue;
        }
        std::string s = AfxLoadString(id).str();
        size_t nl = s.find('\n');
        QString tip = QString::fromUtf8((nl == std::string::npos ? s : s.substr(nl + 1)).c_str());
        QAction* a = m_toolBar->addAction(tip.isEmpty() ? QString::number(id) : tip);
        a->setToolTip(tip);
        if (!m_images.isNull() && (image + 1) * m_imageWidth <= m_images.width()) {
            QImage cut = m_images.copy(image * m_imageWidth, 0, m_imageWidth, m_images.height());
            a->setIcon(QIcon(QPixmap::fromImage(cut)));
        }
        ++image;
        m_pDockSite->AddCommandAction(a, id);
        m_buttons.emplace_back(a);
    }
    return TRUE;
}

UINT CToolBar::GetItemID(int nIndex) const {
    return nIndex >= 0 && size_t(nIndex) < m_ids.size() ? m_ids[size_t(nIndex)] : ID_SEPARATOR;
}

int CToolBar::CommandToIndex(UINT nIDFind) const {
    for (size_t i = 0; i < m_ids.size(); ++i)
        if (m_ids[i] == nIDFind) return int(i);
    return -1;
}

QAction* CToolBar::GetButtonAction(int nIndex) const {
    return nIndex >= 0 && size_t(nIndex) < m_buttons.size() ? m_buttons[size_t(nIndex)].data() : nullptr;
}

// The buttons are actions of the frame and are updated with its other items.
void CToolBar::OnUpdateCmdUI(CFrameWnd*, BOOL) {}

// Status bar.

BOOL CStatusBar::Create(CFrameWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    if (!pParentWnd || !pParentWnd->GetBody() || IsWindow()) return FALSE;
    m_statusBar = new QStatusBar(pParentWnd->GetBody());
    m_statusBar->setSizeGripEnabled(false);
    pParentWnd->GetBody()->setStatusBar(m_statusBar);
    AttachToFrame(pParentWnd, m_statusBar, nID, dwStyle);
    pParentWnd->m_pStatusBar = this;
    return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount) {
    if (!m_statusBar) return FALSE;
    for (auto& p : m_panes)
        if (p.label) delete p.label.data();
    m_panes.clear();
    for (int i = 0; i < nIDCount; ++i) {
        Pane p;
        p.id = lpIDArray ? lpIDArray[i] : ID_SEPARATOR;
        p.label = new QLabel(m_statusBar);
        if (p.id == ID_SEPARATOR) {
            p.style = SBPS_NOBORDERS | SBPS_STRETCH;
            m_statusBar->addWidget(p.label, 1);
        } else {
            CString text;
            if (AfxLoadString(p.id, text)) p.width = GetTextWidth(text);
            p.label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            m_statusBar->addPermanentWidget(p.label);
        }
        m_panes.push_back(std::move(p));
        ShowPane(int(m_panes.size()) - 1);
    }
    if (!m_panes.empty() && m_panes[0].id == ID_SEPARATOR) SetPaneText(0, AfxLoadString(AFX_IDS_IDLEMESSAGE));
    return TRUE;
}

UINT CStatusBar::GetItemID(int nIndex) const {
    return nIndex >= 0 && size_t(nIndex) < m_panes.size() ? m_panes[size_t(nIndex)].id : ID_SEPARATOR;
}

int CStatusBar::CommandToIndex(UINT nIDFind) const {
    for (size_t i = 0; i < m_panes.size(); ++i)
        if (m_panes[i].id == nIDFind) return int(i);
    return -1;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth) {
    if (nIndex < 0 || size_t(nIndex) >= m_panes.size()) return;
    Pane& p = m_panes[size_t(nIndex)];
    p.id = nID;
    p.style = nStyle;
    p.width = cxWidth;
    ShowPane(nIndex);
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const {
    if (nIndex < 0 || size_t(nIndex) >= m_panes.size()) return;
    const Pane& p = m_panes[size_t(nIndex)];
    nID = p.id;
    nStyle = p.style;
    cxWidth = p.width;
}

BOOL CStatusBar::SetPaneText(int nIndex, const char* lpszNewText, BOOL) {
    if (nIndex < 0 || size_t(nIndex) >= m_panes.size()) return FALSE;
    m_panes[size_t(nIndex)].text = lpszNewText;
    ShowPane(nIndex);
    return TRUE;
}

CString CStatusBar::GetPaneText(int nIndex) const {
    if (nIndex < 0 || size_t(nIndex) >= m_panes.size()) return CString();
    return m_panes[size_t(nIndex)].text;
}

int CStatusBar::GetTextWidth(const char* lpszText) const {
    QFontMetrics fm(m_statusBar ? m_statusBar->font() : QFont());
    return fm.horizontalAdvance(QString::fromUtf8(lpszText ? lpszText : ""));
}

void CStatusBar::ShowPane(int nIndex) {
    Pane& p = m_panes[size_t(nIndex)];
    if (!p.label) return;
    p.label->setText((p.style & SBPS_DISABLED) ? QString() : QString::fromUtf8(p.text.c_str()));
    if (!(p.style & SBPS_STRETCH) && p.width > 0) p.label->setMinimumWidth(p.width + 2 * p.label->frameWidth() + 4);
}

void CStatusBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_panes[size_t(i)].id == ID_SEPARATOR) continue;
        CStatusCmdUI ui(this, i);
        ui.DoUpdate(pTarget, bDisableIfNoHndler);
    }
}

CStatusCmdUI::CStatusCmdUI(CStatusBar* bar, int index) : m_bar(bar) {
    m_nIndex = UINT(index);
    m_nID = bar->GetItemID(index);
}

void CStatusCmdUI::Enable(BOOL bOn) {
    CCmdUI::Enable(bOn);
    auto& p = m_bar->m_panes[m_nIndex];
    UINT style = bOn ? (p.style & ~SBPS_DISABLED) : (p.style | SBPS_DISABLED);
    if (style != p.style) {
        p.style = style;
        m_bar->ShowPane(int(m_nIndex));
    }
}

void CStatusCmdUI::SetCheck(int nCheck) {
    auto& p = m_bar->m_panes[m_nIndex];
    p.style = nCheck ? (p.style & ~SBPS_POPOUT) | SBPS_POPOUT : (p.style & ~SBPS_POPOUT);
}

void CStatusCmdUI::SetText(const char* lpszText) { m_bar->SetPaneText(int(m_nIndex), lpszText); }
