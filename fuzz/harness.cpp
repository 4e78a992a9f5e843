#include "harness.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "console/terminal.h"
#include "screens/current_game.h"
#include "screens/flow.h"

namespace fuzzing {

void prepareInProcessRuns() {
    setenv("TERM", "dumb", 1);
    terminal::setKeyboardDevice("/nonexistent/keyboard");
    Game::fixClock(kClock);
}

ByteInput::ByteInput(std::string_view bytes, std::vector<std::size_t> chunks)
    : bytes_(bytes), chunks_(std::move(chunks)) {}

std::size_t ByteInput::consumed() const {
    return gptr() == nullptr ? 0 : static_cast<std::size_t>(gptr() - bytes_.data());
}

ByteInput::int_type ByteInput::underflow() {
    if (gptr() != egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    if (served_ == bytes_.size()) {
        return traits_type::eof();
    }
    std::size_t length = bytes_.size() - served_;
    if (!chunks_.empty()) {
        length = std::clamp<std::size_t>(chunks_[nextChunk_++ % chunks_.size()], 1, length);
    }
    char* start = bytes_.data() + served_;
    setg(start, start, start + length);
    served_ += length;
    return traits_type::to_int_type(*start);
}

int runProgram(std::string_view input, std::streambuf& output) {
    ByteInput in(input);
    const StreamSwap swap(in, output);
    return runMainLoop();
}

}  // namespace fuzzing
