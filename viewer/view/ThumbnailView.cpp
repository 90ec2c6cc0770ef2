#include "viewer/view/ThumbnailView.h"

#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/ui/WindowDC.h"
#include "viewer/view/ViewGeometry.h"

// ------------------------------------------------------------------ geometry

namespace thumbgeo {

int StripHeight(const std::vector<Entry>& table, int margin) { return table.empty() ? 0 : table.back().bottom + margin; }

Range VisibleRange(const std::vector<Entry>& table, int top, int bottom) {
    Range r;
    // Entries are stacked downwards: the first whose label reaches top, the
    // last whose top lies above bottom.
    auto first = std::lower_bound(table.begin(), table.end(), top,
                                  [](const Entry& e, int y) { return e.bottom + kLabelHeight < y; });
    auto last = std::lower_bound(table.begin(), table.end(), bottom, [](const Entry& e, int y) { return e.top < y; });
    if (first == table.end() || first >= last) return r;
    r.first = int(first - table.begin());
    r.last = int(last - table.begin()) - 1;
    return r;
}

int ClampOffset(int offset, int strip, int client) { return std::max(0, std::min(offset, strip - client)); }

int ScrollOffset(int code, int pos, int offset, int unit, int strip, int client) {
    int next = offset;
    switch (code) {
    case viewgeo::kLineUp: next = offset - kLineStep; break;
    case viewgeo::kLineDown: next = offset + kLineStep; break;
    case viewgeo::kPageUp: next = offset - kPageStep; break;
    case viewgeo::kPageDown: next = offset + kPageStep; break;
    case viewgeo::kThumbPosition:
    case viewgeo::kThumbTrack: next = unit * pos; break;
    case viewgeo::kTop: next = 0; break;
    case viewgeo::kBottom: next = strip; break;
    default: break;
    }
    return ClampOffset(next, strip, client);
}

int HitTest(const std::vector<Entry>& table, int x, int y) {
    const Range r = VisibleRange(table, y, y + 1);
    for (int i = std::max(0, r.first); r.first >= 0 && i <= r.last; ++i) {
        const Entry& e = table[size_t(i)];
        if (x > e.left && x < e.right && y > e.top && y < e.bottom) return i;
    }
    return -1;
}

int RecenterOffset(const Entry& e, int offset, int client, int strip) {
    const int centred = (e.top + e.bottom) / 2 - client / 2;
    if (e.bottom > offset + client) return std::max(0, std::min(centred, strip - client));
    if (e.top < offset) return std::max(0, centred);
    return offset;
}

}  // namespace thumbgeo

// ---------------------------------------------------------------- the view

using thumbgeo::Entry;

namespace {
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBackground = 0xFFFFFF;
}  // namespace

CThumbnailView::CThumbnailView() = default;

CThumbnailView::~CThumbnailView() {
    if (m_pVrView) m_pVrView->SetThumbnailView(nullptr);
}

void CThumbnailView::OnDestroy() {
    if (m_pVrView) m_pVrView->SetThumbnailView(nullptr);
    m_pVrView = nullptr;
    m_bar = nullptr;
    CView::OnDestroy();
}

int CThumbnailView::OnCreate(LPCREATESTRUCT) {
    m_bar = new QScrollBar(Qt::Vertical, GetWidget());
    m_bar->setSingleStep(1);
    m_bar->hide();
    QObject::connect(m_bar, &QAbstractSlider::actionTriggered, m_bar, [this](int action) {
        int code = -1;
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: code = viewgeo::kLineUp; break;
        case QAbstractSlider::SliderSingleStepAdd: code = viewgeo::kLineDown; break;
        case QAbstractSlider::SliderPageStepSub: code = viewgeo::kPageUp; break;
        case QAbstractSlider::SliderPageStepAdd: code = viewgeo::kPageDown; break;
        case QAbstractSlider::SliderMove: code = viewgeo::kThumbTrack; break;
        case QAbstractSlider::SliderToMinimum: code = viewgeo::kTop; break;
        case QAbstractSlider::SliderToMaximum: code = viewgeo::kBottom; break;
        default: break;
        }
        if (code >= 0) OnVScroll(UINT(code), UINT(std::max(0, m_bar->sliderPosition())));
        // The bar shows the view's position, not its own step.
        if (action != QAbstractSlider::SliderMove) m_bar->setSliderPosition(m_offset / m_unit);
    });
    return 0;
}

