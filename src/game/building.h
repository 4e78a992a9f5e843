// The rule book of the map: what a build turns into (a plain outpost, a new company, a
// bigger company or a merger). The steps are members of Game (game.h, defined in
// building.cpp); these records are what they report.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// What a cell is worth to its company: the price of a company formed on it, and the rise when
// a company gains it.
inline constexpr std::int32_t kCellWorth = 100;
inline constexpr std::int32_t kStarCellWorth = 600;  // beside a star
constexpr std::int32_t cellWorth(bool besideStar) {
    return besideStar ? kStarCellWorth : kCellWorth;
}

// The shares of a new company its founder receives.
inline constexpr std::int32_t kFounderShares = 5;

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

// What a holder of `oldStock` shares of a company priced `absorbedPrice` gets when it is absorbed
// by one priced `survivorPrice` (already raised by the absorbed price) in the game's
// `mergerNumber`th merger: survivor shares of the same value, rounded down, and a bonus of the
// old shares' value divided by the number of mergers so far. REQUIRES: the prices are at least 1.
MergeEntry mergerTerms(std::int32_t oldStock, std::int32_t absorbedPrice,
                       std::int32_t survivorPrice, std::int32_t mergerNumber);

// What a build reports while it happens: each merger as it is made (one or more, before the
// build joins the survivor), or the founding of a company (before it spreads). The screens
// announce them; tools may count them or leave either callback empty.
struct BuildObserver {
    // `letter` ("A" to "E") was just founded by `player`.
    std::function<void(char letter, std::int32_t player)> companyFormed;
    // Companies a and b (in the order found) just merged; `entries` holds what each player got,
    // indexed by player. The survivor is whichever of the two is still active.
    std::function<void(const std::vector<MergeEntry>& entries, std::int32_t a, std::int32_t b)>
        companiesMerged;
};
