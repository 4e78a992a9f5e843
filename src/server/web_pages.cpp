#include "server/web_pages.h"

#if KESSANDOR_WEB_PAGE
#include "web/assets.h"
#endif

namespace server {

namespace {

// A server built without npm has no browser page; it says how to join instead.
constexpr WebPage kNoPage{"text/plain; charset=utf-8",
                          "This Kessandor server was built without its web page.\n"
                          "Join a table from a terminal: kessandor join LINK\n"};

}  // namespace

const WebPage* findWebPage(std::string_view path) {
#if KESSANDOR_WEB_PAGE
    if (const WebAsset* asset = findWebAsset(path)) {
        static thread_local WebPage page;
        page = {asset->contentType, asset->body};
        return &page;
    }
    return nullptr;
#else
    return path == "/" || path == "/table" ? &kNoPage : nullptr;
#endif
}

std::string_view contentSecurityPolicy() {
#if KESSANDOR_WEB_PAGE
    return ::contentSecurityPolicy();
#else
    return "default-src 'none'; frame-ancestors 'none'";
#endif
}

}  // namespace server
