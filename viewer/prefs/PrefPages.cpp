#include "viewer/prefs/PrefPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/AppStrings.h"
#include "viewer/res/PrefStrings.h"

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }
// A text of the page in the interface's language.
QString T(const char* english) { return QString::fromUtf8(PrefText(english).c_str()); }

// Controls carry their dialog control id as object name.
template <class W>
W* Named(W* w, int id) {
    w->setObjectName(QString::number(id));
    return w;
}
String8 Text(const QLineEdit* e) { return String8(e->text().toUtf8().constData()); }
String8 ComboText(const QComboBox* c) { return String8(c->currentText().toUtf8().constData()); }

String8 RangeMessage(UINT id, const std::string& lo, const std::string& hi) {
    std::string m = AfxLoadString(id).c_str();
    if (auto p = m.find("%1"); p != std::string::npos) m.replace(p, 2, lo);
    if (auto p = m.find("%2"); p != std::string::npos) m.replace(p, 2, hi);
    return String8(m.c_str());
}

// An integer edit within [lo, hi]; the message when it is not.
String8 CheckInt(QLineEdit* e, int lo, int hi, int* out) {
    bool ok = false;
    const long v = e->text().trimmed().toLong(&ok);
    if (!ok || v < lo || v > hi) {
        e->setFocus();
        e->selectAll();
        return RangeMessage(AFX_IDP_PARSE_INT, std::to_string(lo), std::to_string(hi));
    }
    if (out) *out = int(v);
    return {};
}

String8 CheckDouble(QLineEdit* e, double lo, double hi, double* out) {
    bool ok = false;
    const double v = e->text().trimmed().toDouble(&ok);  // C locale: QString::toDouble ignores the locale
    if (!ok || !(v >= lo && v <= hi)) {
        e->setFocus();
        e->selectAll();
        char a[32], b[32];
        std::snprintf(a, sizeof a, "%g", lo);
        std::snprintf(b, sizeof b, "%g", hi);
        return RangeMessage(AFX_IDP_PARSE_REAL, a, b);
    }
    if (out) *out = v;
    return {};
}

QString Mm(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return Q(buf);
}

void LoadZoom(QComboBox* box, int zoom) {
    const int n = box->count();
    if (zoom == -1) box->setCurrentIndex(n - 2);
    else if (zoom == -2) box->setCurrentIndex(n - 1);
    else box->setEditText(QString::number(std::clamp(zoom, 0, 300)) + "%");
}

QComboBox* ZoomCombo(QWidget* parent, std::initializer_list<const char*> items) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    for (const char* i : items) box->addItem(T(i));
    return box;
}

int SaveZoom(const QComboBox* box) {
    const int n = box->count();
    return PrefZoomFromText(ComboText(box), String8(box->itemText(n - 2).toUtf8().constData()),
                            String8(box->itemText(n - 1).toUtf8().constData()));
}

QComboBox* BitsCombo(QWidget* parent, std::initializer_list<const char*> items) {
    auto* box = new QComboBox(parent);
    for (const char* i : items) box->addItem(T(i));
    return box;
}

}  // namespace

int PrefZoomFromText(const String8& text, const String8& widthItem, const String8& heightItem) {
    if (std::string(text.c_str()) == widthItem.c_str()) return -1;
    if (std::string(text.c_str()) == heightItem.c_str()) return -2;
    return std::clamp(std::atoi(text.c_str()), 0, 300);
}

int PrefBitsFromIndex(int index) {
    switch (index) {
        case 0: return 24;
        case 2: return 4;
        case 3: return 1;
        default: return 8;
    }
}

int PrefIndexFromBits(int bits) {
    switch (bits) {
        case 24: return 0;
        case 4: return 2;
        case 1: return 3;
        default: return 1;
    }
}

int PrefMmToUnits(double mm) { return int(std::lround(mm * 10000.0)); }

QWidget* CPrefPage::Create(QWidget* parent) {
    m_widget = new QWidget(parent);
    Build(*m_widget);
    Load();
    return m_widget;
}

// ---- Display ----

