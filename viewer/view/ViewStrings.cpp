#include "viewer/view/ViewStrings.h"

#include <mutex>

#include "platform/ui/StringTable.h"
#include "viewer/view/VrViewerView.h"

void AfxRegisterViewStrings() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const StringTableEntry english[] = {
            {IDS_VIEW_MEMORY_LACKING, "Memory of system is lacking."},
            {IDS_VIEW_NO_MEMORY_FOR, "System memory did not assign memory to %1 being lacking.\n"},
            {IDS_VIEW_GLASS_MONOCHROME, "Magnification glass is displayed in monochrome because of memory lack."},
            {IDS_VIEW_APP_TITLE, "Veloran Viewer"},
            {IDS_VIEW_PAGE_TIP, "%d/%d"},
            {IDS_VIEW_POSITION, "(%.1lfmm,%.1lfmm)"},
            {IDS_VIEW_SELECTION_RANGE, "Start (%d), End(%d)"},
            {IDS_VIEW_GHOSTSCRIPT_MISSING,
             "Ghostscript library was not installed to system.\nMust Install if see document of PDF/PS type by "
             "Veloran Viewer.\nWould you like to go to GhostScript library download site?"},
        };
        AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
    });
}
