#include "support/screen_capture.h"

#include <cstdlib>
#include <iostream>

#include "console/terminal.h"

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