void PrefDispPPage::Build(QWidget& page) {
    auto* form = new QFormLayout(&page);
    m_zoomBox = Named(ZoomCombo(&page, {"200%", "150%", "120%", "100%", "90%", "80%", "70%", "50%", "Width", "Height"}), 1002);
    form->addRow(T("&Zoom:"), m_zoomBox);
    auto* pageRow = new QHBoxLayout;
    m_pageEdit = Named(new QLineEdit(&page), 1007);
    m_total = new QLabel(&page);
    pageRow->addWidget(m_pageEdit);
    pageRow->addWidget(m_total);
    auto* pageLabel = new QLabel(T("&Page:"), &page);
    pageLabel->setBuddy(m_pageEdit);  // the mnemonic reaches the edit; no literal '&'
    form->addRow(pageLabel, pageRow);
    m_leftEdit = Named(new QLineEdit(&page), 1006);
    m_topEdit = Named(new QLineEdit(&page), 1009);
    form->addRow(T("&Left margin (mm):"), m_leftEdit);
    form->addRow(T("&Top margin (mm):"), m_topEdit);
    m_scrollBox = Named(BitsCombo(&page, {"None", "Horizontal", "Vertical", "Both"}), 1029);
    form->addRow(T("&Scroll bars:"), m_scrollBox);
    m_paperBox = Named(BitsCombo(&page, {"B5", "A4", "B4", "A3", "Letter", "User Def."}), 1003);
    form->addRow(T("P&aper:"), m_paperBox);
    m_widthEdit = Named(new QLineEdit(&page), 1004);
    m_heightEdit = Named(new QLineEdit(&page), 1005);
    form->addRow(T("&Width (mm):"), m_widthEdit);
    form->addRow(T("&Height (mm):"), m_heightEdit);
    auto* orient = new QHBoxLayout;
    m_portrait = Named(new QRadioButton(T("Portrait"), &page), 1036);
    m_landscape = Named(new QRadioButton(T("Landscape"), &page), 1037);
    orient->addWidget(m_portrait);
    orient->addWidget(m_landscape);
    form->addRow(T("Orientation:"), orient);
    auto* reset = Named(new QPushButton(T("&Reset default"), &page), 1018);
    form->addRow(QString(), reset);
    QObject::connect(reset, &QPushButton::clicked, &page, [this] { ResetDefault(); });
    QObject::connect(m_paperBox, &QComboBox::currentIndexChanged, &page, [this] { UpdatePaperControls(); });
}

void PrefDispPPage::UpdatePaperControls() {
    const bool custom = m_paperBox->currentIndex() == m_paperBox->count() - 1;
    m_widthEdit->setEnabled(custom);
    m_heightEdit->setEnabled(custom);
    m_portrait->setEnabled(!custom);
    m_landscape->setEnabled(!custom);
}

void PrefDispPPage::Load() {
    if (!m_widget) return;
    LoadZoom(m_zoomBox, m_zoom);
    m_pageEdit->setText(QString::number(m_page));
    m_total->setText(QString::asprintf(PrefText("(Total: %d)").c_str(), m_pageCount));
    m_leftEdit->setText(Mm(m_leftMargin));
    m_topEdit->setText(Mm(m_topMargin));
    m_scrollBox->setCurrentIndex(std::clamp(m_scrollBarIndex, 0, 3));
    int w = 0, h = 0;
    m_paper.GetWidth(&w);
    m_paper.GetHeight(&h);
    m_widthEdit->setText(Mm(w * 0.0001));
    m_heightEdit->setText(Mm(h * 0.0001));
    int id = PaperSize::kCustom, orientation = 0;
    m_paper.GetId(&id, &orientation);
    const int index = (id >= 0 && id <= PaperSize::kLetter) ? id : 5;
    {
        const QSignalBlocker quiet(m_paperBox);
        m_paperBox->setCurrentIndex(index);
    }
    m_portrait->setAutoExclusive(false);
    m_landscape->setAutoExclusive(false);
    m_portrait->setChecked(index != 5 && !orientation);
    m_landscape->setChecked(index != 5 && orientation);
    m_portrait->setAutoExclusive(true);
    m_landscape->setAutoExclusive(true);
    UpdatePaperControls();
}

String8 PrefDispPPage::Validate() {
    String8 m;
    if (!(m = CheckInt(m_pageEdit, 0, 20000, nullptr)).IsNull()) return m;
    if (!(m = CheckDouble(m_leftEdit, -1000, 1000, nullptr)).IsNull()) return m;
    if (!(m = CheckDouble(m_topEdit, -1000, 1000, nullptr)).IsNull()) return m;
    if (m_paperBox->currentIndex() == 5) {
        if (!(m = CheckDouble(m_widthEdit, 1, 3000, nullptr)).IsNull()) return m;
        if (!(m = CheckDouble(m_heightEdit, 1, 3000, nullptr)).IsNull()) return m;
    }
    return {};
}

