// Hyperlink hand-over between the page views of this process: a link whose
// address names a document that a view already shows is taken over by that
// view, which goes to the link's page or anchor, and nothing new is opened.
//
// Each view owns one receiver; receivers are asked in the order their views
// were made, and the first that takes the link ends the round. Everything
// runs on the UI thread.
#pragma once

class CVrViewerView;

// The registered message the receivers answer (its name).
constexpr const char VRV_WM_SHOWHYPERLINK[] = "VRV_WM_SHOWHYPERLINK";

struct HyperlinkRequest {
    const char* targetText = nullptr;  // the link's text (not read by receivers)
    const char* url = nullptr;         // the full address, anchor and parameters included
    int handled = 0;                   // set to 1 by the receiver that takes the link
};

class CMsgReceiverWnd {
public:
    explicit CMsgReceiverWnd(CVrViewerView* view);
    virtual ~CMsgReceiverWnd();
    CMsgReceiverWnd(const CMsgReceiverWnd&) = delete;
    CMsgReceiverWnd& operator=(const CMsgReceiverWnd&) = delete;

    // Takes the link when the view shows its document; 0 in every case.
    long OnShowHyperlink(unsigned long wParam, HyperlinkRequest* request);

private:
    CVrViewerView* m_pView;
};

// Asks the receivers in turn until one takes the request; 1 when one did.
int ShowHyperlinkEnumProc(HyperlinkRequest& request);
