// The contents file: its header and entries, any case of tag names, levels
// and their nesting, pages, list groups, files that break off, Korean text
// in CP949, and where the file is looked for beside a document or in the
// contents folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testsupport/TestTools.h"
#include "viewer/view/ContentsFile.h"

namespace {

// Entries as "depth:page:text" lines, children after their parent.
std::string Outline(const TocData& toc) {
    std::string s;
    for (size_t i = 0; i < toc.entries.size(); ++i) {
        const TocEntry& e = toc.entries[i];
        if (e.parent >= 0) {
            EXPECT_LT(size_t(e.parent), i);
            EXPECT_EQ(toc.entries[size_t(e.parent)].level + 1, e.level) << e.text;
        } else {
            EXPECT_EQ(e.level, 1) << e.text;
        }
        s += std::to_string(e.level) + ":" + std::to_string(e.page) + ":" + e.text + "\n";
    }
    return s;
}

const char kComplete[] =
    "<TOC><META><TI>Algebra Notes</TI><AUTHOR>A. Writer</AUTHOR><YEAR>1998</YEAR><ORG>Some School</ORG></META>"
    "<VOLUME><CONTENT>"
    "1 <PAGE ID=1 IMGSTART=1><TI>Groups</TI>"
    "2 <PAGE IMGSTART=7><TI>Subgroups</TI>"
    "3 <PAGE IMGSTART=9><TI>Cosets</TI>"
    "2 <PAGE IMGSTART=12><TI>Homomorphisms</TI>"
    "1 <PAGE IMGSTART=20><TI>Rings</TI>"
    "</CONTENT>"
    "<LIST><TI>Figures</TI>1 <PAGE IMGSTART=3><TI>A lattice</TI>1 <PAGE IMGSTART=15><TI>A diagram</TI></LIST>"
    "<LIST><TI>Tables</TI><PAGE IMGSTART=21><TI>Units</TI></LIST>"
    "</VOLUME>";

TEST(ContentsFile, ACompleteFileGivesItsHeaderTreeAndListGroups) {
    const TocData toc = ParseToc(kComplete);
    EXPECT_EQ(toc.title, "Algebra Notes");
    EXPECT_EQ(toc.author, "A. Writer");
    EXPECT_EQ(toc.year, "1998");
    EXPECT_EQ(toc.org, "Some School");
    EXPECT_EQ(Outline(toc),
              "1:1:Groups\n2:7:Subgroups\n3:9:Cosets\n2:12:Homomorphisms\n1:20:Rings\n"
              "1:0:Figures\n2:3:A lattice\n2:15:A diagram\n1:0:Tables\n2:21:Units\n");
    EXPECT_EQ(toc.entries[1].parent, 0);
    EXPECT_EQ(toc.entries[2].parent, 1);
    EXPECT_EQ(toc.entries[3].parent, 0);
}

TEST(ContentsFile, TagNamesInAnyCaseParseAlikeAndTextKeepsItsCase) {
    std::string lower = kComplete;
    for (size_t i = 0; i < lower.size(); ++i)
        if (lower[i] == '<')
            for (size_t j = i; j < lower.size() && lower[j] != '>'; ++j) lower[j] = char(std::tolower(lower[j]));
    ASSERT_NE(lower, kComplete);
    const TocData a = ParseToc(kComplete), b = ParseToc(lower);
    EXPECT_EQ(Outline(a), Outline(b));
    EXPECT_EQ(b.title, "Algebra Notes");
    // Only what lies inside angle brackets is upper-cased.
    EXPECT_EQ(UpperCaseTags("<ti>mixed Case</ti> <page imgstart=3>"), "<TI>mixed Case</TI> <PAGE IMGSTART=3>");
}

TEST(ContentsFile, LevelsNestUpToSixAndMissingParentsFallBack) {
    struct Case {
        const char* body;
        const char* outline;
    } cases[] = {
        // 0 and 1 are roots; 7 and 99 join level 6; a negative level is a root.
        {"0 <PAGE IMGSTART=1><TI>a</TI>1 <PAGE IMGSTART=2><TI>b</TI>-1<PAGE IMGSTART=3><TI>c</TI>",
         "1:1:a\n1:2:b\n1:3:c\n"},
        {"1 <PAGE IMGSTART=1><TI>a</TI>2 <PAGE IMGSTART=2><TI>b</TI>3 <PAGE IMGSTART=3><TI>c</TI>"
         "4 <PAGE IMGSTART=4><TI>d</TI>5 <PAGE IMGSTART=5><TI>e</TI>6 <PAGE IMGSTART=6><TI>f</TI>"
         "7 <PAGE IMGSTART=7><TI>g</TI>99<PAGE IMGSTART=8><TI>h</TI>",
         "1:1:a\n2:2:b\n3:3:c\n4:4:d\n5:5:e\n6:6:f\n6:7:g\n6:8:h\n"},
        // Level 3 straight after level 1 hangs under it; level 3 first is a root.
        {"1 <PAGE IMGSTART=1><TI>a</TI>3 <PAGE IMGSTART=2><TI>b</TI>", "1:1:a\n2:2:b\n"},
        {"3 <PAGE IMGSTART=1><TI>a</TI>", "1:1:a\n"},
        // A level-3 entry after a new level-2 one hangs under the new one,
        // not under the older branch.
        {"1 <PAGE IMGSTART=1><TI>a</TI>2 <PAGE IMGSTART=2><TI>b</TI>3 <PAGE IMGSTART=3><TI>c</TI>"
         "1 <PAGE IMGSTART=4><TI>d</TI>3 <PAGE IMGSTART=5><TI>e</TI>",
         "1:1:a\n2:2:b\n3:3:c\n1:4:d\n2:5:e\n"},
        // The tag at the very start of the part; the level ending a line of a
        // web file.
        {"<PAGE IMGSTART=4><TI>first</TI>\r\n2\n<PAGE IMGSTART=5><TI>\r\nsecond\r\n</TI>",
         "1:4:first\n2:5:second\n"},
    };
    for (const Case& c : cases) {
        const std::string file = std::string("<TOC><META></META><VOLUME><CONTENT>") + c.body + "</CONTENT></VOLUME>";
        EXPECT_EQ(Outline(ParseToc(file)), c.outline) << c.body;
    }
}

TEST(ContentsFile, PagesAreReadWithinTheirEntry) {
    const TocData toc = ParseToc(
        "<TOC><META></META><VOLUME><CONTENT>"
        "1 <PAGE IMGSTART=0><TI>zero</TI>"
        "1 <PAGE ID=9><TI>none</TI>"        // no IMGSTART: listed without a page
        "1 <PAGE IMGSTART=\"7\"><TI>quoted</TI>"
        "1 <PAGE IMGSTART=99999999999999999999><TI>huge</TI>"
        "1 <PAGE IMGSTART=3><TI>   </TI>"   // an empty text is skipped
        "1 <PAGE IMGSTART=4><TI>last</TI>"
        "</CONTENT></VOLUME>");
    EXPECT_EQ(Outline(toc), "1:0:zero\n1:0:none\n1:7:quoted\n1:" + std::to_string(kTocMaxPage) + ":huge\n1:4:last\n");
}

TEST(ContentsFile, BodiesWithoutVolumeOrMetaAndFilesThatBreakOff) {
    struct Case {
        std::string file;
        const char* outline;
    } cases[] = {
        // No VOLUME: the body follows "</META>".
        {"<TOC><META><TI>T</TI></META><CONTENT>1 <PAGE IMGSTART=2><TI>a</TI></CONTENT>", "1:2:a\n"},
        // No "</META>" either: the body starts at the seventh character.
        {"<TOC> <CONTENT>1 <PAGE IMGSTART=2><TI>a</TI></CONTENT>", "1:2:a\n"},
        // The first entry's tag right at the body's start.
        {"<TOC><META></META><PAGE IMGSTART=1><TI>a</TI></CONTENT>", "1:1:a\n"},
        // Shorter than seven characters, or nothing at all.
        {"<TOC>", ""},
        {"", ""},
        // An entry without its closing text tag ends the reading; what came
        // before it stays.
        {"<TOC><META></META><CONTENT>1 <PAGE IMGSTART=1><TI>a</TI>1 <PAGE IMGSTART=2><TI>b</TI>"
         "1 <PAGE IMGSTART=3><TI>broken 1 <PAGE IMGSTART=4><TI>d</TI></CONTENT>",
         "1:1:a\n1:2:b\n"},
        // A file cut short before "</CONTENT>" shows the entries it has.
        {"<TOC><META><TI>T</TI></META><VOLUME><CONTENT>1 <PAGE IMGSTART=1><TI>a</TI>2 <PAGE IMGSTART=2><TI>b</TI>"
         "1 <PAGE IMGST",
         "1:1:a\n2:2:b\n"},
        // A list group without its end is not shown; entries in the contents part are.
        {"<TOC><META></META><CONTENT>1 <PAGE IMGSTART=1><TI>a</TI></CONTENT><LIST><TI>Figures</TI><PAGE IMGSTART=3>",
         "1:1:a\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Outline(ParseToc(c.file)), c.outline) << c.file;
    EXPECT_EQ(ParseToc(cases[0].file).title, "T");
}

TEST(ContentsFile, KoreanTextInCp949IsDecodedAndNotUpperCased) {
    // "목차" (contents) as title, and "똠햏" whose CP949 trail bytes are the
    // letters 'c' and 'd', inside angle brackets of an entry text.
    const std::string title = "\xB8\xF1\xC2\xF7";
    const std::string inBrackets = "<\x8C\x63\xC1\x64>";
    const TocData toc =
        ParseToc("<TOC><META><TI>" + title + "</TI></META><CONTENT>1 <PAGE IMGSTART=2><TI>x" + inBrackets +
                 "y</TI></CONTENT>");
    EXPECT_EQ(toc.title, "목차");
    ASSERT_EQ(toc.entries.size(), 1u);
    EXPECT_EQ(toc.entries[0].text, "x<똠햏>y");
    // UTF-8 text stays as it is; bytes that are no CP949 become '?'.
    EXPECT_EQ(TocTextToUtf8("목차"), "목차");
    EXPECT_EQ(TocTextToUtf8("a\xFF" "b"), "a?b");
    EXPECT_EQ(TocTextToUtf8("a\xB8"), "a?");
}

TEST(ContentsFile, TheFileBesideADocumentAndInTheContentsFolder) {
    EXPECT_EQ(TocAddressBeside("/home/u/paper.dvi"), "/home/u/paper.toc");
    EXPECT_EQ(TocAddressBeside("/home/a.b/paper"), "/home/a.b/paper.toc");
    EXPECT_EQ(TocAddressBeside("http://www.host.com/doc"), "http://www.host.com/doc.toc");
    EXPECT_EQ(TocAddressBeside("http://host/d/x.tar.gz"), "http://host/d/x.tar.toc");
    struct Case {
        const char* document;
        const char* folder;
        const char* toc;
    } cases[] = {
        // Windows forms.
        {"C:\\docs\\a\\b.dvi", "..\\toc", "C:\\docs\\toc\\b.toc"},
        {"C:\\docs\\a\\b.dvi", "..\\..\\toc\\", "C:\\toc\\b.toc"},
        {"C:\\docs\\a\\b.dvi", "D:\\tocs", "D:\\tocs\\b.toc"},
        {"C:\\docs\\a\\b.dvi", ".\\toc", "C:\\docs\\a\\toc\\b.toc"},
        {"C:\\docs\\a\\b.dvi", "\\toc", "C:\\docs\\a\\toc\\b.toc"},
        {"C:\\docs\\b.dvi", "..\\..\\..\\toc", "C:\\toc\\b.toc"},
        {"C:\\docs\\a\\b.dvi", "toc\\x", ""},
        // Linux forms.
        {"/home/u/a/b.dvi", "../toc", "/home/u/toc/b.toc"},
        {"/home/u/a/b.dvi", "../../toc/", "/home/toc/b.toc"},
        {"/home/u/a/b.dvi", "./toc", "/home/u/a/toc/b.toc"},
        {"/home/u/a/b.dvi", "/srv/tocs", "/srv/tocs/b.toc"},
        {"/u/b.dvi", "../../../toc", "/toc/b.toc"},
        {"/home/u/a/b.dvi", "toc", ""},
        {"/home/u/a/b.dvi", "", ""},
        // Web documents and folders.
        {"http://host/docs/a/b.dvi", "../toc", "http://host/docs/toc/b.toc"},
        {"/home/u/b.dvi", "http://host/tocs", "http://host/tocs/b.toc"},
        {"/home/u/b", "https://host/tocs/", "https://host/tocs/b.toc"},
    };
    for (const Case& c : cases) EXPECT_EQ(TocAddressInFolder(c.document, c.folder), c.toc) << c.document << " " << c.folder;
    EXPECT_TRUE(IsFetchedAddress("HTTP://host/x"));
    EXPECT_TRUE(IsFetchedAddress("ftp://host/x"));
    EXPECT_FALSE(IsFetchedAddress("/home/http://x"));
    EXPECT_FALSE(IsFetchedAddress("file:///x"));
}

TEST(ContentsFile, ALocalFileIsReadWithoutItsLineEnds) {
    testsupport::TempDir dir;
    const std::string path = dir.File("b.toc");
    const std::string text = "<TOC>\r\n<META><TI>T</TI></META>\r\n<CONTENT>1 <PAGE IMGSTART=2>\n<TI>a</TI></CONTENT>\r\n";
    testsupport::WriteFile(path, std::vector<unsigned char>(text.begin(), text.end()));
    EXPECT_EQ(ReadLocalTocFile(path), "<TOC><META><TI>T</TI></META><CONTENT>1 <PAGE IMGSTART=2><TI>a</TI></CONTENT>");
    EXPECT_EQ(ReadLocalTocFile(dir.File("missing.toc")), "");
}

}  // namespace
