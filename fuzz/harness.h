// Runs the whole program in-process: standard input from a byte string, standard output to a
// buffer of the caller's choice, key waits that return at once and a fixed clock, so that
// every run of the same input plays the same games on the same maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

// The calendar time every game is seeded from in these runs (the seed corpora depend on it).
inline constexpr std::uint32_t kClock = 1700000000;

// Once per process, before the first run: a dumb terminal (form feeds, no escape codes), no
// keyboard, and the fixed clock.
void prepareInProcessRuns();

// Swaps standard input and output for the life of the object.
class StreamSwap {
public:
    StreamSwap(std::streambuf& input, std::streambuf& output)
        : savedIn_(std::cin.rdbuf(&input)), savedOut_(std::cout.rdbuf(&output)) {}
    ~StreamSwap() {
        std::cin.rdbuf(savedIn_);
        std::cout.rdbuf(savedOut_);
    }
    StreamSwap(const StreamSwap&) = delete;
    StreamSwap& operator=(const StreamSwap&) = delete;

private:
    std::streambuf* savedIn_;
    std::streambuf* savedOut_;
};

// Standard input made of a copy of `bytes`. A list of chunk sizes hands the bytes to the
// reader a few at a time, as a terminal does line by line; without one they come at once.
class ByteInput : public std::streambuf {
public:
    explicit ByteInput(std::string_view bytes, std::vector<std::size_t> chunks = {});

    // How many bytes the reader has taken so far.
    std::size_t consumed() const;

protected:
    int_type underflow() override;

private:
    std::string bytes_;
    std::vector<std::size_t> chunks_;
    std::size_t nextChunk_ = 0;
    std::size_t served_ = 0;  // bytes handed to the reader so far
};

// Runs the program's main loop from the title menu to its end with `input` as the whole of
// standard input and `output` as standard output. Returns the exit status.
int runProgram(std::string_view input, std::streambuf& output);

}  // namespace fuzzing
