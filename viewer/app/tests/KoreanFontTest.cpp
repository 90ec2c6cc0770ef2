// Korean text on a machine set up by the setup script: the Korean default
// face and the faces the CJK face lists stand for resolve to an installed
// face whose character set (as fontconfig reads it from the font file)
// covers the viewer's Korean messages, and the face of the view's status
// text draws those letters instead of empty boxes.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <string>
#include <vector>

#include "dvilib/FaceLists.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/FontCatalog.h"
#include "platform/gdi/FontLibrary.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"
#include "viewer/res/ViewerStrings.h"

namespace {

// Korean texts the viewer shows, the unsupported-file message first.
const char* const kMessages[] = {
    "지원하지 않는 문서 파일입니다..",
    "지원하지 않는 형태의 파일입니다.",
    "해당 문서가 없습니다.",
    "링크가 존재하지 않습니다.",
    "이 파일을 다운로드 하시겠습니까?",
    "웹브라우저의 \"뒤로\" 버튼을 누르십시요.",
};

std::vector<FcChar32> CodePoints(const std::string& utf8) {
    std::vector<FcChar32> out;
    const FcChar8* p = reinterpret_cast<const FcChar8*>(utf8.data());
    int left = int(utf8.size());
    while (left > 0) {
        FcChar32 c = 0;
        int n = FcUtf8ToUcs4(p, &c, left);
        if (n <= 0) break;
        out.push_back(c);
        p += n;
        left -= n;
    }
    return out;
}

// The face the font engine takes for a name that is not installed.
FaceRecord Resolved(const std::string& name) {
    std::lock_guard lock(FontLibrary::Mutex());
    FontCatalog& catalog = FontCatalog::Instance();
    auto found = catalog.Find(name, FW_NORMAL, false);
    if (!found.empty()) return *found.front().face;
    auto fallback = catalog.Fallback(name, FW_NORMAL, false, DEFAULT_CHARSET);
    return fallback ? *fallback : FaceRecord();
}

// Characters of text that the face's file has no glyph for.
std::string Uncovered(const FaceRecord& face, const std::string& text) {
    FcPattern* p = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(face.file.c_str()), face.index, nullptr, nullptr);
    if (!p) return "(no font file)";
    FcCharSet* set = nullptr;
    std::string missing;
    if (FcPatternGetCharSet(p, FC_CHARSET, 0, &set) != FcResultMatch) missing = "(no charset)";
    else
        for (FcChar32 c : CodePoints(text))
            if (c != '\n' && !FcCharSetHasChar(set, c)) missing += "U+" + std::to_string(c) + " ";
    FcPatternDestroy(p);
    return missing;
}

TEST(KoreanFont, DefaultFaceAndFaceListFacesCoverTheKoreanMessages) {
    AfxRegisterViewerStrings();
    AfxSetLanguage(UiLanguage::Korean);
    std::vector<std::string> faces = {AfxLoadString(IDS_DEFAULT_FACE).str()};
    AfxSetLanguage(UiLanguage::English);
    for (int category = 0; category < 4; ++category) faces.push_back(FaceLists::StandardFace(category));
    for (const std::string& name : faces) {
        SCOPED_TRACE(name);
        const FaceRecord face = Resolved(name);
        ASSERT_FALSE(face.file.empty());
        EXPECT_TRUE(face.korean) << face.file;
        for (const char* text : kMessages) EXPECT_EQ(Uncovered(face, text), "") << face.file << ": " << text;
    }
}

// One character drawn in the status text's face, as the view draws it.
std::vector<uint32_t> Drawn(const std::string& utf8) {
    auto dc = CreateMemoryDC(40, 40, 32, 96);
    dc->FillSolidRect(0, 0, 40, 40, 0xFFFFFF);
    CFont font;
    font.CreateFont(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    CFont* old = dc->SelectObject(&font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(0);
    dc->TextOut(4, 4, utf8.c_str());
    dc->SelectObject(old);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) pixels.push_back(dc->GetPixel(x, y) & 0xFFFFFF);
    return pixels;
}

TEST(KoreanFont, StatusTextFaceDrawsKoreanLettersNotBoxes) {
    // A private-use character has no glyph anywhere: the empty box.
    const std::vector<uint32_t> box = Drawn("\xEE\x80\x80");
    for (const char* letter : {"지", "원", "문", "서", "파", "일"}) {
        const std::vector<uint32_t> drawn = Drawn(letter);
        int ink = 0;
        for (uint32_t p : drawn) ink += p != 0xFFFFFF;
        EXPECT_GT(ink, 10) << letter;
        EXPECT_NE(drawn, box) << letter;
    }
}

}  // namespace
