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
    if (webPageBuilt()) {
        const WebAsset* asset = findWebAsset(path);
        if (asset == nullptr) {
            return nullptr;
        }
        static WebPage page;  // one event loop thread: filled and used before the next call
        page = {asset->contentType, asset->body};
        return &page;
    }
#endif
    return path == "/" || path == "/table" ? &kNoPage : nullptr;
}

std::string_view contentSecurityPolicy() {
#if KESSANDOR_WEB_PAGE
    if (webPageBuilt()) {
        return ::contentSecurityPolicy();
    }
#endif
    return "default-src 'none'; frame-ancestors 'none'";
}

}  // namespace server