void PrefDispPPage::Save() {
    m_zoom = SaveZoom(m_zoomBox);
    CheckInt(m_pageEdit, 0, 20000, &m_page);
    CheckDouble(m_leftEdit, -1000, 1000, &m_leftMargin);
    CheckDouble(m_topEdit, -1000, 1000, &m_topMargin);
    m_scrollBarIndex = std::max(0, m_scrollBox->currentIndex());
    const int landscape = m_landscape->isChecked() ? 1 : 0;
    const int index = m_paperBox->currentIndex();
    if (index == 5 || index < 0) {
        double w = 0, h = 0;
        CheckDouble(m_widthEdit, 1, 3000, &w);
        CheckDouble(m_heightEdit, 1, 3000, &h);
        m_paper = PaperSize::FromShownSize(PrefMmToUnits(w), PrefMmToUnits(h), landscape);
        if (w > 1500 || h > 1500) AfxMessageBox(IDS_PREF_BIG_PAPER, MB_OK | MB_ICONINFORMATION);
    } else {
        m_paper = PaperSize(index, landscape);
    }
}

void PrefDispPPage::ResetDefault() {
    m_paper = PaperSize(PaperSize::kA4, 0);
    m_leftMargin = m_topMargin = 25.4;
    if (!m_widget) return;
    m_zoom = SaveZoom(m_zoomBox);
    CheckInt(m_pageEdit, 0, 20000, &m_page);
    m_scrollBarIndex = std::max(0, m_scrollBox->currentIndex());
    Load();
}

// ---- Magnification glass ----

void PrefMagGlassPPage::Build(QWidget& page) {
    auto* form = new QFormLayout(&page);
    m_widthEdit = Named(new QLineEdit(&page), 1001);
    m_heightEdit = Named(new QLineEdit(&page), 1002);
    form->addRow(T("&Width:"), m_widthEdit);
    form->addRow(T("&Height:"), m_heightEdit);
    m_magBox = Named(ZoomCombo(&page, {"200", "300", "400"}), 1000);
    form->addRow(T("&Magnification (%):"), m_magBox);
    m_mono = Named(new QCheckBox(T("Monochrome display (to save memory)"), &page), 1039);
    form->addRow(m_mono);
    auto* reset = Named(new QPushButton(T("&Reset Default"), &page), 1003);
    form->addRow(QString(), reset);
    QObject::connect(reset, &QPushButton::clicked, &page, [this] { ResetDefault(); });
    // A colour glass needs more memory: with little left the person is asked.
    QObject::connect(m_mono, &QCheckBox::clicked, &page, [this](bool checked) {
        const int load = m_memoryLoad ? m_memoryLoad() : SystemMemoryLoad();
        if (checked || load <= 85) return;
        if (AfxMessageBox(IDS_PREF_GLASS_MONOCHROME, MB_YESNO | MB_ICONQUESTION) == IDYES) m_mono->setChecked(true);
    });
}

int PrefMagGlassPPage::SystemMemoryLoad() {
    long long total = 0, available = -1;
    if (FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            long long kb = 0;
            if (std::sscanf(line, "MemTotal: %lld", &kb) == 1) total = kb;
            else if (std::sscanf(line, "MemAvailable: %lld", &kb) == 1) available = kb;
        }
        std::fclose(f);
    }
    if (total <= 0 || available < 0) return 0;
    return int(100 - std::min(total, available) * 100 / total);
}

void PrefMagGlassPPage::Load() {
    if (!m_widget) return;
    m_widthEdit->setText(QString::number(m_width));
    m_heightEdit->setText(QString::number(m_height));
    m_magBox->setEditText(QString::number(m_magnification));
    m_mono->setChecked(m_monochrome != 0);
}

String8 PrefMagGlassPPage::Validate() {
    String8 m;
    if (!(m = CheckInt(m_heightEdit, 1, 5000, nullptr)).IsNull()) return m;
    if (!(m = CheckInt(m_widthEdit, 1, 5000, nullptr)).IsNull()) return m;
    bool ok = false;
    const int mag = m_magBox->currentText().trimmed().toInt(&ok);
    if (!ok || mag < 10 || mag > 500) {
        m_magBox->setFocus();
        return RangeMessage(AFX_IDP_PARSE_INT, "10", "500");
    }
    return {};
}

