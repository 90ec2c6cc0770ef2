// The contents file of a document: a tagged text file (extension ".toc")
// with a header (title, author, year, organisation) and entries that give a
// level, a 1-based page and a text. Parsing works on the file's bytes; the
// texts it gives are UTF-8 (files in the Korean code page CP949 are decoded).
#pragma once

#include <string>
#include <vector>

struct TocEntry {
    int level = 1;      // 1 for roots, up to kTocMaxLevel
    int parent = -1;    // index of the parent entry, -1 for roots
    int page = 0;       // 1-based; 0: a heading, or no page given
    std::string text;
};

struct TocData {
    std::string title, author, year, org;
    // In file order; a parent always comes before its children.
    std::vector<TocEntry> entries;
};

constexpr int kTocMaxLevel = 6;
// Pages above this are taken as this.
constexpr int kTocMaxPage = 10000000;

// Upper-cases the ASCII letters from every '<' up to the next '>', leaving
// the double-byte characters of CP949 alone.
std::string UpperCaseTags(const std::string& text);

// Parses a contents file's text (lines joined). Entries deeper than
// kTocMaxLevel join that level; an entry whose parent level is missing
// hangs under the nearest shallower one. A text that breaks off shows what
// was read before the break.
TocData ParseToc(const std::string& raw);

// Text of a contents file to UTF-8: UTF-8 text as it stands, otherwise
// CP949 (bytes that are not CP949 become '?').
std::string TocTextToUtf8(const std::string& text);

// The contents file beside a document: its address with the extension of
// its last component replaced by ".toc" (appended when it has none).
std::string TocAddressBeside(const std::string& address);

// The contents file in the contents folder `folder` for the document at
// `address` (path or URL); empty when the folder gives no place. Windows
// forms (a '\' in the folder) follow the Windows rules: "X:..." as it
// stands, "\..." and ".\..." and "..\..." against the document's folder.
// Otherwise: a URL or a path starting with '/' as it stands, "./..." and
// "../..." against the document's folder.
std::string TocAddressInFolder(const std::string& address, const std::string& folder);

// http, https and ftp addresses are fetched; anything else is a local path.
bool IsFetchedAddress(const std::string& address);

// The text of a local contents file, its lines joined without line ends
// ("\r\n" and "\n" both end a line); empty when it cannot be read.
std::string ReadLocalTocFile(const std::string& path);
