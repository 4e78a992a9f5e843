#include "client/screen.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace join {
namespace {

constexpr int kGameRows = 24;
constexpr int kStatusRow = 25;
constexpr std::size_t kTitleWidth = 160;
constexpr std::size_t kRedrawLimit = std::size_t{256} * 1024;  // a game screen is a few kilobytes

// What the client writes of its own, kept to a few fixed sequences so that a reader of the
// terminal's output can take them out again.
constexpr std::string_view kClear = "\x1b[H\x1b[2J";
constexpr std::string_view kScrollRegion =
    "\x1b"
    "7\x1b[1;24r\x1b"
    "8";
constexpr std::string_view kNoScrollRegion =
    "\x1b"
    "7\x1b[r\x1b"
    "8";
constexpr std::string_view kPushTitle = "\x1b[22;2t";
constexpr std::string_view kPopTitle = "\x1b[23;2t";

}  // namespace

ByteScanner::Seen ByteScanner::scan(std::string_view bytes) {
    Seen seen;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const auto byte = static_cast<unsigned char>(c);
        switch (state_) {
            case State::ground:
                if (c == '\x1b') {
                    state_ = State::escape;
                    utf8Left_ = 0;
                } else if (byte >= 0xc0) {
                    utf8Left_ = byte >= 0xf0 ? 3 : byte >= 0xe0 ? 2 : 1;
                } else if (byte >= 0x80 && utf8Left_ > 0) {
                    --utf8Left_;
                } else {
                    utf8Left_ = 0;
                }
                break;
            case State::escape:
                if (c == '[') {
                    state_ = State::csi;
                    params_.clear();
                } else if (c == ']') {
                    state_ = State::osc;
                } else if (byte >= 0x20 && byte < 0x30) {
                    // an intermediate byte: the sequence goes on
                } else {
                    if (c == 'c') {
                        seen.erasedStatus = seen.reset = true;
                    }
                    state_ = State::ground;
                }
                break;
            case State::csi:
                if (byte >= 0x40 && byte <= 0x7e) {
                    finishCsi(c, i + 1, seen);
                    state_ = State::ground;
                } else if (params_.size() < 16) {
                    params_ += c;
                }
                break;
            case State::osc:
                if (c == '\a') {
                    state_ = State::ground;
                } else if (c == '\x1b') {
                    state_ = State::oscEscape;
                }
                break;
            case State::oscEscape:
                state_ = c == '\\' ? State::ground : State::osc;
                break;
        }
    }
    return seen;
}

void ByteScanner::finishCsi(char final, std::size_t end, Seen& seen) {
    if (final == 'J') {
        // Erase below (0, the default) and erase all (2) reach the status row.
        if (params_.empty() || params_ == "0" || params_ == "2") {
            seen.erasedStatus = true;
        }
        if (params_ == "2") {
            seen.clearEnd = end;
        }
    } else if (final == 'r') {
        seen.erasedStatus = seen.reset = true;
    }
}

std::string statusRowWrite(std::string_view text) {
    return "\x1b"
           "7\x1b[25;1H\x1b[2K" +
           std::string(text) +
           "\x1b"
           "8";
}

std::string titleWrite(std::string_view text) {
    return "\x1b]2;" + std::string(text) + "\a";
}

Screen::Screen(int fd, bool terminal) : fd_(fd), terminal_(terminal) {}

void Screen::layOut() {
    if (!terminal_) {
        return;
    }
    winsize size{};
    if (ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        rows_ = size.ws_row;
        columns_ = size.ws_col;
    } else {
        rows_ = kGameRows;  // unknown: the title, which cannot hurt the game's rows
    }
    const bool statusRow = rows_ >= kStatusRow;
    if (!laidOut_) {
        write(kPushTitle);
    } else if (statusRow_ && !statusRow) {
        write(kNoScrollRegion);
    }
    laidOut_ = true;
    statusRow_ = statusRow;
    if (statusRow_) {
        write(kScrollRegion);
    }
    statusPending_ = true;
    drawStatus();
}

void Screen::tearDown() {
    if (!laidOut_) {
        return;
    }
    if (statusRow_) {
        write("\x1b[r\x1b[25;1H\x1b[2K");
    } else {
        write("\r\n");
    }
    write(kPopTitle);
    laidOut_ = false;
}

void Screen::showSnapshot(std::string_view bytes) {
    write(kClear);
    sinceClear_.clear();
    statusPending_ = true;
    showGame(bytes);
}

void Screen::showGame(std::string_view bytes) {
    write(bytes);
    const ByteScanner::Seen seen = scanner_.scan(bytes);
    remember(bytes, seen.clearEnd);
    if (seen.reset && statusRow_) {
        write(kScrollRegion);
    }
    statusPending_ = statusPending_ || seen.erasedStatus;
    drawStatus();
}

void Screen::remember(std::string_view bytes, std::size_t clearEnd) {
    if (clearEnd != std::string_view::npos) {
        sinceClear_.clear();
        bytes.remove_prefix(clearEnd);
    }
    if (sinceClear_.size() + bytes.size() > kRedrawLimit) {
        sinceClear_.clear();  // far more than a screen: a redraw would show nonsense anyway
        return;
    }
    sinceClear_ += bytes;
}

void Screen::redraw() {
    write(kClear);
    write(sinceClear_);
    statusPending_ = true;
    drawStatus();
}

void Screen::setStatus(std::string text) {
    if (text != status_) {
        status_ = std::move(text);
        statusPending_ = true;
    }
    drawStatus();
}

std::size_t Screen::width() const {
    if (!statusRow_) {
        return kTitleWidth;
    }
    // One column short of the edge, so the line never wraps or leaves a pending wrap.
    return columns_ > 1 ? static_cast<std::size_t>(columns_ - 1) : 1;
}

void Screen::drawStatus() {
    if (!terminal_ || !laidOut_ || !statusPending_ || !scanner_.atBoundary()) {
        return;
    }
    write(statusRow_ ? statusRowWrite(status_) : titleWrite(status_));
    statusPending_ = false;
}

void Screen::say(std::string_view text, bool raw) const {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            write(text);
            return;
        }
        write(text.substr(0, end));
        write(raw ? "\r\n" : "\n");
        text.remove_prefix(end + 1);
    }
}

// Blocking writes, also where the descriptor was left non-blocking by someone sharing it.
void Screen::write(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EAGAIN) {
            pollfd wait{fd_, POLLOUT, 0};
            poll(&wait, 1, 1000);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            return;  // the terminal is gone: a hang-up follows, which ends the client
        }
    }
}

}  // namespace join
