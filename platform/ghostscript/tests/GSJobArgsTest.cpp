#include "platform/ghostscript/GSJobArgs.h"

#include <gtest/gtest.h>

#include "platform/ghostscript/GS.h"
#include "platform/ghostscript/GSPageBitmap.h"
#include "platform/ghostscript/tests/GSTestSupport.h"

namespace {

std::vector<std::string> Built(const std::vector<String8>& in, GSJobArgs* a = nullptr) {
    GSJobArgs local;
    GSJobArgs& args = a ? *a : local;
    EXPECT_TRUE(args.Build(in));
    return args.argv;
}

std::string Format(int bpp) { return "-dDisplayFormat=" + std::to_string(GSPageBitmap::DisplayFormat(bpp)); }

TEST(GSCommandLine, HoldsSaferExactlyOnce) {
    struct Case {
        std::vector<std::string> options; // "SAFER" calls Safer()
        std::vector<std::string> argv;
    } cases[] = {
        // Placed where it was asked, by Safer() or by the option itself.
        {{"-q", "SAFER", "-dBATCH"}, {"gs", "-q", "-dSAFER", "-dBATCH"}},
        {{"-q", "-dSAFER", "-dBATCH", "SAFER", "-dSAFER"}, {"gs", "-q", "-dSAFER", "-dBATCH"}},
        // Never asked: right after the program.
        {{"-dBATCH", "-f", "a.ps"}, {"gs", "-dSAFER", "-dBATCH", "-f", "a.ps"}},
        // Options lifting it are refused wherever they come; look-alikes are kept.
        {{"-dNOSAFER", "SAFER", "-dDELAYSAFER", "--permit-file-read=/", "-dSAFER=false", "-dSAFER#false",
          "-sOutputFile=/t/--permit-x", "-dSAFERX"},
         {"gs", "-dSAFER", "-sOutputFile=/t/--permit-x", "-dSAFERX"}},
        // -D and -S define names as -d and -s do.
        {{"-DNOSAFER", "-sDELAYSAFER=1", "-SNOSAFER=x", "-DSAFER=false", "-DNOPAUSE", "-DSAFER"},
         {"gs", "-DNOPAUSE", "-dSAFER"}},
    };
    for (const Case& c : cases) {
        GSCommandLine line("gs");
        for (const std::string& o : c.options) o == "SAFER" ? line.Safer() : line.Add(o);
        EXPECT_EQ(line.Argv(), c.argv);
    }
}

TEST(GSCommandLine, FormatsOptionsThroughTheSamePolicy) {
    GSCommandLine line("/opt/gs bin/gs");
    line.Library("/usr/share/gs lib").Library(nullptr).Resolution(94, 95).PageSize(800, 1035);
    line.Define("LastPage", 5).Define("SAFER", 0).DefineString("OutputFile", "/t/(x) y", '#');
    line.DefineString("stdout", "%stderr");
    const std::vector<std::string> want = {"/opt/gs bin/gs", "-dSAFER", "-I/usr/share/gs lib", "-I", "-r94x95",
                                           "-g800x1035", "-dLastPage=5", "-sOutputFile#/t/(x) y", "-sstdout=%stderr"};
    EXPECT_EQ(line.Argv(), want);
    std::vector<std::string> args;
    for (const String8& a : line.Args()) args.emplace_back(a.c_str());
    EXPECT_EQ(args, want);
}

TEST(GSJobArgs, TranslatesTheCallersLines) {
    struct Case {
        std::vector<String8> in;
        std::vector<std::string> out;
    } cases[] = {
        // Page rendering: the bitmap device at the asked depth, an empty -I dropped.
        {{"gswin.exe", "-I", "-sDEVICE=mswindll", "-dSAFER", "-dBitsPerPixel=4", "-r96x96", "-dFirstPage=2"},
         {"gs", "-dSAFER", "-sDEVICE=display", Format(4), "-r96x96", "-dFirstPage=2"}},
        // Conversion: .setpdfwrite and its now empty -c ... -f go; a name with blanks stays one argument.
        {{"gswin.exe", "-dCompatibilityLevel#1.2", "-dSAFER", "-sDEVICE#pdfwrite", "-sOutputFile#/a b/c d.t_p",
          "-c", ".setpdfwrite", "-f"},
         {"gs", "-dSAFER", "-dCompatibilityLevel#1.2", "-sDEVICE#pdfwrite", "-sOutputFile#/a b/c d.t_p"}},
        // Other PostScript in -c stays.
        {{"gs", "-c", ".setpdfwrite", "1", "pop", "-f", "x.ps"}, {"gs", "-dSAFER", "-c", "1", "pop", "-f", "x.ps"}},
        // SAFER cannot be lifted; the device defaults to 24 bits; the library path stays.
        {{"gs", "-dNOSAFER", "-dDELAYSAFER", "--permit-file-read=/", "-dSAFER=false", "-I/usr/share/gs",
          "-sDEVICE=mswindll", "-dBitsPerPixel=32"},
         {"gs", "-dSAFER", "-I/usr/share/gs", "-sDEVICE=display", Format(24)}},
    };
    for (const Case& c : cases) EXPECT_EQ(Built(c.in), c.out);

    GSJobArgs a;
    Built({"gs", "-sDEVICE#mswindll", "-dBitsPerPixel#8"}, &a);
    EXPECT_EQ(a.bitmapDevice, 1);
    EXPECT_EQ(a.bitsPerPixel, 8);
    Built({"gs", "-dNODISPLAY"}, &a);
    EXPECT_EQ(a.bitmapDevice, 0);
    EXPECT_FALSE(a.Build({}));
}

TEST(GSJobArgs, PostScriptStringsKeepEveryByte) {
    EXPECT_STREQ(PSStringLiteral("/a b/c.ps"), "(/a b/c.ps)");
    EXPECT_STREQ(PSStringLiteral("x(1)\\y)"), "(x\\(1\\)\\\\y\\))");
    EXPECT_STREQ(PSStringLiteral("line\nend\xC3\xBC"), "(line\\012end\\303\\274)");
    EXPECT_STREQ(PSStringLiteral(nullptr), "()");

    // Ghostscript reads them back unchanged: an unbalanced ')' cannot end the
    // string early and run the rest as PostScript.
    ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, ""), 1);
    const char* names[] = {"a) (b", "tail\\", "x) pop (y) print (", "\x01\xFF"};
    for (const char* name : names) {
        RecordingOutputter out;
        ASSERT_EQ(GetGS()->StartGSJob({"gs", "-dNODISPLAY", "-dQUIET"}, &out), 1);
        String8 ps = PSStringLiteral(name) + " print flush\n";
        EXPECT_EQ(GetGS()->ProcessPSCommand(ps), 0);
        GetGS()->EndGSJob();
        EXPECT_EQ(out.AllText(), name);
    }
}

TEST(GSJobArgs, SaferStaysOnWhenTheCallerAsksOtherwise) {
    auto dir = GSTestDir("safer");
    auto file = WriteFile(dir / "secret.ps", "(read) print flush\n");
    ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, ""), 1);
    RecordingOutputter out;
    ASSERT_EQ(GetGS()->StartGSJob({"gs", "-dNOSAFER", "--permit-file-all=/", "-dNODISPLAY", "-dQUIET"}, &out), 1);
    EXPECT_LT(GetGS()->ProcessPSCommand(PSStringLiteral(file.c_str()) + " run\n"), 0);
    GetGS()->EndGSJob();
    EXPECT_EQ(out.AllText().find("read"), std::string::npos);
    EXPECT_NE(out.AllText().find("invalidfileaccess"), std::string::npos) << out.AllText();
}

} // namespace
