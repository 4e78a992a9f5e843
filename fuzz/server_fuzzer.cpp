// The table server's handling of what others send it: the game's table lines (split into lines
// as the server splits them), a client's hello, a request for a new table, and the screen kept
// for newcomers. The first byte picks which; the rest is the message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/control.h"
#include "server/protocol.h"
#include "server/screen_log.h"
#include "server/tokens.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void controlStream(std::string_view bytes) {
    for (std::size_t end = 0; (end = bytes.find('\n')) != std::string_view::npos;) {
        if (const auto message = server::parseControlLine(bytes.substr(0, end))) {
            if (const auto* await = std::get_if<server::Await>(&*message)) {
                check(await->player >= -1 && await->player < 5);
            }
        }
        bytes.remove_prefix(end + 1);
    }
}

void screen(std::string_view bytes) {
    server::ScreenLog log;
    // Appends in pieces cut where the bytes say, so clears split between reads are tried.
    while (!bytes.empty()) {
        const std::size_t piece = 1 + static_cast<unsigned char>(bytes[0]) % 64;
        log.append(bytes.substr(1, piece));
        bytes.remove_prefix(std::min(bytes.size(), piece + 1));
        check(log.size() <= server::ScreenLog::kMostKept);
        check(log.replay().starts_with("\x1b[H\x1b[2J"));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0:
            controlStream(bytes);
            break;
        case 1:
            if (const auto token = server::parseHello(bytes)) {
                server::looksLikeToken(*token);
            }
            break;
        case 2:
            if (const auto request = server::parseTableRequest(bytes)) {
                check(request->computers >= 0 && request->computers <= 4);
                check(request->level >= 0 && request->level <= 2);
            }
            break;
        default:
            screen(bytes);
            break;
    }
    return 0;
}
