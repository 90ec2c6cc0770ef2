#include "viewer/res/DocStrings.h"

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"

void AddDocStrings() {
    static const StringTableEntry english[] = {
        {IDS_VIEWER_CAPTION, "Veloran Viewer"},
        {IDS_PICTURES_NOT_RETRIEVED,
         "Not all pictures in the DVI document are not retrived.\nSome pictures may be missed if save now."},
        {IDS_PICTURES_NOT_RETRIEVED_SAVE,
         "Not all pictures in the DVI document are not retrived.\nSome pictures may be missed if save now."},
        {IDS_SAVE_DVI_TITLE, "Save DVI Document"},
        {IDS_SAVE_ATTRIBUTE_ERROR, "File save error!\nprevious file attribute error(error no. :%d)"},
        {IDS_SAVE_UNKNOWN_ERROR, "File save error!\nUnknown error(error no. :%d)"},
        {IDS_SAVE_INVALID_DVI, "The document is not a valid DVI file and cannot be saved."},
        {IDS_SAVE_STILL_ARRIVING, "The document is still arriving; save it when it is complete."},
        {IDS_FILE_NOT_EXIST, "File not exist!"},
        {IDS_FILE_ACCESS_DENIED, "There is no authority to read file."},
        {IDS_FILE_SHARING_VIOLATION, "Is reading file at other program.\nShared Violation."},
        {IDS_FILE_UNKNOWN_ERROR, "File unknown error."},
        {IDS_NOT_VELORAN_TYPE, "Is not Veloran Type"},
        {IDS_DVI_ERROR_INFORMATION, "DVI Error Information."},
        {IDS_SAVE_CHANGES, "Do you want to save changes to %1!s! before closing?"},
    };
    int n = int(sizeof english / sizeof english[0]);
    AfxAddStrings(UiLanguage::English, english, n);
    // The same texts serve the Korean table.
    AfxAddStrings(UiLanguage::Korean, english, n);
}
