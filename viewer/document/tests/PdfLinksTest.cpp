#include "viewer/document/PdfLinks.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testsupport/TestTools.h"

namespace {

namespace fs = std::filesystem;

// A PDF body from numbered object texts; the scanner reads no xref table.
std::string Pdf(const std::vector<std::pair<int, std::string>>& objects) {
    std::string s = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    for (const auto& [num, text] : objects) s += std::to_string(num) + " 0 obj\n" + text + "\nendobj\n";
    s += "trailer\n<< /Root 1 0 R >>\n%%EOF\n";
    return s;
}

// Catalog, page tree and three pages (objects 3, 4, 5).
std::vector<std::pair<int, std::string>> ThreePages(const std::string& firstPageAnnots) {
    return {
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]" + firstPageAnnots + " >>"},
        {4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"},
        {5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"},
    };
}

struct Tables {
    int result = -1;
    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
};

Tables Scan(const std::string& text) {
    Tables t;
    t.result = ScanPdfLinkText(text, &t.links, &t.objects, &t.names, &t.dests);
    return t;
}

struct Expected {
    int page, x0, y0, x1, y1, objNum, destNum, target;
    std::string text;
};

void ExpectLinks(const std::vector<LinkRecord>& links, const std::vector<Expected>& want) {
    ASSERT_EQ(links.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const LinkRecord& l = links[i];
        const Expected& w = want[i];
        EXPECT_EQ(l.page, w.page);
        EXPECT_EQ(l.x0, w.x0);
        EXPECT_EQ(l.y0, w.y0);
        EXPECT_EQ(l.x1, w.x1);
        EXPECT_EQ(l.y1, w.y1);
        EXPECT_EQ(l.objNum, w.objNum);
        EXPECT_EQ(l.objGen, 0);
        EXPECT_EQ(l.destNum, w.destNum);
        EXPECT_EQ(l.target, w.target);
        EXPECT_EQ(l.text, w.text);
    }
}

TEST(PdfLinks, FirstPageLinksToOtherPages) {
    auto objs = ThreePages(" /Annots [12 0 R 14 0 R]");
    objs.push_back({12, "<< /Type /Annot /Subtype /Link /Rect [10 20 110.9 40] /Dest [5 0 R /Fit] >>"});
    objs.push_back({14, "<< /Type /Annot /Subtype/Link /Rect [-5.5 0 30 8] /Border [0 0 0] /Dest [4 0 R /XYZ 0 792 0] >>"});
    Tables t = Scan(Pdf(objs));
    ASSERT_EQ(t.result, 1);
    // The /Pages object is not a page: object 5 is the third page.
    ExpectLinks(t.links, {{1, 10, 20, 110, 40, 12, 5, 3, ""}, {1, -5, 0, 30, 8, 14, 4, 2, ""}});
    ASSERT_EQ(t.objects.size(), 7u);
    const int pageCounts[] = {0, 0, 1, 2, 3, 3, 3};
    for (size_t i = 0; i < t.objects.size(); ++i) EXPECT_EQ(t.objects[i].pageCount, pageCounts[i]) << i;
    EXPECT_EQ(t.objects[2].objNum, 3);
    EXPECT_TRUE(t.names.empty());
    EXPECT_TRUE(t.dests.empty());
}

TEST(PdfLinks, NamedDestinationThroughNameTreeLeaf) {
    auto objs = ThreePages(" /Annots [12 0 R 13 0 R 15 0 R]");
    objs.push_back({6, "<< /Kids [7 0 R] >>"});
    objs.push_back({7, "<< /Limits [(chap.1)(sec.2)] /Names [(chap.1) 8 0 R (direct) 4 0 R (sec.2) << /D [3 0 R] >>] >>"});
    objs.push_back({8, "<< /D [5 0 R /XYZ 72 720 null] >>"});
    objs.push_back({12, "<< /Subtype /Link /Rect [0 0 10 10] /Dest (chap.1) >>"});
    objs.push_back({13, "<< /Subtype /Link /Rect [0 20 10 30] /A << /S /GoTo /D (direct) >> >>"});
    objs.push_back({15, "<< /Subtype /Link /Rect [0 40 10 50] /Dest (missing) >>"});
    Tables t = Scan(Pdf(objs));
    ASSERT_EQ(t.result, 1);
    ExpectLinks(t.links, {{1, 0, 0, 10, 10, 12, 5, 3, "chap.1"},
                          {1, 0, 20, 10, 30, 13, 4, 2, "direct"},
                          {1, 0, 40, 10, 50, 15, -1, -1, "missing"}});
    // Only "n g R" values make name records.
    ASSERT_EQ(t.names.size(), 2u);
    EXPECT_EQ(t.names[0].name, "chap.1");
    EXPECT_EQ(t.names[0].refNum, 8);
    EXPECT_EQ(t.names[1].name, "direct");
    ASSERT_EQ(t.dests.size(), 1u);
    EXPECT_EQ(t.dests[0].objNum, 8);
    EXPECT_EQ(t.dests[0].refNum, 5);
}

TEST(PdfLinks, NamedDestinationThroughDestinationString) {
    // A destination object naming another name: the name tree gives its reference.
    auto objs = ThreePages(" /Annots [12 0 R]");
    objs.push_back({7, "<< /Limits [(a)(a)] /Names [(a) 5 0 R] >>"});
    objs.push_back({9, "<< /S /GoTo /D (a) >>"});
    objs.push_back({12, "<< /Subtype /Link /Rect [0 0 10 10] /Dest [9 0 R] >>"});
    Tables t = Scan(Pdf(objs));
    ExpectLinks(t.links, {{1, 0, 0, 10, 10, 12, 5, 3, ""}});
    ASSERT_EQ(t.dests.size(), 1u);
    EXPECT_EQ(t.dests[0].name, "a");
    EXPECT_EQ(t.dests[0].refNum, 5);
}

TEST(PdfLinks, UriLinks) {
    auto objs = ThreePages("");
    objs[3].second = "<< /Type /Page /Annots [12 0 R 13 0 R] >>";
    objs.push_back({7, "<< /Limits [(x)(x)] /Names [(http://a.example/) 5 0 R] >>"});
    objs.push_back({12, "<< /Subtype /Link /Rect [100 100 200 120] /A << /S /URI /URI (http://a.example/) >> >>"});
    objs.push_back({13, "<< /Subtype /Link /Rect [0 0 5 5] /A<</S/URI\n/URI(mailto:x@y.example)>> >>"});
    Tables t = Scan(Pdf(objs));
    // A URI that happens to equal a destination name stays a URI.
    ExpectLinks(t.links, {{2, 100, 100, 200, 120, 12, -1, -2, "http://a.example/"},
                          {2, 0, 0, 5, 5, 13, -1, -2, "mailto:x@y.example"}});

    std::string uri = "untouched";
    EXPECT_EQ(FindLinkAtPoint(2, 150, 110, int(t.links.size()), t.links.data(), nullptr), -2);
    EXPECT_EQ(FindLinkAtPoint(2, 150, 110, int(t.links.size()), t.links.data(), &uri), -2);
    EXPECT_EQ(uri, "http://a.example/");
    uri = "untouched";
    EXPECT_EQ(FindLinkAtPoint(2, 150, 130, int(t.links.size()), t.links.data(), &uri), 0);
    EXPECT_EQ(uri, "untouched");
}

TEST(PdfLinks, StringsAreReadWithEscapesAndBalancedParentheses) {
    struct Row {
        std::string written, read;
    };
    const Row rows[] = {
        // As pdflatex writes \href{https://en.wikipedia.org/wiki/Set_(mathematics)}.
        {R"((https://en.wikipedia.org/wiki/Set_\(mathematics\)))", "https://en.wikipedia.org/wiki/Set_(mathematics)"},
        {"(https://example.org/a_(b_(c))_d)", "https://example.org/a_(b_(c))_d"},
        {R"((a\\b\)c\(d))", R"(a\b)c(d)"},
        {R"((\101\60\0601\7x))", "A001\x07x"},
        {"(one\\\ntwo\\\r\nthree)", "onetwothree"},
        {R"((tab\there\qnot))", "tab\there" "qnot"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.written);
        auto objs = ThreePages(" /Annots [12 0 R 13 0 R]");
        objs.push_back({12, "<< /Subtype /Link /Rect [0 0 9 9] /A << /S /URI /URI " + row.written + " >> >>"});
        // The same string as a destination name, found in the name tree.
        objs.push_back({13, "<< /Subtype /Link /Rect [0 20 9 29] /Dest " + row.written + " >>"});
        objs.push_back({7, "<< /Limits [(a)(z)] /Names [" + row.written + " 8 0 R (after) 9 0 R] >>"});
        objs.push_back({8, "<< /D [5 0 R /Fit] >>"});
        objs.push_back({9, "<< /D [4 0 R /Fit] >>"});
        Tables t = Scan(Pdf(objs));
        ExpectLinks(t.links, {{1, 0, 0, 9, 9, 12, -1, -2, row.read}, {1, 0, 20, 9, 29, 13, 5, 3, row.read}});
        ASSERT_EQ(t.names.size(), 2u);
        EXPECT_EQ(t.names[1].name, "after");
        EXPECT_EQ(t.names[1].refNum, 9);
    }
}

TEST(PdfLinks, IndirectAnnotsThroughArrayObject) {
    auto objs = ThreePages("");
    objs[3].second = "<< /Type /Page /Annots 20 0 R >>";
    objs.push_back({20, "[12 0 R\n13 0 R]"});
    objs.push_back({12, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [3 0 R /Fit] >>"});
    objs.push_back({13, "<< /Subtype /Link /Rect [5 6 7 8] /Dest [5 0 R /Fit] >>"});
    Tables t = Scan(Pdf(objs));
    ExpectLinks(t.links, {{2, 1, 2, 3, 4, 12, 3, 1, ""}, {2, 5, 6, 7, 8, 13, 5, 3, ""}});
    // Array objects are not in the object table.
    for (const PdfObjectRecord& o : t.objects) EXPECT_NE(o.objNum, 20);
}

TEST(PdfLinks, SharedAnnotsArrayGoesToTheLastPageNamingIt) {
    auto objs = ThreePages(" /Annots 20 0 R");
    objs[3].second = "<< /Type /Page /Annots 20 0 R >>";
    objs.push_back({20, "[12 0 R]"});
    objs.push_back({12, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [5 0 R] >>"});
    ExpectLinks(Scan(Pdf(objs)).links, {{2, 1, 2, 3, 4, 12, 5, 3, ""}});

    // Many pages sharing one long array: each link still gets the last page.
    std::string many = "%PDF-1.4\n9 0 obj\n[";
    const int n = 4000;
    for (int i = 0; i < n; ++i) many += std::to_string(1000 + i) + " 0 R ";
    many += "]\nendobj\n";
    for (int i = 0; i < n; ++i) many += std::to_string(100000 + i) + " 0 obj << /Type /Page /Annots 9 0 R >> endobj\n";
    for (int i = 0; i < n; ++i)
        many += std::to_string(1000 + i) + " 0 obj << /Subtype /Link /Rect [0 0 1 1] /Dest [100000 0 R] >> endobj\n";
    Tables t = Scan(many);
    ASSERT_EQ(t.links.size(), size_t(n));
    for (const LinkRecord& l : t.links) {
        ASSERT_EQ(l.page, n);
        ASSERT_EQ(l.target, 1);
    }
}

TEST(PdfLinks, FilesWithoutAnnotationsGiveEmptyTables) {
    auto objs = ThreePages("");
    objs.push_back({7, "<< /Limits [(a)(a)] /Names [(a) 5 0 R] >>"});
    objs.push_back({8, "<< /D [4 0 R] >>"});
    objs.push_back({12, "<< /Subtype /Link /Rect [0 0 10 10] /Dest [5 0 R] >>"}); // listed by no page
    Tables t;
    t.links.resize(3);
    t.result = ScanPdfLinkText(Pdf(objs), &t.links, &t.objects, &t.names, &t.dests);
    EXPECT_EQ(t.result, 1);
    EXPECT_TRUE(t.links.empty());
    EXPECT_TRUE(t.objects.empty());
    EXPECT_TRUE(t.names.empty());
    EXPECT_TRUE(t.dests.empty());
}

TEST(PdfLinks, PointLookup) {
    std::vector<LinkRecord> links(4);
    auto set = [](LinkRecord& l, int page, int x0, int y0, int x1, int y1, int target) {
        l.page = page, l.x0 = x0, l.y0 = y0, l.x1 = x1, l.y1 = y1, l.target = target;
    };
    set(links[0], 1, 10, 10, 20, 20, 3);
    set(links[1], 1, 15, 15, 30, 30, -1); // unresolved, overlaps the first
    set(links[2], 1, 50, 0, 40, 10, 2);   // x0 > x1: never hit
    set(links[3], 2, 10, 10, 20, 20, 5);
    struct Case {
        int page, x, y, result;
    } cases[] = {
        {1, 10, 10, 3}, {1, 20, 20, 3}, {1, 15, 18, 3}, {1, 9, 15, 0},   {1, 21, 15, 0},
        {1, 25, 25, 0}, {1, 45, 5, 0},  {2, 10, 20, 5}, {3, 15, 15, 0}, {0, 15, 15, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindLinkAtPoint(c.page, c.x, c.y, 4, links.data(), nullptr), c.result) << c.page << " " << c.x << "," << c.y;
    EXPECT_EQ(FindLinkAtPoint(1, 15, 15, 0, links.data(), nullptr), 0);
    EXPECT_EQ(FindLinkAtPoint(1, 15, 15, -1, links.data(), nullptr), 0);
    EXPECT_EQ(FindLinkAtPoint(1, 15, 15, 1, nullptr, nullptr), 0);
}

TEST(PdfLinks, KeywordRules) {
    const std::string delimiters = "`-=~!@#$%^&*()_+[]\\;',./{}|:\"<>?";
    ASSERT_EQ(delimiters.size(), 32u);
    for (char d : delimiters) EXPECT_EQ(MatchKeyword(std::string("/Page") + d, "/Page"), 5u) << d;
    for (char c : std::string("sAz09\x01\x7f")) EXPECT_EQ(MatchKeyword(std::string("/Page") + c, "/Page"), 0u) << int(c);
    EXPECT_EQ(MatchKeyword("/Page \t\r\n/X", "/Page"), 9u);
    EXPECT_EQ(MatchKeyword("/Page", "/Page"), 0u); // nothing behind it
    EXPECT_EQ(MatchKeyword("/Pag", "/Page"), 0u);

    size_t found = 99;
    EXPECT_EQ(FindKeyword("obj <<", 0, "obj", &found), 4u);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(FindKeyword("1 0 obj\n<<", 0, "obj", &found), 4u);
    EXPECT_EQ(found, 4u);
    EXPECT_EQ(FindKeyword("endobj 2 0 obj x", 0, "obj", &found), 0u); // rejected, no retry
    EXPECT_EQ(found, 3u);
    EXPECT_EQ(FindKeyword("endobj 2 0 obj x", 4, "obj", &found), 4u);
    EXPECT_EQ(found, 11u);
    EXPECT_EQ(FindKeyword("a obj", 0, "obj", &found), 0u); // at the end of the buffer
    EXPECT_EQ(found, 2u);
    EXPECT_EQ(FindKeyword("<</DA (x) /D [1 0 R]>>", 0, "/D", &found), 0u);
    EXPECT_EQ(found, 2u);
    // A name starts at its "/": the letter before it belongs to the name before.
    EXPECT_EQ(FindKeyword("/S/URI (a)", 0, "/URI", &found), 5u);
    EXPECT_EQ(found, 2u);
    EXPECT_EQ(FindKeyword("x/URI(a)", 0, "/URI", &found), 4u);
    EXPECT_EQ(FindKeyword("xobj 1", 0, "obj", &found), 0u);  // a word still needs its boundary
    EXPECT_EQ(FindKeyword("abc", 0, "x", &found), 0u);
    EXPECT_EQ(found, std::string_view::npos);
    EXPECT_EQ(FindKeyword("abc", 7, "a", &found), 0u);
    EXPECT_EQ(found, std::string_view::npos);
}

TEST(PdfLinks, NumberTokens) {
    struct Case {
        const char* text;
        double value;
        size_t consumed;
    } cases[] = {
        {"12 0 R", 12, 3},    {"  12  ", 12, 5},    {"12", 12, 2},        {"720]", 720, 4},
        {"-5.5 x", -5.5, 5},  {"+3", 3, 2},         {".5", 0.5, 2},       {"1e3", 1000, 3},
        {"abc 4", 0, 4},      {"", 0, 0},           {"   ", 0, 3},        {"--1", 0, 3},
        {"7\n8", 7, 2},       {"3.9(", 3.9, 4},     {"1e999", HUGE_VAL, 5}, {"-1e999", -HUGE_VAL, 6}, {"1e-999", 0, 6},
    };
    for (const Case& c : cases) {
        size_t consumed = 99;
        EXPECT_DOUBLE_EQ(ReadNumberToken(c.text, &consumed), c.value) << '"' << c.text << '"';
        EXPECT_EQ(consumed, c.consumed) << '"' << c.text << '"';
    }
    // Long tokens are cut at 1023 characters.
    std::string longToken(1100, '1');
    size_t consumed = 0;
    EXPECT_GT(ReadNumberToken(longToken, &consumed), 1e300);
    EXPECT_EQ(consumed, 1024u);
}

TEST(PdfLinks, MalformedAndTruncatedInputReturnCleanly) {
    auto objs = ThreePages(" /Annots [12 0 R 13 0 R 14 0 R]");
    objs.push_back({6, "<< /Limits [(a)(b)] /Names [(a) 8 0 R (b) 9 0 R] >>"});
    objs.push_back({8, "<< /D [5 0 R /Fit] >>"});
    objs.push_back({9, "<< /D (a) >>"});
    objs.push_back({12, "<< /Subtype /Link /Rect [1 2 3 4] /Dest (a) >>"});
    objs.push_back({13, "<< /Subtype /Link /Rect [1 2 3 4] /A << /S /URI /URI (http://x.example/) >> >>"});
    objs.push_back({14, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [9 0 R] >>"});
    const std::string good = Pdf(objs);
    Tables whole = Scan(good);
    ASSERT_EQ(whole.links.size(), 3u);
    EXPECT_EQ(whole.links[0].target, 3);
    EXPECT_EQ(whole.links[2].target, 3);
    for (size_t n = 0; n <= good.size(); ++n) {
        Tables t = Scan(good.substr(0, n));
        ASSERT_EQ(t.result, 1) << n;
        ASSERT_LE(t.links.size(), 3u) << n;
    }

    const std::string hostile[] = {
        "",
        "obj",
        "obj endobj",
        " obj endobj",
        "0 obj endobj",
        "1 0 obj",
        "1 0 obj [",
        "1 0 obj [1 0 R endobj",
        "1 0 obj [1 0 R 2",
        "99999999999999999999 -99999999999999 obj << /Type /Page /Annots [2 0 R] >> endobj",
        "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj 2 0 obj << /Subtype /Link /Rect [1 2 >> endobj",
        "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj 2 0 obj << /Subtype /Link /Rect [1e999 nan -inf 4] /Dest [",
        "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj 2 0 obj << /Subtype /Link /Rect [1 2 3 4] /Dest (x endobj",
        "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj 2 0 obj << /Subtype /Link /Rect [1 2 3 4] /URI /URI (",
        "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj 2 0 obj << /Subtype /Link /Rect [ endobj",
        "1 0 obj << /Type /Page /Annots 2 endobj",
        "1 0 obj << /Type /Page /Annots",
        "1 0 obj << /Type /Page /Annots endobj",
        "1 0 obj << /Limits [] /Names [(a) 1 0 R (b endobj",
        "1 0 obj << /Limits [] /Names [(a) 1 0 endobj",
        "1 0 obj << /Limits [] /Names [(a endobj",
        "1 0 obj << /Limits [] /Names endobj",
        "1 0 obj << /D endobj",
        "1 0 obj << /D",
        "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj" + std::string(3, '\0') + " 2 0 obj" + std::string(1, '\0') +
            "<< /Subtype /Link /Rect [1 2 3 4] >>",
    };
    for (const std::string& text : hostile) {
        Tables t = Scan(text);
        EXPECT_EQ(t.result, 1) << text;
    }
}

TEST(PdfLinks, NulBytesDoNotEndTheScan) {
    auto objs = ThreePages(" /Annots [12 0 R]");
    const std::string nul(1, '\0');
    objs.insert(objs.begin(), {30, "<< /Length 4 >>\nstream\n" + nul + nul + "\x01" + nul + "\nendstream"});
    objs.push_back({12, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [4 0 R] >>"});
    Tables t = Scan(Pdf(objs));
    ExpectLinks(t.links, {{1, 1, 2, 3, 4, 12, 4, 2, ""}});
}

// An object stream holding the objects, FlateDecode-compressed unless plain.
std::pair<int, std::string> ObjectStream(int num, const std::vector<std::pair<int, std::string>>& objects,
                                         bool plain = false) {
    std::string head, body;
    for (const auto& [n, text] : objects) {
        head += std::to_string(n) + " " + std::to_string(body.size()) + " ";
        body += text + "\n";
    }
    std::string data = head + body;
    if (!plain) {
        uLongf size = compressBound(uLong(data.size()));
        std::string packed(size, '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                 uLong(data.size()));
        packed.resize(size);
        data = packed;
    }
    return {num, "<< /Type /ObjStm /N " + std::to_string(objects.size()) + " /First " + std::to_string(head.size()) +
                     " /Length " + std::to_string(data.size()) + (plain ? "" : " /Filter /FlateDecode") +
                     " >>\nstream\n" + data + "\nendstream"};
}

TEST(PdfLinks, ObjectsOfObjectStreamsAndPagesInTreeOrder) {
    // As pdflatex writes them: names directly after names, every dictionary
    // in an object stream, and the tree's second page is the file's third.
    std::vector<std::pair<int, std::string>> inside = {
        {1, "<</Type/Catalog/Pages 2 0 R/Names 6 0 R>>"},
        {2, "<</Type/Pages/Kids[3 0 R 5 0 R 4 0 R]/Count 3>>"},
        {3, "<</Type/Page/Parent 2 0 R/Annots[12 0 R 13 0 R]>>"},
        {4, "<</Type/Page/Parent 2 0 R>>"},
        {5, "<</Type/Page/Parent 2 0 R/Annots[14 0 R]>>"},
        {6, "<</Limits[(page.2)(page.3)]/Names[(page.2) 8 0 R(page.3) 9 0 R]>>"},
        {8, "<</D[5 0 R/XYZ 133 720 null]>>"},
        {9, "<</D[4 0 R/XYZ 133 720 null]>>"},
        {12, "<</Type/Annot/Subtype/Link/Border[0 0 0]/Rect[10 20 30 40]/A<</S/GoTo/D(page.3)>>>>"},
        {13, "<</Type/Annot/Subtype/Link/Rect[50 20 90 40]/A<</Type/Action/S/URI/URI(http://example.org/a?b=c)>>>>"},
        {14, "<</Type/Annot/Subtype/Link/Rect[1 2 3 4]/A<</S/GoTo/D(page.2)>>>>"},
    };
    Tables t = Scan(Pdf({ObjectStream(20, inside)}));
    ASSERT_EQ(t.result, 1);
    ExpectLinks(t.links, {{1, 10, 20, 30, 40, 12, 4, 3, "page.3"},
                          {1, 50, 20, 90, 40, 13, -1, -2, "http://example.org/a?b=c"},
                          {2, 1, 2, 3, 4, 14, 5, 2, "page.2"}});

    // The same objects unpacked, and a damaged stream (its check sum) beside
    // a sound one, give the same links.
    Tables unpacked = Scan(Pdf(inside));
    auto damaged = ObjectStream(21, {{30, "<</Type/Annot/Subtype/Link/Rect[0 0 1 1]/Dest[3 0 R]>>"}});
    damaged.second[damaged.second.find("\nendstream") - 1] ^= 0x55;
    Tables withDamage = Scan(Pdf({damaged, ObjectStream(20, inside)}));
    for (const Tables* other : {&unpacked, &withDamage}) {
        ASSERT_EQ(other->links.size(), t.links.size());
        for (size_t i = 0; i < t.links.size(); ++i) {
            EXPECT_EQ(other->links[i].page, t.links[i].page) << i;
            EXPECT_EQ(other->links[i].target, t.links[i].target) << i;
            EXPECT_EQ(other->links[i].text, t.links[i].text) << i;
        }
    }

    // Streams that lie about themselves are skipped or cut, never read past.
    for (const std::string& text : {ObjectStream(1, {{2, "<</Type/Page>>"}}, true).second,
                                    std::string("<< /Type /ObjStm /N 5 /First 900 /Length 3 >>\nstream\n1 0\nendstream"),
                                    std::string("<< /Type /ObjStm /N 2 /First 4 >>\nstream\n1 99 2 1 <<>>"),
                                    std::string("<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode >>\nstream\nxx"),
                                    std::string("<< /Type /ObjStm /N 1 /First 2 /Length 99999 >>\nstream\n1 0")}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Scan(Pdf({{1, text}})).result, 1);
    }
}

// A FlateDecode object stream of one object: "1 0 " and `zeros` NUL bytes,
// packed without holding them.
std::string ZeroBomb(size_t zeros) {
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    std::string packed;
    const std::string head = "1 0 ";
    const std::vector<unsigned char> block(1 << 20, 0);
    unsigned char out[1 << 16];
    auto pump = [&](const unsigned char* in, size_t size, int flush) {
        z.next_in = const_cast<unsigned char*>(in);
        z.avail_in = uInt(size);
        do {
            z.next_out = out;
            z.avail_out = sizeof out;
            deflate(&z, flush);
            packed.append(reinterpret_cast<char*>(out), sizeof out - z.avail_out);
        } while (z.avail_out == 0);
    };
    pump(reinterpret_cast<const unsigned char*>(head.data()), head.size(), Z_NO_FLUSH);
    for (size_t left = zeros; left > 0;) {
        const size_t n = std::min(left, block.size());
        left -= n;
        pump(block.data(), n, left ? Z_NO_FLUSH : Z_FINISH);
    }
    deflateEnd(&z);
    return "<< /Type /ObjStm /N 1 /First 4 /Length " + std::to_string(packed.size()) +
           " /Filter /FlateDecode >>\nstream\n" + packed + "\nendstream";
}

std::string Repeat(const std::string& piece, size_t count) {
    std::string s;
    s.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i) s += piece;
    return s;
}

// Hostile files, each scanned in a child process of its own: the scan ends,
// and its memory stays within a bound far below what copies of the unpacked
// data beside the 256 MB cap would take.
TEST(PdfLinks, HostileFilesEndWithinAMemoryBound) {
    const std::string page = "1 0 obj << /Type /Page /Annots [2 0 R] >> endobj\n";
    const std::string link = "2 0 obj << /Subtype /Link /Rect [0 0 1 1] ";
    std::string damaged = ZeroBomb(250u << 20);
    damaged[damaged.find("\nendstream") - 1] ^= 0x55;  // its check sum
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"object-stream keywords repeated", Repeat("/ObjStm stream\n", 300000)},
        {"object-stream keywords far from any stream", Repeat("/ObjStm ", 600000) + "stream"},
        {"object-stream dictionaries repeated", Repeat("9 0 obj << /Type /ObjStm /N 1 /First 0 >> stream\n", 90000)},
        {"object-stream bomb", page + "3 0 obj\n" + ZeroBomb(250u << 20) + "\nendobj\n"},
        {"object-stream bombs beyond the cap",
         page + "3 0 obj\n" + ZeroBomb(200u << 20) + "\nendobj\n4 0 obj\n" + ZeroBomb(200u << 20) + "\nendobj\n"},
        {"damaged object-stream bombs", Repeat("5 0 obj\n" + damaged + "\nendobj\n", 16)},
        {"strings that do not end", page + link + Repeat("/URI (", 400000) + " >> endobj"},
        {"parentheses nested deep", page + link + "/URI " + Repeat("(", 1000000) + Repeat(")", 1000000) + " >> endobj"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const testsupport::ChildRun run = testsupport::RunInChild([&] {
            Tables t = Scan(row.text);
            return t.result == 1 ? 0 : 1;
        });
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_LT(run.growthKb, 400L << 10);
    }
}

TEST(PdfLinks, StopEndsTheScan) {
    std::string tmpl = (fs::temp_directory_path() / "pdflinks.XXXXXX").string();
    const std::string dir = mkdtemp(tmpl.data());
    auto objs = ThreePages(" /Annots [12 0 R]");
    objs.push_back({12, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [4 0 R] >>"});
    objs.push_back(ObjectStream(20, {{13, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [5 0 R] >>"}}));
    const std::string path = dir + "/a.pdf";
    std::ofstream(path, std::ios::binary) << Pdf(objs);

    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
    std::atomic<int> stop{0};
    EXPECT_EQ(ScanPdfLinks(path.c_str(), &links, &objects, &names, &dests, &stop), 1);
    EXPECT_EQ(links.size(), 2u);
    stop = 1;
    EXPECT_EQ(ScanPdfLinks(path.c_str(), &links, &objects, &names, &dests, &stop), 0);
    EXPECT_TRUE(links.empty());
    fs::remove_all(dir);
}

// A page tree whose nodes 2 .. levels + 1 each hold the next; the page last.
std::vector<std::pair<int, std::string>> ChainedTree(int levels) {
    std::vector<std::pair<int, std::string>> objs = {{1, "<< /Type /Catalog /Pages 2 0 R >>"}};
    for (int n = 2; n < levels + 2; ++n)
        objs.push_back({n, "<< /Type /Pages " + (n > 2 ? "/Parent " + std::to_string(n - 1) + " 0 R " : std::string()) +
                               "/Kids [" + std::to_string(n + 1) + " 0 R] /Count 1 >>"});
    objs.push_back({levels + 2, "<< /Type /Page /Parent " + std::to_string(levels + 1) + " 0 R >>"});
    return objs;
}

TEST(PdfLinks, MeasuresThePageTreeDepthWithoutRecursion) {
    std::vector<std::pair<int, std::string>> cycle = ChainedTree(3);
    cycle[3].second = "<< /Type /Pages /Parent 3 0 R /Kids [5 0 R 2 0 R] /Count 1 >>";  // back to the root
    const struct {
        const char* what;
        std::string pdf;
        int depth;
    } cases[] = {
        {"no page tree", Pdf({{1, "<< /Type /Page >>"}}), 0},
        {"one node", Pdf(ThreePages("")), 1},
        {"balanced", Pdf({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                          {2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"},
                          {3, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R] /Count 1 >>"},
                          {4, "<< /Type /Pages /Parent 2 0 R /Kids [6 0 R] /Count 1 >>"},
                          {5, "<< /Type /Page /Parent 3 0 R >>"},
                          {6, "<< /Type /Page /Parent 4 0 R >>"}}),
         2},
        {"a cycle", Pdf(cycle), 3},
        {"at the limit", Pdf(ChainedTree(kPdfPageTreeDepthLimit)), kPdfPageTreeDepthLimit},
        {"inside an object stream", Pdf({ObjectStream(900, ChainedTree(300))}), 300},
        // Deep enough to overflow the stack of a recursive walk.
        {"100000 levels", Pdf(ChainedTree(100000)), 100000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int depth = -1;
        std::vector<LinkRecord> links;
        EXPECT_EQ(ScanPdfLinkText(c.pdf, &links, nullptr, nullptr, nullptr, &depth), 1);
        EXPECT_EQ(depth, c.depth);
    }
}

TEST(PdfLinks, ReadsFilesWhole) {
    std::string tmpl = (fs::temp_directory_path() / "pdflinks.XXXXXX").string();
    const std::string dir = mkdtemp(tmpl.data());
    auto objs = ThreePages(" /Annots [12 0 R]");
    objs.push_back({12, "<< /Subtype /Link /Rect [1 2 3 4] /Dest [4 0 R] >>"});
    const std::string path = dir + "/a.pdf";
    std::ofstream(path, std::ios::binary) << Pdf(objs);

    std::vector<LinkRecord> links;
    std::vector<PdfObjectRecord> objects;
    std::vector<PdfNameRecord> names;
    std::vector<PdfDestRecord> dests;
    EXPECT_EQ(ScanPdfLinks(path.c_str(), &links, &objects, &names, &dests), 1);
    ExpectLinks(links, {{1, 1, 2, 3, 4, 12, 4, 2, ""}});
    EXPECT_EQ(ScanPdfLinks((dir + "/missing.pdf").c_str(), &links, &objects, &names, &dests), 0);
    EXPECT_TRUE(links.empty());
    EXPECT_TRUE(objects.empty());
    EXPECT_EQ(ScanPdfLinks(dir.c_str(), &links, &objects, &names, &dests), 0);
    EXPECT_EQ(ScanPdfLinks(nullptr, &links, &objects, &names, &dests), 0);
    fs::remove_all(dir);
}

} // namespace
