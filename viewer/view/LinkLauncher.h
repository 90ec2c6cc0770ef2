// Where a followed link goes when no view of this process takes it: the one
// set of rules for DVI and PDF links alike.
//
//   http, https, ftp, mailto        go out to the browser program
//   file: and local paths           go out from a local document; a document
//                                   that came from the web asks first
//   every other scheme              asks first
//
// The browser program gets the address as its one argument, never through a
// shell; an address that starts with '-' is passed as "./address", so that it
// cannot read as an option.
#pragma once

#include <string>
#include <vector>

namespace linklaunch {

enum class Route { Out, Ask };

Route RouteOf(const std::string& address, bool webDocument);

// {program, argument}: the address, "./"-prefixed when it starts with '-'.
std::vector<std::string> LaunchArgv(const std::string& program, const std::string& address);

// The question asked before an address that does not go out at once.
std::string Question(const std::string& address);

}  // namespace linklaunch
