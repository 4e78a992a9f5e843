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

// Standard input made of a script. When the script runs out, `refill` (if set) is asked for
// more; an empty answer ends the input.
class ScriptedInput : public std::streambuf {
public:
    explicit ScriptedInput(std::string script) : script_(std::move(script)) { reset(); }

    std::function<std::string()> refill;

    void append(const std::string& more);
    // What has been typed but not read yet.
    std::string pending() const { return std::string(gptr(), egptr()); }

protected:
    int_type underflow() override;

private:
    void reset();
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
    void type(const std::string& text) { input_.append(text); }
    std::string output() const { return output_.str(); }
    // Returns what was printed since the last call and forgets it.
    std::string takeOutput();

private:
    ScriptedInput input_;
    std::stringbuf output_;
    std::streambuf* savedIn_;
    std::streambuf* savedOut_;
};

// Line ends and form feeds made visible, for readable failure messages.
std::string visible(const std::string& screen);

// The nine rows of theGame's map, each as its twelve cells from column A to L.
using MapRows = std::array<std::string, 9>;
MapRows mapRowsOfGame();

// The screen the galaxy map should draw for these rows, laid out step by step: the title,
// the column letters, then for each row a space, its number, three spaces and every cell
// followed by two spaces.
std::string expectedMapScreen(const MapRows& rows);

// Installs a game of `players` named Ann, Bob, Cy, Dee and Eve on an empty map (no stars),
// with a fixed seed so the offered spots are the same on every run.
void startScreenGame(std::int32_t players);

// Screen tests start with no game and leave none behind.
class ScreenTest : public ::testing::Test {
protected:
    void TearDown() override;
};
