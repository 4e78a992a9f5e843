#include "support/screen_capture.h"

#include <cstdlib>
#include <iostream>

#include "console/terminal.h"
#include "game/game.h"

void ScriptedInput::reset() {
    char* begin = script_.data();
    setg(begin, begin, begin + script_.size());
}

void ScriptedInput::append(const std::string& more) {
    const std::string rest = pending() + more;
    script_ = rest;
    reset();
}

ScriptedInput::int_type ScriptedInput::underflow() {
    if (gptr() == egptr() && refill) {
        script_ = refill();
        reset();
    }
    return gptr() == egptr() ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

ScreenCapture::ScreenCapture(std::string script)
    : input_(std::move(script)),
      savedIn_(std::cin.rdbuf(&input_)),
      savedOut_(std::cout.rdbuf(&output_)) {
    setenv("TERM", "dumb", 1);
    terminal::setKeyboardDevice("/nonexistent/keyboard");
    std::cin.clear();
    std::cout.clear();
}

ScreenCapture::~ScreenCapture() {
    std::cin.rdbuf(savedIn_);
    std::cout.rdbuf(savedOut_);
}

std::string ScreenCapture::takeOutput() {
    std::string text = output_.str();
    output_.str("");
    return text;
}

std::string visible(const std::string& screen) {
    std::string shown;
    for (const char c : screen) {
        if (c == '\n') {
            shown += "\\n\n";
        } else if (c == '\f') {
            shown += "<FF>";
        } else {
            shown += c;
        }
    }
    return shown;
}

MapRows mapRowsOfGame() {
    MapRows rows;
    for (std::int32_t row = 0; row < kRows; ++row) {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            rows.at(row) += theGame->cell(col, row);
        }
    }
    return rows;
}

std::string expectedMapScreen(const MapRows& rows) {
    std::string screen = "\f             Map of the Galaxy\n            *******************\n\n";
    screen += "     A  B  C  D  E  F  G  H  I  J  K  L\n";
    for (std::size_t row = 0; row < rows.size(); ++row) {
        screen += ' ';
        screen += std::to_string(row + 1);
        screen += "   ";
        for (const char cell : rows.at(row)) {
            screen += std::string(1, cell) + "  ";
        }
        screen += "\n";
    }
    return screen;
}

void startScreenGame(std::int32_t players) {
    static const std::array<const char*, 5> kNames = {"Ann", "Bob", "Cy", "Dee", "Eve"};
    theGame = std::make_unique<Game>(players, 20240607U);
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            theGame->setCell(col, row, kEmpty);
        }
    }
    for (std::int32_t p = 0; p < players; ++p) {
        theGame->setPlayerName(kNames.at(p), p);
    }
}

void ScreenTest::TearDown() {
    theGame.reset();
    Game::fixClock(std::nullopt);
}
