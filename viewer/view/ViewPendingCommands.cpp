// The commands of the menus and accelerators that nothing handles yet. The
// top-level frames (the main frame and the in-place frame) give every id
// listed here an update handler that greys its item, so that no item looks
// usable while it does nothing; that handler sits at the end of the route,
// after the page view, the document and the document frame, and before the
// application.
//
// Whoever builds one of these commands removes its id from the list in the
// same change. The menu-walk test (FramesTest) fails for an id that is
// neither handled nor listed here, and for a listed id that got a handler.
#include "viewer/view/ViewPendingCommands.h"

#include <algorithm>

#include "platform/ui/AfxIds.h"
#include "platform/ui/CmdTarget.h"
#include "viewer/res/ViewCommandIds.h"

const std::vector<UINT>& PendingCommandIds() {
    static const std::vector<UINT> ids = {
        // Saving (document) and the About box.
        ID_FILE_SAVE_COPY_AS,
    };
    return ids;
}

bool IsPendingCommand(UINT nID) {
    const auto& ids = PendingCommandIds();
    return std::find(ids.begin(), ids.end(), nID) != ids.end();
}

void OnUpdatePendingCommand(CCmdUI* pCmdUI) { pCmdUI->Enable(FALSE); }
