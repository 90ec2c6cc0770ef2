// "File Associations": one check box per document kind, Select All and
// Deselect All. Ticking PostScript or PDF while Ghostscript is missing asks
// whether to open the Ghostscript download page.
#pragma once

#include <vector>

#include "viewer/prefs/PrefPages.h"

class QCheckBox;

inline constexpr char kGhostscriptDownloadPage[] = "https://packages.debian.org/stable/libgs10";

class FileAssocPPage : public CPrefPage {
public:
    static constexpr unsigned IDS_GHOSTSCRIPT_MISSING = 45102;
    FileAssocPPage() : CPrefPage(190, "File Associations") {}

    void SetGhostscriptInstalled(int installed) { m_ghostscriptInstalled = installed; }
    // Keeps up to four states for the boxes; asks the Ghostscript question
    // when PostScript or PDF is set and Ghostscript is missing.
    void SetStates(int count, const int* states);
    // The four states, count of them at most.
    std::vector<int> GetStates() const;

    void Load() override;
    void OnSelectAll();
    void OnClearAll();
    void OnClicked(int kind);

    int m_states[4] = {};
    int m_ghostscriptInstalled = 0;
    int m_count = 4;
    int m_changed = 0;

protected:
    void Build(QWidget& page) override;

private:
    void AskForGhostscript();
    QCheckBox* m_boxes[4] = {};
};
