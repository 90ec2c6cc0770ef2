#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sys/FileSearch.h"
#include "platform/sys/tests/ScratchDir.h"

using namespace sys;

TEST(FileSearch, WildcardsMatchWithoutCase) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.ttf", "X.TTF", true},
        {"*.ttf", "x.ttf.bak", false},
        {"*.TTF", "cmr10.ttf", true},
        {"h?p*.tmp", "htp1A.tmp", true},
        {"h?p*.tmp", "HPPFFFF.TMP", true},
        {"h?p*.tmp", "hpp.tmp", true},
        {"h?p*.tmp", "htp1A.tmP", true},
        {"h?p*.tmp", "htp1A.t_p", false},
        {"h?p*.tmp", "hp.tmp", false},
        {"h?p*.tmp", "xtp1.tmp", false},
        {"*.*", "noextension", true},
        {"*", "", true},
        {"?", "", false},
        {"?", "a", true},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"*.map", "winfont.alt", false},
        {"VRPTTF.LOG", "vrpttf.log", true},
        {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"\xc3\xa9*", "\xc3\xa9t\xc3\xa9", true},
    };
    for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
}

TEST(FileSearch, FindsMatchesSortedWithoutCase) {
    ScratchDir dir;
    for (const char* f : {"b.ttf", "A.TTF", "c.Ttf", "d.txt", "B.ttf"}) ScratchDir::WriteFile(dir / f, "x");
    std::filesystem::create_directory(dir / "e.ttf");

    std::vector<FoundFile> found = FindFiles(dir / "*.ttf");
    std::vector<std::string> names;
    for (const FoundFile& f : found) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"A.TTF", "B.ttf", "b.ttf", "c.Ttf", "e.ttf"}));
    EXPECT_EQ(found[0].path, dir / "A.TTF");
    EXPECT_EQ(found[0].size, 1u);
    EXPECT_FALSE(found[0].isDirectory);
    EXPECT_TRUE(found[4].isDirectory);

    // Backslashes separate folders as well.
    std::string windowsStyle = dir.Path() + "\\*.TXT";
    ASSERT_EQ(FindFiles(windowsStyle).size(), 1u);
    EXPECT_EQ(FindFiles(windowsStyle)[0].path, dir / "d.txt");

    EXPECT_TRUE(FindFiles(dir / "*.pfb").empty());
    EXPECT_TRUE(FindFiles(dir / "missing/*.ttf").empty());
    EXPECT_TRUE(FindFiles(dir.Path() + "/").empty());
    EXPECT_EQ(FindFiles(dir / "*").size(), 6u);  // no "." or ".."

    FileFinder finder;
    ASSERT_TRUE(finder.FindFirst(dir / "?.ttf"));
    std::vector<std::string> walked{finder.Current().name};
    while (finder.FindNext()) walked.push_back(finder.Current().name);
    EXPECT_EQ(walked, (std::vector<std::string>{"A.TTF", "B.ttf", "b.ttf", "c.Ttf", "e.ttf"}));
    EXPECT_FALSE(finder.FindFirst(dir / "*.none"));
}
