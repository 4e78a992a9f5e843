#include "server/screen_log.h"

namespace server {

namespace {

// The start of the game's clear: cursor home, erase the window (the scrollback erase follows).
constexpr std::string_view kClear = "\x1b[H\x1b[2J";
// What a replay starts with when the log no longer holds its clear.
constexpr std::string_view kFullClear = "\x1b[H\x1b[2J\x1b[3J";

}  // namespace

void ScreenLog::append(std::string_view bytes) {
    // A clear split between two reads is found too: look back a clear's length.
    const std::size_t from = log_.size() >= kClear.size() ? log_.size() - kClear.size() + 1 : 0;
    log_.append(bytes);
    const std::size_t clear = log_.rfind(kClear);
    if (clear != std::string::npos && clear + kClear.size() > from) {
        log_.erase(0, clear);
    }
    if (log_.size() > kMostKept) {
        // Keep whole lines: drop up to the first line end in the older half.
        const std::size_t cut = log_.find('\n', log_.size() - kMostKept / 2);
        log_.erase(0, cut == std::string::npos ? log_.size() - kMostKept / 2 : cut + 1);
    }
}

std::string ScreenLog::replay() const {
    if (log_.starts_with(kClear)) {
        return log_;
    }
    return std::string(kFullClear) + log_;
}

}  // namespace server
