// Address texts as they are handed to libcurl.
#pragma once

#include <string>

namespace inet {

// The address as sent: cut at its first '#'; blanks, control bytes and bytes
// of 128 and above percent-encoded; everything else kept.
std::string EscapeUrl(const std::string& url);

// Where a cookie set for an address applies: the host, and the path up to and
// including its last '/'. False when the address has no http or https host.
bool CookieScope(const std::string& url, std::string& host, std::string& path);

// A cookie's name and value from "name=value; attributes"; false without a
// name or '='.
bool SplitCookie(const std::string& data, std::string& name, std::string& value);

}  // namespace inet
