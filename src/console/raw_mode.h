// Raw mode for a program that passes every key on (the table client): no echo, no line
// input, no signals from the keyboard, no output processing. POSIX only. The pair saves and
// puts back the terminal's settings; leaving puts back exactly what entering found.
#pragma once

#include <termios.h>

namespace terminal {

struct SavedMode {
    int fd = -1;
    termios settings{};
    bool raw = false;
};

// Saves the settings of terminal `fd` (once) and switches it to raw mode. False when `fd` is
// no terminal, or the switch failed.
bool enterRawMode(int fd, SavedMode& saved);

// Puts back the settings `enterRawMode` saved; does nothing when they are back already.
// Only async-signal-safe calls.
void leaveRawMode(SavedMode& saved);

}  // namespace terminal
