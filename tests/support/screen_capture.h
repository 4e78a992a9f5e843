// Runs the console against strings instead of the terminal: what the game prints is
// captured, what the player types comes from a script. Clearing the window writes a form
// feed and key waits return at once, as they do when the game's output is not a terminal.
#pragma once

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
