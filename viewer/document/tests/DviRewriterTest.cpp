// The DVI copier on documents made by TeX: dvitype accepts what it writes,
// specials take their shortest form, the hooks drop, change and add
// specials, ".vrd"/".dgz" names are gzip copies of the same bytes, and every
// failure leaves the target as it was with no temporary file behind.
#include <gtest/gtest.h>

#include <strings.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviWriter.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/TestTools.h"
#include "viewer/document/DviRewriter.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::RunDviType;
using testsupport::TempDir;

namespace {

std::string Bytes(const std::string& path) {
    const auto b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

class Rewriter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
        dir_ = new testsupport::TestEnvironment;  // saves record their temporary files in its config
        const std::string s255(255 - 5, 'a'), s256(256 - 5, 'b'), s293(293 - 5, 'c');
        const std::string tex = "\\special{note:00100010" "0" "                   old one}\n"
                                "\\special{keep:" + s255 + "}\\special{keep:" + s256 + "}\\special{keep:" + s293 +
                                "}\nPage one.\\vfill\\eject\n"
                                "\\special{NOTE:00200020" "0" "                   old two}Page two.\\vfill\\eject\n"
                                "\\special{note:00300030" "0" "                   old three}Page three.\\bye\n";
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, tex, "doc"));
    }
    static void TearDownTestSuite() { delete dir_; }

    // The document's page starts as the reader records them.
    static std::vector<long> Starts(const std::string& file) {
        VrDvi reader;
        reader.Open(file.c_str(), DList<String8>(), DList<String8>());
        reader.NewPageWritten(0);
        std::vector<long> s;
        for (int i = 0; i < reader.GetNPage(); ++i) s.push_back(reader.GetPageStartOffset(i));
        return s;
    }
    // Names of the files in a folder.
    static std::vector<std::string> Files(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // dvitype's listing without byte offsets and without specials.
    static std::string Listing(const std::string& file) {
        std::string out;
        std::istringstream in(RunDviType(file, 2));
        for (std::string line; std::getline(in, line);) {
            if (line.find("xxx") != std::string::npos || line.rfind("'", 0) == 0) continue;
            if (line.rfind("Options", 0) == 0 || line.find("VRD3V") != std::string::npos ||
                line.find("TeX output") != std::string::npos)
                continue;
            const size_t colon = line.find(": ");
            if (colon != std::string::npos && colon < 10 && line.find_first_not_of("0123456789") == colon)
                line = line.substr(colon + 2);
            if (line.find("beginning of page") != std::string::npos) line = line.substr(0, line.find("beginning"));
            if (line.find("Postamble starts at") != std::string::npos || line.find("maxv=") != std::string::npos ||
                line.find("prev=") != std::string::npos)
                continue;
            out += line + "\n";
        }
        return out;
    }

    static inline testsupport::TestEnvironment* dir_ = nullptr;
    TempDir out;
};

TEST_F(Rewriter, CopiesPagesWithShortestSpecialsAndNotesFromTheHooks) {
    const std::string src = dir_->File("doc.dvi");
    const std::string target = out.File("saved.dvi");
    dvicopy::Hooks hooks;
    hooks.special = [](int, std::string& s) { return !(s.size() >= 5 && strncasecmp(s.c_str(), "note:", 5) == 0); };
    hooks.beforeEop = [](int page) {
        return page == 0 ? std::vector<std::string>{"note:0064003200                   new"} : std::vector<std::string>{};
    };
    std::string error;
    ASSERT_TRUE(dvicopy::Copy(src, Starts(src), target, dvicopy::Stamp(1709820300), hooks, error)) << error;

    const std::string listing = RunDviType(target, 4);
    ASSERT_EQ(listing.rfind("FAILED", 0), std::string::npos) << listing;
    EXPECT_NE(listing.find("'VRD3V 2024.03.07:1405'"), std::string::npos);
    // dvitype sees the same pages apart from the specials.
    EXPECT_GT(Listing(src).size(), 500u);
    EXPECT_EQ(Listing(target), Listing(src));

    const std::string b = Bytes(target);
    // 255 bytes: xxx1; 256: xxx2; 293: xxx2 as well (TeX wrote xxx1..4 as it liked).
    EXPECT_NE(b.find(std::string("\xEF\xFFkeep:") + std::string(250, 'a')), std::string::npos);
    EXPECT_NE(b.find(std::string("\xF0\x01\x00keep:", 8) + std::string(251, 'b')), std::string::npos);
    EXPECT_NE(b.find(std::string("\xF0\x01\x25keep:", 8) + std::string(288, 'c')), std::string::npos);
    // The old notes are gone, whatever their case; one new note lies just
    // before page one's eop.
    EXPECT_EQ(b.find("old "), std::string::npos);
    const std::string written = "note:0064003200                   new";
    const std::string note = std::string("\xEF") + char(written.size()) + written + "\x8C";
    EXPECT_NE(b.find(note), std::string::npos);
    EXPECT_EQ(Files(out.Path()), (std::vector<std::string>{"saved.dvi"}));
}

