#include "platform/ui/StringTable.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/ui/AfxIds.h"

namespace {

const StringTableEntry kFrameworkEnglish[] = {
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {AFX_IDS_UNTITLED, "Untitled"},
    {AFX_IDS_RECENT_FILE_EMPTY, "Recent File"},
    {AFX_IDP_FAILED_TO_OPEN_DOC, "Failed to open document %1."},
    {AFX_IDP_ASK_TO_SAVE, "Save changes to %1?"},
    {AFX_IDS_BUTTON_OK, "OK"},
    {AFX_IDS_BUTTON_CANCEL, "Cancel"},
    {AFX_IDS_BUTTON_YES, "&Yes"},
    {AFX_IDS_BUTTON_NO, "&No"},
    {AFX_IDS_BUTTON_ABORT, "&Abort"},
    {AFX_IDS_BUTTON_RETRY, "&Retry"},
    {AFX_IDS_BUTTON_IGNORE, "&Ignore"},
};

const StringTableEntry kFrameworkKorean[] = {
    {AFX_IDS_IDLEMESSAGE, "준비"},
    {AFX_IDS_UNTITLED, "제목 없음"},
    {AFX_IDS_RECENT_FILE_EMPTY, "최근 파일"},
    {AFX_IDP_FAILED_TO_OPEN_DOC, "문서 %1을(를) 열지 못했습니다."},
    {AFX_IDP_ASK_TO_SAVE, "%1의 변경 내용을 저장하시겠습니까?"},
    {AFX_IDS_BUTTON_OK, "확인"},
    {AFX_IDS_BUTTON_CANCEL, "취소"},
    {AFX_IDS_BUTTON_YES, "예(&Y)"},
    {AFX_IDS_BUTTON_NO, "아니요(&N)"},
    {AFX_IDS_BUTTON_ABORT, "중단(&A)"},
    {AFX_IDS_BUTTON_RETRY, "다시 시도(&R)"},
    {AFX_IDS_BUTTON_IGNORE, "무시(&I)"},
};

struct Tables {
    std::mutex mutex;  // guards the tables, language and languageChosen
    std::map<UINT, std::string> english, korean;
    UiLanguage language = UiLanguage::English;
    bool languageChosen = false;

    Tables() {
        for (const auto& e : kFrameworkEnglish) english[e.id] = e.text;
        for (const auto& e : kFrameworkKorean) korean[e.id] = e.text;
    }
};

Tables& GetTables() {
    static Tables tables;
    return tables;
}

} // namespace

void AfxAddStrings(UiLanguage lang, const StringTableEntry* entries, int count) {
    Tables& t = GetTables();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto& table = lang == UiLanguage::Korean ? t.korean : t.english;
    for (int i = 0; i < count; ++i)
        if (entries[i].text) table[entries[i].id] = entries[i].text;
}

UiLanguage AfxLanguageFromEnvironment() {
    // The first non-empty variable decides, as for the C library's message catalogue.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (!v || !*v) continue;
        // The language code is what comes before "_", "." or "@" ("ko_KR.UTF-8").
        bool korean = std::strncmp(v, "ko", 2) == 0 && (v[2] == '\0' || v[2] == '_' || v[2] == '.' || v[2] == '@');
        return korean ? UiLanguage::Korean : UiLanguage::English;
    }
    return UiLanguage::English;
}

void AfxSetLanguage(UiLanguage lang) {
    Tables& t = GetTables();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.language = lang;
    t.languageChosen = true;
}

UiLanguage AfxGetLanguage() {
    Tables& t = GetTables();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.languageChosen) {
        t.language = AfxLanguageFromEnvironment();
        t.languageChosen = true;
    }
    return t.language;
}

bool AfxLoadString(UINT id, CString& rString) {
    UiLanguage lang = AfxGetLanguage();
    Tables& t = GetTables();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (lang == UiLanguage::Korean) {
        auto k = t.korean.find(id);
        if (k != t.korean.end()) {
            rString = CString(k->second);
            return true;
        }
    }
    auto e = t.english.find(id);
    if (e == t.english.end()) {
        rString.Empty();
        return false;
    }
    rString = CString(e->second);
    return true;
}

CString AfxLoadString(UINT id) {
    CString s;
    AfxLoadString(id, s);
    return s;
}

CString AfxFormatInserts(const char* format, const char* const* args, int count) {
    std::string out;
    if (!format) return CString(out);
    for (const char* p = format; *p;) {
        if (p[0] == '%' && p[1] == '%') {
            out += '%';
            p += 2;
            continue;
        }
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            int n = p[1] - '1';
            if (n >= count || !args || !args[n]) {
                out.append(p, 2);
                p += 2;
                continue;
            }
            out += args[n];
            p += 2;
            // A "!s!"-style type field: the inserts are strings.
            if (*p == '!') {
                const char* close = std::strchr(p + 1, '!');
                if (close) p = close + 1;
            }
            continue;
        }
        out += *p++;
    }
    return CString(out);
}

void AfxFormatString1(CString& rString, UINT nIDS, const char* lpsz1) {
    const char* args[] = {lpsz1};
    rString = AfxFormatInserts(AfxLoadString(nIDS), args, 1);
}

void AfxFormatString2(CString& rString, UINT nIDS, const char* lpsz1, const char* lpsz2) {
    const char* args[] = {lpsz1, lpsz2};
    rString = AfxFormatInserts(AfxLoadString(nIDS), args, 2);
}
