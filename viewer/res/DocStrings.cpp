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
        {IDS_KIND_NOT_SUPPORTED, "This kind of file is not supported."},
        {IDS_ASK_DOWNLOAD, "Do you want to download this file?"},
        {IDS_PRESS_BACK, "Press the \"Back\" button of the web browser."},
        {IDS_MAYBE_HTML,
         "The document file may be HTML.\nThe file may be missing, or error information was sent for security "
         "reasons\n(Note: %c%c%c%c)"},
        {IDS_UNSUPPORTED_HEX, "This document file is not supported.\n(Note: %2X%2X%2X%2X)"},
        {IDS_UNSUPPORTED_LOCAL, "This document file is not supported."},
        {IDS_ALL_FILES_FILTER, "All Files (*.*)|*.*||"},
        {IDS_NO_DOCUMENT, "\nThe document does not exist."},
        {IDS_DOWNLOAD_DONE, "The download is complete. \n\nPress the \"Back\" button of the web browser."},
    };
    AfxAddStrings(UiLanguage::English, english, int(sizeof english / sizeof english[0]));
    static const StringTableEntry korean[] = {
        {IDS_VIEWER_CAPTION, "Veloran Viewer"},
        {IDS_PICTURES_NOT_RETRIEVED,
         "DVI 문서의 그림을 모두 받지 못했습니다.\n지금 저장하면 일부 그림이 빠질 수 있습니다."},
        {IDS_PICTURES_NOT_RETRIEVED_SAVE,
         "DVI 문서의 그림을 모두 받지 못했습니다.\n지금 저장하면 일부 그림이 빠질 수 있습니다."},
        {IDS_SAVE_DVI_TITLE, "DVI 문서 저장"},
        {IDS_SAVE_ATTRIBUTE_ERROR, "파일 저장 오류!\n이전 파일의 속성 오류(오류 번호 :%d)"},
        {IDS_SAVE_UNKNOWN_ERROR, "파일 저장 오류!\n알 수 없는 오류(오류 번호 :%d)"},
        {IDS_SAVE_INVALID_DVI, "올바른 DVI 파일이 아니어서 저장할 수 없습니다."},
        {IDS_SAVE_STILL_ARRIVING, "문서를 아직 받고 있습니다. 다 받은 뒤에 저장하십시오."},
        {IDS_FILE_NOT_EXIST, "파일이 없습니다!"},
        {IDS_FILE_ACCESS_DENIED, "파일을 읽을 권한이 없습니다."},
        {IDS_FILE_SHARING_VIOLATION, "다른 프로그램이 파일을 읽고 있습니다.\n공유 위반입니다."},
        {IDS_FILE_UNKNOWN_ERROR, "알 수 없는 파일 오류입니다."},
        {IDS_NOT_VELORAN_TYPE, "Veloran 형식이 아닙니다"},
        {IDS_DVI_ERROR_INFORMATION, "DVI 오류 정보."},
        {IDS_SAVE_CHANGES, "닫기 전에 %1!s!의 변경 내용을 저장하시겠습니까?"},
        {IDS_KIND_NOT_SUPPORTED, "지원하지 않는 형태의 파일입니다."},
        {IDS_ASK_DOWNLOAD, "이 파일을 다운로드 하시겠습니까?"},
        {IDS_PRESS_BACK, "웹브라우저의 \"뒤로\" 버튼을 누르십시요."},
        {IDS_MAYBE_HTML,
         "문서 파일이 HTML일 확률이 있습니다.\n파일이 없거나 보안상의 문제로 오류정보 전송등\n(참고 : %c%c%c%c)"},
        {IDS_UNSUPPORTED_HEX, "지원하지 않는 문서 파일입니다.\n(참고 : %2X%2X%2X%2X)"},
        {IDS_UNSUPPORTED_LOCAL, "지원하지 않는 문서 파일입니다.."},
        {IDS_ALL_FILES_FILTER, "모든 파일(*.*)|*.*||"},
        {IDS_NO_DOCUMENT, "\n해당 문서가 없습니다."},
        {IDS_DOWNLOAD_DONE, "다운로드가 완료되었습니다. \n\n웹브라우저의 \"뒤로\"버튼을 누르세요."},
    };
    AfxAddStrings(UiLanguage::Korean, korean, int(sizeof korean / sizeof korean[0]));
}
