#include <unistd.h>

#include "console/raw_mode.h"

namespace terminal {
namespace {

// Every setting raw mode changes, by name.
termios rawSettings(const termios& cooked) {
    termios raw = cooked;
    // Input: Ctrl-S and Ctrl-Q are keys, Enter stays a carriage return, bytes keep 8 bits,
    // a break is no interrupt.
    raw.c_iflag &=
        ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK | INPCK);
    // Output: the bytes go out as they are (they come with their own carriage returns).
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    // Local: no echo, no line editing, Ctrl-C, Ctrl-\ and Ctrl-Z are keys, no Ctrl-V.
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag = (raw.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) | CS8;
    raw.c_cc[VMIN] = 1;   // a read returns with the first byte...
    raw.c_cc[VTIME] = 0;  // ...however long it takes
    return raw;
}

}  // namespace

bool enterRawMode(int fd, SavedMode& saved) {
    if (saved.fd < 0) {
        if (isatty(fd) != 1 || tcgetattr(fd, &saved.settings) != 0) {
            return false;
        }
        saved.fd = fd;
    }
    const termios raw = rawSettings(saved.settings);
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        return false;
    }
    saved.raw = true;
    return true;
}

void leaveRawMode(SavedMode& saved) {
    if (saved.fd < 0 || !saved.raw) {
        return;
    }
    tcsetattr(saved.fd, TCSANOW, &saved.settings);
    saved.raw = false;
}

}  // namespace terminal
