// The local terminal's window: the game's bytes written unchanged, and the status line kept
// apart from them (row 25 below a scroll region of rows 1 to 24, or the window's title when
// the window has fewer rows), redrawn whenever the game's bytes may have erased it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace join {

// Follows the game's bytes across chunks: whether they stand between escape sequences and
// characters (where a write of our own cannot split one), and what the last chunk erased.
class ByteScanner {
public:
    struct Seen {
        bool erasedStatus = false;  // an erase that reaches row 25, or a reset
        bool reset = false;         // a full reset or a change of the scroll region
        std::size_t clearEnd = std::string_view::npos;  // just after the last full clear
    };

    Seen scan(std::string_view bytes);

    // Between sequences: no escape sequence and no UTF-8 character is half written.
    bool atBoundary() const { return state_ == State::ground && utf8Left_ == 0; }

private:
    enum class State { ground, escape, csi, osc, oscEscape };
    void finishCsi(char final, std::size_t end, Seen& seen);

    State state_ = State::ground;
    std::string params_;
    int utf8Left_ = 0;
};

// The write that puts `text` on row 25 and leaves the cursor and its attributes as they were.
std::string statusRowWrite(std::string_view text);
// The write that makes `text` the window's title.
std::string titleWrite(std::string_view text);

class Screen {
public:
    // `fd` is the terminal (or whatever standard output is); `terminal` says whether it is one.
    Screen(int fd, bool terminal);

    // Reads the window's size and sets the layout for it: call at the start, on a resize and
    // after a stop.
    void layOut();
    // Takes the layout off again: the scroll region reset and the cursor below the game's rows.
    void tearDown();

    // The screen a connection starts with: the window cleared, then the bytes.
    void showSnapshot(std::string_view bytes);
    // The game's output, written as it is.
    void showGame(std::string_view bytes);
    // Clears the window and writes again what the game wrote since its last clear.
    void redraw();

    void setStatus(std::string text);
    std::size_t width() const;

    // Writes plain text (the links, messages): \n becomes \r\n while the terminal is raw.
    void say(std::string_view text, bool raw) const;

private:
    void write(std::string_view bytes) const;
    void drawStatus();
    void remember(std::string_view bytes, std::size_t clearEnd);

    int fd_;
    bool terminal_;
    int rows_ = 0;
    int columns_ = 80;
    bool laidOut_ = false;
    bool statusRow_ = false;  // else the title
    bool statusPending_ = false;
    std::string status_;
    std::string sinceClear_;  // the game's bytes since its last full clear, bounded
    ByteScanner scanner_;
};

}  // namespace join
