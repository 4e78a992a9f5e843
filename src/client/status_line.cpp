#include "client/status_line.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace join {
namespace {

using nlohmann::json;

constexpr std::size_t kNameLimit = 16;  // a seat's name on the line
constexpr std::size_t kTableLimit = 40;
constexpr std::size_t kLineLimit = 400;

std::string stringAt(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

std::optional<int> intAt(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) {
        return std::nullopt;
    }
    const auto value = found->get<long long>();
    if (value < 0 || value > 1'000'000) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

bool boolAt(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_boolean() && found->get<bool>();
}

constexpr std::size_t kMaxSeats = 8;

std::vector<SeatStatus> readSeats(const json& message) {
    std::vector<SeatStatus> seats;
    const auto list = message.find("seats");
    if (list == message.end() || !list->is_array()) {
        return seats;
    }
    for (const json& entry : *list) {
        if (!entry.is_object() || seats.size() == kMaxSeats) {
            continue;
        }
        SeatStatus seat;
        seat.seat = intAt(entry, "seat").value_or(static_cast<int>(seats.size()));
        seat.name = stringAt(entry, "name");
        seat.computer = stringAt(entry, "kind") == "computer";
        seat.connected = boolAt(entry, "connected");
        seat.computerPlaying = boolAt(entry, "computer_playing");
        seats.push_back(std::move(seat));
    }
    return seats;
}

std::string seatName(const SeatStatus& seat) {
    return seat.name.empty() ? "seat " + std::to_string(seat.seat + 1)
                             : visibleText(seat.name, kNameLimit);
}

// Short, for five seats to have a chance on one line: "cpu" is a computer player.
std::string describeSeat(const SeatStatus& seat, bool mine) {
    std::string text = seatName(seat);
    if (seat.computer) {
        return text + " (cpu)";
    }
    if (mine) {
        text += " (you)";
    } else if (!seat.connected) {
        text += seat.computerPlaying ? " (away, cpu)" : " (away)";
    } else if (seat.computerPlaying) {
        text += " (cpu)";
    }
    return text;
}

std::string describeStage(const TableStatus& status) {
    if (status.state == "lobby") {
        return "lobby";
    }
    if (status.state == "playing") {
        return status.day ? "day " + std::to_string(*status.day) : "playing";
    }
    if (status.state == "finished") {
        return "game over";
    }
    if (status.state == "restarting") {
        return "restarting";
    }
    return "";
}

// Whose answer the game waits for, from this client's point of view.
std::string describeTurn(const TableStatus& status) {
    if (status.awaitingWho == "any") {
        return "any key";
    }
    if (status.awaitingWho != "host" && status.awaitingWho != "player") {
        return "";
    }
    if (status.awaitingSeat && status.you && *status.awaitingSeat == *status.you) {
        return "your turn";
    }
    if (!status.awaitingName.empty()) {
        return "turn: " + visibleText(status.awaitingName, kNameLimit);
    }
    return status.awaitingWho == "host" ? "turn: host" : "";
}

}  // namespace

TableStatus readStatus(std::string_view text) {
    TableStatus status;
    const json message = json::parse(text, nullptr, false);
    if (!message.is_object()) {
        return status;
    }
    status.table = stringAt(message, "table");
    status.state = stringAt(message, "state");
    status.day = intAt(message, "day");
    const auto awaiting = message.find("awaiting");
    if (awaiting != message.end() && awaiting->is_object()) {
        status.awaitingWho = stringAt(*awaiting, "who");
        status.awaitingSeat = intAt(*awaiting, "seat");
        status.awaitingName = stringAt(*awaiting, "name");
    }
    status.seats = readSeats(message);
    status.spectators = intAt(message, "spectators").value_or(0);
    status.you = intAt(message, "you");
    return status;
}

std::string visibleText(std::string_view text, std::size_t limit) {
    std::string visible;
    for (const char c : text) {
        if (visible.size() >= limit) {
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            visible += c;
        } else if (byte < 0x80 || byte >= 0xc0) {
            visible += '?';  // a control byte, or the first byte of a UTF-8 character
        }
    }
    return visible;
}

std::string statusLine(const TableStatus& status, std::string_view connection, std::size_t width) {
    // The most telling first: what a narrow window cuts off is the end of the seats.
    std::vector<std::string> parts;
    std::string head = visibleText(status.table, kTableLimit);
    if (!head.empty()) {
        head += ' ';
    }
    head.append(connection);
    parts.push_back(head);
    parts.push_back(describeStage(status));
    parts.push_back(describeTurn(status));
    if (status.spectators > 0) {
        parts.push_back(std::to_string(status.spectators) + " watching");
    }
    std::string seats;
    for (const SeatStatus& seat : status.seats) {
        if (!seats.empty()) {
            seats += ", ";
        }
        seats += describeSeat(seat, status.you == seat.seat);
    }
    parts.push_back(seats);
    std::string line;
    for (const std::string& part : parts) {
        if (part.empty()) {
            continue;
        }
        if (!line.empty()) {
            line += " | ";
        }
        line += part;
    }
    line = visibleText(line, kLineLimit);
    if (line.size() > width) {
        constexpr std::string_view kCut = "...";
        line.resize(width > kCut.size() ? width - kCut.size() : 0);
        line.append(kCut.substr(0, std::min(kCut.size(), width)));
    }
    return line;
}

}  // namespace join
