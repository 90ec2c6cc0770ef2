#include "viewer/view/VrViewerView.h"

void CVrViewerView::OnDraw(CDC*) {}
