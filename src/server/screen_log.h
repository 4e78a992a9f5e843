// What a newcomer to a table needs to see the screen everyone else sees: the game's output
// since its last clear. The game writes only text, line ends and its clear, so replaying that
// much into an empty 80 x 24 terminal draws the same screen.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace server {

class ScreenLog {
public:
    // Adds what the game wrote; forgets everything before a clear in it.
    void append(std::string_view bytes);
    // What to write into an empty terminal to show the current screen: starts with a clear.
    std::string replay() const;
    std::size_t size() const { return log_.size(); }
    bool endsWith(std::string_view text) const { return log_.ends_with(text); }

    // A screen that keeps growing without a clear (someone typing junk at a prompt) keeps
    // only its last lines, which are all a 24-line window shows.
    static constexpr std::size_t kMostKept = std::size_t{64} * 1024;

private:
    std::string log_;
};

}  // namespace server
