#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

#include "base/Errors.h"

TEST(Errors, PathIsCutTo511Characters) {
    std::string longPath(600, 'p');
    FileOpenError e(longPath.c_str());
    EXPECT_EQ(std::string(e.path), longPath.substr(0, 511));
    EXPECT_STREQ(FileOpenError(nullptr).path, "");
    FileOpenError copy = e;
    EXPECT_EQ(std::string(copy.Path()).size(), 511u);
}

TEST(Errors, TypesAreDistinguishableByCatch) {
    auto kind = [](auto thrower) -> std::string {
        try {
            thrower();
        } catch (const FileOpenError&) {
            return "open";
        } catch (const MemoryAllocError& m) {
            return "mem" + std::to_string(m.size);
        } catch (const uError&) {
            return "base";
        }
        return "none";
    };
    EXPECT_EQ(kind([] { throw FileOpenError("x"); }), "open");
    EXPECT_EQ(kind([] { throw MemoryAllocError(42); }), "mem42");
    EXPECT_EQ(kind([] { throw FileIOError("x"); }), "base");
}

TEST(Errors, NewHandlerTurnsAllocationFailureIntoMemoryAllocError) {
    ASSERT_EQ(std::get_new_handler(), &pellix::NewHandler);
    try {
        std::get_new_handler()();
        FAIL() << "handler returned";
    } catch (const MemoryAllocError& e) {
        EXPECT_EQ(e.size, 0);
    }
    // Still a std::bad_alloc for code that expects the standard type.
    EXPECT_THROW(std::get_new_handler()(), std::bad_alloc);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The sanitizers' allocators report instead of calling the handler.
    volatile std::size_t huge = SIZE_MAX / 4;
    EXPECT_THROW(::operator delete(::operator new(huge)), MemoryAllocError);
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
#endif
}

TEST(Errors, UninstallRestoresThePreviousHandler) {
    pellix::UninstallNewHandler();
    auto mine = [] { throw std::bad_alloc(); };
    std::set_new_handler(mine);
    pellix::InstallNewHandler();
    EXPECT_EQ(std::get_new_handler(), &pellix::NewHandler);
    pellix::UninstallNewHandler();
    EXPECT_EQ(std::get_new_handler(), static_cast<std::new_handler>(mine));
    std::set_new_handler(nullptr);
    pellix::InstallNewHandler();
}
