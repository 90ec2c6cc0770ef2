// CVrViewerView: the message the main frame's status bar shows for this
// view's document.
#include "platform/ui/AfxIds.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/StringTable.h"
#include "viewer/view/VrViewerView.h"

void CVrViewerView::SetFrameMessage(const CString& text) {
    m_frameMessage = text;
    CFrameWnd* frame = GetParentFrame();
    auto* main = dynamic_cast<CMDIFrameWnd*>(AfxGetMainWnd());
    if (!main || !frame || main->MDIGetActive() != frame) return;
    main->SetMessageText(text.IsEmpty() ? AfxLoadString(AFX_IDS_IDLEMESSAGE) : text);
}