void PrefMagGlassPPage::Save() {
    CheckInt(m_widthEdit, 1, 5000, &m_width);
    CheckInt(m_heightEdit, 1, 5000, &m_height);
    m_magnification = std::clamp(m_magBox->currentText().trimmed().toInt(), 10, 500);
    m_monochrome = m_mono->isChecked() ? 1 : 0;
}

// The view settings' defaults.
void PrefMagGlassPPage::ResetDefault() {
    m_monochrome = 1;
    m_magnification = 250;
    m_width = m_height = 200;
    Load();
}

// ---- Ghostscript ----

void PrefGSPPage::Build(QWidget& page) {
    auto* form = new QFormLayout(&page);
    m_folderEdit = Named(new QLineEdit(&page), 1011);
    m_libEdit = Named(new QLineEdit(&page), 1012);
    form->addRow(T("GhostScript &folder:"), m_folderEdit);
    form->addRow(T("&Library path:"), m_libEdit);
    m_screenBox = Named(BitsCombo(&page, {"True Color", "256 Color(recommend)", "16 Color", "Monochrome"}), 1014);
    m_printBox = Named(BitsCombo(&page, {"True Color", "256 Color", "16 Color", "Monochrome(recommend)"}), 1015);
    form->addRow(T("For &Screen:"), m_screenBox);
    form->addRow(T("For &Printer:"), m_printBox);
}

void PrefGSPPage::Load() {
    if (!m_widget) return;
    m_folderEdit->setText(Q(m_folder.c_str()));
    m_libEdit->setText(Q(m_libraryPath.c_str()));
    m_screenBox->setCurrentIndex(PrefIndexFromBits(m_screenBits));
    m_printBox->setCurrentIndex(PrefIndexFromBits(m_printBits));
}

void PrefGSPPage::Save() {
    m_folder = Text(m_folderEdit);
    m_libraryPath = Text(m_libEdit);
    m_screenBits = PrefBitsFromIndex(m_screenBox->currentIndex());
    m_printBits = PrefBitsFromIndex(m_printBox->currentIndex());
}

// ---- PostScript and TIFF display ----

void PrefDispPPageOther::Build(QWidget& page) {
    auto* form = new QFormLayout(&page);
    m_zoomBox = Named(ZoomCombo(&page, {"150%", "120%", "100%", "90%", "80%", "70%", "50%", "Width", "Height"}), 1002);
    form->addRow(T("&Zoom:"), m_zoomBox);
    auto* pageRow = new QHBoxLayout;
    m_pageEdit = Named(new QLineEdit(&page), 1007);
    m_total = new QLabel(&page);
    pageRow->addWidget(m_pageEdit);
    pageRow->addWidget(m_total);
    auto* pageLabel = new QLabel(T("&Page:"), &page);
    pageLabel->setBuddy(m_pageEdit);  // the mnemonic reaches the edit; no literal '&'
    form->addRow(pageLabel, pageRow);
    m_scrollBox = Named(BitsCombo(&page, {"None", "Horizontal", "Vertical", "Both"}), 1029);
    form->addRow(T("&Scroll bars:"), m_scrollBox);
    if (IsTiff()) {
        m_colorBox = Named(BitsCombo(&page, {"0 Degree", "90 Degree", "180 Degree", "270 Degree"}), 1000);
        form->addRow(T("&Rotation:"), m_colorBox);
    } else {
        m_colorBox = Named(BitsCombo(&page, {"True Color", "256 Color", "16 Color", "Monochrome"}), 1001);
        form->addRow(T("For &Screen:"), m_colorBox);
    }
}

void PrefDispPPageOther::Load() {
    if (!m_widget) return;
    LoadZoom(m_zoomBox, m_zoom);
    m_pageEdit->setText(QString::number(m_page));
    m_total->setText(QString::asprintf(PrefText("(Total: %d)").c_str(), m_pageCount));
    m_scrollBox->setCurrentIndex(std::clamp(m_scrollBarIndex, -1, 3));
    m_colorBox->setCurrentIndex(IsTiff() ? std::clamp(m_color, 0, 3) : PrefIndexFromBits(m_color));
}

String8 PrefDispPPageOther::Validate() { return CheckInt(m_pageEdit, 0, 20000, nullptr); }

void PrefDispPPageOther::Save() {
    m_zoom = SaveZoom(m_zoomBox);
    CheckInt(m_pageEdit, 0, 20000, &m_page);
    m_scrollBarIndex = m_scrollBox->currentIndex();
    m_color = IsTiff() ? std::clamp(m_colorBox->currentIndex(), 0, 3) : PrefBitsFromIndex(m_colorBox->currentIndex());
}
