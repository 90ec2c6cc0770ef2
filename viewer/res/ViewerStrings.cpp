#include "viewer/res/ViewerStrings.h"

#include <mutex>

void AfxRegisterViewerStrings() {
    static std::once_flag once;
    std::call_once(once, [] {
        AddAppStrings();
        AddViewStrings();
        AddViewDialogStrings();
        AddToolbarStrings();
        AddDocStrings();
        AddPrefStrings();
    });
}
