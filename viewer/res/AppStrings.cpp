#include "viewer/res/AppStrings.h"

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"
#include "viewer/res/FrameIds.h"

void AddAppStrings() {
    static const StringTableEntry english[] = {
        {IDR_VRVIEWTYPE, "\nVeloran Viewer\nVeloran\nVeloran Document (*.vrd)\n.vrd\nVeloran.Document\nVeloran Document"},
        {IDR_MAINFRAME, "Veloran Viewer"},
        {IDS_DEFAULT_FACE, "Tahoma"},
        {IDP_OLE_INIT_FAILED, "OLE Initial Failed. Checked your OLE Lib. Version."},
        // Status panes: their texts' prototypes set the widths.
        {ID_INDICATOR_POSITION, "(100.0mm,100.0mm)"},
        {ID_INDICATOR_PAGE, "0000 [0000] Page (Total 0000 Page)"},
        {IDS_TAB_CONTENTS, "Contents"},
        {IDS_TAB_THUMBNAILS, "Thumbnails"},
        {IDS_PREFERENCES, "Preferences"},
        {IDS_PREF_BIG_PAPER, "Case screen that page value is big can be unexpressed normally.\n"},
        {IDS_PREF_GLASS_MONOCHROME,
         "Available memory is less in system.\nDo you use magnifying glass black and white?"},
        {AFX_IDP_PARSE_INT, "Please enter an integer between %1 and %2."},
        {AFX_IDP_PARSE_REAL, "Please enter a number between %1 and %2."},
        {IDS_ABOUT_CAPTION, "About Veloran Viewer"},
        {IDS_ABOUT_VERSION, "Version %1"},
        {IDS_ABOUT_TEXT,
         "Shows and prints DVI, TIFF, PostScript and PDF documents,\nfrom files or from the web, with notes on their "
         "pages."},
    };
    static const StringTableEntry korean[] = {
        {IDS_DEFAULT_FACE, "굴림"},
        {IDS_TAB_CONTENTS, "목차"},
        {IDS_TAB_THUMBNAILS, "미리 보기"},
        {IDS_PREFERENCES, "환경 설정"},
        {IDS_PREF_BIG_PAPER, "페이지 값이 큰 경우 화면에 제대로 나타나지 않을 수 있습니다.\n"},
        {IDS_PREF_GLASS_MONOCHROME, "시스템에 사용 가능한 메모리가 부족합니다.\n돋보기를 흑백으로 사용하시겠습니까?"},
        {AFX_IDP_PARSE_INT, "%1에서 %2 사이의 정수를 입력하십시오."},
        {AFX_IDP_PARSE_REAL, "%1에서 %2 사이의 수를 입력하십시오."},
        {IDS_ABOUT_CAPTION, "Veloran Viewer 정보"},
        {IDS_ABOUT_VERSION, "버전 %1"},
        {IDS_ABOUT_TEXT, "DVI, TIFF, PostScript, PDF 문서를 파일이나 웹에서 받아 보여 주고 인쇄하며,\n쪽마다 메모를 "
                         "붙일 수 있습니다."},
    };
    AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
    AfxAddStrings(UiLanguage::Korean, korean, int(sizeof korean / sizeof korean[0]));
}
