#include "platform/sys/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sys/FileSearch.h"
#include "platform/sys/UserDirs.h"

namespace sys {

namespace {

const char* const kRootFiles[3] = {"hkcu", "hklm", "hkcr"};

std::mutex g_defaultMutex;  // guards g_default
std::unique_ptr<Registry> g_default;
std::mutex g_hookMutex;  // guards g_writeHook
std::function<void(size_t)> g_writeHook;

struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        s.exists = true;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtime = st.st_mtim;
    }
    return s;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return n == 0;
        }
        out.append(buf, size_t(n));
    }
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Writes the text to a new file beside `path` and renames it over `path`, so
// a reader sees either the old or the new file, whole.
bool WriteFileAtomically(const std::string& dir, const std::string& path, const std::string& text) {
    std::string temp = path + "." + std::to_string(long(getpid())) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t half = text.size() / 2;
    bool ok = WriteAll(fd, text.data(), half);
    if (ok) {
        std::function<void(size_t)> hook;
        {
            std::lock_guard<std::mutex> lock(g_hookMutex);
            hook = g_writeHook;
        }
        if (hook) hook(half);
        ok = WriteAll(fd, text.data() + half, text.size() - half);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0) {
                if (errno != EINTR) {
                    close(fd_);
                    fd_ = -1;
                    break;
                }
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);
    }
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

struct Registry::Root {
    RegKey tree;
    std::string file;
    std::string lockFile;
    FileStamp stamp;
    bool loaded = false;
};

Registry::Registry(std::string dir) : dir_(std::move(dir)) {
    while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
    for (int i = 0; i < 3; ++i) {
        roots_[i] = std::make_unique<Root>();
        if (!dir_.empty()) {
            roots_[i]->file = dir_ + "/" + kRootFiles[i] + ".reg";
            roots_[i]->lockFile = dir_ + "/" + kRootFiles[i] + ".lock";
        }
    }
}

Registry::~Registry() = default;

std::unique_ptr<Registry> Registry::OpenDirectory(std::string dir) {
    if (dir.empty()) dir = ".";
    return std::unique_ptr<Registry>(new Registry(std::move(dir)));
}

std::unique_ptr<Registry> Registry::CreateInMemory() { return std::unique_ptr<Registry>(new Registry(std::string())); }

Registry& Registry::Default() {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    if (!g_default) g_default = OpenDirectory(ConfigDir());
    return *g_default;
}

void Registry::SetDefault(std::unique_ptr<Registry> registry) {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    g_default = std::move(registry);
}

void Registry::SetWriteFaultHook(std::function<void(size_t)> hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_writeHook = std::move(hook);
}

std::string Registry::FileOf(RegRoot root) const { return RootOf(root).file; }

Registry::Root& Registry::RootOf(RegRoot root) const { return *roots_[int(root)]; }

void Registry::Refresh(Root& r) const {
    if (r.file.empty()) return;
    FileStamp now = StampOf(r.file);
    if (r.loaded && now == r.stamp) return;
    std::string text;
    if (now.exists && ReadWholeFile(r.file, text))
        r.tree = ParseRegistry(text);
    else
        r.tree = RegKey();
    r.stamp = now;
    r.loaded = true;
}

bool Registry::Modify(RegRoot root, const std::function<bool(RegKey&)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    Root& r = RootOf(root);
    if (r.file.empty()) return change(r.tree);
    if (!EnsureDir(dir_)) return false;
    FileLock fileLock(r.lockFile);
    if (!fileLock.Held()) return false;
    Refresh(r);
    RegKey updated = r.tree;
    if (!change(updated)) return false;
    // Writing a value as it stands changes nothing: the file stays.
    if (updated == r.tree) return true;
    if (!WriteFileAtomically(dir_, r.file, FormatRegistry(updated))) return false;
    r.tree = std::move(updated);
    r.stamp = StampOf(r.file);
    // New files are only written under the lock file, so any other one left
    // now was left by a writer that died.
    for (const FoundFile& f : FindFiles(r.file + ".*.tmp"))
        if (!f.isDirectory) unlink(f.path.c_str());
    return true;
}

bool Registry::KeyExists(RegRoot root, std::string_view key) const {
    bool found = false;
    Read(root, key, [&](const RegKey* k) { found = k != nullptr; });
    return found;
}

bool Registry::CreateKey(RegRoot root, std::string_view key) {
    std::vector<std::string> path;
    if (!SplitKeyPath(key, path)) return false;
    if (KeyExists(root, key)) return true;
    return Modify(root, [&](RegKey& tree) {
        RegKey* k = &tree;
        for (const std::string& name : path) k = &k->CreateChild(name);
        return true;
    });
}

bool Registry::DeleteKey(RegRoot root, std::string_view key) {
    std::vector<std::string> path;
    if (!SplitKeyPath(key, path) || path.empty()) return false;
    std::string last = path.back();
    path.pop_back();
    return Modify(root, [&](RegKey& tree) {
        RegKey* parent = tree.Find(path);
        RegKey* k = parent ? parent->Child(last) : nullptr;
        if (!k || k->HasChildren()) return false;
        return parent->RemoveChild(last);
    });
}

