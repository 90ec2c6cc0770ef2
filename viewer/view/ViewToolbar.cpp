// CVrViewerView: the band's page and zoom combo boxes and the zoom
// drop-down menu that replaces the zoom box's list.
#include <QComboBox>
#include <QLineEdit>
#include <mutex>
#include <string>

#include "dvilib/VrDvi.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StringTable.h"
#include "viewer/document/LinkScanText.h"
#include "viewer/view/ViewControls.h"
#include "viewer/res/ViewDialogStrings.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

namespace {

struct PresetItem {
    int percent;
    UINT id;
};
const PresetItem kPresetItems[] = {{200, ID_ZOOM_200}, {150, ID_ZOOM_150}, {120, ID_ZOOM_120}, {100, ID_ZOOM_100},
                                   {90, ID_ZOOM_90},   {80, ID_ZOOM_80},   {70, ID_ZOOM_70},   {50, ID_ZOOM_50}};

void RegisterZoomMenu() {
    static std::once_flag once;
    std::call_once(once, [] {
        AfxRegisterViewerStrings();
        auto text = [](UINT id) { return std::string(AfxLoadString(id).c_str()); };
        MenuItemTemplate popup{0, "Zoom", {}};
        for (const PresetItem& p : kPresetItems) popup.items.push_back({p.id, std::to_string(p.percent) + " %", {}});
        popup.items.push_back({});
        popup.items.push_back({0,
                               text(IDS_ZOOMMENU_FIT_WIDTH),
                               {{ID_FIT_WIDTH, text(IDS_ZOOMMENU_BASIC), {}},
                                {ID_FIT_WIDTH_ADJUST_MARGIN, text(IDS_ZOOMMENU_ADJUST_MARGIN), {}}}});
        popup.items.push_back({0,
                               text(IDS_ZOOMMENU_FIT_HEIGHT),
                               {{ID_FIT_PAGE, text(IDS_ZOOMMENU_BASIC), {}},
                                {ID_FIT_PAGE_ADJUST_MARGIN, text(IDS_ZOOMMENU_ADJUST_MARGIN), {}}}});
        AfxRegisterMenu(IDR_ZOOM_MENU, {popup});
    });
}

}  // namespace

void CVrViewerView::MapToolbarCommands() {
    RegisterZoomMenu();
    MapCommand(IDC_ZOOM_BOX, &CVrViewerView::OnZoomBoxCommand);
    MapCommand(IDC_PAGE_BOX, &CVrViewerView::OnPageBoxCommand);
}

void CVrViewerView::ConnectToolbarControls() {
    if (!m_controls) return;
    m_controls->SetDropDownOwner([this](unsigned id, const RECT& r) { OnToolbarDropDown(id, r); });
    if (ToolbarComboBox* zoom = m_controls->BandComboBox(IDC_ZOOM_BOX)) {
        zoom->SetOwner([this](UINT id) { OnCmdMsg(id, CN_COMMAND, nullptr, nullptr); });
        zoom->SetDropDown([this] { OnZoomDropDown(); });
        QObject::connect(zoom, &QComboBox::activated, zoom, [this](int) { OnZoomSelChange(); });
    }
    if (ToolbarComboBox* page = m_controls->BandComboBox(IDC_PAGE_BOX))
        page->SetOwner([this](UINT id) { OnCmdMsg(id, CN_COMMAND, nullptr, nullptr); });
    // The buttons show the states of the menus' commands (checked mode,
    // greyed commands); the boxes keep their own texts (UpdateBandBoxes).
    if (CFrameWnd* frame = GetParentFrame()) {
        for (QAction* a : m_controls->CommandActions()) {
            const UINT id = a->data().toUInt();
            if (id != IDC_PAGE_BOX && id != IDC_ZOOM_BOX) frame->AddUpdateAction(a, id);
        }
        RequestCommandStates();
    }
}

void CVrViewerView::RequestCommandStates() {
    if (CFrameWnd* frame = GetParentFrame()) frame->DelayUpdateCmdUI();
}

QString CVrViewerView::PageBoxText() const {
    return m_initialViewEstablished ? QString::asprintf("%d/%d", m_page + 1, m_pageCount)
                                    : QString::asprintf("?/%d", m_pageCount);
}

void CVrViewerView::UpdateBandBoxes() {
    if (!m_controls) return;
    auto focused = [](QComboBox* box) { return box->hasFocus() || (box->lineEdit() && box->lineEdit()->hasFocus()); };
    if (QComboBox* page = m_controls->BandComboBox(IDC_PAGE_BOX); page && !focused(page)) {
        page->setEditText(PageBoxText());
        if (page->lineEdit()) page->lineEdit()->setCursorPosition(0);
    }
    if (QComboBox* zoom = m_controls->BandComboBox(IDC_ZOOM_BOX); zoom && !focused(zoom))
        zoom->setEditText(QString::asprintf("%d%%", (m_pageSurface.dispMag + 50) / 100));
}

UINT CVrViewerView::DropDownCheckedId(int fitMode, const char* zoomText) {
    switch (fitMode) {
    case kFitWidth: return ID_FIT_WIDTH;
    case kFitPage: return ID_FIT_PAGE;
    case kFitWidthMargin: return ID_FIT_WIDTH_ADJUST_MARGIN;
    case kFitPageMargin: return ID_FIT_PAGE_ADJUST_MARGIN;
    case kFitNone: {
        const int percent = linkscan::ParseInt(zoomText ? zoomText : "");
        for (const PresetItem& p : kPresetItems)
            if (p.percent == percent) return p.id;
        return 0;
    }
    default: return 0;
    }
}

void CVrViewerView::OnZoomDropDown() {
    ToolbarComboBox* zoom = m_controls ? m_controls->BandComboBox(IDC_ZOOM_BOX) : nullptr;
    if (!zoom) return;
    zoom->hidePopup();
    zoom->update();
    CMenu menu;
    if (!menu.LoadMenu(IDR_ZOOM_MENU)) return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup) return;
    if (const UINT checked = DropDownCheckedId(m_DispMagSpec, zoom->currentText().toStdString().c_str()))
        popup->CheckMenuItem(checked, MF_BYCOMMAND | MF_CHECKED);
    const QPoint at = zoom->mapToGlobal(zoom->rect().bottomLeft());
    popup->TrackPopupMenu(TPM_RIGHTBUTTON, at.x(), at.y(), this);
}

void CVrViewerView::OnZoomSelChange() {
    ToolbarComboBox* zoom = m_controls ? m_controls->BandComboBox(IDC_ZOOM_BOX) : nullptr;
    if (!zoom || zoom->currentIndex() < 0) return;
    const std::string entry = zoom->itemText(zoom->currentIndex()).toStdString();
    zoom->setEditText(QString::fromStdString(entry));
    OnZoomSelChange(entry.c_str());
}

void CVrViewerView::OnZoomBoxCommand() {
    ToolbarComboBox* zoom = m_controls ? m_controls->BandComboBox(IDC_ZOOM_BOX) : nullptr;
    if (!zoom) return;
    // As an entry of the list: 1 to 300 percent.
    OnZoomSelChange(zoom->currentText().toStdString().c_str());
    UpdateBandBoxes();
}

void CVrViewerView::OnPageBoxCommand() {
    ToolbarComboBox* page = m_controls ? m_controls->BandComboBox(IDC_PAGE_BOX) : nullptr;
    if (!page || !GetDocument() || !CanShowPages()) return;
    const int n = linkscan::ParseInt(page->currentText().toStdString());
    if (n >= 1 && n <= m_pageCount) GotoPage(n - 1);
    SetFocus();
    UpdateToolbarStatus();
}
