// The page a browser joins a table with, built into the server: the front page (a new table),
// the page of every table (the game's screen beside the table's status), and their scripts,
// styles and icon, by URL path. src/web/CMakeLists.txt generates the bytes at build time from
// src/web/page/ and the locked npm packages.
#pragma once

#include <string_view>

struct WebAsset {
    std::string_view contentType;
    std::string_view body;
};

// "/" is the front page, "/table" the page served at every /t/ID, "/assets/NAME" the files
// they load. nullptr for any other path, and for every path in a server built without the page.
const WebAsset* findWebAsset(std::string_view path);

// False when the build had no npm, or its install failed: the server then serves no pages.
bool webPageBuilt();

// The Content-Security-Policy to send with every page: scripts, styles and connections from
// the server itself only, nothing inline, and no framing by other sites.
std::string_view contentSecurityPolicy();
