// Commands that have a menu item or an accelerator but no handler yet.
#pragma once

#include <vector>

#include "platform/core/WinTypes.h"

class CCmdUI;

// The ids, in the order of the list in ViewPendingCommands.cpp.
const std::vector<UINT>& PendingCommandIds();
bool IsPendingCommand(UINT nID);
// The update handler the top-level frames give each pending id: greyed.
void OnUpdatePendingCommand(CCmdUI* pCmdUI);
