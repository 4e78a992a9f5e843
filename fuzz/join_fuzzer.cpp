// What the terminal client reads from people and from servers: a link, a status message
// and the game's bytes in chunks. Whatever comes, the status line holds only printable text
// within its width, and the scan of the bytes ends between sequences after a reset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "client/screen.h"
#include "client/status_line.h"
#include "client/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    join::UrlError error;
    if (const auto url = join::parseTableUrl(input, error)) {
        join::UrlError again;
        if (!join::parseTableUrl(join::linkOf(*url), again)) {
            std::abort();  // a link rebuilt from its parts reads back
        }
    }

    const std::size_t width = size % 100;
    const join::TableStatus status = join::readStatus(input);
    const std::string line = join::statusLine(status, "online", width);
    if (line.size() > width) {
        std::abort();
    }
    for (const char c : line) {
        if (c < 0x20 || c > 0x7e) {
            std::abort();
        }
    }

    join::ByteScanner scanner;
    const std::size_t cut = size / 2;
    const auto first = scanner.scan(input.substr(0, cut));
    const auto second = scanner.scan(input.substr(cut));
    if ((first.clearEnd != std::string_view::npos && first.clearEnd > cut) ||
        (second.clearEnd != std::string_view::npos && second.clearEnd > size - cut)) {
        std::abort();
    }
    return 0;
}
