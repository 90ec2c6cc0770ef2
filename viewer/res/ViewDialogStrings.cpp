#include "viewer/res/ViewDialogStrings.h"

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"

void AddViewDialogStrings() {
    static const StringTableEntry english[] = {
        {IDS_DOCINFO_CAPTION, "Document Information"},
        {IDS_DOCINFO_COMMENTS, "Comments:"},
        {IDS_DOCINFO_FONTS, "Fonts:"},
        {IDS_DOCINFO_PICTURES, "Pictures:"},
        {IDS_DOCINFO_PATH, "Path:"},
        {IDS_DOCINFO_STAR_NOTE, "A * mark means the picture is not found, or not retrived yet."},
        {IDS_DOCINFO_TRUETYPE_NOTE, "TrueType fonts names for TeX fonts are displayed in parenthesis."},
        {IDS_DOCINFO_NAME, "Name:"},
        {IDS_GOTOPAGE_CAPTION, "Goto Page..."},
        {IDS_GOTOPAGE_LABEL, "Page number (1-%1!d!):"},
        {IDS_GOTOPAGE_RANGE, "Please enter a page number from 1 to %1."},
        {IDS_PRINTING_CAPTION, "Printing..."},
        {IDS_PRINTING_NOW, "Now printing..."},
        {IDS_PRINTING_ERROR, "Cannot continue print process."},
        {IDS_PRINTING_RANGE, "Among page %1!d! - %2!d!, page %3!d! is being printed."},
        {IDS_PRINTING_PAGE, "Page %1!d! is being printed."},
        {IDS_MARGIN_CAPTION, "Margin Setting"},
        {IDS_MARGIN_RESET, "&Reset"},
        {IDS_MARGIN_CLOSE, "&Close"},
        {IDS_MARGIN_LABEL, "Margin (%):"},
        {IDS_PAGE_INDICATOR_CAPTION, "Page"},
        {IDS_ZOOMMENU_FIT_WIDTH, "Fit to Width"},
        {IDS_ZOOMMENU_FIT_HEIGHT, "Fit to Height"},
        {IDS_ZOOMMENU_BASIC, "Basic"},
        {IDS_ZOOMMENU_ADJUST_MARGIN, "Adjust Margin"},
    };
    static const StringTableEntry korean[] = {
        {IDS_DOCINFO_CAPTION, "문서 정보"},
        {IDS_DOCINFO_COMMENTS, "설명:"},
        {IDS_DOCINFO_FONTS, "글꼴:"},
        {IDS_DOCINFO_PICTURES, "그림:"},
        {IDS_DOCINFO_PATH, "경로:"},
        {IDS_DOCINFO_STAR_NOTE, "* 표시는 그림을 찾지 못했거나 아직 받지 못했다는 뜻입니다."},
        {IDS_DOCINFO_TRUETYPE_NOTE, "TeX 글꼴에 쓰이는 트루타입 글꼴 이름은 괄호 안에 표시됩니다."},
        {IDS_DOCINFO_NAME, "이름:"},
        {IDS_GOTOPAGE_CAPTION, "쪽으로 가기..."},
        {IDS_GOTOPAGE_LABEL, "쪽 번호 (1-%1!d!):"},
        {IDS_GOTOPAGE_RANGE, "1부터 %1까지의 쪽 번호를 입력하십시오."},
        {IDS_PRINTING_CAPTION, "인쇄 중..."},
        {IDS_PRINTING_NOW, "지금 인쇄하고 있습니다..."},
        {IDS_PRINTING_ERROR, "인쇄를 계속할 수 없습니다."},
        {IDS_PRINTING_RANGE, "%1!d! - %2!d! 쪽 가운데 %3!d! 쪽을 인쇄하고 있습니다."},
        {IDS_PRINTING_PAGE, "%1!d! 쪽을 인쇄하고 있습니다."},
        {IDS_MARGIN_CAPTION, "여백 설정"},
        {IDS_MARGIN_RESET, "초기화(&R)"},
        {IDS_MARGIN_CLOSE, "닫기(&C)"},
        {IDS_MARGIN_LABEL, "여백 (%):"},
        {IDS_PAGE_INDICATOR_CAPTION, "쪽"},
        {IDS_ZOOMMENU_FIT_WIDTH, "폭에 맞춤"},
        {IDS_ZOOMMENU_FIT_HEIGHT, "높이에 맞춤"},
        {IDS_ZOOMMENU_BASIC, "기본"},
        {IDS_ZOOMMENU_ADJUST_MARGIN, "여백 조정"},
    };
    AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
    AfxAddStrings(UiLanguage::Korean, korean, int(sizeof korean / sizeof korean[0]));
}
