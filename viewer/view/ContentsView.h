// CContentsView: the "Contents" tab of the layout bar. A 50-pixel header
// shows the document's title, author, year and organisation (a title too
// wide for the bar opens in a tip while the pointer is over it); below it a
// tree of the contents file's entries. Selecting an entry shows its page in
// the page view.
#pragma once

#include <string>

#include "platform/ui/View.h"
#include "viewer/view/ContentsFile.h"

class CVrViewerView;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class CContentsView : public CView {
public:
    static constexpr int kHeaderHeight = 50;
    // Largest contents file read from the web.
    static constexpr size_t kWebLimit = size_t(8) << 20;

    CContentsView();
    ~CContentsView() override;

    // Reads the contents file of the view's document (beside it, else in the
    // contents folder) and fills the header and the tree.
    void ReadTocFile(CVrViewerView* view);
    // The text at a web address, tried as given and with the extension
    // "TOC" and "Toc"; the first answer that is a contents file, else empty.
    // A server that cannot be reached is reported unless reportUnreachable
    // is false (the document's own fetch reports its server).
    static std::string GetWebTocFile(const std::string& address, bool reportUnreachable = true);
    // Header and tree from parsed contents.
    void Fill(const TocData& toc);

    CVrViewerView* GetVrView() const { return m_pVrView; }
    QTreeWidget* GetTree() const { return m_tree; }
    QLabel* GetTip() const { return m_tip; }
    const CString& GetTitle() const { return m_title; }
    const CString& GetAuthor() const { return m_author; }
    int IsTitleCut() const { return m_titleCut; }

    int OnCreate(LPCREATESTRUCT cs) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnDraw(CDC* pDC) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnDestroy() override;

private:
    void OnSelChanged();
    void HideTip();

    QTreeWidget* m_tree = nullptr;
    QLabel* m_tip = nullptr;
    CString m_title, m_author, m_year, m_org;
    int m_titleWidth = 0, m_titleHeight = 0;
    int m_titleCut = 0;
    CVrViewerView* m_pVrView = nullptr;
};
