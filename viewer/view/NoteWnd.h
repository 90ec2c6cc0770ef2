// The note window and the Note Properties dialog.
//
// NotePopupDlg is the small yellow window, a child of the page view, in
// which one note is read and edited. It is dragged by its body, ignores
// Escape, closes with its close button and, when it goes, writes its text
// back to its own note (only a new note or a changed text is written). A
// read-only window (opened by hovering over an icon) writes nothing.
// NotePropDlg shows a note's time stamp and edits its author's name.
#pragma once

#include <string>

#include "platform/ui/Dialog.h"
#include "platform/ui/Wnd.h"

class CVrViewerView;
class QLabel;
class QPlainTextEdit;
class QToolButton;

constexpr UINT IDD_NOTE_POPUP = 221;
constexpr UINT IDD_NOTE_PROPERTIES = 226;
constexpr UINT IDC_NOTE_EDIT = 1082;
constexpr UINT IDC_NOTE_CLOSE = 1091;
constexpr UINT IDC_NOTE_TIME = 1092;
constexpr UINT IDC_NOTE_HEADER = 1094;

class NotePopupDlg : public CWnd {
public:
    // Layered (translucent) windows; on when the system composes windows.
    static inline bool s_layeredWindowsAllowed = true;
    static constexpr double kOpacity = 204.0 / 255.0;
    static constexpr int kWidth = 210, kHeight = 140;

    NotePopupDlg(CVrViewerView* view, int noteIndex, bool isNew, bool readOnly);

    // Makes the window as a child of the view at (x, y) and shows it.
    BOOL Create(int x, int y, bool translucent);

    int GetNoteIndex() const { return m_noteIndex; }
    bool IsReadOnly() const { return m_readOnly; }
    bool IsTranslucent() const { return m_translucent; }
    QPlainTextEdit* GetEdit() const { return m_edit; }
    QLabel* GetHeader() const { return m_header; }
    QToolButton* GetCloseButton() const { return m_close; }

    // What the window gives back when it closes: the text goes to its note
    // when the note is new or the text was changed, and then the note's time
    // is stamped. Nothing for a read-only window.
    void Finish(const std::string& text, bool modified);

protected:
    void OnDestroy() override;
    void PostNcDestroy() override;

private:
    CVrViewerView* m_pView;
    int m_noteIndex;
    bool m_new;
    bool m_readOnly;
    bool m_translucent = false;
    bool m_finished = false;
    QPlainTextEdit* m_edit = nullptr;
    QLabel* m_header = nullptr;
    QToolButton* m_close = nullptr;
};

class NotePropDlg : public CDialog {
public:
    NotePropDlg(CVrViewerView* view, const std::string& author, const std::string& time);

    BOOL OnInitDialog() override;
    void OnOK() override;

    // After OK.
    const std::string& GetAuthor() const { return m_author; }

protected:
    void BuildDialog(QDialog& dialog) override;

private:
    std::string m_author;
    std::string m_time;
};
