#include "table/seats.h"

#include "table/messages.h"

namespace table {

std::string Seats::readNotice() const {
    switch (expected_.kind) {
        case Answerer::Kind::server:
            return "await count";
        case Answerer::Kind::person:
            return "await name " + std::to_string(expected_.seat);
        case Answerer::Kind::player:
            return "await line " + std::to_string(expected_.seat);
        case Answerer::Kind::host:
        case Answerer::Kind::anyone:
            break;
    }
    return "await menu";
}

std::string Seats::keyNotice() const {
    if (expected_.kind == Answerer::Kind::player) {
        return "await key " + std::to_string(expected_.seat);
    }
    return "await key any";
}

std::int32_t Seats::hands() const {
    switch (expected_.kind) {
        case Answerer::Kind::server:
            return kServerHands;
        case Answerer::Kind::anyone:
            return kAnyoneHands;
        case Answerer::Kind::host:
        case Answerer::Kind::person:
        case Answerer::Kind::player:
            break;
    }
    return expected_.seat;
}

bool Seats::changeHands() {
    const std::int32_t now = hands();
    const bool changed = now != lastHands_;
    lastHands_ = now;
    return changed;
}

bool Seats::apply(std::string_view line) {
    const std::optional<ServerMessage> message = parseServerLine(line);
    if (!message) {
        return false;
    }
    away_.at(message->player) = message->kind == ServerMessage::Kind::away;
    return true;
}

bool Seats::awaitedIsAway() const {
    const bool seated =
        expected_.kind == Answerer::Kind::person || expected_.kind == Answerer::Kind::player;
    return seated && isAway(expected_.seat);
}

}  // namespace table
