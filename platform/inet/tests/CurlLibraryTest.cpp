// libcurl comes into the process with the first call that needs it, not with
// the program.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/inet/CurlLibrary.h"
#include "platform/inet/ParseUrl.h"

namespace {

bool CurlInProcess() {
    void* h = dlopen(curllibrary::kCurlLibraryName, RTLD_LAZY | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

}  // namespace

TEST(CurlLibrary, LoadedByTheFirstCallThatNeedsIt) {
    ASSERT_FALSE(CurlInProcess()) << "linked with the program";
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    ASSERT_TRUE(AfxParseURL("http://example.test:8080/a.dvi", service, server, object, port));
    EXPECT_STREQ(server, "example.test");
    EXPECT_EQ(port, 8080);
    EXPECT_TRUE(CurlInProcess());
    EXPECT_TRUE(curllibrary::Load());
}
