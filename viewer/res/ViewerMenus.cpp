#include "viewer/res/ViewerMenus.h"

#include <mutex>
#include <string>

#include "platform/ui/AfxIds.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"
#include "viewer/res/DocCommandIds.h"
#include "viewer/res/FrameIds.h"
#include "viewer/res/ViewCommandIds.h"

namespace {

// One entry of a menu in both languages: a command, a popup (with items) or
// a separator (all empty).
struct Item {
    UINT id;
    const char* english;
    const char* korean;
    std::vector<Item> items;
};

const Item kSeparator{0, "", "", {}};

Item Popup(const char* english, const char* korean, std::vector<Item> items) {
    return Item{0, english, korean, std::move(items)};
}

// File menu entries shared by the menus.
const Item kOpen{ID_FILE_OPEN, "&Open...\tCtrl+O", "열기(&O)...\tCtrl+O", {}};
const Item kPrintSetup{ID_FILE_PRINT_SETUP, "Print Set&up...", "인쇄 설정(&U)...", {}};
const Item kRecent{ID_FILE_MRU_FILE1, "Recent File", "최근 파일", {}};
const Item kExit{ID_APP_EXIT, "E&xit", "끝내기(&X)", {}};
const Item kAbout{ID_APP_ABOUT, "&About Veloran Viewer...", "Veloran Viewer 정보(&A)...", {}};
const Item kToolbar{ID_VIEW_TOOLBAR, "&Toolbar", "도구 모음(&T)", {}};
const Item kStatusBar{ID_VIEW_STATUS_BAR, "&Status Bar", "상태 표시줄(&S)", {}};

std::vector<Item> MainFrameMenu() {
    return {
        Popup("&File", "파일(&F)", {kOpen, kPrintSetup, kSeparator, kRecent, kSeparator, kExit}),
        Popup("&View", "보기(&V)",
              {kToolbar, kStatusBar, kSeparator,
               Item{ID_VIEWER_OPTIONS, "&Preferences...", "환경 설정(&P)...", {}}}),
        Popup("&Help", "도움말(&H)", {kAbout}),
    };
}

// The menus of a document frame; inPlace adds the browser's Stop and Refresh
// and leaves out the window commands.
std::vector<Item> DocumentMenu(bool inPlace) {
    std::vector<Item> file = {
        kOpen,
        Item{ID_FILE_SAVE_AS, "Save &As...\tCtrl+S", "다른 이름으로 저장(&A)...\tCtrl+S", {}},
        Item{ID_FILE_SAVE_COPY_AS, "Save &Copy As...", "사본 저장(&C)...", {}},
        kSeparator,
        Item{ID_FILE_PRINT, "&Print...\tCtrl+P", "인쇄(&P)...\tCtrl+P", {}},
        kPrintSetup,
        kSeparator,
        Item{ID_DOCUMENT_INFO, "Document &Information", "문서 정보(&I)", {}},
        kSeparator,
        kRecent,
        kSeparator,
        kExit,
    };
    std::vector<Item> edit = {
        Item{ID_EDIT_COPY, "&Copy\tCtrl+C", "복사(&C)\tCtrl+C", {}},
        Item{ID_EDIT_CANCEL, "Canc&el\tESC", "취소(&E)\tESC", {}},
        kSeparator,
        Item{ID_SEARCH, "&Search...\tCtrl+F", "찾기(&S)...\tCtrl+F", {}},
        kSeparator,
        Item{ID_NOTE, "&Note", "메모(&N)", {}},
        Item{ID_SHOW_NOTE_ICON, "Show Note &Icon", "메모 아이콘 표시(&I)", {}},
    };
    std::vector<Item> zoom = {
        Item{ID_ZOOM_200, "200 %", "200 %", {}},
        Item{ID_ZOOM_150, "150 %", "150 %", {}},
        Item{ID_ZOOM_120, "120 %", "120 %", {}},
        Item{ID_ZOOM_100, "100 %", "100 %", {}},
        Item{ID_ZOOM_90, "90 %", "90 %", {}},
        Item{ID_ZOOM_80, "80 %", "80 %", {}},
        Item{ID_ZOOM_70, "70 %", "70 %", {}},
        Item{ID_ZOOM_50, "50 %", "50 %", {}},
        kSeparator,
        Popup("Fit to &Width", "폭에 맞춤(&W)",
              {Item{ID_FIT_WIDTH, "&Basic", "기본(&B)", {}},
               Item{ID_FIT_WIDTH_ADJUST_MARGIN, "Adjust &Margin", "여백 조정(&M)", {}}}),
        Popup("Fit to &Height", "높이에 맞춤(&H)",
              {Item{ID_FIT_PAGE, "&Basic", "기본(&B)", {}},
               Item{ID_FIT_PAGE_ADJUST_MARGIN, "Adjust &Margin", "여백 조정(&M)", {}}}),
    };
    std::vector<Item> view = {
        kToolbar,
        kStatusBar,
        Item{ID_LAYOUT_BAR, "&LayoutBar\tCtrl+L", "레이아웃 막대(&L)\tCtrl+L", {}},
        kSeparator,
        Item{ID_VIEW_MODE, "&View Mode", "보기 모드(&V)", {}},
        Item{ID_TEXT_SELECT, "T&ext Select", "텍스트 선택(&E)", {}},
        Item{ID_COLUMN_SELECT, "&Column Select", "열 선택(&C)", {}},
        Item{ID_IMAGE_SELECT, "&Image Select", "이미지 선택(&I)", {}},
        kSeparator,
        Popup("&Zoom", "확대/축소(&Z)", zoom),
        Item{ID_FIT_WIDTH_BUTTON, "Fit to &Width", "폭에 맞춤(&W)", {}},
        Item{ID_FIT_PAGE_BUTTON, "Fit to P&aper", "용지에 맞춤(&A)", {}},
        Item{ID_ADJUST_MARGIN, "Adjust &Margin", "여백 조정(&M)", {}},
    };
    if (inPlace) {
        view.push_back(kSeparator);
        view.push_back(Item{ID_VIEWER_STOP, "St&op", "중지(&O)", {}});
        view.push_back(Item{ID_VIEWER_REFRESH, "&Refresh\tF5", "새로 고침(&R)\tF5", {}});
    }
    view.push_back(kSeparator);
    view.push_back(Item{ID_VIEWER_OPTIONS, "Viewer O&ption...", "뷰어 옵션(&P)...", {}});
    std::vector<Item> go = {
        Item{ID_PAGE_NEXT, "&Next Page\tCtrl+PgDn", "다음 페이지(&N)\tCtrl+PgDn", {}},
        Item{ID_PAGE_PREV, "&Previous Page\tCtrl+PgUp", "이전 페이지(&P)\tCtrl+PgUp", {}},
        Item{ID_PAGE_FIRST, "&First Page", "첫 페이지(&F)", {}},
        Item{ID_PAGE_LAST, "&Last Page", "마지막 페이지(&L)", {}},
        kSeparator,
        Item{ID_HISTORY_BACK, "&Back in History\tAlt+Left", "뒤로(&B)\tAlt+Left", {}},
        Item{ID_HISTORY_FORWARD, "F&orward in History\tAlt+Right", "앞으로(&O)\tAlt+Right", {}},
        kSeparator,
        Item{ID_GOTO_PAGE, "&Goto Page\tCtrl+G", "페이지 이동(&G)\tCtrl+G", {}},
    };
    std::vector<Item> menus = {
        Popup("&File", "파일(&F)", file),
        Popup("&Edit", "편집(&E)", edit),
        Popup("&View", "보기(&V)", view),
        Popup("&Go", "이동(&G)", go),
    };
    if (!inPlace)
        menus.push_back(Popup("&Window", "창(&W)",
                              {Item{ID_WINDOW_MAXIMIZE, "&Maximize", "최대화(&M)", {}},
                               Item{ID_WINDOW_CLOSEALL, "C&lose All", "모두 닫기(&L)", {}}}));
    menus.push_back(Popup("&Help", "도움말(&H)", {kAbout}));
    return menus;
}

// Keys the page view does not take itself (its keyboard handles the page
// keys, the arrows and F3).
std::vector<AccelTemplate> MainFrameAccelerators() { return {{ID_FILE_OPEN, "Ctrl+O"}}; }

std::vector<AccelTemplate> DocumentAccelerators(bool inPlace) {
    std::vector<AccelTemplate> a = {
        {ID_FILE_OPEN, "Ctrl+O"},        {ID_FILE_SAVE_AS, "Ctrl+S"},       {ID_FILE_PRINT, "Ctrl+P"},
        {ID_EDIT_COPY, "Ctrl+C"},        {ID_EDIT_CANCEL, "Esc"},           {ID_SEARCH, "Ctrl+F"},
        {ID_LAYOUT_BAR, "Ctrl+L"},       {ID_GOTO_PAGE, "Ctrl+G"},          {ID_HISTORY_BACK, "Alt+Left"},
        {ID_HISTORY_FORWARD, "Alt+Right"},
    };
    if (inPlace) a.push_back({ID_VIEWER_REFRESH, "F5"});
    return a;
}

MenuItemTemplate Translate(const Item& item, bool korean) {
    MenuItemTemplate t;
    t.id = item.id;
    t.text = korean ? item.korean : item.english;
    for (const Item& sub : item.items) t.items.push_back(Translate(sub, korean));
    return t;
}

std::vector<MenuItemTemplate> Translate(const std::vector<Item>& items, bool korean) {
    std::vector<MenuItemTemplate> out;
    for (const Item& i : items) out.push_back(Translate(i, korean));
    return out;
}

// The page view's popup menus: paging, a selection, the two text modes of
// the band's drop-down arrow, a note.
std::vector<Item> ViewPopup(UINT nIDResource) {
    switch (nIDResource) {
    case IDR_VIEW_POPUP:
        return {Popup("Popup", "Popup",
                      {{ID_PAGE_NEXT, "&Next Page", "다음 페이지(&N)", {}},
                       {ID_PAGE_PREV, "&Previous Page", "이전 페이지(&P)", {}},
                       {ID_PAGE_FIRST, "&First Page", "첫 페이지(&F)", {}},
                       {ID_PAGE_LAST, "&Last Page", "마지막 페이지(&L)", {}},
                       kSeparator,
                       {ID_HISTORY_BACK, "&Back in History", "이전 위치로(&B)", {}},
                       {ID_HISTORY_FORWARD, "F&orward in History", "다음 위치로(&O)", {}}})};
    case IDR_SELECT_POPUP:
        return {Popup("Popup", "Popup",
                      {{ID_EDIT_COPY, "&Copy\tCtrl+C", "복사(&C)\tCtrl+C", {}},
                       {ID_EDIT_CANCEL, "Canc&el\tESC", "취소(&E)\tESC", {}}})};
    case IDR_TEXT_MODES_POPUP:
        return {Popup("Popup", "Popup",
                      {{ID_TEXT_SELECT, "Text Select", "텍스트 선택", {}},
                       {ID_COLUMN_SELECT, "Column Select", "단 선택", {}}})};
    case IDR_NOTE_POPUP:
        return {Popup("Popup", "Popup",
                      {{ID_NOTE_EDIT, "&Edit Note", "메모 편집(&E)", {}},
                       {ID_NOTE_DELETE, "&Delete Note", "메모 삭제(&D)", {}},
                       {ID_NOTE_PROPERTIES, "Note &Properties", "메모 속성(&P)", {}}})};
    default: return {};
    }
}

std::vector<Item> MenuOf(UINT nIDResource) {
    if (nIDResource == IDR_MAINFRAME) return MainFrameMenu();
    if (nIDResource == IDR_VRVIEWTYPE) return DocumentMenu(false);
    if (nIDResource == IDR_VRVIEWTYPE_SRVR_IP) return DocumentMenu(true);
    return ViewPopup(nIDResource);
}

std::vector<AccelTemplate> AcceleratorsOf(UINT nIDResource) {
    if (nIDResource == IDR_MAINFRAME) return MainFrameAccelerators();
    if (nIDResource == IDR_VRVIEWTYPE) return DocumentAccelerators(false);
    if (nIDResource == IDR_VRVIEWTYPE_SRVR_IP) return DocumentAccelerators(true);
    return {};
}

constexpr UINT kResources[] = {IDR_MAINFRAME,  IDR_VRVIEWTYPE,   IDR_VRVIEWTYPE_SRVR_IP, IDR_VIEW_POPUP,
                               IDR_SELECT_POPUP, IDR_TEXT_MODES_POPUP, IDR_NOTE_POPUP};

}  // namespace

void AfxRegisterViewerMenus() {
    static std::mutex lock;  // guards registered and the registration itself
    static int registered = -1;
    std::lock_guard<std::mutex> guard(lock);
    const bool korean = AfxGetLanguage() == UiLanguage::Korean;
    if (registered == int(korean)) return;
    registered = int(korean);
    for (UINT id : kResources) {
        AfxRegisterMenu(id, Translate(MenuOf(id), korean));
        if (!AcceleratorsOf(id).empty()) AfxRegisterAccelerators(id, AcceleratorsOf(id));
    }
}
