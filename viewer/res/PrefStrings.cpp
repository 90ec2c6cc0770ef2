#include "viewer/res/PrefStrings.h"

#include <cstring>
#include <vector>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"

namespace {

struct PrefEntry {
    UINT id;
    const char* english;
    const char* korean;
};

const PrefEntry kTexts[] = {
    {47400, "Display", "표시"},
    {47401, "Magnification Glass", "돋보기"},
    {47402, "GhostScript", "GhostScript"},
    {47403, "kpathsea", "kpathsea"},
    {47404, "Contents", "목차"},
    {47405, "File Associations", "파일 연결"},
    {47406, "TFM Paths", "TFM 경로"},
    {47407, "VF Paths", "VF 경로"},
    {47408, "Truetype Paths", "트루타입 경로"},
    {47409, "&Zoom:", "배율(&Z):"},
    {47410, "&Page:", "쪽(&P):"},
    {47411, "&Left margin (mm):", "왼쪽 여백(mm)(&L):"},
    {47412, "&Top margin (mm):", "위쪽 여백(mm)(&T):"},
    {47413, "&Scroll bars:", "스크롤 막대(&S):"},
    {47414, "P&aper:", "용지(&A):"},
    {47415, "&Width (mm):", "폭(mm)(&W):"},
    {47416, "&Height (mm):", "높이(mm)(&H):"},
    {47417, "Portrait", "세로"},
    {47418, "Landscape", "가로"},
    {47419, "Orientation:", "방향:"},
    {47420, "&Reset default", "기본값으로(&R)"},
    {47421, "(Total: %d)", "(전체: %d)"},
    {47422, "Width", "폭"},
    {47423, "Height", "높이"},
    {47424, "None", "없음"},
    {47425, "Horizontal", "가로"},
    {47426, "Vertical", "세로"},
    {47427, "Both", "모두"},
    {47428, "User Def.", "사용자 정의"},
    {47429, "&Width:", "폭(&W):"},
    {47430, "&Height:", "높이(&H):"},
    {47431, "&Magnification (%):", "배율(%)(&M):"},
    {47432, "Monochrome display (to save memory)", "흑백으로 표시 (메모리 절약)"},
    {47433, "&Reset Default", "기본값으로(&R)"},
    {47434, "GhostScript &folder:", "GhostScript 폴더(&F):"},
    {47435, "&Library path:", "라이브러리 경로(&L):"},
    {47436, "True Color", "트루 컬러"},
    {47437, "256 Color(recommend)", "256 색(권장)"},
    {47438, "256 Color", "256 색"},
    {47439, "16 Color", "16 색"},
    {47440, "Monochrome", "흑백"},
    {47441, "Monochrome(recommend)", "흑백(권장)"},
    {47442, "For &Screen:", "화면용(&S):"},
    {47443, "For &Printer:", "프린터용(&P):"},
    {47444, "0 Degree", "0도"},
    {47445, "90 Degree", "90도"},
    {47446, "180 Degree", "180도"},
    {47447, "270 Degree", "270도"},
    {47448, "&Rotation:", "회전(&R):"},
    {47449, "(New Entry)", "(새 항목)"},
    {47450, "Edit Path", "경로 편집"},
    {47451, "&New", "새로 만들기(&N)"},
    {47452, "&Remove", "삭제(&R)"},
    {47453, "&Up", "위로(&U)"},
    {47454, "&Down", "아래로(&D)"},
    {47455, "&Edit", "편집(&E)"},
    {47456, "Note: Modified paths become effective after the next start of the viewer.", "참고: 바꾼 경로는 뷰어를 다음에 시작할 때부터 적용됩니다."},
    {47457, "Folder of the kpathsea library:", "kpathsea 라이브러리 폴더:"},
    {47458, "Contents folder:", "목차 폴더:"},
    {47459, "&Veloran Document(*.vrd,*.dvi)", "Veloran 문서(*.vrd,*.dvi)(&V)"},
    {47460, "Tag &Image File Format(*.tif,*.tiff)", "TIFF 이미지 파일(*.tif,*.tiff)(&I)"},
    {47461, "PostScript &Language(*.ai,*.eps,*.ps)", "PostScript 파일(*.ai,*.eps,*.ps)(&L)"},
    {47462, "Adobe &Portable Document Format(*.pdf)", "PDF 문서(*.pdf)(&P)"},
    {47463, "Select &All", "모두 선택(&A)"},
    {47464, "&Deselect All", "모두 해제(&D)"},
};

}  // namespace

void AddPrefStrings() {
    std::vector<StringTableEntry> english, korean;
    for (const PrefEntry& e : kTexts) {
        english.push_back({e.id, e.english});
        korean.push_back({e.id, e.korean});
    }
    AfxAddStrings(UiLanguage::English, english.data(), int(english.size()));
    AfxAddStrings(UiLanguage::Korean, korean.data(), int(korean.size()));
}

CString PrefText(const char* english) {
    AfxRegisterViewerStrings();
    for (const PrefEntry& e : kTexts)
        if (english && std::strcmp(e.english, english) == 0) return AfxLoadString(e.id);
    return CString(english ? english : "");
}
