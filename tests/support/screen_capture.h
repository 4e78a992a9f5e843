// Runs the console against strings instead of the terminal: what the game prints is
// captured, what the player types comes from a script. Clearing the window writes a form
// feed and key waits return at once, as they do when the game's output is not a terminal.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <sstream>
#include <streambuf>
#include <string>

#include "game/game.h"

// Standard input made of a script. When the script runs out, `refill` (if set) is asked for
// more; an empty answer ends the input.
class ScriptedInput : public std::streambuf {
public:
    explicit ScriptedInput(std::string script) { load(std::move(script)); }
    std::function<std::string()> refill;
    std::string pending() const { return {gptr(), egptr()}; }  // typed but not read yet

protected:
    int_type underflow() override;

private:
    void load(std::string script);
    std::string script_;
};

// Swaps std::cin and std::cout for the life of the object.
class ScreenCapture {
public:
    explicit ScreenCapture(std::string script = "");
    ~ScreenCapture();
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    ScriptedInput& input() { return input_; }
    std::string output() const { return output_.str(); }
    std::string takeOutput();  // what was printed since the last call

private:
    ScriptedInput input_;
    std::stringbuf output_;
    std::streambuf* savedIn_;
    std::streambuf* savedOut_;
};

// The nine rows of theGame's map, each as its twelve cells from column A to L.
using MapRows = std::array<std::string, 9>;
MapRows mapRowsOfGame();

// The galaxy map screen for these rows: the title, the column letters, then for each row a
// space, its number, three spaces and every cell followed by two spaces, so that each cell
// stands under its column letter.
std::string expectedMapScreen(const MapRows& rows);

// A game on a map of empty space (no stars), so that every price comes from what a test builds.
Game emptyMapGame(std::int32_t players, std::uint32_t seed = 20240607U);

// Installs emptyMapGame(players) as theGame, its players named as below.
inline const std::array<std::string, 5> kPlayerNames = {"Ann", "Bob", "Cy", "Dee", "Eve"};
void startScreenGame(std::int32_t players);

// Screen tests start with no game and leave none behind.
class ScreenTest : public ::testing::Test {
protected:
    void TearDown() override;
};
