// SizingControlBar: a docked control bar whose size the user changes by
// dragging its inner edge (the side facing the document). While the button
// is held a tracker line follows the pointer; on release the bar takes the
// new size and tells its frame its width.
#pragma once

#include <QPointer>

#include "platform/ui/ControlBars.h"

class QRubberBand;

class SizingControlBar : public CControlBar {
public:
    SizingControlBar();
    ~SizingControlBar() override;

    // A child of pParentWnd with the given size (every cx = cx, every cy = cy).
    virtual BOOL Create(CWnd* pParentWnd, int cx, int cy, UINT nID, DWORD dwStyle);

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    CSize CalcDynamicLayout(int nLength, DWORD nMode) override;
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

    // The new size after the tracker moved by delta (x for bars docked left
    // or right, y for top and bottom) away from where the drag began: grows
    // away from the document side, at least minimum, at most maximum.
    static int DraggedSize(int oldSize, int delta, UINT nDockBarID, int minimum, int maximum);

    // The bar's size along its docked side's normal (vertical cx or
    // horizontal cy) becomes the widget's fixed extent.
    void ApplySize();
    // Which dock bar holds the bar (AFX_IDW_DOCKBAR_*), when a frame places
    // it itself instead of DockControlBar.
    void SetDockBarID(UINT nID) { m_nDockBarID = nID; }
    BOOL IsHorz() const { return IsHorzDocked(); }
    bool IsTracking() const { return m_bTracking != 0; }
    CSize GetVertSize() const { return m_szVert; }
    CSize GetHorzSize() const { return m_szHorz; }
    // The sizing edge in the bar's own coordinates (empty when not docked).
    CRect GetBorderRect() const;

    void OnPaint() override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonDblClk(UINT, CPoint) override {}
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnKillFocus(CWnd* pNewWnd) override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) override;
    void OnDestroy() override;

protected:
    // Called after every button release on the bar, with the vertical cx.
    virtual void ReportWidth();
    // Where the frame's client area ends, in the bar's coordinates.
    CRect FrameClientRect() const;

    CSize m_szMin{10, 10};
    CSize m_szHorz{200, 200};
    CSize m_szVert{200, 200};
    CSize m_szFloat{200, 200};
    CRect m_rectBorder;
    CRect m_rectTracker;
    CPoint m_ptOld;
    int m_bTracking = 0;
    int m_cxEdge = 6;

private:
    void StartTracking(CPoint point);
    void StopTracking(BOOL bAccept);
    void OnInvertTracker(const CRect& rect);

    QPointer<QRubberBand> m_tracker;
};
