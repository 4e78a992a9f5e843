// Whole-program fuzzing: arbitrary bytes are the entire standard input of the game, from the
// title menu to the end. Whatever is typed, the program must end normally when the input
// ends (status 0, no game left behind), without a crash, a leak, undefined behaviour or a hang.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "game/game.h"
#include "harness.h"
#include "random_play.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzzing::prepareInProcessRuns();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    randomplay::DiscardBuffer discard;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const int status = fuzzing::runProgram(input, discard);
    if (status != 0 || theGame != nullptr) {
        std::fprintf(stderr, "the program ended with status %d and %s game left\n", status,
                     theGame != nullptr ? "a" : "no");
        std::abort();
    }
    return 0;
}
