// The printing road: Ghostscript writes one BMP image per page into a pipe
// and the parent reads them as a stream while gs still runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sys/Process.h"
#include "platform/sys/tests/ScratchDir.h"

using sys::Process;

namespace {
uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool ReadExactly(int fd, unsigned char* buf, size_t size) {
    while (size > 0) {
        ssize_t n = read(fd, buf, size);
        if (n <= 0) return false;
        buf += n;
        size -= size_t(n);
    }
    return true;
}
}  // namespace

TEST(GhostscriptPipe, PagesArriveAsBmpImagesOnStdout) {
    ScratchDir dir;
    ScratchDir::WriteFile(dir / "three.ps", "%!PS\n1 1 3 { pop newpath 10 10 moveto 90 90 lineto stroke showpage } for\n");
    Process gs;
    Process::Options o;
    o.argv = {"gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sstdout=%stderr", "-sDEVICE=bmpmono",
              "-g400x300", "-r72", "-sOutputFile=-", dir / "three.ps"};
    o.stdoutMode = Process::Stream::Pipe;
    o.stderrMode = Process::Stream::Null;
    ASSERT_TRUE(gs.Start(o));
    int fd = gs.TakeStdout();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(gs.StdoutFd(), -1);

    int pages = 0;
    unsigned char head[14 + 40];
    while (ReadExactly(fd, head, sizeof head)) {
        ASSERT_EQ(head[0], 'B');
        ASSERT_EQ(head[1], 'M');
        uint32_t fileSize = Le32(head + 2);
        EXPECT_EQ(Le32(head + 18), 400u);  // width
        EXPECT_EQ(Le32(head + 22), 300u);  // height
        ASSERT_GT(fileSize, sizeof head);
        std::vector<unsigned char> rest(fileSize - sizeof head);
        ASSERT_TRUE(ReadExactly(fd, rest.data(), rest.size()));
        ++pages;
    }
    close(fd);
    EXPECT_EQ(pages, 3);
    ASSERT_TRUE(gs.Wait());
    EXPECT_EQ(gs.ExitCode(), 0);
}
