#include "viewer/res/ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>
#include <QStringList>
#include <mutex>

#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"

namespace {

struct ToolbarEntry {
    UINT command;
    UINT tip;
    const char* english;
    const char* korean;
    const char* iconName;
};

const ToolbarEntry kEntries[] = {
    {40002, 45415, "Previous Page", "이전 페이지", ""},
    {40001, 45410, "Next Page", "다음 페이지", ""},
    {40004, 45407, "First Page", "첫 페이지", ""},
    {40005, 45408, "Last Page", "마지막 페이지", ""},
    {40027, 45416, "Back in History", "이전 위치로", ""},
    {40028, 45411, "Forward in Hostory", "다음 위치로", ""},
    {32783, 45412, "Page Number", "페이지 번호", ""},
    {32782, 45401, "Magnification", "배율", ""},
    {112, 45420, "Fit to Width", "폭에 맞춤", ""},
    {113, 45413, "Fit to Paper", "용지에 맞춤", ""},
    {40006, 45417, "Search...", "찾기...", ""},
    {57607, 45405, "Print", "인쇄", ""},
    {32780, 45414, "Viewer Option", "뷰어 옵션", ""},
    {57601, 45404, "File Open", "파일 열기", "document-open"},
    {57604, 45406, "Save As", "다른 이름으로 저장", "document-save-as"},
    {40017, 45419, "View Mode", "보기 모드", ""},
    {40075, 45418, "Text Copy Mode", "텍스트 복사 모드", ""},
    {40135, 45409, "Image Copy Mode", "이미지 복사 모드", "image-x-generic"},
    {40139, 45422, "Create Note", "메모 만들기", ""},
    {40138, 45421, "LayoutBar", "레이아웃 막대", ""},
    {40093, 45402, "Document Information", "문서 정보", "document-properties"},
};

const ToolbarEntry* Find(UINT command) {
    for (const ToolbarEntry& e : kEntries)
        if (e.command == command) return &e;
    return nullptr;
}

// A desktop without an icon theme of its own still finds the freedesktop
// names in the theme the setup installs.
void UseInstalledTheme() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (QIcon::hasThemeIcon("document-open")) return;
        // Platforms without a desktop theme (offscreen) may not look in the
        // system's icon folders.
        QStringList paths = QIcon::themeSearchPaths();
        const QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
        for (const QString& dir : dataDirs.split(':', Qt::SkipEmptyParts))
            if (!paths.contains(dir + "/icons")) paths << dir + "/icons";
        QIcon::setThemeSearchPaths(paths);
        if (QIcon::hasThemeIcon("document-open")) return;
        // A desktop's own theme stays first; without one the setup's is it.
        const QString theme = QIcon::themeName();
        if (theme.isEmpty() || theme == "hicolor") QIcon::setThemeName("Tango");
        else QIcon::setFallbackThemeName("Tango");
    });
}

const QColor kInk(48, 48, 48);

QPixmap Canvas() {
    QPixmap pixmap(20, 18);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawOwn(QPainter& p, UINT command) {
    p.setPen(QPen(kInk, 1));
    switch (command) {
    case 57601:  // an open folder
        p.setBrush(QColor(230, 190, 90));
        p.drawPolygon(QPolygon({{2, 4}, {7, 4}, {9, 6}, {16, 6}, {16, 15}, {2, 15}}));
        p.setBrush(QColor(250, 220, 130));
        p.drawPolygon(QPolygon({{4, 9}, {19, 9}, {16, 15}, {2, 15}}));
        break;
    case 57604:  // a disk
        p.setBrush(QColor(70, 100, 170));
        p.drawRect(3, 2, 14, 14);
        p.setBrush(Qt::white);
        p.drawRect(6, 2, 8, 5);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(6, 10, 8, 6);
        break;
    case 40017: {  // a hand that moves the page
        p.setBrush(QColor(255, 224, 189));
        QPainterPath hand;
        hand.addRoundedRect(5, 7, 10, 9, 2, 2);
        for (int x : {5, 8, 11}) hand.addRoundedRect(x, 2, 3, 8, 1.5, 1.5);
        hand.addRoundedRect(14, 5, 3, 7, 1.5, 1.5);
        p.drawPath(hand.simplified());
        break;
    }
    case 40075: {  // a text cursor over lines of text
        p.setPen(QPen(QColor(120, 120, 120), 1));
        for (int y = 4; y <= 14; y += 3) p.drawLine(2, y, 17, y);
        QFont f("DejaVu Sans");
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0, 0, 160));
        p.drawText(QRect(0, 0, 20, 18), Qt::AlignCenter, "T");
        break;
    }
    case 40135:  // a picture: sky, sun and a hill
        p.setBrush(QColor(170, 210, 250));
        p.drawRect(2, 3, 15, 12);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 200, 40));
        p.drawEllipse(12, 5, 3, 3);
        p.setBrush(QColor(70, 150, 60));
        p.drawPolygon(QPolygon({{3, 15}, {8, 8}, {13, 15}}));
        break;
    case 40139:  // a sticky note with a folded corner
        p.setBrush(QColor(255, 240, 120));
        p.drawPolygon(QPolygon({{3, 2}, {16, 2}, {16, 11}, {11, 16}, {3, 16}}));
        p.drawLine(11, 16, 11, 11), p.drawLine(11, 11, 16, 11);
        p.drawLine(5, 6, 13, 6), p.drawLine(5, 9, 10, 9);
        break;
    case 40138:  // a window with a pane on the left
        p.setBrush(Qt::white);
        p.drawRect(2, 2, 15, 13);
        p.setBrush(QColor(160, 190, 230));
        p.drawRect(2, 2, 5, 13);
        break;
    case 40093:  // "i" in a circle
        p.setBrush(QColor(50, 100, 200));
        p.drawEllipse(2, 1, 15, 15);
        p.setPen(QPen(Qt::white, 2));
        p.drawPoint(10, 5);
        p.drawLine(10, 8, 10, 13);
        break;
    default: break;
    }
}

}  // namespace

UINT ToolbarTipStringId(UINT commandId) {
    const ToolbarEntry* e = Find(commandId);
    return e ? e->tip : 0;
}

void AddToolbarStrings() {
    static std::vector<StringTableEntry> english, korean;
    for (const ToolbarEntry& e : kEntries) {
        english.push_back({e.tip, e.english});
        korean.push_back({e.tip, e.korean});
    }
    AfxAddStrings(UiLanguage::English, english.data(), int(english.size()));
    AfxAddStrings(UiLanguage::Korean, korean.data(), int(korean.size()));
}

const char* ToolbarIconName(UINT commandId) {
    const ToolbarEntry* e = Find(commandId);
    return e ? e->iconName : "";
}

QIcon ToolbarOwnIcon(UINT commandId) {
    switch (commandId) {
    case 57601: case 57604: case 40017: case 40075: case 40135: case 40139: case 40138: case 40093: break;
    default: return QIcon();
    }
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    DrawOwn(p, commandId);
    p.end();
    return QIcon(pixmap);
}

QIcon ToolbarIcon(UINT commandId) {
    UseInstalledTheme();
    const QIcon own = ToolbarOwnIcon(commandId);
    const char* name = ToolbarIconName(commandId);
    if (*name && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name, own);
    return own;
}
