#include "viewer/frames/FrameCommands.h"

#include <algorithm>

#include "platform/ui/AfxIds.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/VrViewerView.h"

const std::vector<UINT>& FrameForwardedCommands() {
    static const std::vector<UINT> ids = {
        ID_FILE_SAVE_AS, ID_FILE_PRINT, ID_PAGE_PREV, ID_PAGE_NEXT, ID_PAGE_FIRST, ID_PAGE_LAST,
        ID_HISTORY_BACK, ID_HISTORY_FORWARD, ID_VIEW_MODE, ID_DOCUMENT_INFO, ID_SEARCH, ID_ADJUST_MARGIN,
        ID_ZOOM_EDIT, ID_PAGE_EDIT, ID_VIEW_TOOLBAR, ID_FIT_WIDTH_BUTTON, ID_FIT_PAGE_BUTTON, ID_TEXT_SELECT,
        ID_COLUMN_SELECT, ID_IMAGE_SELECT, ID_NOTE, ID_SHOW_NOTE_ICON, ID_LAYOUT_BAR, ID_GOTO_PAGE,
        // The viewer options and the zoom commands, which otherwise would
        // reach the application or nobody while a tab view is active.
        ID_VIEWER_OPTIONS, ID_ZOOM_200, ID_ZOOM_150, ID_ZOOM_120, ID_ZOOM_100, ID_ZOOM_90, ID_ZOOM_80,
        ID_ZOOM_70, ID_ZOOM_50, ID_FIT_WIDTH, ID_FIT_WIDTH_ADJUST_MARGIN, ID_FIT_PAGE, ID_FIT_PAGE_ADJUST_MARGIN,
        // Copy and Cancel act on the page view's selection.
        ID_EDIT_COPY, ID_EDIT_CANCEL,
    };
    return ids;
}

bool IsFrameForwardedCommand(UINT nID) {
    const auto& ids = FrameForwardedCommands();
    return std::find(ids.begin(), ids.end(), nID) != ids.end();
}

BOOL ForwardFrameCommand(CVrViewerView* pView, const CView* pActiveView, UINT nID, int nCode, void* pExtra,
                         AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (!IsFrameForwardedCommand(nID)) return FALSE;
    if (!pView) {
        if (pHandlerInfo) return FALSE;
        if (nCode == CN_UPDATE_COMMAND_UI && pExtra) static_cast<CCmdUI*>(pExtra)->Enable(FALSE);
        return TRUE;
    }
    if (pView == pActiveView) return FALSE;
    return pView->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}
