#include "viewer/document/DviRewriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <strings.h>

#include "dvilib/DviOpcodes.h"
#include "dvilib/VrDviWriter.h"
#include "dvilib/DirectiveGrammar.h"
#include "dvilib/DirectiveScan.h"
#include "platform/sys/FileSearch.h"
#include "platform/sys/TempFiles.h"
#include "platform/sys/UserDirs.h"

namespace dvicopy {

namespace {

std::string FolderOf(const std::string& path) {
    const std::filesystem::path p(path);
    const std::string dir = p.parent_path().string();
    return dir.empty() ? "." : dir;
}

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

// Flushes a written file to the disk; false when that fails.
bool SyncFile(const std::string& path, int& err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return err = errno, false;
    const bool ok = ::fsync(fd) == 0;
    if (!ok) err = errno;
    ::close(fd);
    return ok;
}

// Temporary files of saves are recorded while the save runs: one marker per
// file in the settings folder's "saving" folder, Shared-locked by its save,
// holding the file's device, inode and path. A save killed before its end
// leaves its marker unlocked, and RemoveStaleTemporaries finds the file by it.
std::string MarkerFolder() { return sys::ConfigDir() + "/saving"; }

class OwnTemp {
public:
    explicit OwnTemp(const std::string& dir) {
        const std::string folder = MarkerFolder();
        if (sys::EnsurePrivateDir(folder)) marker_ = sys::CreateTempFile(folder + "/", "sav");
        path_ = sys::GetTempFileName(dir, "vrd");
        struct stat st;
        if (marker_.path.empty() || path_.empty() || ::stat(path_.c_str(), &st) != 0) return;
        std::ofstream out(marker_.path, std::ios::trunc);
        out << st.st_dev << ' ' << st.st_ino << '\n' << std::filesystem::absolute(path_).string() << '\n';
    }
    ~OwnTemp() {
        if (!marker_.path.empty()) ::unlink(marker_.path.c_str());
    }
    OwnTemp(const OwnTemp&) = delete;
    OwnTemp& operator=(const OwnTemp&) = delete;
    // "" when no file could be made.
    const std::string& Path() const { return path_; }

private:
    sys::TempFile marker_;
    std::string path_;
};

// Reads the source's bytes in order, within bounds.
struct Source {
    const std::vector<unsigned char>& b;
    size_t pos = 0;
    bool Has(size_t n) const { return pos <= b.size() && b.size() - pos >= n; }
    uint32_t Be(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | b[pos++];
        return v;
    }
};

void WriteSpecial(VrDviWriter& w, const std::string& s) {
    const uint32_t n = uint32_t(s.size());
    const int bytes = n <= 0xFF ? 1 : n <= 0xFFFF ? 2 : n <= 0xFFFFFF ? 3 : 4;
    w.WriteUInt8(dviop::Xxx1 + bytes - 1);
    for (int i = bytes - 1; i >= 0; --i) w.WriteUInt8(int(n >> (8 * i) & 0xFF));
    for (unsigned char c : s) w.WriteUInt8(c);
}

// A font definition at src.pos copied whole; false when it is cut short.
bool CopyFontDef(Source& src, VrDviWriter& w) {
    const uint8_t op = src.b[src.pos];
    const size_t fixed = 1 + size_t(dviop::ParamLength(op));
    if (!src.Has(fixed)) return false;
    const size_t a = src.b[src.pos + fixed - 2], l = src.b[src.pos + fixed - 1];
    if (!src.Has(fixed + a + l)) return false;
    for (size_t i = 0; i < fixed + a + l; ++i) w.WriteUInt8(src.b[src.pos + i]);
    src.pos += fixed + a + l;
    return true;
}

// A special at src.pos; false when its length passes the file's end.
bool ReadSpecial(Source& src, std::string& text) {
    const int bytes = dviop::SizeByte(src.b[src.pos]);
    if (!src.Has(1 + size_t(bytes))) return false;
    ++src.pos;
    const uint32_t n = src.Be(bytes);
    if (!src.Has(n)) return false;
    text.assign(reinterpret_cast<const char*>(src.b.data() + src.pos), n);
    src.pos += n;
    return true;
}

bool Special(Source& src, VrDviWriter& w, const Hooks& hooks, int page, std::string& error) {
    std::string text;
    if (!ReadSpecial(src, text)) return error = "a special runs past the end of the file", false;
    if (!hooks.special || hooks.special(page, text)) WriteSpecial(w, text);
    return true;
}

bool CopyDvi(const std::vector<unsigned char>& bytes, const std::vector<long>& pageStarts, const std::string& temp,
             const std::string& comment, const Hooks& hooks, std::string& error) {
    Source src{bytes};
    if (!src.Has(15) || bytes[0] != dviop::Pre || bytes[1] != dviop::kDviId)
        return error = "the file is not a DVI file of format 2", false;
    src.pos = 2;
    const uint32_t num = src.Be(4), den = src.Be(4), mag = src.Be(4);
    const size_t k = bytes[14];
    if (!src.Has(1 + k)) return error = "the preamble is cut short", false;
    src.pos = 15 + k;

    VrDviWriter w;
    w.open(temp.c_str());
    if (!w.WritePreamble(den, num, mag, reinterpret_cast<const unsigned char*>(comment.c_str())))
        return error = "the preamble comment is too long", false;

    for (size_t page = 0; page < pageStarts.size(); ++page) {
        const int p = int(page);
        if (pageStarts[page] < 0 || size_t(pageStarts[page]) >= bytes.size())
            return error = "page " + std::to_string(p + 1) + " lies outside the file", false;
        src.pos = size_t(pageStarts[page]);
        // Between the pages: nops go, font definitions and specials stay.
        for (;;) {
            if (!src.Has(1)) return error = "page " + std::to_string(p + 1) + " has no beginning", false;
            const uint8_t op = bytes[src.pos];
            if (op == dviop::Bop) break;
            if (op == dviop::Nop) {
                ++src.pos;
            } else if (op >= dviop::FntDef1 && op <= dviop::FntDef4) {
                if (!CopyFontDef(src, w)) return error = "a font definition is cut short", false;
            } else if (op >= dviop::Xxx1 && op <= dviop::Xxx4) {
                if (!Special(src, w, hooks, p, error)) return false;
            } else {
                return error = "page " + std::to_string(p + 1) + " does not begin with bop", false;
            }
        }
        if (!src.Has(45)) return error = "page " + std::to_string(p + 1) + " is cut short", false;
        ++src.pos;
        int counts[10];
        for (int& c : counts) c = int32_t(src.Be(4));
        src.pos += 4;  // the old back pointer
        w.WriteBop(counts);
        for (;;) {
            if (!src.Has(1)) return error = "page " + std::to_string(p + 1) + " is cut short", false;
            const uint8_t op = bytes[src.pos];
            if (op == dviop::Eop) {
                ++src.pos;
                if (hooks.beforeEop)
                    for (const std::string& s : hooks.beforeEop(p)) WriteSpecial(w, s);
                w.WriteEop();
                break;
            }
            if (op == dviop::Bop || op >= dviop::Pre)
                return error = "page " + std::to_string(p + 1) + " holds an instruction that does not belong there",
                       false;
            if (op >= dviop::Xxx1 && op <= dviop::Xxx4) {
                if (!Special(src, w, hooks, p, error)) return false;
            } else if (op >= dviop::FntDef1 && op <= dviop::FntDef4) {
                if (!CopyFontDef(src, w)) return error = "a font definition is cut short", false;
            } else {
                const size_t n = 1 + size_t(dviop::ParamLength(op));
                if (!src.Has(n)) return error = "page " + std::to_string(p + 1) + " is cut short", false;
                for (size_t i = 0; i < n; ++i) w.WriteUInt8(bytes[src.pos + i]);
                src.pos += n;
            }
        }
    }
    // The postamble, after the last page's eop.
    while (src.Has(1) && bytes[src.pos] == dviop::Nop) ++src.pos;
    if (!src.Has(29) || bytes[src.pos] != dviop::Post) return error = "the postamble is missing", false;
    src.pos += 1 + 16;  // p, num, den, mag
    const int l = int32_t(src.Be(4)), u = int32_t(src.Be(4));
    const int s = int(src.Be(2));
    src.pos += 2;  // the page count, which the writer counts itself
    w.WritePostamble(s, l, u);
    for (;;) {
        if (!src.Has(1)) return error = "the postamble is cut short", false;
        const uint8_t op = bytes[src.pos];
        if (op == dviop::PostPost) break;
        if (op == dviop::Nop) {
            ++src.pos;
        } else if (op >= dviop::FntDef1 && op <= dviop::FntDef4) {
            if (!CopyFontDef(src, w)) return error = "a font definition is cut short", false;
        } else {
            return error = "the postamble holds an instruction that does not belong there", false;
        }
    }
    w.WritePostPostamble();
    w.flush();
    if (!w.WriteGood()) return error = ErrnoText("the file cannot be written", errno ? errno : EIO), false;
    w.close();
    if (w.fail()) return error = ErrnoText("the file cannot be written", errno ? errno : EIO), false;
    return true;
}

bool Gzip(const std::string& from, const std::string& to, std::string& error) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return error = ErrnoText("the data cannot be read again", errno), false;
    gzFile out = gzopen(to.c_str(), "wb9");
    if (!out) return error = ErrnoText("the compressed file cannot be opened", errno), false;
    std::vector<char> buf(65536);
    bool ok = true;
    while (ok && in) {
        in.read(buf.data(), std::streamsize(buf.size()));
        const std::streamsize n = in.gcount();
        if (n > 0 && gzwrite(out, buf.data(), unsigned(n)) != int(n)) ok = false;
    }
    if (in.bad()) ok = false;
    const int err = errno;
    if (gzclose(out) != Z_OK) ok = false;
    if (!ok) error = ErrnoText("the compressed file cannot be written", err ? err : EIO);
    return ok;
}

// The new name of a picture, or null.
const std::string* NewName(const NameMap& renamed, const std::string& name) {
    auto it = renamed.find(name);
    return it == renamed.end() ? nullptr : &it->second;
}

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A picture name as a psfile value: quoted when it holds a blank.
std::string PsfileValue(const std::string& name) {
    const bool blank = std::any_of(name.begin(), name.end(), [](char c) { return uint8_t(c) <= 32; });
    return blank ? "\"" + name + "\"" : name;
}

// The rest of s from pos to its end (or NUL) names the picture, as the
// drawer reads it; with trailing blanks cut when only that form is known.
void RenameRest(std::string& s, size_t pos, const NameMap& renamed) {
    const size_t nul = s.find('\0', pos);
    const size_t end = nul == std::string::npos ? s.size() : nul;
    if (pos >= end) return;
    const std::string rest = s.substr(pos, end - pos);
    const std::string* name = NewName(renamed, rest);
    if (!name) {
        const size_t last = rest.find_last_not_of(" \t\r\n");
        if (last == std::string::npos || last + 1 == rest.size()) return;
        name = NewName(renamed, rest.substr(0, last + 1));
    }
    if (name) s.replace(pos, end - pos, *name);
}

// "graphics:" (or the watermark's) arguments from `at`: six dimensions and a
// picture type, then the name. The position of the name, or npos.
size_t GraphicsName(const std::string& s, size_t at, bool watermark) {
    std::string buf = s.substr(at);
    const auto graphics = vrspecial::ParseGraphics(reinterpret_cast<unsigned char*>(buf.data()), watermark);
    return graphics ? at + graphics->nameAt : std::string::npos;
}

// The word at pos (quoted or not) names the picture ("ps: plotfile").
void RenameWordAt(std::string& s, size_t pos, const NameMap& renamed) {
    while (pos < s.size() && IsBlankChar(s[pos])) ++pos;
    if (pos >= s.size()) return;
    size_t begin = pos, end = pos;
    if (s[pos] == '"') {
        begin = pos + 1;
        end = s.find('"', begin);
        if (end == std::string::npos) end = s.size();
    } else {
        while (end < s.size() && !IsBlankChar(s[end])) ++end;
    }
    if (const std::string* name = NewName(renamed, s.substr(begin, end - begin))) s.replace(begin, end - begin, *name);
}

// key=value pairs as the drawer reads them: the value of every psfile key
// (in any case), quoted or not.
void RenamePsfileValues(std::string& s, const NameMap& renamed) {
    auto above32 = [&](size_t i) { return i < s.size() && uint8_t(s[i]) > 32; };
    auto skip = [&](size_t i) {
        while (i < s.size() && s[i] != '\0' && uint8_t(s[i]) <= 32) ++i;
        return i;
    };
    size_t p = 0;
    for (;;) {
        p = skip(p);
        const size_t key = p;
        while (above32(p) && s[p] != '=') ++p;
        if (p == key) return;
        const bool psfile = p - key == 6 && strncasecmp(s.c_str() + key, "psfile", 6) == 0;
        p = skip(p);
        if (p >= s.size() || s[p] != '=') return;
        p = skip(p + 1);
        const size_t value = p;
        if (p < s.size() && s[p] == '"') {
            const size_t close = s.find('"', p + 1);
            const size_t nul = s.find('\0', p + 1);
            p = close != std::string::npos && close < nul ? close + 1 : std::min(s.size(), nul);
        } else {
            while (above32(p)) ++p;
        }
        if (!psfile) continue;
        const std::string word = s.substr(value, p - value);
        const bool quoted = word.size() >= 2 && word.front() == '"' && word.back() == '"';
        const std::string* name = NewName(renamed, quoted ? word.substr(1, word.size() - 2) : word);
        if (!name) continue;
        const std::string text = quoted ? "\"" + *name + "\"" : PsfileValue(*name);
        s.replace(value, p - value, text);
        p = value + text.size();
    }
}

}  // namespace

