// The pictures and tooltips of the page view's toolbar buttons. A picture
// comes from the desktop's icon theme by its freedesktop name; a button the
// theme has no picture for (or no theme at all) gets the viewer's own. The
// tooltips are string-table entries in English and Korean.
#pragma once

#include <QIcon>

#include "platform/core/WinTypes.h"

// The tooltip string of a toolbar command (0 when the command has none).
UINT ToolbarTipStringId(UINT commandId);

// The freedesktop icon name of a main-toolbar command ("" when none).
const char* ToolbarIconName(UINT commandId);
// The viewer's own 20 x 18 picture of a main-toolbar command (a null icon
// for a command without one).
QIcon ToolbarOwnIcon(UINT commandId);
// The picture the main toolbar shows: the theme's, else the viewer's own.
QIcon ToolbarIcon(UINT commandId);
