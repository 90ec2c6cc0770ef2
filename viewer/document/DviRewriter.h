// The DVI copier that saving uses: a document's pages copied instruction by
// instruction into a new DVI file with a dated preamble comment, each
// special in its shortest form, with hooks that change or drop specials and
// add specials before each page's eop (pictures renamed, notes written).
// A target named ".vrd", ".dgz" or ".gz" gets the same DVI bytes
// gzip-compressed.
//
// Every file goes to a temporary file in the target's folder, is flushed to
// the disk and renamed over the target only when it is whole; on any
// failure the target is left as it was and the temporary files are removed.
// Each temporary file is recorded in the settings folder while it exists, so
// that one left by a save that was killed can be removed later.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dvicopy {

struct Hooks {
    // Each special of a page (0-based; bytes between pages count to the page
    // that follows); false drops it, and it may be changed in place.
    std::function<bool(int page, std::string& special)> special;
    // Specials written just before the eop of a page.
    std::function<std::vector<std::string>(int page)> beforeEop;
};

using NameMap = std::map<std::string, std::string>;

// A special that names a picture renamed (old name -> new name) names the
// new one, read as the drawer reads it: "graphics:" and "watermarkgraphics:"
// (the name after the dimensions and the type), "ps: plotfile", the value of
// every psfile key of key=value pairs (any case, quoted or not; a new name
// with blanks is quoted), and the binary picture specials (a length byte and
// the name). Other specials and names not in the table stay as they are.
void RenamePicture(std::string& special, const NameMap& renamed);

// The preamble comment "VRD3V yyyy.mm.dd:hhmm" for the local time t.
std::string Stamp(std::time_t t);
// A name ending (in any case) in ".vrd", ".dgz" or ".gz".
bool IsCompressedName(const std::string& path);

// Copies the DVI file source, whose pages start at pageStarts (as the reader
// recorded them), to target. false with a reason in error on failure.
bool Copy(const std::string& source, const std::vector<long>& pageStarts, const std::string& target,
          const std::string& comment, const Hooks& hooks, std::string& error);

// Writes a file through a temporary file beside target: write fills the
// temporary path; it is then flushed and renamed over target. A target
// without a folder lies in the current one. false with a reason on failure,
// the target untouched.
bool WriteReplacing(const std::string& target, const std::function<bool(const std::string& temp, std::string& error)>& write,
                    std::string& error);

// Copies the unpacked data of a gzip file (plain data passes as it is) over
// target in the same way.
bool CopyUnpackedReplacing(const std::string& source, const std::string& target, std::string& error);

// Copies a file over target in the same way.
bool CopyReplacing(const std::string& source, const std::string& target, std::string& error, int* errnoOut = nullptr);

// Removes the temporary files that saves killed before their end left beside
// their targets: only files those saves made, still under their names, never
// while their save runs. Returns how many went.
int RemoveStaleTemporaries();

}  // namespace dvicopy