void RenamePicture(std::string& s, const NameMap& renamed) {
    if (renamed.empty()) return;
    const unsigned char* text = reinterpret_cast<const unsigned char*>(s.c_str());
    for (const bool watermark : {false, true}) {
        const char* keyword = watermark ? "watermarkgraphics:" : "graphics:";
        const size_t k = std::strlen(keyword);
        if (s.size() < k || !vrspecial::IsKeyword(text, keyword)) continue;
        const size_t at = GraphicsName(s, k, watermark);
        if (at != std::string::npos) RenameRest(s, at, renamed);
        return;
    }
    if (s.size() >= 3 && vrspecial::IsKeyword(text, "ps:")) {
        const size_t at = s.find_first_not_of(" \t\r\n", 3);
        if (at != std::string::npos && strncasecmp(s.c_str() + at, "plotfile", 8) == 0) {
            RenameWordAt(s, at + 8, renamed);
            return;
        }
    }
    if (s.size() >= 3 && s[0] == '#') {
        const auto picture = vrspecial::ParseBinaryPicture(text, s.size());
        if (!picture) return;
        const size_t at = picture->lengthAt, n = uint8_t(s[at]);
        const std::string* name = NewName(renamed, s.substr(at + 1, n));
        if (!name || name->size() > 255) return;
        s.replace(at + 1, n, *name);
        s[at] = char(uint8_t(name->size()));
        return;
    }
    RenamePsfileValues(s, renamed);
}

