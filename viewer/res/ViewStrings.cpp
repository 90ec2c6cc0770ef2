#include "viewer/res/ViewStrings.h"

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"

void AddViewStrings() {
    static const StringTableEntry english[] = {
        {IDS_VIEW_MEMORY_LACKING, "Memory of system is lacking."},
        {IDS_VIEW_NO_MEMORY_FOR, "System memory did not assign memory to %1 being lacking.\n"},
        {IDS_VIEW_GLASS_MONOCHROME, "Magnification glass is displayed in monochrome because of memory lack."},
        {IDS_VIEW_APP_TITLE, "Veloran Viewer"},
        {IDS_VIEW_PAGE_TIP, "%d/%d"},
        {IDS_VIEW_SEARCH_NOT_SUPPORTED, "This document form does not support search."},
        {IDS_VIEW_STRING_NOT_FOUND, "The string is not found."},
        {IDS_VIEW_COPY_OTHER_PAGE, "Copying is possible only within the selected page (page %d)."},
        {IDS_VIEW_POSITION, "(%.1lfmm,%.1lfmm)"},
        {IDS_VIEW_SELECTION_RANGE, "Start (%d), End(%d)"},
        {IDS_VIEW_GHOSTSCRIPT_MISSING,
         "Ghostscript library was not installed to system.\nMust Install if see document of PDF/PS type by "
         "Veloran Viewer.\nWould you like to go to GhostScript library download site?"},
        {IDS_VIEW_DOCINFO_INCOMPLETE,
         "Not all parts of the document are retrieved.\nDocument information may not be complete."},
        {IDS_VIEW_FONT_SUBSTITUTED, "No outline face for font %s: a substitute face draws it."},
        {IDS_VIEW_LINK_MISSING, "The link does not exist."},
        {IDS_VIEW_UNDEFINED_FORMAT, "\nThe document contains a format that is not defined."},
        {IDS_VIEW_FORMAT_NOT_SHOWN, "This file spec. does not support."},
        {IDS_VIEW_LINK_MISSING_CAPTION, "Warning!"},
        {IDS_VIEW_THUMBNAIL_MEMORY, "Memory is lacking: no memory could be given to 'hThumbnailBitmap'."},
        {IDS_FACE_FIRST, "Batang"},
        {IDS_FACE_FIRST + 1, "Dotum"},
        {IDS_FACE_FIRST + 2, "Gulim"},
        {IDS_FACE_FIRST + 3, "Gungsuh"},
        {IDS_FACE_FIRST + 4, "MS Gothic"},
        {IDS_FACE_FIRST + 5, "MS PGothic"},
        {IDS_FACE_FIRST + 6, "MS Mincho"},
        {IDS_FACE_FIRST + 7, "MS PMincho"},
    };
    AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
    static const StringTableEntry korean[] = {
        {IDS_VIEW_SEARCH_NOT_SUPPORTED, "이 문서 형식은 찾기를 지원하지 않습니다."},
        {IDS_VIEW_STRING_NOT_FOUND, "문자열을 찾을 수 없습니다."},
        {IDS_VIEW_COPY_OTHER_PAGE, "선택하신 페이지(%d 페이지)에서만 복사가 가능합니다."},
        {IDS_VIEW_MEMORY_LACKING, "시스템 메모리가 부족합니다."},
        {IDS_VIEW_NO_MEMORY_FOR, "메모리가 부족하여 %1에\n 메모리할당을 못했습니다."},
        {IDS_VIEW_GLASS_MONOCHROME, "메모리가 부족하여 돋보기를 흑백으로 표시합니다."},
        {IDS_VIEW_SELECTION_RANGE, "시작 (%d), 끝(%d)"},
        {IDS_VIEW_DOCINFO_INCOMPLETE, "문서를 모두 받지 못했습니다.\n문서 정보가 완전하지 않을 수 있습니다."},
        {IDS_VIEW_FONT_SUBSTITUTED, "글꼴 %s의 외곽선 글꼴이 없어 다른 글꼴로 그립니다."},
        {IDS_VIEW_LINK_MISSING, "링크가 존재하지 않습니다."},
        {IDS_VIEW_UNDEFINED_FORMAT, "\n문서에 정의되지 않은 형식이 포함되었습니다."},
        {IDS_VIEW_FORMAT_NOT_SHOWN, "이 파일 형식은 지원하지 않습니다."},
        {IDS_VIEW_LINK_MISSING_CAPTION, "경고!"},
        {IDS_VIEW_THUMBNAIL_MEMORY, "메모리가 부족하여 'hThumbnailBitmap'에\n 메모리할당을 못했습니다."},
        {IDS_FACE_FIRST, "바탕"},
        {IDS_FACE_FIRST + 1, "돋움"},
        {IDS_FACE_FIRST + 2, "굴림"},
        {IDS_FACE_FIRST + 3, "궁서"},
        {IDS_FACE_FIRST + 4, "MS 고딕"},
        {IDS_FACE_FIRST + 5, "MS P고딕"},
        {IDS_FACE_FIRST + 6, "MS 명조"},
        {IDS_FACE_FIRST + 7, "MS P명조"},
    };
    AfxAddStrings(UiLanguage::Korean, korean, int(sizeof korean / sizeof korean[0]));
}