bool Registry::Read(RegRoot root, std::string_view key,
                    const std::function<void(const RegKey*)>& look) const {
    std::vector<std::string> path;
    if (!SplitKeyPath(key, path)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Root& r = RootOf(root);
    Refresh(r);
    look(r.tree.Find(path));
    return true;
}

std::vector<std::string> Registry::SubKeys(RegRoot root, std::string_view key) const {
    std::vector<std::string> names;
    Read(root, key, [&](const RegKey* k) {
        if (k) names = k->ChildNames();
    });
    return names;
}

std::vector<std::string> Registry::ValueNames(RegRoot root, std::string_view key) const {
    std::vector<std::string> names;
    Read(root, key, [&](const RegKey* k) {
        if (k) names = k->ValueNames();
    });
    return names;
}

std::optional<RegValue> Registry::GetValue(RegRoot root, std::string_view key, std::string_view name) const {
    std::optional<RegValue> value;
    Read(root, key, [&](const RegKey* k) {
        if (const RegValue* v = k ? k->Value(name) : nullptr) value = *v;
    });
    return value;
}

std::optional<std::string> Registry::GetString(RegRoot root, std::string_view key, std::string_view name) const {
    auto v = GetValue(root, key, name);
    if (!v || v->type != RegValue::Type::String) return std::nullopt;
    return std::move(v->text);
}

std::optional<uint32_t> Registry::GetDword(RegRoot root, std::string_view key, std::string_view name) const {
    auto v = GetValue(root, key, name);
    if (!v || v->type != RegValue::Type::Dword) return std::nullopt;
    return v->dword;
}

bool Registry::SetValue(RegRoot root, std::string_view key, std::string_view name, RegValue value) {
    std::vector<std::string> path;
    if (!SplitKeyPath(key, path) || !IsValidValueName(name)) return false;
    return Modify(root, [&](RegKey& tree) {
        RegKey* k = tree.Find(path);
        if (!k) return false;
        k->SetValue(name, value);
        return true;
    });
}

bool Registry::SetString(RegRoot root, std::string_view key, std::string_view name, std::string_view value) {
    return SetValue(root, key, name, RegValue::String(std::string(value)));
}

bool Registry::SetDword(RegRoot root, std::string_view key, std::string_view name, uint32_t value) {
    return SetValue(root, key, name, RegValue::Dword(value));
}

bool Registry::DeleteValue(RegRoot root, std::string_view key, std::string_view name) {
    std::vector<std::string> path;
    if (!SplitKeyPath(key, path)) return false;
    return Modify(root, [&](RegKey& tree) {
        RegKey* k = tree.Find(path);
        return k && k->RemoveValue(name);
    });
}

ProfileStore::ProfileStore(Registry& registry, std::string registryKey)
    : registry_(registry), registryKey_(std::move(registryKey)) {}

std::string ProfileStore::KeyPath(std::string_view profile, std::string_view section) const {
    std::string path = "Software\\";
    path += registryKey_;
    path += '\\';
    path += profile;
    path += '\\';
    path += section;
    return path;
}

std::string ProfileStore::GetString(std::string_view profile, std::string_view section, std::string_view entry,
                                    std::string_view def) const {
    auto v = registry_.GetString(RegRoot::CurrentUser, KeyPath(profile, section), entry);
    return v ? *v : std::string(def);
}

int ProfileStore::GetInt(std::string_view profile, std::string_view section, std::string_view entry, int def) const {
    auto v = registry_.GetDword(RegRoot::CurrentUser, KeyPath(profile, section), entry);
    return v ? int(*v) : def;
}

bool ProfileStore::WriteString(std::string_view profile, std::string_view section, std::string_view entry,
                               std::string_view value) {
    std::string key = KeyPath(profile, section);
    return registry_.CreateKey(RegRoot::CurrentUser, key) &&
           registry_.SetString(RegRoot::CurrentUser, key, entry, value);
}

bool ProfileStore::WriteInt(std::string_view profile, std::string_view section, std::string_view entry, int value) {
    std::string key = KeyPath(profile, section);
    return registry_.CreateKey(RegRoot::CurrentUser, key) &&
           registry_.SetDword(RegRoot::CurrentUser, key, entry, uint32_t(value));
}

bool ProfileStore::DeleteEntry(std::string_view profile, std::string_view section, std::string_view entry) {
    return registry_.DeleteValue(RegRoot::CurrentUser, KeyPath(profile, section), entry);
}

bool ProfileStore::HasEntry(std::string_view profile, std::string_view section, std::string_view entry) const {
    return registry_.GetValue(RegRoot::CurrentUser, KeyPath(profile, section), entry).has_value();
}

}  // namespace sys
