#include "viewer/view/ViewHyperlink.h"

#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include <QWidget>

#include "platform/ui/FrameWnd.h"
#include "viewer/document/AddressParameters.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"

namespace {
// The receivers of this process, oldest first.
std::vector<CMsgReceiverWnd*>& Receivers() {
    static std::vector<CMsgReceiverWnd*> receivers;
    return receivers;
}
}  // namespace

CMsgReceiverWnd::CMsgReceiverWnd(CVrViewerView* view) : m_pView(view) { Receivers().push_back(this); }

CMsgReceiverWnd::~CMsgReceiverWnd() {
    auto& r = Receivers();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

long CMsgReceiverWnd::OnShowHyperlink(unsigned long, HyperlinkRequest* request) {
    if (!request || !request->url || !m_pView) return 0;
    CVrViewerDoc* doc = m_pView->GetDocument();
    if (!doc || !doc->IsAddressRecorded()) return 0;
    const std::string base = SplitAddress(request->url).base;
    const std::string address = doc->GetAddress().IsNull() ? std::string() : doc->GetAddress().c_str();
    // Web addresses compare without regard to case; file names are exact,
    // as the file system is.
    const bool same = IsWebAddress(base) ? strcasecmp(base.c_str(), address.c_str()) == 0 : base == address;
    if (!same) return 0;
    request->handled = 1;
    m_pView->TakeHyperlink(request->url);
    return 0;
}

int ShowHyperlinkEnumProc(HyperlinkRequest& request) {
    // A copy: a receiver's view may open or close views.
    const std::vector<CMsgReceiverWnd*> receivers = Receivers();
    for (CMsgReceiverWnd* r : receivers) {
        const auto& now = Receivers();
        if (std::find(now.begin(), now.end(), r) == now.end()) continue;
        r->OnShowHyperlink(0, &request);
        if (request.handled) return 1;
    }
    return 0;
}

void CVrViewerView::TakeHyperlink(const char* url) {
    // The view applies the link's parameters and finds its target afresh.
    m_initialStatusApplied = 0;
    m_initialViewEstablished = 0;
    m_tagShown = 0;
    if (CVrViewerDoc* doc = GetDocument()) doc->TakeHyperlink(String8(url));
    UpdateToolbarStatus();
    // The view that moved comes to the front, where the person looks.
    if (CFrameWnd* frame = GetParentFrame()) {
        if (auto* child = dynamic_cast<CMDIChildWnd*>(frame)) {
            child->MDIActivate();
        } else if (QWidget* w = frame->GetWidget()) {
            w->raise();
            w->activateWindow();
        }
    }
}
