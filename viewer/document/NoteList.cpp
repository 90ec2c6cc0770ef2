#include "viewer/document/NoteList.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

namespace {

// The note icon, 15 x 18: a yellow sheet with a folded corner and lines of
// writing; 'r' is pure red, drawn transparent.
const char* const kIcon[NoteList::kIconHeight] = {
    "kkkkkkkkkkkrrrr",
    "kyyyyyyyyykkrrr",
    "kyyyyyyyyykykrr",
    "kyyyyyyyyykyykr",
    "kyyyyyyyyykkkkk",
    "kyyyyyyyyyyyyyk",
    "kyggggggggggyyk",
    "kyyyyyyyyyyyyyk",
    "kyggggggggggyyk",
    "kyyyyyyyyyyyyyk",
    "kyggggggggggyyk",
    "kyyyyyyyyyyyyyk",
    "kygggggggyyyyyk",
    "kyyyyyyyyyyyyyk",
    "kyyyyyyyyyyyyyk",
    "kyyyyyyyyyyyyyk",
    "kkkkkkkkkkkkkkk",
    "rrrrrrrrrrrrrrr",
};
constexpr COLORREF kTransparent = 0x0000FF;

}  // namespace

std::string NoteList::CutUserName(const std::string& name) {
    if (int(name.size()) <= kUserNameMax) return name;
    size_t n = size_t(kUserNameMax);
    // Back to the start of a character.
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return name.substr(0, n);
}

std::string NoteList::FormatTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

std::string NoteList::CurrentUserName() {
    struct passwd pw{};
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    if (const char* user = std::getenv("USER")) return user;
    return "";
}

NoteList::~NoteList() {
    if (m_iconOld) m_iconDC.SelectObject(m_iconOld);
}

NoteRecord* NoteList::GetNote(int index) {
    return index >= 0 && index < GetCount() ? &m_records[size_t(index)] : nullptr;
}

const NoteRecord* NoteList::GetNote(int index) const {
    return index >= 0 && index < GetCount() ? &m_records[size_t(index)] : nullptr;
}

void NoteList::MarkChanged() {
    changed = 1;
    if (onChanged) onChanged();
}

int NoteList::AddNote(int zoom, int page, int x, int y, int topOffset) {
    NoteRecord r;
    r.zoom = zoom;
    r.page = page;
    r.x = x;
    r.y = y;
    r.topOffset = topOffset;
    r.user = CutUserName(userName ? userName() : std::string());
    m_records.push_back(std::move(r));
    StampTime(GetCount() - 1);
    return GetCount();
}

int NoteList::AppendNote(const NoteRecord& note) {
    m_records.push_back(note);
    m_records.back().user = CutUserName(note.user);
    return GetCount();
}

void NoteList::SetNoteText(int index, const std::string& text) {
    if (NoteRecord* r = GetNote(index)) r->text = text;
}

void NoteList::StampTime(int index) {
    NoteRecord* r = GetNote(index);
    if (!r) return;
    r->time = FormatTime(clock ? clock() : std::time(nullptr));
    MarkChanged();
}

int NoteList::DeleteNote(int index) {
    NoteRecord* r = GetNote(index);
    if (!r || r->deleted) return 0;
    r->deleted = 1;
    MarkChanged();
    return 1;
}

int NoteList::SetNoteUser(int index, const std::string& user) {
    NoteRecord* r = GetNote(index);
    if (!r) return 0;
    const std::string cut = CutUserName(user);
    if (cut == r->user) return 0;
    r->user = cut;
    StampTime(index);
    return 1;
}

void NoteList::Clear() {
    m_records.clear();
    m_iconRects.clear();
    hitIndex = -1;
}

void NoteList::ComputeIconRects(int page, int dispMag, int scrollX, int scrollY, int topOffset) {
    m_iconRects.clear();
    for (int i = 0; i < GetCount(); ++i) {
        const NoteRecord& r = m_records[size_t(i)];
        if (r.page != page || r.deleted) continue;
        // A note of no zoom is taken at the view's own.
        const double ratio = r.zoom > 0 ? double(dispMag) / double(r.zoom) : 1.0;
        const double lx = std::trunc(r.x * ratio), ty = std::trunc((double(r.y) - r.topOffset) * ratio);
        if (!std::isfinite(lx) || !std::isfinite(ty) || std::fabs(lx) > 1e8 || std::fabs(ty) > 1e8) continue;
        const int left = int(lx) - scrollX;
        const int top = int(ty) - scrollY + topOffset;
        m_iconRects.push_back({RECT{left, top, left + kHitWidth, top + kHitHeight}, i});
    }
}

void NoteList::LoadIcon() {
    if (m_iconLoaded) return;
    m_iconLoaded = true;
    if (!m_iconDC.CreateCompatibleDC(nullptr) || !m_iconBitmap.CreateCompatibleBitmap(nullptr, kIconWidth, kIconHeight))
        return;
    m_iconOld = m_iconDC.SelectObject(&m_iconBitmap);
    for (int y = 0; y < kIconHeight; ++y)
        for (int x = 0; x < kIconWidth; ++x) {
            COLORREF c = kTransparent;
            switch (kIcon[y][x]) {
            case 'k': c = 0x000000; break;
            case 'y': c = 0x80FFFF; break;
            case 'g': c = 0x808080; break;
            default: break;
            }
            m_iconDC.SetPixel(x, y, c);
        }
}

void NoteList::Draw(CDC& dc, int page, int dispMag, int scrollX, int scrollY, int topOffset) {
    ComputeIconRects(page, dispMag, scrollX, scrollY, topOffset);
    if (m_iconRects.empty()) return;
    LoadIcon();
    if (!m_iconOld) return;
    for (const IconRect& r : m_iconRects)
        dc.TransparentBlt(r.rect.left, r.rect.top, kIconWidth, kIconHeight, &m_iconDC, 0, 0, kIconWidth, kIconHeight,
                          kTransparent);
}

int NoteList::HitTest(int, int x, int y) {
    for (const IconRect& r : m_iconRects) {
        if (CRect(r.rect).PtInRect(POINT{x, y})) {
            hitRect = r.rect;
            hitIndex = r.index;
            return 1;
        }
    }
    return 0;
}
