// CThumbnailView: the "Thumbnails" tab of the layout bar, a vertically
// scrolling strip of small page images laid out by the page view's
// page-size table. Painting copies the thumbnails already made; the ones
// still missing are made one per timer tick, only for the visible entries,
// and the images kept are bounded by a byte budget (least recently used go
// first). A click shows the page in the page view; a page change there
// brings its thumbnail into view a second later.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/ui/View.h"
#include "viewer/view/VrViewerView.h"

class QScrollBar;

namespace thumbgeo {

using Entry = CVrViewerView::PageSizeEntry;
// The page number below each thumbnail.
constexpr int kLabelHeight = 15;
constexpr int kLineStep = 20, kPageStep = 200;

// The strip's height: the last entry's bottom plus the margin; 0 without entries.
int StripHeight(const std::vector<Entry>& table, int margin);
// Entries (their labels included) that meet strip rows [top, bottom); first
// -1 when none does.
struct Range {
    int first = -1, last = -1;
};
Range VisibleRange(const std::vector<Entry>& table, int top, int bottom);
// The offset limited to 0 .. strip - client.
int ClampOffset(int offset, int strip, int client);
// The offset after a scroll bar code (viewgeo's kLineUp ...); pos for thumb codes.
int ScrollOffset(int code, int pos, int offset, int unit, int strip, int client);
// The entry whose rectangle strictly contains the strip point; -1 for none.
int HitTest(const std::vector<Entry>& table, int x, int y);
// The offset that shows an entry outside the visible rows centred.
int RecenterOffset(const Entry& e, int offset, int client, int strip);
// Scroll unit: 10 for more than 100 pages, else 1.
inline int ScrollUnit(int pages) { return pages > 100 ? 10 : 1; }

}  // namespace thumbgeo

class CThumbnailView : public CView {
public:
    static constexpr UINT_PTR ID_THUMBNAIL_DRAW_TIMER = 1;
    static constexpr UINT_PTR ID_THUMBNAIL_ADJUST_TIMER = 2;
    static constexpr size_t kDefaultCacheBudget = size_t(16) << 20;
    static constexpr COLORREF kCurrentFrame = 0xFF0000;
    static constexpr int kBarWidth = 16;

    CThumbnailView();
    ~CThumbnailView() override;

    // The page view whose pages are shown (handed over by the frame).
    void SetVrView(CVrViewerView* view);
    // The page view goes: nothing more is asked of it.
    void DetachVrView() { m_pVrView = nullptr; }
    CVrViewerView* GetVrView() const { return m_pVrView; }
    // The view's page changed: re-centre on it a second later.
    void AdjustPos(int page);
    void SetCacheBudget(size_t bytes) { m_cacheBudget = bytes; }

    int GetOffset() const { return m_offset; }
    int GetScrollUnit() const { return m_unit; }
    int GetSelectedPage() const { return m_selected; }
    size_t GetCachedBytes() const { return m_cacheBytes; }
    size_t GetCachedCount() const { return m_cache.size(); }
    QScrollBar* GetScrollBar() const { return m_bar; }
    // Strip height and the client's drawing height.
    int GetStripHeight() const;
    int GetClientHeight() const;

    int OnCreate(LPCREATESTRUCT cs) override;
    void OnDraw(CDC* pDC) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) override;
    void OnVScroll(UINT nSBCode, UINT nPos);
    void OnDestroy() override;

private:
    struct Cached {
        int page;
        int width, height;
        std::unique_ptr<CDC> dc;
    };
    const std::vector<thumbgeo::Entry>* Table() const;
    // Follows a rebuilt table: images of another size go, the unit and the
    // offset are brought up to date.
    void SyncTable();
    void SetScrollBar();
    void ScrollTo(int offset);
    void DrawThumbPage(CDC& dc, int entry);
    void DrawLabel(CDC& dc, const thumbgeo::Entry& e);
    void DrawSelectionRect(int page);
    void FrameEntry(CDC& dc, const thumbgeo::Entry& e, COLORREF colour);
    Cached* Find(int page);
    void Store(int page, int width, int height, std::unique_ptr<CDC> dc);
    // The next visible entry without an image (-1: none).
    int NextMissing() const;
    int CurrentPage() const;

    CVrViewerView* m_pVrView = nullptr;
    int m_offset = 0;
    int m_adjustPage = -1;
    int m_unit = 1;
    int m_selected = -1;
    int m_tableSerial = -1;
    thumbgeo::Range m_visible;
    // Most recently used first.
    std::list<Cached> m_cache;
    std::unordered_map<int, std::list<Cached>::iterator> m_index;
    size_t m_cacheBytes = 0;
    size_t m_cacheBudget = kDefaultCacheBudget;
    // Pages the view gives no image of (not asked again until the table changes).
    std::set<int> m_noImage;
    QScrollBar* m_bar = nullptr;
};
