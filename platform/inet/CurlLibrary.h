// libcurl, loaded when first needed rather than with the program: it brings
// some thirty shared libraries (TLS, Kerberos, LDAP, SSH) that a document
// read from disk never uses. The curl_* functions this program calls are
// defined in CurlLibrary.cpp and forward to the loaded library; each call
// loads it first, and a call while it cannot be loaded fails as libcurl does
// when it cannot initialise (null handles, CURLE_FAILED_INIT and the like).
#pragma once

namespace curllibrary {

inline constexpr const char kCurlLibraryName[] = "libcurl.so.4";

// Loads the library once (later calls return the first result). Safe from
// any thread; a call made while another thread loads waits for it.
bool Load();

}  // namespace curllibrary
