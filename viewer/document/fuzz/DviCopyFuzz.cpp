// Fuzz target of the DVI copier that saving uses. The input's first byte
// gives the number of page starts (low three bits) and whether the target is
// compressed (bit 3); four bytes per start follow (little-endian offsets),
// then the DVI file itself. A copy either succeeds with a whole DVI file at
// the target, or fails with the target as it was and no temporary file left.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "viewer/document/DviRewriter.h"

namespace fs = std::filesystem;

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A folder of this run's own, removed at exit.
struct RunFolder {
    fs::path dir;
    RunFolder() {
        std::string t = (fs::temp_directory_path() / "dvicopy-fuzz-XXXXXX").string();
        Check(::mkdtemp(t.data()) != nullptr);
        dir = t;
        // The copier's records of its temporary files stay in the run too.
        setenv("VELORAN_CONFIG_HOME", (dir / "config").c_str(), 1);
    }
    ~RunFolder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

const fs::path& Folder() {
    static const RunFolder folder;
    return folder.dir;
}

size_t FilesIn(const fs::path& dir) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 << 16) return 0;
    const size_t count = data[0] & 7;
    const bool compressed = data[0] & 8;
    if (size < 1 + 4 * count) return 0;
    std::vector<long> starts;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = data + 1 + 4 * i;
        starts.push_back(long(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24));
    }
    const uint8_t* dvi = data + 1 + 4 * count;
    const size_t n = size - 1 - 4 * count;

    const fs::path source = Folder() / "source.dvi";
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(dvi), std::streamsize(n));
    }
    const fs::path target = Folder() / (compressed ? "target.dgz" : "target.dvi");
    const std::string before = "the earlier target";
    {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << before;
    }

    dvicopy::Hooks hooks;
    hooks.special = [](int, std::string& s) { return s.rfind("note:", 0) != 0; };
    hooks.beforeEop = [](int page) { return std::vector<std::string>{"note:" + std::to_string(page)}; };
    std::string error;
    const bool ok = dvicopy::Copy(source.string(), starts, target.string(), "VRD3V 2024.03.07:1405", hooks, error);

    Check(FilesIn(Folder()) == 2);
    const std::string written = Read(target);
    if (!ok) {
        Check(!error.empty());
        Check(written == before);
    } else if (!compressed) {
        // pre, id 2 ... post_post, the id again and at least four 223s.
        Check(written.size() >= 15 + 29 + 10);
        Check(uint8_t(written[0]) == 247 && uint8_t(written[1]) == 2);
        Check(uint8_t(written.back()) == 223);
    } else {
        Check(written.size() >= 18 && uint8_t(written[0]) == 0x1f && uint8_t(written[1]) == 0x8b);
    }
    fs::remove(target);
    return 0;
}
