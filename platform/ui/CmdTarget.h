// Command targets and update-UI. A target keeps a table of command ids to
// handlers (its message map) and passes what it does not handle along the
// routing chain (view, document, frame, application) in OnCmdMsg.
#pragma once

#include <functional>
#include <map>

#include "platform/core/CString.h"

class CCmdUI;

constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

// Non-null in OnCmdMsg: only ask whether a handler exists; do not call it.
struct AFX_CMDHANDLERINFO {
    class CCmdTarget* pTarget = nullptr;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // nCode CN_COMMAND calls the command handler; CN_UPDATE_COMMAND_UI calls the
    // update handler with pExtra pointing to a CCmdUI. TRUE when handled.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // Routes a command from its start (the main frame) to its handler.
    BOOL SendCommand(UINT nID) { return OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr); }

protected:
    // Message-map entries, made in the constructor of the class that handles them.
    void MapCommand(UINT nID, std::function<void()> handler);
    void MapCommandRange(UINT first, UINT last, std::function<void(UINT)> handler);
    void MapUpdateUI(UINT nID, std::function<void(CCmdUI*)> handler);
    void MapUpdateUIRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler);

    template <class T>
    void MapCommand(UINT nID, void (T::*fn)()) {
        T* self = static_cast<T*>(this);
        MapCommand(nID, [self, fn] { (self->*fn)(); });
    }
    template <class T>
    void MapUpdateUI(UINT nID, void (T::*fn)(CCmdUI*)) {
        T* self = static_cast<T*>(this);
        MapUpdateUI(nID, [self, fn](CCmdUI* ui) { (self->*fn)(ui); });
    }

    // Looks in this target's own table only.
    BOOL DispatchOwn(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

private:
    struct Range {
        UINT last;
        std::function<void(UINT)> command;
        std::function<void(CCmdUI*)> update;
    };
    std::map<UINT, std::function<void()>> commands_;
    std::map<UINT, std::function<void(CCmdUI*)>> updates_;
    std::map<UINT, Range> commandRanges_, updateRanges_;
};

// Update-UI state of one user-interface item (menu item, toolbar button,
// status pane). An item whose update handler never calls Enable is enabled
// when some target handles its command.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    BOOL m_bEnableChanged = FALSE;
    BOOL m_bContinueRouting = FALSE;

    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL bOn = TRUE);
    // 0 unchecked, 1 checked, 2 indeterminate.
    virtual void SetCheck(int nCheck = 1);
    virtual void SetRadio(BOOL bOn = TRUE) { SetCheck(bOn ? 1 : 0); }
    virtual void SetText(const char* lpszText);
    void ContinueRouting() { m_bContinueRouting = TRUE; }

    // Routes the update through target. With bDisableIfNoHndler, an item that
    // no handler enabled or disabled is enabled exactly when the command has a
    // handler on the route.
    BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
};
