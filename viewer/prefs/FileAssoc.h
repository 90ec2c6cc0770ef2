// File associations on a freedesktop desktop: the viewer's desktop file in
// $XDG_DATA_HOME/applications and its defaults in $XDG_CONFIG_HOME/mimeapps.list
// for the four document kinds. Turning a kind on keeps the default it
// replaces; turning it off puts that back, but only while the default is still
// the viewer's, so a later choice of another program stays. Turning the last
// kind off removes what turning kinds on created: the desktop file (unless it
// was there before), the backup keys and an emptied defaults section.
//
// The names the viewer saves under (".vrd", ".dgz") have no type of the
// desktop's own: while the first kind is on, a shared-mime-info package in
// $XDG_DATA_HOME/mime/packages defines one for each, the desktop file claims
// them and they default to the viewer; turning the kind off takes them away
// again (with the user's mime database, when turning it on made that).
#pragma once

#include <string>

namespace sys {
class Registry;
}

namespace file_assoc {

constexpr int kKinds = 4;
// The MIME type of each kind, in the page's order: DVI, TIFF, PostScript, PDF.
extern const char* const kMimeTypes[kKinds];
constexpr const char* kDesktopId = "veloran-viewer.desktop";
// The viewer's own types, defined and claimed with the first kind: packed
// documents (".vrd") and compressed DVI (".dgz").
constexpr int kOwnTypes = 2;
extern const char* const kOwnMimeTypes[kOwnTypes];
constexpr const char* kMimePackage = "veloran-viewer.xml";

std::string DataHome();    // $XDG_DATA_HOME or ~/.local/share
std::string ConfigHome();  // $XDG_CONFIG_HOME or ~/.config

// Writes the desktop file (program exePath) and the defaults of the kinds
// whose state is non-zero, and undoes the others; the replaced defaults are
// kept in the registry store. False when a file cannot be written.
bool ApplyFileAssociations(int count, const int* states, const std::string& exePath, sys::Registry& registry);
// 1 for each kind whose default is the viewer's.
void ReadFileAssociations(int states[kKinds]);

}  // namespace file_assoc
