// The two calls that depend on the platform the game runs on. Each platform has its own
// source file beside this header; the build picks one.
#pragma once

#include <ostream>
#include <string>

namespace terminal {

// Table mode's part in every key wait (src/table/); the ordinary game has no such watch.
class KeyWaitWatch {
public:
    virtual ~KeyWaitWatch() = default;
    // The wait takes keys from now on: the keyboard is in cbreak mode, keys typed ahead gone.
    virtual void ready() = 0;
    // A descriptor watched beside the keyboard while the wait lasts, or -1.
    virtual int descriptor() const = 0;
    // That descriptor has input, or has ended. True ends the wait as if a key had been pressed.
    virtual bool onInput() = 0;
};

// Every key wait from now on tells `watch` (which outlives them) when it is ready for a key,
// and watches its descriptor. Only the POSIX terminal takes a watch.
void watchKeyWaits(KeyWaitWatch* watch);

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
