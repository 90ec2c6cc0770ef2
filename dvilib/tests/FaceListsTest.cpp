// Reading the CJK face lists of winfont.alt.
#include "dvilib/FaceLists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TempFile {
    std::string path;
    explicit TempFile(const std::string& text) {
        std::string t = (fs::temp_directory_path() / "facelistsXXXXXX").string();
        int fd = mkstemp(t.data());
        close(fd);
        path = t;
        std::ofstream(path, std::ios::binary) << text;
    }
    ~TempFile() { fs::remove(path); }
};

std::vector<std::string> Names(const FaceLists& lists, int category) {
    std::vector<std::string> out;
    for (const String8& n : lists.Names(category)) out.emplace_back(n.c_str());
    return out;
}

using V = std::vector<std::string>;

TEST(FaceListsTest, HeadingsSelectCategories) {
    TempFile f(
        "Before\n"
        ":Gulim\n"
        "\xB1\xBC\xB8\xB2\r\n"  // 굴림, code page 949
        ":Other heading\n"
        "Second\n"
        "\n\r\n"
        ":MS PGothic\n"
        "P1\n"
        ":MS Gothic trailing words\n"
        "G1\n"
        ":Dotum\n:Batang\n:Gungsuh\nGs\n:MS Mincho\nM1\n:MS PMincho\nPM1\nPM2\n");
    FaceLists lists;
    ASSERT_EQ(1, lists.Read(f.path.c_str()));
    EXPECT_EQ(V({"Before", "Second"}), Names(lists, 0));
    EXPECT_EQ(V(), Names(lists, 1));
    EXPECT_EQ(V({"\xB1\xBC\xB8\xB2"}), Names(lists, 2));
    EXPECT_EQ(V({"Gs"}), Names(lists, 3));
    EXPECT_EQ(V({"G1"}), Names(lists, 4));
    EXPECT_EQ(V({"P1"}), Names(lists, 5));
    EXPECT_EQ(V({"M1"}), Names(lists, 6));
    EXPECT_EQ(V({"PM1", "PM2"}), Names(lists, 7));
    EXPECT_STREQ("MS PGothic", FaceLists::StandardFace(5));
    EXPECT_STREQ(":Gungsuh", FaceLists::Heading(3));
    EXPECT_EQ(nullptr, FaceLists::Heading(8));

    // A second file adds to the lists; Clear empties them.
    TempFile g(":Dotum\nD\n");
    ASSERT_EQ(1, lists.Read(g.path.c_str()));
    EXPECT_EQ(V({"D"}), Names(lists, 1));
    EXPECT_EQ(2u, lists.Names(0).size());
    lists.Clear();
    for (int c = 0; c < FaceLists::CategoryCount; ++c) EXPECT_TRUE(lists.Names(c).empty());
}

TEST(FaceListsTest, LongLinesAreReadInPiecesOf79Bytes) {
    std::string a79(79, 'a'), b79(79, 'b');
    // A ':' that starts a later piece is a heading too.
    TempFile f(":Dotum\n" + a79 + "xyz\n" + b79 + "\n" + std::string(79, 'c') + ":Gulim\nname\n");
    FaceLists lists;
    ASSERT_EQ(1, lists.Read(f.path.c_str()));
    EXPECT_EQ(V({a79, "xyz", b79, std::string(79, 'c')}), Names(lists, 1));
    EXPECT_EQ(V({"name"}), Names(lists, 2));
}

TEST(FaceListsTest, MissingFileLeavesListsEmpty) {
    FaceLists lists;
    EXPECT_EQ(0, lists.Read("/nonexistent/veloran/winfont.alt"));
    EXPECT_EQ(0, lists.Read(nullptr));
    for (int c = 0; c < FaceLists::CategoryCount; ++c) EXPECT_TRUE(lists.Names(c).empty());
}

} // namespace
