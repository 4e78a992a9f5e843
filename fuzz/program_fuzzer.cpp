// Whole-program fuzzing: the bytes are everything typed in one run of the game, from the
// title menu until the input ends. A first line of options as the command line takes them
// ("--seed N", "-c N" or "--computers N", "--level L") sets up the run, so a transcript's args
// followed by its input replays that transcript; without such a line everything is typed and
// the run deals from seed 0 with no computer players. Whatever is typed, the program must end
// normally (status 0, no game left behind) without a crash, a leak, undefined behaviour or a
// hang.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "ai/computer.h"
#include "console/console.h"
#include "console/terminal.h"
#include "discard.h"
#include "screens/current_game.h"
#include "screens/flow.h"

namespace {

struct RunOptions {
    std::uint32_t seed = 0;
    std::int32_t computers = 0;
    Level level = Level::normal;
};

// The whole of `text` as a number from `least` to `most`, as the command line takes it.
std::optional<std::uint32_t> numberNamed(std::string_view text, std::uint32_t least,
                                         std::uint32_t most) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < least || value > most) {
        return std::nullopt;
    }
    return value;
}

// The options of `line`, each at most once, as the command line takes them; nullopt when the
// line holds anything else (then it is typed like the rest).
std::optional<RunOptions> optionsOf(std::string_view line) {
    RunOptions options;
    bool seed = false;
    bool computers = false;
    bool level = false;
    std::istringstream words{std::string(line)};
    std::string option;
    while (words >> option) {
        std::string value;
        words >> value;
        const auto seedValue = numberNamed(value, 0, UINT32_MAX);
        const auto computersValue = numberNamed(value, 1, kMaxPlayers - 1);
        if (option == "--seed" && !seed && seedValue) {
            options.seed = *seedValue;
            seed = true;
        } else if ((option == "-c" || option == "--computers") && !computers && computersValue &&
                   value.size() == 1) {
            options.computers = static_cast<std::int32_t>(*computersValue);
            computers = true;
        } else if (option == "--level" && !level && levelNamed(value)) {
            options.level = *levelNamed(value);
            level = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// Takes a first line of options off the input, when it is one.
RunOptions takeOptions(std::string_view& input) {
    const std::size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    const std::optional<RunOptions> options =
        line.starts_with('-') ? optionsOf(line) : std::nullopt;
    if (!options) {
        return RunOptions{};
    }
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return *options;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    terminal::setKeyboardDevice("/nonexistent/keyboard");  // every key wait returns at once
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const RunOptions options = takeOptions(input);
    Game::fixClock(options.seed);
    // Every input seats its own computers: nothing carries over from the input before. A hard
    // computer plays out 48 futures for each spot where normal plays out 4, by the same code:
    // under the sanitizers a game of hard computers takes seconds, so here hard plays as normal.
    const Level level = options.level == Level::hard ? Level::normal : options.level;
    seatComputers(options.computers, static_cast<std::int32_t>(level));
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
