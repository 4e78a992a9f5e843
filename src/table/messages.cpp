#include "table/messages.h"

#include <charconv>

#include "game/game.h"

namespace table {

std::string playerLine(std::int32_t player, bool computer, std::string_view name) {
    return "player " + std::to_string(player) + (computer ? " computer " : " person ") +
           escapeName(name);
}

std::string turnLine(std::int32_t player, std::int32_t day) {
    return "turn " + std::to_string(player) + " " + std::to_string(day);
}

std::string resultLine(const GameResult& result) {
    std::string line = writeResult(result);
    if (line.ends_with('\n')) {
        line.pop_back();
    }
    return "result " + line;
}

std::optional<ServerMessage> parseServerLine(std::string_view line) {
    ServerMessage message;
    std::string_view rest;
    if (line.starts_with("away ")) {
        message.kind = ServerMessage::Kind::away;
        rest = line.substr(5);
    } else if (line.starts_with("back ")) {
        message.kind = ServerMessage::Kind::back;
        rest = line.substr(5);
    } else {
        return std::nullopt;
    }
    // Decimal digits only (from_chars takes no sign and no space), and nothing after them.
    std::uint32_t player = 0;
    const char* end = rest.data() + rest.size();
    const auto [stop, error] = std::from_chars(rest.data(), end, player);
    if (rest.empty() || error != std::errc() || stop != end ||
        player >= static_cast<std::uint32_t>(kMaxPlayers)) {
        return std::nullopt;
    }
    message.player = static_cast<std::int32_t>(player);
    return message;
}

std::vector<std::string> LineSplitter::take(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!overlong_ && partial_.size() + piece.size() <= kLongestLine) {
            partial_.append(piece);
        } else {
            overlong_ = true;
            partial_.clear();
        }
        if (end == std::string_view::npos) {
            break;
        }
        if (!overlong_) {
            lines.push_back(std::move(partial_));
        }
        partial_.clear();
        overlong_ = false;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace table
