// Whole-program fuzzing: the bytes are everything typed in one run of the game. A first line
// of options as the command line takes them sets up the run, so a transcript's args and input
// replay it. Whatever is typed, the program must end normally (status 0, no game left behind)
// without a crash, a leak, undefined behaviour or a hang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ai/computer.h"
#include "console/console.h"
#include "console/terminal.h"
#include "discard.h"
#include "options.h"
#include "screens/current_game.h"
#include "screens/flow.h"

namespace {

// Takes a first line of options off the input, when the command line would take it to play
// (--seed, -c / --computers, --level); otherwise everything is typed and the run deals from
// seed 0 with no computer players.
Options takeOptions(std::string_view& input) {
    const std::size_t end = input.find('\n');
    std::istringstream line{std::string(input.substr(0, end))};
    std::vector<std::string> words{"kessandor"};
    for (std::string word; line >> word;) {
        words.push_back(word);
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    Options options;
    const bool plays = words.size() > 1 && words[1].starts_with('-') &&
                       !parseOptions(static_cast<int>(argv.size()), argv.data(), options) &&
                       !options.help && !options.version && !options.scores && !options.resume;
    if (!plays) {
        return Options{};
    }
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    terminal::setKeyboardDevice("/nonexistent/keyboard");  // every key wait returns at once
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const Options options = takeOptions(input);
    Game::fixClock(options.seed.value_or(0));
    // Every input seats its own computers: nothing carries over from the input before. A hard
    // computer plays each plan out to the end hundreds of times: under the sanitizers a game
    // of hard computers takes minutes, so here hard plays as normal (the soak plays hard).
    const Level level = std::min(options.level.value_or(Level::normal), Level::normal);
    seatComputers(options.computers.value_or(0), static_cast<std::int32_t>(level));
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