TEST_F(Rewriter, CompressedNamesHoldTheSameDvi) {
    const std::string src = dir_->File("doc.dvi");
    std::string error;
    for (const char* name : {"a.dvi", "a.vrd", "report.DGZ"})
        ASSERT_TRUE(dvicopy::Copy(src, Starts(src), out.File(name), dvicopy::Stamp(0), {}, error)) << error;
    const std::string plain = Bytes(out.File("a.dvi"));
    EXPECT_EQ(plain.substr(0, 2), "\xF7\x02");
    for (const char* name : {"a.vrd", "report.DGZ"}) {
        const std::string gz = Bytes(out.File(name));
        EXPECT_EQ(gz.substr(0, 2), "\x1F\x8B") << name;
        EXPECT_EQ(RunCommand("gzip -dc '" + out.File(name) + "'"), plain) << name;
    }
    EXPECT_EQ(Files(out.Path()), (std::vector<std::string>{"a.dvi", "a.vrd", "report.DGZ"}));
}

TEST_F(Rewriter, AFailureLeavesTheTargetAsItWas) {
    const std::string src = dir_->File("doc.dvi");
    const std::vector<unsigned char> good = ReadFile(src);
    const std::vector<long> starts = Starts(src);
    auto patched = [&](size_t at, std::vector<unsigned char> bytes) {
        std::vector<unsigned char> b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + long(at));
        return b;
    };
    // Inside page one: the byte after its bop header.
    const size_t inPage = size_t(starts[0]) + 45;
    const size_t post = good.size() - 1 - [&] {
        size_t n = 0;
        while (good[good.size() - 1 - n] == 223) ++n;
        return n;
    }() - 5;  // the post_post byte
    struct {
        const char* what;
        std::vector<unsigned char> bytes;
        std::vector<long> starts;
    } cases[] = {
        {"preamble id 3", patched(1, {3}), starts},
        {"a page without bop", patched(size_t(starts[1]), {0}), starts},
        {"bop inside a page", patched(inPage, {139}), starts},
        {"post_post inside a page", patched(inPage, {249}), starts},
        {"an undefined opcode inside a page", patched(inPage, {250}), starts},
        {"a special longer than the file", patched(inPage, {242, 0x7F, 0xFF, 0xFF, 0xFF}), starts},
        {"a cut postamble", std::vector<unsigned char>(good.begin(), good.begin() + long(post) - 3), starts},
        {"a page start beyond the file", good, {starts[0], long(good.size()) + 10}},
    };
    const std::string target = out.File("keep.dvi");
    testsupport::WriteFile(target, {'o', 'l', 'd'});
    for (const auto& c : cases) {
        const std::string bad = out.File("bad.src");
        testsupport::WriteFile(bad, c.bytes);
        for (const std::string& t : {target, out.File("keep.vrd")}) {
            std::string error;
            EXPECT_FALSE(dvicopy::Copy(bad, c.starts, t, "x", {}, error)) << c.what;
            EXPECT_FALSE(error.empty()) << c.what;
        }
        EXPECT_EQ(Bytes(target), "old") << c.what;
        fs::remove(bad);
        EXPECT_EQ(Files(out.Path()), (std::vector<std::string>{"keep.dvi"})) << c.what;
    }
    // A target that may not be written is refused, even for root.
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    std::string error;
    EXPECT_FALSE(dvicopy::Copy(src, starts, target, "x", {}, error));
    EXPECT_EQ(Bytes(target), "old");
    fs::permissions(target, fs::perms::owner_all);
    // A folder that does not exist.
    EXPECT_FALSE(dvicopy::Copy(src, starts, out.File("none/x.dvi"), "x", {}, error));
    EXPECT_EQ(Files(out.Path()), (std::vector<std::string>{"keep.dvi"}));
}

TEST_F(Rewriter, ADiskThatFillsUpLeavesTheTargetAsItWas) {
    const std::string src = dir_->File("doc.dvi");
    const std::string target = out.File("keep.dgz");
    testsupport::WriteFile(target, {'o', 'l', 'd'});
    // Writes beyond 200 bytes fail, as on a full disk.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error1, error2;
    const bool gz = dvicopy::Copy(src, Starts(src), target, "x", {}, error1);
    const bool plain = dvicopy::Copy(src, Starts(src), out.File("keep.dvi"), "x", {}, error2);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(gz);
    EXPECT_FALSE(plain);
    EXPECT_NE(error1.find("cannot be written"), std::string::npos) << error1;
    EXPECT_EQ(Bytes(target), "old");
    EXPECT_EQ(Files(out.Path()), (std::vector<std::string>{"keep.dgz"}));
}

TEST_F(Rewriter, ADocumentWithoutPagesStaysOne) {
    // Pre with a comment, then the postamble at once.
    const std::string src = out.File("empty.src");
    {
        VrDviWriter w;
        w.open(src.c_str());
        ASSERT_EQ(w.WritePreamble(473628672, 25400000, 1000, reinterpret_cast<const unsigned char*>("no pages")), 1);
        w.WritePostamble(0, 0, 0);
        w.WritePostPostamble();
        w.close();
    }
    const std::string target = out.File("empty.dvi");
    std::string error;
    ASSERT_TRUE(dvicopy::Copy(src, {}, target, "VRD3V 2024.03.07:1405", {}, error)) << error;
    const std::string listing = RunDviType(target, 1);
    EXPECT_NE(listing.find("'VRD3V 2024.03.07:1405'"), std::string::npos) << listing;
    EXPECT_NE(listing.find("maxstackdepth=0, totalpages=0"), std::string::npos) << listing;
}

