#include "viewer/view/ContentsView.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/inet/WinInet.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "viewer/document/VrViewerAppBase.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewStrings.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

namespace {

// The face of the header: Batang, by its Korean name.
const char kHeaderFace[] = "바탕";
constexpr COLORREF kTipColour = 0xBFFFFF;
constexpr size_t kWebChunk = 100000;

void MakeHeaderFont(CFont& font, bool bold) {
    font.CreateFont(12, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, HANGUL_CHARSET, 0, 0, 0, 0, kHeaderFace);
}

// The tree's two images: a closed book, and an open one for the selection.
QIcon TreeIcon() {
    QPixmap closed(16, 16), open(16, 16);
    closed.fill(Qt::transparent);
    open.fill(Qt::transparent);
    {
        QPainter p(&closed);
        p.setPen(QColor(0, 0, 128));
        p.setBrush(QColor(64, 96, 192));
        p.drawRect(3, 2, 10, 12);
        p.setPen(Qt::white);
        p.drawLine(5, 2, 5, 13);
    }
    {
        QPainter p(&open);
        p.setPen(QColor(0, 0, 128));
        p.setBrush(QColor(255, 255, 224));
        p.drawRect(1, 3, 6, 10);
        p.drawRect(8, 3, 6, 10);
        p.drawLine(3, 6, 5, 6);
        p.drawLine(10, 6, 12, 6);
    }
    QIcon icon;
    icon.addPixmap(closed, QIcon::Normal);
    icon.addPixmap(open, QIcon::Selected);
    return icon;
}

// Hides the tip when the pointer leaves the header.
class LeaveWatcher : public QObject {
public:
    LeaveWatcher(QObject* parent, std::function<void()> left) : QObject(parent), left_(std::move(left)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Leave) left_();
        return false;
    }

private:
    std::function<void()> left_;
};

bool HasTocTag(const std::string& text) {
    const std::string head = text.substr(0, kWebChunk);
    return head.find("<toc>") != std::string::npos || head.find("<TOC>") != std::string::npos ||
           head.find("<Toc>") != std::string::npos;
}

}  // namespace

CContentsView::CContentsView() { AfxRegisterViewerStrings(); }

CContentsView::~CContentsView() = default;

int CContentsView::OnCreate(LPCREATESTRUCT) {
    QWidget* w = GetWidget();
    m_tree = new QTreeWidget(w);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setMouseTracking(true);
    m_tree->setGeometry(0, 0, 500, 1000);
    m_tree->show();
    QObject::connect(m_tree, &QTreeWidget::itemSelectionChanged, m_tree, [this] { OnSelChanged(); });

    m_tip = new QLabel(w);
    m_tip->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    m_tip->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_tip->setAttribute(Qt::WA_ShowWithoutActivating);
    const QColor tip = QColor::fromRgb(ColorRefToArgb(kTipColour));
    m_tip->setStyleSheet(QString("QLabel { background: %1; color: black; border: 1px solid black; }").arg(tip.name()));
    QFont font(QString::fromUtf8(kHeaderFace));
    font.setPixelSize(12);
    font.setBold(true);
    m_tip->setFont(font);
    m_tip->hide();
    w->installEventFilter(new LeaveWatcher(w, [this] { HideTip(); }));
    return 0;
}

void CContentsView::OnDestroy() {
    HideTip();
    m_tree = nullptr;
    m_tip = nullptr;
    CView::OnDestroy();
}

void CContentsView::OnSize(UINT nType, int cx, int cy) {
    CView::OnSize(nType, cx, cy);
    if (m_tree) m_tree->setGeometry(0, kHeaderHeight, std::max(0, cx), std::max(0, cy - kHeaderHeight));
    m_titleCut = m_titleWidth > cx;
}

void CContentsView::OnDraw(CDC* pDC) {
    RECT client;
    GetClientRect(&client);
    pDC->FillSolidRect(0, 0, client.right, client.bottom, RGB(255, 255, 255));
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(0);
    CFont bold, normal;
    MakeHeaderFont(bold, true);
    MakeHeaderFont(normal, false);
    CFont* old = pDC->SelectObject(&bold);
    pDC->TextOut(0, 2, m_title);
    const CSize extent = pDC->GetTextExtent(m_title);
    m_titleWidth = extent.cx;
    m_titleHeight = extent.cy;
    m_titleCut = m_titleWidth > client.right;
    pDC->SelectObject(&normal);
    pDC->TextOut(0, 18, m_author);
    CString line;
    line.Format("%s %s", m_year.c_str(), m_org.c_str());
    pDC->TextOut(0, 34, line);
    pDC->SelectObject(old);
    pDC->MoveTo(0, 49);
    pDC->LineTo(client.right, 49);
}

