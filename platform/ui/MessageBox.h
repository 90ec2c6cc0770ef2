// Message boxes and modal runs. Every modal interaction goes through an
// answerer that tests (or a headless run) can replace with a script; without
// a script a real Qt dialog runs on the UI thread. Calls from other threads
// are carried to the UI thread and wait for the answer.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/ui/AfxIds.h"

class CWnd;
class QDialog;
class QWidget;

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    UINT type = MB_OK;
};
// Returns IDOK, IDYES, ... for the request.
using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;
// Installs a script; an empty function restores the real message box.
void AfxSetMessageBoxAnswerer(MessageBoxAnswerer answerer);

// The id of the default button of a box of this type (MB_DEFBUTTONn).
int AfxDefaultMessageBoxResult(UINT nType);

// The window a box sits on: the owner's, else the main window's, when that
// window is shown; null otherwise, and the box is centred on the screen.
QWidget* AfxMessageBoxParent(CWnd* owner);

// Caption null: the application's name.
int AfxShowMessageBox(CWnd* pOwner, const char* lpszText, const char* lpszCaption, UINT nType);
// From a worker: gives up and returns 0 when *stop becomes non-zero before
// the box was shown.
int AfxShowMessageBox(CWnd* pOwner, const char* lpszText, const char* lpszCaption, UINT nType,
                      const std::atomic<int>* stop);
int AfxMessageBox(const char* lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = UINT(-1));
// The plain window-system form, owner may be null.
int MessageBox(CWnd* pOwner, const char* lpszText, const char* lpszCaption, UINT nType);

// Modal dialogs: the answerer receives the dialog's resource id and the
// dialog (already built, not shown) and returns what DoModal returns.
using DialogAnswerer = std::function<int(UINT nIDTemplate, QDialog& dialog)>;
void AfxSetDialogAnswerer(DialogAnswerer answerer);
int AfxRunModalDialog(QDialog& dialog, UINT nIDTemplate);

// True when no script is set and the platform cannot show anything
// (offscreen or minimal): modal runs then return their default at once.
bool AfxIsHeadless();
