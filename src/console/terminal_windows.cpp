// The terminal calls on Windows: the console API clears the console window, and the key wait
// reads one key event straight from the console keyboard ("CONIN$"), so it needs no Enter and
// never touches what is pending in standard input.
#include <windows.h>

#include <ostream>
#include <string>
#include <utility>

#include "console/terminal.h"

namespace terminal {
namespace {

std::string keyboardDevice = "CONIN$";

HANDLE openKeyboard() {
    return CreateFileA(keyboardDevice.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The console whose mode a key wait has changed, for the control handler below.
HANDLE waitHandle = INVALID_HANDLE_VALUE;
DWORD waitSavedMode = 0;

// Ctrl-C, Ctrl-Break or closing the window during a key wait: put the mode back, then let the
// next handler (the system's) end the process as usual. Runs on a thread of its own.
BOOL WINAPI onConsoleControl(DWORD /*event*/) {
    SetConsoleMode(waitHandle, waitSavedMode);
    return FALSE;
}

// Owns the opened keyboard for one key wait and restores its mode on every way out.
class KeyboardSession {
public:
    KeyboardSession() : handle_(openKeyboard()) {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return;
        }
        if (GetConsoleMode(handle_, &savedMode_) == 0) {
            return;  // not a console: nothing to switch, nothing to read keys from
        }
        modeSaved_ = true;
        waitHandle = handle_;
        waitSavedMode = savedMode_;
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        // No echo, no line editing: a key counts without Enter and shows nothing.
        SetConsoleMode(handle_,
                       savedMode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT));
        // Keys typed before the screen appeared must not dismiss it unseen.
        FlushConsoleInputBuffer(handle_);
    }

    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    ~KeyboardSession() {
        if (modeSaved_) {
            SetConsoleMode(handle_, savedMode_);
            SetConsoleCtrlHandler(onConsoleControl, FALSE);
        }
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }

    bool ready() const { return modeSaved_; }
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
    DWORD savedMode_ = 0;
    bool modeSaved_ = false;
};

// Shift, Ctrl, Alt and the lock keys pressed alone do not end the wait; nor do the Windows
// keys, which like Shift only change what another key does.
bool isModifierOrLock(WORD key) {
    switch (key) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LSHIFT:
        case VK_RSHIFT:
        case VK_LCONTROL:
        case VK_RCONTROL:
        case VK_LMENU:
        case VK_RMENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_CAPITAL:
        case VK_NUMLOCK:
        case VK_SCROLL:
            return true;
        default:
            return false;
    }
}

bool isKeyPress(const INPUT_RECORD& record) {
    return record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown != FALSE &&
           !isModifierOrLock(record.Event.KeyEvent.wVirtualKeyCode);
}

}  // namespace

void clearScreen(std::ostream& out) {
    static const HANDLE screen = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    if (GetConsoleScreenBufferInfo(screen, &buffer) == 0) {
        // Not a console: a form feed, as CLS writes to a file or a pipe.
        out << '\f';
        return;
    }
    // The console is written to directly, so everything printed before must be out first.
    out.flush();
    // Blanks in the current colours over the whole buffer, scrollback included, then the
    // cursor home: what CLS does, without starting a command interpreter for every screen.
    const COORD home{0, 0};
    const DWORD cells = static_cast<DWORD>(buffer.dwSize.X) * static_cast<DWORD>(buffer.dwSize.Y);
    DWORD written = 0;
    FillConsoleOutputCharacterA(screen, ' ', cells, home, &written);
    FillConsoleOutputAttribute(screen, buffer.wAttributes, cells, home, &written);
    SetConsoleCursorPosition(screen, home);
}

void waitKey() {
    KeyboardSession session;
    if (!session.ready()) {
        return;
    }
    // Mouse, focus and window events, key releases and lone modifiers are passed over.
    INPUT_RECORD record{};
    DWORD got = 0;
    while (ReadConsoleInputA(session.handle(), &record, 1, &got) != 0) {
        if (got == 1 && isKeyPress(record)) {
            return;
        }
    }
}

void setKeyboardDevice(std::string device) {
    keyboardDevice = std::move(device);
}

void watchKeyWaits(KeyWaitWatch* /*watch*/) {
    // Tables run on POSIX systems only.
}

}  // namespace terminal
