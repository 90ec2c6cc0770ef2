// The commands both document frames hand to their page view, so that they
// reach it also while a tab view of the layout bar is the active view.
#pragma once

#include <vector>

#include "platform/ui/CmdTarget.h"

class CView;
class CVrViewerView;

// The forwarded ids, in the order of the frames' command table.
const std::vector<UINT>& FrameForwardedCommands();
bool IsFrameForwardedCommand(UINT nID);

// Routes a forwarded command to the page view (its map, then its document).
// The active view has seen it already when it is the page view. Without a
// page view a command does nothing and its item is greyed. FALSE for ids
// that are not forwarded, and when the page view does not handle the id.
BOOL ForwardFrameCommand(CVrViewerView* pView, const CView* pActiveView, UINT nID, int nCode, void* pExtra,
                         AFX_CMDHANDLERINFO* pHandlerInfo);
