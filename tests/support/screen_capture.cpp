#include "support/screen_capture.h"

#include <cstdlib>
#include <iostream>

#include "console/terminal.h"
#include "game/game.h"

void ScriptedInput::load(std::string script) {
    script_ = std::move(script);
    setg(script_.data(), script_.data(), script_.data() + script_.size());
}

ScriptedInput::int_type ScriptedInput::underflow() {
    if (gptr() == egptr() && refill) {
        load(refill());
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
        screen.append(" ").append(std::to_string(row + 1)).append("   ");
        for (const char cell : rows.at(row)) {
            screen.append(1, cell).append("  ");
        }
        screen += "\n";
    }
    return screen;
}

Game emptyMapGame(std::int32_t players, std::uint32_t seed) {
    Game game(players, seed);
    for (std::int32_t i = 0; i < kColumns * kRows; ++i) {
        game.setCell(i / kRows, i % kRows, kEmpty);
    }
    return game;
}

void startScreenGame(std::int32_t players) {
    theGame = std::make_unique<Game>(emptyMapGame(players));
    for (std::int32_t p = 0; p < players; ++p) {
        theGame->setPlayerName(kPlayerNames.at(p), p);
    }
}

void ScreenTest::TearDown() {
    theGame.reset();
    Game::fixClock(std::nullopt);
}
