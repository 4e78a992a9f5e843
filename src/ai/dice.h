// The computer's own source of chance, apart from the game's: the game's draws (stars and
// offers) stay exactly those of a game with people only. Same seed, same numbers, on every
// platform.
#pragma once

#include <cstdint>

class Dice {
public:
    explicit Dice(std::uint64_t seed) : state_(seed) {}

    // The next 64 random bits (splitmix64).
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31U);
    }

    // A whole number from 0 to n - 1. REQUIRES: n > 0.
    std::int32_t below(std::int32_t n) {
        return static_cast<std::int32_t>((next() >> 32U) * static_cast<std::uint64_t>(n) >> 32U);
    }

    // A number from 0 up to, not including, 1.
    double unit() { return static_cast<double>(next() >> 11U) * 0x1.0p-53; }

    // Mixes `value` into a seed, so that (seed, day, player) give unrelated streams.
    static std::uint64_t mix(std::uint64_t seed, std::uint64_t value) {
        return Dice(seed ^ (value * 0xD1B54A32D192ED03ULL)).next();
    }

private:
    std::uint64_t state_;
};