TEST(PictureRename, EveryPictureSpecialTheDrawerReadsNamesTheCopy) {
    const dvicopy::NameMap renamed = {{"pic.eps", "art-pic-1.eps"},
                                      {"my pic.png", "art-pic-2.png"},
                                      {"mark.wmf", "art-pic-3.wmf"},
                                      {"blank.eps", "my art-pic-4.eps"}};
    const std::string dims = "0pt 0pt 10pt 10pt 20pt 20pt ";
    struct {
        std::string special, expected;
    } cases[] = {
        // graphicx with the dvips driver, and psfile pairs in any order and case.
        {"PSfile=\"pic.eps\" llx=0 lly=0 urx=36 ury=36 rwi=360 ", "PSfile=\"art-pic-1.eps\" llx=0 lly=0 urx=36 ury=36 rwi=360 "},
        {"psfile=pic.eps hscale=50", "psfile=art-pic-1.eps hscale=50"},
        {"hscale=50 psfile = \"pic.eps\"", "hscale=50 psfile = \"art-pic-1.eps\""},
        {"psfile=blank.eps", "psfile=\"my art-pic-4.eps\""},
        {"graphics: " + dims + "EPS pic.eps", "graphics: " + dims + "EPS art-pic-1.eps"},
        {"graphics: " + dims + "PNG my pic.png", "graphics: " + dims + "PNG art-pic-2.png"},
        {"graphics: " + dims + "EPS pic.eps  ", "graphics: " + dims + "EPS art-pic-1.eps"},
        {"watermarkgraphics: " + dims + "WMF mark.wmf", "watermarkgraphics: " + dims + "WMF art-pic-3.wmf"},
        {"ps: plotfile pic.eps", "ps: plotfile art-pic-1.eps"},
        // Pictures not copied, and names that are no picture's, stay.
        {"psfile=other.eps", "psfile=other.eps"},
        {"PSfile=\"other.eps\" llx=0", "PSfile=\"other.eps\" llx=0"},
        {"header=pic.eps", "header=pic.eps"},
        {"mypsfile=pic.eps", "mypsfile=pic.eps"},
        {"color push pic.eps", "color push pic.eps"},
        {"graphics: " + dims + "TXT pic.eps", "graphics: " + dims + "TXT pic.eps"},
        {"watermarkgraphics: " + dims + "PNG my pic.png", "watermarkgraphics: " + dims + "PNG my pic.png"},
    };
    for (const auto& c : cases) {
        std::string s = c.special;
        dvicopy::RenamePicture(s, renamed);
        EXPECT_EQ(s, c.expected) << c.special;
    }
}

TEST_F(Rewriter, ASaveKilledOnTheWayLeavesATemporaryFileThatTheNextCleanUpRemoves) {
    const std::string src = dir_->File("doc.dvi");
    const std::vector<long> starts = Starts(src);
    const fs::path docs = out.Path() / "docs";
    fs::create_directories(docs);
    // A file of the person's own with a name of the same shape.
    testsupport::WriteFile((docs / "vrd1234.tmp").string(), {'m', 'i', 'n', 'e'});
    for (const char* target : {"saved.dvi", "saved.vrd"}) {
        SCOPED_TRACE(target);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dvicopy::Hooks hooks;
            hooks.special = [](int, std::string&) {
                raise(SIGKILL);
                return true;
            };
            std::string error;
            dvicopy::Copy(src, starts, (docs / target).string(), "x", hooks, error);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        ASSERT_EQ(Files(docs).size(), 2u);

        EXPECT_EQ(dvicopy::RemoveStaleTemporaries(), 1);
        EXPECT_EQ(Files(docs), (std::vector<std::string>{"vrd1234.tmp"}));
        EXPECT_EQ(dvicopy::RemoveStaleTemporaries(), 0);
    }
    EXPECT_TRUE(Files(dir_->File("config/saving")).empty());

    // A save that runs keeps its files while a clean-up looks.
    int removedMeanwhile = -1;
    dvicopy::Hooks hooks;
    hooks.special = [&](int, std::string&) {
        if (removedMeanwhile < 0) removedMeanwhile = dvicopy::RemoveStaleTemporaries();
        return true;
    };
    std::string error;
    ASSERT_TRUE(dvicopy::Copy(src, starts, (docs / "saved.vrd").string(), "x", hooks, error)) << error;
    EXPECT_EQ(removedMeanwhile, 0);
    EXPECT_EQ(Files(docs), (std::vector<std::string>{"saved.vrd", "vrd1234.tmp"}));
    EXPECT_TRUE(Files(dir_->File("config/saving")).empty());
}

}  // namespace
