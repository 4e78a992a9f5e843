// Table descriptor fuzzing: the bytes are what a server writes to the game, the first one
// choosing how the reads cut them. Every line the game hears is at most the longest line and
// holds no line end; a line the seats take is exactly "away P" or "back P" of a player index,
// and leaves that player away or back. Nothing may crash, leak or break a sanitizer's rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "table/messages.h"
#include "table/seats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = 1 + data[0];
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    table::LineSplitter lines;
    table::Seats seats;
    while (!bytes.empty()) {
        const std::string_view read = bytes.substr(0, piece);
        bytes.remove_prefix(read.size());
        for (const std::string& line : lines.take(read)) {
            if (line.size() > table::LineSplitter::kLongestLine ||
                line.find('\n') != std::string::npos) {
                std::abort();
            }
            const std::optional<table::ServerMessage> message = table::parseServerLine(line);
            if (seats.apply(line) != message.has_value()) {
                std::abort();
            }
            if (!message) {
                continue;
            }
            const bool away = message->kind == table::ServerMessage::Kind::away;
            if (line != (away ? "away " : "back ") + std::to_string(message->player) ||
                seats.isAway(message->player) != away) {
                std::abort();
            }
        }
    }
    return 0;
}
