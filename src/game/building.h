// The rule book of the map: what a build turns into (a plain outpost, a new company, a
// bigger company or a merger). The steps are members of Game (game.h, defined in
// building.cpp); the two top-level rules below reach the game through theGame.
#pragma once

#include <cstdint>

// What touches a cell on its four sides, as far as companies go.
struct NeighbourScan {
    // 0: no company touches the cell; 1: only one company does; 2 or more: at least two
    // different companies do.
    std::int32_t count = 0;
    char first = 0;   // the first company letter found, in neighbour order
    char second = 0;  // the first letter found that differs from first; only when count >= 2
};

// The first plain outpost next to a cell, in neighbour order.
struct OutpostProbe {
    std::int32_t col = 0;
    std::int32_t row = 0;
    bool found = false;
};

// What one player got out of a merger.
struct MergeEntry {
    std::int32_t oldStock = 0;  // shares held in the absorbed company
    std::int32_t newStock = 0;  // shares of the survivor received for them
    std::int32_t bonus = 0;     // dollars paid
    bool involved = false;      // the player held shares of the absorbed company
};

// Builds on the offered spot (col, row) for `player`: merges every company that touches it,
// grows the one left, or founds a company, announcing each formation and merger on its own
// screen. REQUIRES: theGame exists and (col, row) is an offered spot.
void placeOutpost(std::int32_t col, std::int32_t row, std::int32_t player);

// The company `letter` absorbs every plain outpost chained to (col, row), depth first.
// `player` is passed along and not used.
void spreadCompany(std::int32_t col, std::int32_t row, char letter, std::int32_t player);
