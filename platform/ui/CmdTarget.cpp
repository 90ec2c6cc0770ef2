#include "platform/ui/CmdTarget.h"

void CCmdTarget::MapCommand(UINT nID, std::function<void()> handler) { commands_[nID] = std::move(handler); }

void CCmdTarget::MapCommandRange(UINT first, UINT last, std::function<void(UINT)> handler) {
    commandRanges_[first] = Range{last, std::move(handler), nullptr};
}

void CCmdTarget::MapUpdateUI(UINT nID, std::function<void(CCmdUI*)> handler) {
    updates_[nID] = std::move(handler);
}

void CCmdTarget::MapUpdateUIRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler) {
    updateRanges_[first] = Range{last, nullptr, std::move(handler)};
}

BOOL CCmdTarget::DispatchOwn(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (nCode == CN_COMMAND) {
        auto c = commands_.find(nID);
        std::function<void()> call;
        if (c != commands_.end()) {
            call = c->second;
        } else {
            for (auto& [first, r] : commandRanges_)
                if (nID >= first && nID <= r.last) {
                    auto fn = r.command;
                    call = [fn, nID] { fn(nID); };
                    break;
                }
        }
        if (!call) return FALSE;
        if (pHandlerInfo) {
            pHandlerInfo->pTarget = this;
            return TRUE;
        }
        call();
        return TRUE;
    }
    if (nCode == CN_UPDATE_COMMAND_UI) {
        std::function<void(CCmdUI*)> call;
        auto u = updates_.find(nID);
        if (u != updates_.end()) {
            call = u->second;
        } else {
            for (auto& [first, r] : updateRanges_)
                if (nID >= first && nID <= r.last) {
                    call = r.update;
                    break;
                }
        }
        if (!call) return FALSE;
        if (pHandlerInfo) {
            pHandlerInfo->pTarget = this;
            return TRUE;
        }
        auto* ui = static_cast<CCmdUI*>(pExtra);
        if (!ui) return FALSE;
        ui->m_bContinueRouting = FALSE;
        call(ui);
        // A handler may pass the update on to the next target.
        return !ui->m_bContinueRouting;
    }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    return DispatchOwn(nID, nCode, pExtra, pHandlerInfo);
}

void CCmdUI::Enable(BOOL) { m_bEnableChanged = TRUE; }
void CCmdUI::SetCheck(int) {}
void CCmdUI::SetText(const char*) {}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
    if (m_nID == 0 || !pTarget) return TRUE;
    m_bEnableChanged = FALSE;
    BOOL handled = pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
    if (bDisableIfNoHndler && !m_bEnableChanged) {
        // Not decided by a handler: enabled when someone handles the command.
        AFX_CMDHANDLERINFO info;
        Enable(pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
    }
    return handled;
}