void CThumbnailView::SetVrView(CVrViewerView* view) {
    if (m_pVrView && m_pVrView != view) m_pVrView->SetThumbnailView(nullptr);
    m_pVrView = view;
    if (view) view->SetThumbnailView(this);
    m_tableSerial = -1;
    Invalidate(FALSE);
}

const std::vector<Entry>* CThumbnailView::Table() const {
    return m_pVrView ? &m_pVrView->GetPageSizeTable() : nullptr;
}

int CThumbnailView::GetStripHeight() const {
    const auto* t = Table();
    return t ? thumbgeo::StripHeight(*t, CVrViewerView::kThumbnailGap) : 0;
}

int CThumbnailView::GetClientHeight() const {
    RECT client;
    GetClientRect(&client);
    return client.bottom;
}

int CThumbnailView::CurrentPage() const {
    if (!m_pVrView) return -1;
    ViewStatus vs;
    m_pVrView->GetViewStatus(vs);
    return vs.page;
}

void CThumbnailView::SyncTable() {
    const auto* t = Table();
    const int serial = m_pVrView ? m_pVrView->GetPageSizeTableSerial() : -2;
    if (serial == m_tableSerial) return;
    m_tableSerial = serial;
    m_noImage.clear();
    // Images of pages that keep their size stay.
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        const bool keep = t && it->page < int(t->size()) && (*t)[size_t(it->page)].width == it->width &&
                          (*t)[size_t(it->page)].height == it->height;
        if (keep) {
            ++it;
            continue;
        }
        m_cacheBytes -= size_t(it->width) * size_t(it->height) * 4;
        m_index.erase(it->page);
        it = m_cache.erase(it);
    }
    m_unit = thumbgeo::ScrollUnit(t ? int(t->size()) : 0);
    if (t && m_selected >= int(t->size())) m_selected = -1;
    m_offset = thumbgeo::ClampOffset(m_offset, GetStripHeight(), GetClientHeight());
    SetScrollBar();
}

void CThumbnailView::SetScrollBar() {
    if (!m_bar) return;
    RECT client;
    GetClientRect(&client);
    const int strip = GetStripHeight();
    const int range = strip / m_unit, page = client.bottom / m_unit;
    // The window system's range 0..range with a page: the last position is range - page + 1.
    const QSignalBlocker quiet(m_bar);
    m_bar->setRange(0, std::max(0, range - page + 1));
    m_bar->setPageStep(std::max(1, page));
    m_bar->setValue(m_offset / m_unit);
    m_bar->setGeometry(client.right - kBarWidth, 0, kBarWidth, client.bottom);
    m_bar->setVisible(strip > client.bottom);
}

void CThumbnailView::ScrollTo(int offset) {
    if (offset == m_offset) return;
    m_offset = offset;
    SetScrollBar();
    Invalidate(FALSE);
}

void CThumbnailView::OnVScroll(UINT nSBCode, UINT nPos) {
    SyncTable();
    ScrollTo(thumbgeo::ScrollOffset(int(nSBCode), int(nPos), m_offset, m_unit, GetStripHeight(), GetClientHeight()));
}

BOOL CThumbnailView::OnMouseWheel(UINT, short zDelta, CPoint) {
    SyncTable();
    if (GetStripHeight() > GetClientHeight()) OnVScroll(zDelta < 1 ? viewgeo::kPageDown : viewgeo::kPageUp, 0);
    return TRUE;
}

