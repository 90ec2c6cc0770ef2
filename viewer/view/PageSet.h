// PageSet: what the page view does its own way for each kind of document,
// behind one interface. The view makes one page set when it learns the
// document's kind (CVrViewerView::SetDocType, through MakePageSet) and
// forwards to it: the status record's kind-specific fields, applying a record,
// painting the page, printing, the first page to show, thumbnails, the kind's
// saved settings and its preference sheet. DviPages draws DVI pages from the
// document's reader; TiffPages decodes TIFF pages; PsPages renders PDF pages
// (PostScript once converted) with Ghostscript. The base class is a document
// whose kind is not yet known or not shown (a packed file still arriving).
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/core/WinTypes.h"
#include "viewer/document/DocumentView.h"
#include "viewer/res/ViewStrings.h"

class CDC;
class CVrViewerView;
struct ViewStatus;

class PageSet {
public:
    explicit PageSet(CVrViewerView& view) : m_view(view) {}
    virtual ~PageSet() = default;
    PageSet(const PageSet&) = delete;
    PageSet& operator=(const PageSet&) = delete;

    // ---- what the kind offers ----
    // Pages drawn from the DVI reader: text, selection of text, search,
    // notes, the magnifier and DVI links.
    virtual bool HasText() const { return false; }
    // Ghostscript renders the document (its depth is a saved setting).
    virtual bool UsesGhostscript() const { return false; }
    // The pointer over the page shows PDF links.
    virtual bool ShowsPdfLinkCursor() const { return false; }
    // A click on the page follows a PDF link (and selects nothing).
    virtual bool ClickFollowsPdfLink() const { return true; }
    // PDF links of the document can be found on the shown page.
    virtual bool HasPdfLinks() const { return false; }
    // The band's shown state is kept in the settings.
    virtual bool KeepsToolbarSetting() const { return true; }

    // ---- the kind's life ----
    // The set was just made for the view's document.
    virtual void Start() {}
    // The kind's own fields of the status record.
    virtual void FillStatus(ViewStatus&) const {}
    // Applies a record.
    virtual void SetStatus(ViewStatus&) {}
    // The kind's own part of the address's request.
    virtual void ApplyRequest(const InitialViewRequest&, ViewStatus&) const {}
    // Shows the first page the request names once it has arrived.
    virtual void FindInitialViewTarget() {}
    // The page count went from previous to count.
    virtual void PageCountChanged(int previous, int count);
    // Paints the shown page; false when there is none to paint.
    virtual bool Paint(CDC&, const RECT&, const ViewStatus&) { return false; }
    // The File Print command.
    virtual void Print() {}
    // The kind's saved settings.
    virtual void LoadSettings() {}
    virtual void SaveSettings() {}
    // The kind has a preference sheet.
    virtual bool HasOptions() const { return false; }
    // Thumbnail sizes of count pages (pixels); the image of one.
    virtual std::vector<std::pair<int, int>> ThumbnailSizes(int count);
    virtual int CreateThumbnail(int) { return 0; }
    // The thumbnail is left in the view's thumbnail DC (else in its DIB).
    virtual bool ThumbnailInDC() const { return false; }

protected:
    CVrViewerView& m_view;
};

// A packed (gzip) document whose content is still to arrive.
class PackedPages : public PageSet {
public:
    using PageSet::PageSet;
    bool KeepsToolbarSetting() const override { return false; }
    void Print() override;
};

class DviPages : public PageSet {
public:
    using PageSet::PageSet;
    bool HasText() const override { return true; }
    bool ClickFollowsPdfLink() const override { return false; }
    void FillStatus(ViewStatus& vs) const override;
    void SetStatus(ViewStatus& vs) override;
    void ApplyRequest(const InitialViewRequest& request, ViewStatus& vs) const override;
    void FindInitialViewTarget() override;
    void PageCountChanged(int previous, int count) override;
    bool Paint(CDC& dc, const RECT& area, const ViewStatus& vs) override;
    void Print() override;
    void LoadSettings() override;
    void SaveSettings() override;
    bool HasOptions() const override { return true; }
    int CreateThumbnail(int page) override;
    bool ThumbnailInDC() const override { return true; }
};

// TIFF and PDF pages: one image per page, stretched over the page.
class ImagePages : public PageSet {
public:
    using PageSet::PageSet;
    void Start() override;
    void FindInitialViewTarget() override;
    void PageCountChanged(int previous, int count) override;
    bool Paint(CDC& dc, const RECT& area, const ViewStatus& vs) override;
    bool HasOptions() const override { return true; }
    // What the page area says when the page has no image.
    // The string id of the text shown where no page image is, 0 for none.
    virtual UINT NoImageTextId() const { return 0; }
};

class TiffPages : public ImagePages {
public:
    using ImagePages::ImagePages;
    bool ClickFollowsPdfLink() const override { return false; }
    void FillStatus(ViewStatus& vs) const override;
    void SetStatus(ViewStatus& vs) override;
    void Print() override;
    std::vector<std::pair<int, int>> ThumbnailSizes(int count) override;
    int CreateThumbnail(int page) override;
};

// PostScript before its conversion to PDF: no pages to show yet.
class RawPsPages : public PageSet {
public:
    using PageSet::PageSet;
    bool UsesGhostscript() const override { return true; }
    bool ShowsPdfLinkCursor() const override { return true; }
    void Print() override;
    void LoadSettings() override;
    void SaveSettings() override;
};

// PDF pages (PostScript once converted) rendered by Ghostscript.
class PsPages : public ImagePages {
public:
    using ImagePages::ImagePages;
    bool UsesGhostscript() const override { return true; }
    bool ShowsPdfLinkCursor() const override { return true; }
    bool HasPdfLinks() const override { return true; }
    void Start() override;
    void FillStatus(ViewStatus& vs) const override;
    void SetStatus(ViewStatus& vs) override;
    void Print() override;
    void LoadSettings() override;
    void SaveSettings() override;
    std::vector<std::pair<int, int>> ThumbnailSizes(int count) override;
    int CreateThumbnail(int page) override;
    UINT NoImageTextId() const override { return IDS_VIEW_FORMAT_NOT_SHOWN; }
};

// The page set of a document kind (kDocDvi ...).
std::unique_ptr<PageSet> MakePageSet(int kind, CVrViewerView& view);
