#include "table/messages.h"

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
    // A player index is one digit, as the game writes it: no sign, no leading zero, no space.
    if (rest.size() != 1 || rest[0] < '0' || rest[0] >= '0' + kMaxPlayers) {
        return std::nullopt;
    }
    message.player = rest[0] - '0';
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