void CThumbnailView::OnSize(UINT nType, int cx, int cy) {
    CView::OnSize(nType, cx, cy);
    m_offset = thumbgeo::ClampOffset(m_offset, GetStripHeight(), cy);
    SetScrollBar();
}

void CThumbnailView::OnDraw(CDC* pDC) {
    RECT client;
    GetClientRect(&client);
    pDC->FillSolidRect(0, 0, client.right, client.bottom, kBackground);
    SyncTable();
    const auto* t = Table();
    if (!t) return;
    m_visible = thumbgeo::VisibleRange(*t, m_offset, m_offset + client.bottom);
    if (m_visible.first < 0) return;
    for (int i = m_visible.first; i <= m_visible.last; ++i) DrawThumbPage(*pDC, i);
    if (NextMissing() >= 0) SetTimer(ID_THUMBNAIL_DRAW_TIMER, 1);
}

int CThumbnailView::NextMissing() const {
    const auto* t = Table();
    if (!t || m_visible.first < 0) return -1;
    for (int i = m_visible.first; i <= m_visible.last && i < int(t->size()); ++i) {
        const int page = (*t)[size_t(i)].page;
        if (!m_index.count(page) && !m_noImage.count(page)) return i;
    }
    return -1;
}

void CThumbnailView::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == ID_THUMBNAIL_ADJUST_TIMER) {
        KillTimer(ID_THUMBNAIL_ADJUST_TIMER);
        SyncTable();
        const auto* t = Table();
        if (!t || m_adjustPage < 0 || m_adjustPage >= int(t->size()) || m_adjustPage != CurrentPage()) return;
        ScrollTo(thumbgeo::RecenterOffset((*t)[size_t(m_adjustPage)], m_offset, GetClientHeight(), GetStripHeight()));
        Invalidate(FALSE);
        return;
    }
    if (nIDEvent != ID_THUMBNAIL_DRAW_TIMER) return CView::OnTimer(nIDEvent);
    SyncTable();
    if (!m_pVrView) return (void)KillTimer(ID_THUMBNAIL_DRAW_TIMER);
    // Not ready yet: the same entry is tried again on the next tick.
    if (!m_pVrView->ThumbnailsReady()) return;
    const int i = NextMissing();
    if (i < 0) return (void)KillTimer(ID_THUMBNAIL_DRAW_TIMER);
    const Entry e = m_pVrView->GetPageSizeTable()[size_t(i)];
    std::unique_ptr<CDC> image;
    if (m_pVrView->CreateThumbnail(e.page) > 0) image = CreateMemoryDC(e.width, e.height, 32);
    if (image) {
        image->FillSolidRect(0, 0, e.width, e.height, kWhite);
        if (m_pVrView->ThumbnailInDC()) {
            image->BitBlt(0, 0, e.width, e.height, &m_pVrView->GetThumbnailDC(), 0, 0, SRCCOPY);
        } else if (const BITMAPINFO* info = m_pVrView->GetThumbnailInfo(); info && m_pVrView->GetThumbnailBits()) {
            image->SetStretchBltMode(COLORONCOLOR);
            image->StretchDIBits(0, 0, e.width, e.height, 0, 0, info->bmiHeader.biWidth,
                                 std::abs(info->bmiHeader.biHeight), m_pVrView->GetThumbnailBits(), info,
                                 DIB_RGB_COLORS, SRCCOPY);
        }
        Store(e.page, e.width, e.height, std::move(image));
    } else {
        m_noImage.insert(e.page);
    }
    CClientDC dc(this);
    DrawThumbPage(dc, i);
}

CThumbnailView::Cached* CThumbnailView::Find(int page) {
    auto it = m_index.find(page);
    if (it == m_index.end()) return nullptr;
    m_cache.splice(m_cache.begin(), m_cache, it->second);
    return &*it->second;
}

