// Bitmap resources of the viewer, drawn in code: strips of 16-pixel images
// on the mask colour 0xFF00FF (magenta).
#pragma once

#include <QImage>

#include "platform/core/WinTypes.h"

// The strip of bitmap resource nID; a null image for an unknown id.
QImage ViewerBitmap(UINT nID);

// Registers the page view's cursors (glass, link, page, column, note
// placing, note) as shapes of the system's cursors; once.
void AfxRegisterViewerCursors();