std::string Stamp(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "VRD3V %02d.%02d.%02d:%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min);
    return buf;
}

bool IsCompressedName(const std::string& path) {
    auto endsIn = [&](const char* ext) {
        const size_t n = std::strlen(ext);
        return path.size() > n && strcasecmp(path.c_str() + path.size() - n, ext) == 0;
    };
    return endsIn(".vrd") || endsIn(".dgz") || endsIn(".gz");
}

bool WriteReplacing(const std::string& target,
                    const std::function<bool(const std::string& temp, std::string& error)>& write, std::string& error) {
    const std::string dir = FolderOf(target);
    // A file that may not be written is not replaced either.
    struct stat old;
    if (::stat(target.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) return error = ErrnoText(target, EISDIR), errno = EISDIR, false;
        if (!(old.st_mode & 0222)) return error = ErrnoText(target, EACCES), errno = EACCES, false;
    }
    const OwnTemp own(dir);
    const std::string& temp = own.Path();
    if (temp.empty()) return error = ErrnoText("no temporary file can be made in " + dir, errno ? errno : EIO), false;
    bool ok = false;
    try {
        ok = write(temp, error);
    } catch (const std::exception& e) {
        error = e.what();
        ok = false;
    } catch (...) {
        error = "the file cannot be written";
        ok = false;
    }
    int err = 0;
    // The new file keeps the mode of the one it replaces, else the usual one.
    if (ok) {
        struct stat st;
        mode_t mode = 0666;
        if (::stat(target.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(022);
            ::umask(mask);
            mode &= ~mask;
        }
        ::chmod(temp.c_str(), mode);
    }
    if (ok && !SyncFile(temp, err)) ok = false, error = ErrnoText("the file cannot be written", err);
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0)
        ok = false, error = ErrnoText("the file cannot take the name " + target, errno);
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool Copy(const std::string& source, const std::vector<long>& pageStarts, const std::string& target,
          const std::string& comment, const Hooks& hooks, std::string& error) {
    std::vector<unsigned char> bytes;
    {
        std::ifstream in(source, std::ios::binary);
        if (!in) return error = ErrnoText("the document's data cannot be read", errno), false;
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) return error = "the document's data cannot be read", false;
    }
    if (!IsCompressedName(target))
        return WriteReplacing(
            target, [&](const std::string& temp, std::string& e) { return CopyDvi(bytes, pageStarts, temp, comment, hooks, e); },
            error);
    // The DVI bytes first, then their gzip copy.
    const OwnTemp own(FolderOf(target));
    const std::string& plain = own.Path();
    if (plain.empty()) return error = ErrnoText("no temporary file can be made", errno ? errno : EIO), false;
    bool ok = false;
    try {
        ok = CopyDvi(bytes, pageStarts, plain, comment, hooks, error);
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (ok)
        ok = WriteReplacing(target, [&](const std::string& temp, std::string& e) { return Gzip(plain, temp, e); },
                            error);
    ::unlink(plain.c_str());
    return ok;
}

bool CopyUnpackedReplacing(const std::string& source, const std::string& target, std::string& error) {
    return WriteReplacing(
        target,
        [&](const std::string& temp, std::string& e) {
            gzFile in = gzopen(source.c_str(), "rb");
            if (!in) return e = ErrnoText("the picture cannot be read", errno ? errno : EIO), false;
            FILE* out = std::fopen(temp.c_str(), "wb");
            if (!out) {
                const int err = errno;
                gzclose(in);
                return e = ErrnoText("the picture cannot be written", err), false;
            }
            std::vector<char> buf(65536);
            bool ok = true;
            int n = 0;
            while (ok && (n = gzread(in, buf.data(), unsigned(buf.size()))) > 0)
                if (std::fwrite(buf.data(), 1, size_t(n), out) != size_t(n)) ok = false;
            int err = errno;
            if (n < 0) ok = false, err = EIO;
            if (std::fclose(out) != 0) ok = false, err = errno;
            gzclose(in);
            if (!ok) e = ErrnoText("the picture cannot be copied", err ? err : EIO);
            return ok;
        },
        error);
}

bool CopyReplacing(const std::string& source, const std::string& target, std::string& error, int* errnoOut) {
    int lastErr = 0;
    const bool ok = WriteReplacing(
        target,
        [&](const std::string& temp, std::string& e) {
            std::error_code ec;
            std::filesystem::copy_file(source, temp, std::filesystem::copy_options::overwrite_existing, ec);
            if (ec) {
                lastErr = ec.value();
                e = ec.message();
                return false;
            }
            return true;
        },
        error);
    if (!ok && !lastErr) lastErr = errno ? errno : EIO;
    if (errnoOut) *errnoOut = ok ? 0 : lastErr;
    return ok;
}

int RemoveStaleTemporaries() {
    int removed = 0;
    for (const sys::FoundFile& f : sys::FindFiles(MarkerFolder() + "/sav*.tmp")) {
        if (f.isDirectory) continue;
        // A marker still locked belongs to a save that runs.
        const sys::FileShareLock lock = sys::FileShareLock::TryAcquire(f.path, sys::FileShareLock::Mode::Exclusive);
        if (!lock) continue;
        std::ifstream in(f.path);
        unsigned long long dev = 0, ino = 0;
        std::string path;
        if (in >> dev >> ino && std::getline(in >> std::ws, path)) {
            const std::string name = std::filesystem::path(path).filename().string();
            struct stat st;
            // Only the very file the save made, under the name it gave it.
            if (name.size() > 7 && name.compare(0, 3, "vrd") == 0 && name.compare(name.size() - 4, 4, ".tmp") == 0 &&
                ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == dev && st.st_ino == ino &&
                ::unlink(path.c_str()) == 0)
                ++removed;
        }
        ::unlink(f.path.c_str());
    }
    return removed;
}

}  // namespace dvicopy
