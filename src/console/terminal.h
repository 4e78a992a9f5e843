// The two calls that depend on the platform the game runs on. Each platform has its own
// source file beside this header; the build picks one.
#pragma once

#include <ostream>
#include <string>

namespace terminal {

// Writes whatever clears the window to `out` (standard output's stream).
void clearScreen(std::ostream& out);

// Waits for one key press on the keyboard device, without echo and without Enter, and
// discards it. Returns at once when there is no keyboard to read from.
void waitKey();

// Names the keyboard device that waitKey reads ("/dev/tty" on POSIX, "CONIN$" on Windows).
// Tests and fuzzers that run the game in-process name a device that does not exist, so that
// every key wait returns at once.
void setKeyboardDevice(std::string device);

}  // namespace terminal
