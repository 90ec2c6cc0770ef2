// The preference pages: each page is a tab of a PrefSheet. A caller fills a
// page's members before the sheet is shown and reads them after OK. A page
// makes its controls in Build, shows its members in Load, checks the controls
// in Validate (a message names the first bad field) and copies them back into
// the members in Save.
#pragma once

#include <functional>

#include <QWidget>

#include "base/String8.h"
#include "viewer/document/PaperSize.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QLabel;

// Zoom combos: -1 fit width, -2 fit height, else 0 to 300 percent.
int PrefZoomFromText(const String8& text, const String8& widthItem, const String8& heightItem);
// Colour depth combos: index 0 24 bits, 1 8, 2 4, 3 1.
int PrefBitsFromIndex(int index);
int PrefIndexFromBits(int bits);
// Millimetres to 1/10000 mm, rounded half away from zero.
int PrefMmToUnits(double mm);

class CPrefPage {
public:
    CPrefPage(unsigned nIDTemplate, const char* title) : m_nIDTemplate(nIDTemplate), m_title(title) {}
    virtual ~CPrefPage() = default;
    unsigned GetTemplateID() const { return m_nIDTemplate; }
    const char* GetTitle() const { return m_title; }
    QWidget* GetWidget() const { return m_widget; }

    QWidget* Create(QWidget* parent);
    virtual void Load() {}
    // Empty when the controls hold acceptable values, else the message to show.
    virtual String8 Validate() { return {}; }
    virtual void Save() {}

protected:
    virtual void Build(QWidget& page) = 0;
    QWidget* m_widget = nullptr;

private:
    unsigned m_nIDTemplate;
    const char* m_title;
};

// "Display" (DVI documents).
class PrefDispPPage : public CPrefPage {
public:
    PrefDispPPage() : CPrefPage(107, "Display") {}
    int m_zoom = 100;          // -1 fit width, -2 fit height
    int m_page = 1;            // 0 to 20000
    double m_leftMargin = 25.4, m_topMargin = 25.4;  // millimetres
    int m_scrollBarIndex = 3;  // None, Horizontal, Vertical, Both
    PaperSize m_paper{PaperSize::kA4, 0};
    int m_pageCount = 0;

    void Load() override;
    String8 Validate() override;
    // A custom paper above 1500 mm shows a note (the values stay).
    void Save() override;
    virtual void ResetDefault();

protected:
    void Build(QWidget& page) override;

private:
    void UpdatePaperControls();
    QComboBox *m_zoomBox = nullptr, *m_scrollBox = nullptr, *m_paperBox = nullptr;
    QLineEdit *m_pageEdit = nullptr, *m_leftEdit = nullptr, *m_topEdit = nullptr, *m_widthEdit = nullptr,
              *m_heightEdit = nullptr;
    QRadioButton *m_portrait = nullptr, *m_landscape = nullptr;
    QLabel* m_total = nullptr;
};

// "Magnification Glass".
class PrefMagGlassPPage : public CPrefPage {
public:
    PrefMagGlassPPage() : CPrefPage(109, "Magnification Glass") {}
    int m_width = 200, m_height = 200;  // 1 to 5000
    int m_monochrome = 1;
    int m_magnification = 250;          // 10 to 500 percent
    // The system's memory load in percent (from /proc/meminfo); clearing the
    // monochrome box above 85 % asks first.
    std::function<int()> m_memoryLoad;

    void Load() override;
    String8 Validate() override;
    void Save() override;
    virtual void ResetDefault();
    static int SystemMemoryLoad();

protected:
    void Build(QWidget& page) override;

private:
    QLineEdit *m_widthEdit = nullptr, *m_heightEdit = nullptr;
    QCheckBox* m_mono = nullptr;
    QComboBox* m_magBox = nullptr;
};

// "GhostScript": the folder, the library path and the two colour depths.
class PrefGSPPage : public CPrefPage {
public:
    PrefGSPPage() : CPrefPage(125, "GhostScript") {}
    String8 m_folder, m_libraryPath;
    int m_screenBits = 8, m_printBits = 1;

    void Load() override;
    void Save() override;

protected:
    void Build(QWidget& page) override;

private:
    QLineEdit *m_folderEdit = nullptr, *m_libEdit = nullptr;
    QComboBox *m_screenBox = nullptr, *m_printBox = nullptr;
};

// The display pages of PostScript / PDF (191, colour depth) and TIFF (157,
// rotation) documents: zoom, page and scroll bars, and the one combo.
class PrefDispPPageOther : public CPrefPage {
public:
    int m_page = 1;             // 0 to 20000
    int m_scrollBarIndex = -1;
    int m_zoom = 100;           // -1 fit width, -2 fit height
    int m_color = 0;            // bits per pixel (PostScript) or rotation 0 to 3 (TIFF)
    int m_pageCount = 0;

    void Load() override;
    String8 Validate() override;
    void Save() override;

protected:
    PrefDispPPageOther(unsigned nIDTemplate, const char* title) : CPrefPage(nIDTemplate, title) {}
    void Build(QWidget& page) override;
    virtual bool IsTiff() const = 0;

private:
    QComboBox *m_zoomBox = nullptr, *m_scrollBox = nullptr, *m_colorBox = nullptr;
    QLineEdit* m_pageEdit = nullptr;
    QLabel* m_total = nullptr;
};

class PrefDispPPagePs : public PrefDispPPageOther {
public:
    PrefDispPPagePs() : PrefDispPPageOther(191, "Display") {}

protected:
    bool IsTiff() const override { return false; }
};

class PrefDispPPageTiff : public PrefDispPPageOther {
public:
    PrefDispPPageTiff() : PrefDispPPageOther(157, "Display") {}

protected:
    bool IsTiff() const override { return true; }
};
