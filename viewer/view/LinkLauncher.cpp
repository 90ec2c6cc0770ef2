#include "viewer/view/LinkLauncher.h"

#include <strings.h>

#include <cctype>

#include "platform/sys/ShellOpen.h"
#include "platform/ui/MessageBox.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"

namespace linklaunch {

namespace {

// The scheme of an address (RFC 3986: a letter, then letters, digits, '+',
// '-', '.'), lower case; empty when there is none. A drive letter ("C:\")
// is a path.
std::string SchemeOf(const std::string& a) {
    const size_t colon = a.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    if (colon == 1 && (a.size() == 2 || a[2] == '\\' || a[2] == '/')) return {};
    std::string scheme;
    for (size_t i = 0; i < colon; ++i) {
        const unsigned char c = (unsigned char)a[i];
        const bool ok = std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
        if (!ok) return "?";
        scheme += char(std::tolower(c));
    }
    return scheme;
}

}  // namespace

Route RouteOf(const std::string& address, bool webDocument) {
    const std::string scheme = SchemeOf(address);
    for (const char* s : {"http", "https", "ftp", "mailto"})
        if (scheme == s) return Route::Out;
    if (scheme.empty() || scheme == "file") return webDocument ? Route::Ask : Route::Out;
    return Route::Ask;
}

std::vector<std::string> LaunchArgv(const std::string& program, const std::string& address) {
    return {program, !address.empty() && address[0] == '-' ? "./" + address : address};
}

std::string Question(const std::string& address) { return "Open this address?\n" + address; }

}  // namespace linklaunch

bool CVrViewerView::LaunchLink(const std::string& address) {
    if (address.empty()) return false;
    const CVrViewerDoc* doc = GetDocument();
    const bool web = doc && !doc->GetAddress().IsNull() && IsWebAddress(doc->GetAddress().c_str());
    if (linklaunch::RouteOf(address, web) == linklaunch::Route::Ask &&
        AfxShowMessageBox(this, linklaunch::Question(address).c_str(), nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    return LaunchBrowser(String8(address.c_str()));
}

bool CVrViewerView::LaunchBrowser(const String8& address) {
    const std::string program =
        m_browserPath.IsNull() || m_browserPath.GetLength() == 0 ? "xdg-open" : m_browserPath.c_str();
    return sys::LaunchProgram(linklaunch::LaunchArgv(program, address.c_str()));
}