void CThumbnailView::Store(int page, int width, int height, std::unique_ptr<CDC> dc) {
    if (auto it = m_index.find(page); it != m_index.end()) {
        m_cacheBytes -= size_t(it->second->width) * size_t(it->second->height) * 4;
        m_cache.erase(it->second);
        m_index.erase(it);
    }
    m_cache.push_front(Cached{page, width, height, std::move(dc)});
    m_index[page] = m_cache.begin();
    m_cacheBytes += size_t(width) * size_t(height) * 4;
    // The least recently used go first; the newest always stays.
    while (m_cacheBytes > m_cacheBudget && m_cache.size() > 1) {
        const Cached& old = m_cache.back();
        m_cacheBytes -= size_t(old.width) * size_t(old.height) * 4;
        m_index.erase(old.page);
        m_cache.pop_back();
    }
}

void CThumbnailView::FrameEntry(CDC& dc, const Entry& e, COLORREF colour) {
    CPen pen(PS_SOLID, 1, colour);
    CPen* oldPen = dc.SelectObject(&pen);
    CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
    const int top = e.top - m_offset, bottom = e.bottom - m_offset;
    dc.Rectangle(e.left - 1, top - 1, e.right + 1, bottom + 1);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

void CThumbnailView::DrawThumbPage(CDC& dc, int entry) {
    const auto* t = Table();
    if (!t || entry < 0 || entry >= int(t->size())) return;
    const Entry& e = (*t)[size_t(entry)];
    const int top = e.top - m_offset;
    dc.FillSolidRect(e.left + 3, top + 3, e.width, e.height, CVrViewerView::kThumbnailShadow);
    if (Cached* c = Find(e.page)) dc.BitBlt(e.left, top, e.width, e.height, c->dc.get(), 0, 0, SRCCOPY);
    else dc.FillSolidRect(e.left, top, e.width, e.height, kWhite);
    const bool current = e.page == CurrentPage();
    FrameEntry(dc, e, current ? kCurrentFrame : 0);
    DrawLabel(dc, e);
}

void CThumbnailView::DrawLabel(CDC& dc, const Entry& e) {
    // The page number in its box below the thumbnail.
    const int bottom = e.bottom - m_offset;
    CGdiObject* oldPen = dc.SelectStockObject(BLACK_PEN);
    CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
    const int mid = e.right / 2;
    dc.Rectangle(mid - 4, bottom + 1, mid + 26, bottom + 15);
    CFont font;
    font.CreateFont(14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    CFont* oldFont = dc.SelectObject(&font);
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    const UINT oldAlign = dc.SetTextAlign(TA_CENTER | TA_TOP);
    const COLORREF oldColour = dc.SetTextColor(0);
    char label[16];
    std::snprintf(label, sizeof label, "%d", e.page + 1);
    dc.TextOut(mid + 11, bottom + 1, label);
    dc.SetTextColor(oldColour);
    dc.SetTextAlign(oldAlign);
    dc.SetBkMode(oldMode);
    dc.SelectObject(oldFont);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

void CThumbnailView::DrawSelectionRect(int page) {
    const auto* t = Table();
    if (!t || page < 0 || page >= int(t->size())) return;
    CClientDC dc(this);
    if (m_selected >= 0 && m_selected < int(t->size()) && m_selected != page)
        FrameEntry(dc, (*t)[size_t(m_selected)], 0);
    FrameEntry(dc, (*t)[size_t(page)], kCurrentFrame);
    m_selected = page;
}

void CThumbnailView::OnLButtonUp(UINT, CPoint point) {
    SyncTable();
    const auto* t = Table();
    if (!t) return;
    const int i = thumbgeo::HitTest(*t, point.x, point.y + m_offset);
    if (i < 0) return;
    const int page = (*t)[size_t(i)].page;
    DrawSelectionRect(page);
    m_pVrView->GotoPage(page);
}

void CThumbnailView::AdjustPos(int page) {
    m_adjustPage = page;
    SetTimer(ID_THUMBNAIL_ADJUST_TIMER, 1000);
}
