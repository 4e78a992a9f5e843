// Whole-program fuzzing: the bytes are everything typed in one run of the game, from the
// title menu until the input ends. A first line "--seed N" deals the games from seed N, so a
// transcript's args followed by its input replays that transcript; without it the seed is 0.
// Whatever is typed, the program must end normally (status 0, no game left behind) without a
// crash, a leak, undefined behaviour or a hang.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "console/console.h"
#include "console/terminal.h"
#include "screens/current_game.h"
#include "screens/flow.h"

namespace {

// Output that nobody reads.
class Discard : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char* /*text*/, std::streamsize n) override { return n; }
};

// Takes a leading "--seed N" off the input and returns N (0 when there is none).
std::uint32_t takeSeed(std::string_view& input) {
    constexpr std::string_view kOption = "--seed ";
    std::uint32_t seed = 0;
    if (input.starts_with(kOption)) {
        input.remove_prefix(kOption.size());
        const char* start = input.data();
        const char* end = std::from_chars(start, start + input.size(), seed).ptr;
        input.remove_prefix(static_cast<std::size_t>(end - start));
    }
    return seed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    terminal::setKeyboardDevice("/nonexistent/keyboard");  // every key wait returns at once
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    Game::fixClock(takeSeed(input));
    std::stringbuf typed(std::string(input), std::ios::in);
    Discard shown;
    std::ostream output(&shown);
    theConsole = std::make_unique<Console>(typed, output);
    const int status = runMainLoop();
    theConsole.reset();
    if (status != 0 || theGame != nullptr) {
        std::fprintf(stderr, "the program ended with status %d and %s game left\n", status,
                     theGame != nullptr ? "a" : "no");
        std::abort();
    }
    return 0;
}
