// CDialog: a dialog. Its controls are made in code by the subclass (in
// OnInitDialog, or BuildDialog before it) and registered by control id;
// DoModal runs through the modal answerer of MessageBox.h, so tests and
// headless runs script it. The OK and Cancel buttons call OnOK / OnCancel,
// which end a modal dialog through EndDialog. A modeless dialog (Create)
// stays until DestroyWindow; its OnOK / OnCancel must end it that way.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QPointer>
#include <map>

#include "platform/ui/Wnd.h"

using INT_PTR = intptr_t;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // IDOK, IDCANCEL or what EndDialog was given; -1 when the dialog could not be made.
    virtual INT_PTR DoModal();
    // Modeless: builds the dialog, runs OnInitDialog and shows it.
    virtual BOOL Create(CWnd* pParentWnd = nullptr);
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd) {
        m_nIDTemplate = nIDTemplate;
        return Create(pParentWnd);
    }
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    void EndDialog(int nResult);

    UINT GetTemplateID() const { return m_nIDTemplate; }
    // A termination signal cancels a visible dialog marked so (as its Cancel
    // button does) before the program ends: one that stands for work in
    // progress, such as a print job.
    static void MarkCancelledOnTermination(QDialog& dialog);
    static bool IsCancelledOnTermination(const QDialog& dialog);
    QDialog* GetDialog() const { return m_dialog; }

    // Controls by id.
    void AddDlgItem(UINT nID, QWidget* widget);
    QWidget* GetDlgItemWidget(UINT nID) const;
    void SetDlgItemText(UINT nID, const char* lpszString);
    CString GetDlgItemText(UINT nID) const;
    void CheckDlgButton(UINT nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(UINT nIDButton) const;

protected:
    // Makes the dialog's widgets; the default gives an OK and a Cancel button.
    virtual void BuildDialog(QDialog& dialog);
    // A button box with OK and/or Cancel in the string table's words, wired
    // to accept and reject and registered as IDOK and IDCANCEL; the caller
    // places it in its layout.
    enum { kOkButton = 1, kCancelButton = 2, kOkCancel = 3 };
    QDialogButtonBox* AddButtonBox(QDialog& dialog, int buttons = kOkCancel, bool okDefault = true);

private:
    friend class DialogWidget;
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    QPointer<QDialog> m_dialog;
    std::map<UINT, QPointer<QWidget>> m_items;
    int m_nModalResult = -1;
    bool m_ended = false;
    bool m_modeless = false;
};
