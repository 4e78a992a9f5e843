// The state of one game: the galaxy map, the five companies, the players, the day and merger
// counters, the offered spots and the random source. Game never prints and never reads.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "game/building.h"
#include "game/shares.h"

inline constexpr std::int32_t kColumns = 12;  // shown as A to L
inline constexpr std::int32_t kRows = 9;      // shown as 1 to 9
inline constexpr std::int32_t kCompanyCount = 5;
inline constexpr std::int32_t kMaxPlayers = 5;
inline constexpr std::int32_t kOfferCount = 5;
inline constexpr std::int32_t kStartingCash = 6000;

// Map cell symbols. Company cells hold their letter, "A" to "E": the only symbols above "@".
inline constexpr char kEmpty = '.';
inline constexpr char kStar = '*';
inline constexpr char kOutpost = '+';
inline constexpr char kOffered = '?';  // only between offerSpots and clearOffers

struct Company {
    char letter = 'A';
    std::int32_t size = 0;   // cells on the map
    std::int32_t price = 0;  // share price in dollars; 0 until first formed
    bool active = false;     // an absorbed company keeps its size and price until formed again
};

struct Player {
    std::string name;  // at most 19 bytes
    std::int32_t cash = kStartingCash;
    std::array<std::int32_t, kCompanyCount> holdings{};
};

// Coordinates are always (column, row): column 0 to 11, row 0 to 8. Company indices run from
// 0 (A) to 4 (E), player indices from 0 to playerCount() - 1. Every operation expects indices
// in range; the screens validate what the players type before calling.
class Game {
public:
    // A new game: seeded from the calendar time, map set up, day 1.
    explicit Game(std::int32_t playerCount);
    // The same with a known seed, for tests and tools.
    Game(std::int32_t playerCount, std::uint32_t seed);

    // Makes every new game seed from `seconds` instead of the calendar time (nullopt: the
    // real clock again). For tools that replay whole sessions and need the same map.
    static void fixClock(std::optional<std::uint32_t> seconds);

    // --- The map and its set-up (game.cpp) ---
    void resetMap(std::int32_t playerCount);
    std::int32_t randomBetween(std::int32_t lo, std::int32_t hi);  // REQUIRES: hi > lo
    void offerSpots();
    void clearOffers();
    std::int32_t offeredColumn(std::int32_t i) const { return offeredColumns_.at(i); }
    std::int32_t offeredRow(std::int32_t i) const { return offeredRows_.at(i); }
    char cell(std::int32_t col, std::int32_t row) const { return map_.at(col).at(row); }
    void setCell(std::int32_t col, std::int32_t row, char symbol) { map_.at(col).at(row) = symbol; }
    bool isEmpty(std::int32_t col, std::int32_t row) const { return cell(col, row) == kEmpty; }
    bool isOffered(std::int32_t col, std::int32_t row) const { return cell(col, row) == kOffered; }

    // --- Counters, players, companies ---
    std::int32_t playerCount() const { return playerCount_; }
    std::int32_t day() const { return day_; }
    // The value day() reaches after the last day of turns: 25 - 2 x players.
    std::int32_t finalDay() const { return 25 - 2 * playerCount_; }
    std::int32_t mergeCount() const { return mergeCount_; }
    void setPlayerName(std::string name, std::int32_t player);
    const std::string& playerName(std::int32_t player) const { return players_.at(player).name; }
    std::int32_t cash(std::int32_t player) const { return players_.at(player).cash; }
    std::int32_t holdings(std::int32_t player, std::int32_t company) const {
        return players_.at(player).holdings.at(company);
    }
    std::int32_t price(std::int32_t company) const { return companies_.at(company).price; }
    std::int32_t size(std::int32_t company) const { return companies_.at(company).size; }
    bool isActive(std::int32_t company) const { return companies_.at(company).active; }
    bool anyInactive() const;
    bool anyActive() const;

    // --- Building rules (building.cpp) ---
    bool nextToStar(std::int32_t col, std::int32_t row) const;
    NeighbourScan scanNeighbours(std::int32_t col, std::int32_t row) const;
    OutpostProbe findAdjacentOutpost(std::int32_t col, std::int32_t row) const;
    // REQUIRES: anyInactive(). Returns the new company's letter.
    char formCompany(std::int32_t col, std::int32_t row, std::int32_t player);
    void expandCompany(std::int32_t col, std::int32_t row, std::int32_t company);
    // REQUIRES: a and b are different active companies, a found first. Returns one entry per
    // player, indexed by player.
    std::vector<MergeEntry> mergeCompanies(std::int32_t a, std::int32_t b);

    // --- Money rules (shares.cpp) ---
    // REQUIRES: 0 <= count <= cash(player) / price(company).
    void buyShares(std::int32_t player, std::int32_t company, std::int32_t count);
    void endDay();
    // Richest first; equal net worths keep player order.
    std::vector<Standing> rankPlayers() const;
    // holdings x price of one company, and the total over all five, in 64 bits.
    std::int64_t holdingValue(std::int32_t player, std::int32_t company) const;
    std::int64_t shareValue(std::int32_t player) const;

    // --- Character conversions, usable without a game ---
    static char toUpper(char c);               // a-z to A-Z, all else unchanged
    static std::int32_t letterIndex(char c);   // A is 1 ... Z is 26; else -1
    static std::int32_t digitValue(char c);    // 0 to 9; else -1
    static char columnLetter(std::int32_t i);  // 0 to 11 give A to L

private:
    std::uint32_t draw();  // the next 15-bit number of the generator

    std::int32_t playerCount_ = 0;
    std::int32_t day_ = 1;
    std::int32_t mergeCount_ = 0;
    std::array<std::int32_t, kOfferCount> offeredColumns_{};
    std::array<std::int32_t, kOfferCount> offeredRows_{};
    std::array<std::array<char, kRows>, kColumns> map_{};  // [column][row]
    std::array<Company, kCompanyCount> companies_{};
    std::array<Player, kMaxPlayers> players_{};
    std::uint32_t randomState_ = 0;
};

// The game being played: set by the title menu when a game starts, destroyed and reset to
// null by the main loop when it ends. Null whenever no game runs.
extern std::unique_ptr<Game> theGame;
