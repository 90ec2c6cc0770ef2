// Helpers shared by the tests of every layer: a temporary folder, whole-file
// reads and writes, and the TeX tools (tex, dvitype, ...) run as commands.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

// A folder made under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir() {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vrtest-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the first `n` bytes (all by default) in place of the file.
inline void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes,
                      size_t n = size_t(-1)) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(std::min(n, bytes.size())));
}

// Runs a shell command and returns what it printed; the text starts with
// "FAILED" when the command could not start or ended with a non-zero status.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "FAILED popen";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = pclose(p);
    if (rc != 0) out = "FAILED " + std::to_string(rc) + "\n" + out;
    return out;
}

// Runs a command in `dir`, its error output joined to its output.
inline std::string RunIn(const TempDir& dir, const std::string& command) {
    return RunCommand("cd '" + dir.Path().string() + "' && " + command + " 2>&1");
}

// Writes `text` to <name>.tex in `dir` and runs plain TeX on it there,
// stopping at the first error; the result is RunCommand's.
inline std::string RunTex(const TempDir& dir, const std::string& text, const std::string& name = "doc") {
    std::ofstream(dir.File(name + ".tex")) << text;
    return RunIn(dir, "tex -interaction=batchmode -halt-on-error " + name + ".tex");
}

// The same with LaTeX.
inline std::string RunLatex(const TempDir& dir, const std::string& text, const std::string& name = "doc") {
    std::ofstream(dir.File(name + ".tex")) << text;
    return RunIn(dir, "latex -interaction=batchmode -halt-on-error " + name + ".tex");
}

// dvitype's listing of a DVI file at the given output level.
inline std::string RunDviType(const std::string& dviPath, int level) {
    return RunCommand("dvitype -output-level=" + std::to_string(level) + " '" + dviPath + "' 2>&1");
}

} // namespace testsupport
