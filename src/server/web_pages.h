// The pages the server serves, all built into it: nothing is ever read from disk.
#pragma once

#include <string_view>

namespace server {

struct WebPage {
    std::string_view contentType;
    std::string_view body;
};

// "/" (the front page), "/table" (a table's page) and "/assets/NAME"; nullptr for anything
// else.
const WebPage* findWebPage(std::string_view path);
// The Content-Security-Policy every answer carries: only what the pages use.
std::string_view contentSecurityPolicy();

}  // namespace server
