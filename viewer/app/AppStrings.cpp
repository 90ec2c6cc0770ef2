#include "viewer/app/AppStrings.h"

#include <mutex>

#include "platform/ui/StringTable.h"

void AfxRegisterAppStrings() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const StringTableEntry english[] = {
            {IDR_VRVIEWTYPE, "\nVeloran Viewer\nVeloran\nVeloran Document (*.vrd)\n.vrd\nVeloran.Document\nVeloran Document"},
            {IDR_MAINFRAME, "Veloran Viewer"},
            {IDS_DEFAULT_FACE, "Tahoma"},
            {IDP_OLE_INIT_FAILED, "OLE Initial Failed. Checked your OLE Lib. Version."},
        };
        static const StringTableEntry korean[] = {
            {IDS_DEFAULT_FACE, "굴림"},
        };
        AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
        AfxAddStrings(UiLanguage::Korean, korean, int(sizeof korean / sizeof korean[0]));
    });
}