void CContentsView::OnMouseMove(UINT, CPoint point) {
    if (!m_tip) return;
    const bool overTitle = m_titleCut && point.x >= 0 && point.x < m_titleWidth && point.y >= 2 &&
                           point.y < 2 + m_titleHeight;
    if (!overTitle) return HideTip();
    if (m_tip->isVisible()) return;
    m_tip->setText(QString::fromUtf8(m_title.c_str()));
    const QPoint at = GetWidget()->mapToGlobal(QPoint(-3, 2 - 3));
    m_tip->setGeometry(at.x(), at.y(), m_titleWidth + 6, m_titleHeight + 6);
    m_tip->show();
}

void CContentsView::HideTip() {
    if (m_tip) m_tip->hide();
}

void CContentsView::OnSelChanged() {
    if (!m_tree) return;
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.isEmpty()) return;
    const int page = selected.front()->data(0, Qt::UserRole).toInt();
    if (page >= 1 && m_pVrView) m_pVrView->GotoPage(page - 1);
}

void CContentsView::Fill(const TocData& toc) {
    m_title = toc.title.c_str();
    m_author = toc.author.c_str();
    m_year = toc.year.c_str();
    m_org = toc.org.c_str();
    // The title's extent, so the tip works before the first paint.
    if (auto dc = CreateMemoryDC(1, 1, 32)) {
        CFont bold;
        MakeHeaderFont(bold, true);
        CFont* old = dc->SelectObject(&bold);
        const CSize extent = dc->GetTextExtent(m_title);
        dc->SelectObject(old);
        m_titleWidth = extent.cx;
        m_titleHeight = extent.cy;
    }
    RECT client;
    GetClientRect(&client);
    m_titleCut = m_titleWidth > client.right;
    if (m_tree) {
        const QSignalBlocker quiet(m_tree);
        m_tree->clear();
        m_tree->setIndentation(18);
        const QIcon icon = TreeIcon();
        std::vector<QTreeWidgetItem*> items;
        items.reserve(toc.entries.size());
        for (const TocEntry& e : toc.entries) {
            QTreeWidgetItem* parent = e.parent >= 0 ? items[size_t(e.parent)] : m_tree->invisibleRootItem();
            auto* item = new QTreeWidgetItem(parent);
            item->setText(0, QString::fromUtf8(e.text.c_str()));
            item->setData(0, Qt::UserRole, e.page);
            item->setIcon(0, icon);
            items.push_back(item);
        }
    }
    Invalidate();
}

void CContentsView::ReadTocFile(CVrViewerView* view) {
    if (!view) {
        AfxMessageBox("CVrViewerView is NULL");
        return;
    }
    m_pVrView = view;
    CVrViewerDoc* doc = view->GetDocument();
    const std::string address = doc && !doc->GetAddress().IsNull() ? doc->GetAddress().c_str() : "";
    std::string text;
    if (!address.empty()) {
        const std::string beside = TocAddressBeside(address);
        if (view->m_isBrowser) {
            // Beside the document: its server's failure is the document's to tell.
            text = GetWebTocFile(beside, false);
            if (!HasTocTag(text)) text.clear();
        } else {
            text = ReadLocalTocFile(beside);
        }
        auto* app = CVrViewerAppBase::Get();
        const std::string folder = app ? app->GetContentsPath().c_str() : "";
        if (text.empty() && !folder.empty()) {
            const std::string second = TocAddressInFolder(address, folder);
            if (!second.empty()) text = IsFetchedAddress(second) ? GetWebTocFile(second) : ReadLocalTocFile(second);
        }
    }
    Fill(ParseToc(text));
}

std::string CContentsView::GetWebTocFile(const std::string& address, bool reportUnreachable) {
    HINTERNET net = InternetOpenA("Veloran Viewer Internet Toc Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!net) {
        AfxMessageBox("Internet connection fail -1");
        return std::string();
    }
    std::vector<std::string> candidates{address};
    const size_t dot = address.rfind('.');
    const size_t sep = address.rfind('/');
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) {
        candidates.push_back(address.substr(0, dot + 1) + "TOC");
        candidates.push_back(address.substr(0, dot + 1) + "Toc");
    }
    std::string result;
    std::vector<char> buffer(kWebChunk);
    for (const std::string& candidate : candidates) {
        HINTERNET url = InternetOpenUrlA(net, candidate.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
        if (!url) {
            InternetCloseHandle(net);
            if (reportUnreachable) AfxMessageBox("Internet connection fail -2");
            return std::string();
        }
        std::string body;
        bool failed = false;
        for (;;) {
            DWORD available = 0;
            if (!InternetQueryDataAvailable(url, &available, 0, 0)) {
                failed = true;
                break;
            }
            DWORD read = 0;
            const DWORD want = DWORD(std::min<size_t>(std::max<DWORD>(available, 1), kWebChunk));
            if (!InternetReadFile(url, buffer.data(), want, &read)) {
                failed = true;
                break;
            }
            if (read == 0) break;
            body.append(buffer.data(), read);
            // A runaway answer is no contents file.
            if (body.size() > kWebLimit) {
                failed = true;
                break;
            }
        }
        InternetCloseHandle(url);
        if (!failed && HasTocTag(body)) {
            result = std::move(body);
            break;
        }
    }
    InternetCloseHandle(net);
    return result;
}
