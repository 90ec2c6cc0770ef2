// SizingTabBar: a sizing bar with a tab control whose tabs each hold one
// view. The shown tab's view is the frame's active view; a tab the user
// picks is reported to the frame.
#pragma once

#include <QPointer>
#include <QTabBar>
#include <vector>

#include "platform/ui/DocTemplate.h"
#include "viewer/frames/SizingControlBar.h"

class CView;

class SizingTabBar : public SizingControlBar {
public:
    // A tab: its view and label (at most 31 characters).
    struct TabEntry {
        CView* pView = nullptr;
        char szLabel[32] = {};
    };

    SizingTabBar();
    ~SizingTabBar() override;

    // Tab views are made inside the tab control.
    QWidget* GetClientWidget() const override;
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnDestroy() override;

    // Makes a view of the class as a new last tab. FALSE when its window
    // cannot be made.
    BOOL AddView(const char* lpszLabel, const ViewFactory& viewClass, CCreateContext* pContext = nullptr);
    // Shows tab nView (nothing for -1 or the shown tab).
    void SelectTab(int nView);
    // The first tab whose view is a V.
    template <class V>
    void SetActiveView() {
        for (size_t i = 0; i < m_views.size(); ++i)
            if (dynamic_cast<V*>(m_views[i].pView)) return SelectTab(int(i));
    }
    template <class V>
    V* GetView() const {
        for (const TabEntry& e : m_views)
            if (auto* v = dynamic_cast<V*>(e.pView)) return v;
        return nullptr;
    }
    CView* GetTabView(int nView) const;
    CView* GetActiveView() const { return m_pActiveView; }
    int GetActiveTab() const { return m_nActiveTab; }
    int GetTabCount() const { return int(m_views.size()); }
    // The tab entry goes; its view window stays.
    void RemoveView(int nView);
    QTabBar* GetTabCtrl() const { return m_tabCtrl; }

    // A tab picked by the user: shown, and its index told to the frame.
    void OnTabSelChange();

private:
    QPointer<QWidget> m_tabFrame;
    QPointer<QTabBar> m_tabCtrl;
    QPointer<QWidget> m_pages;
    int m_nActiveTab = -1;
    CView* m_pActiveView = nullptr;
    std::vector<TabEntry> m_views;
};
