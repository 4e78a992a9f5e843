// The state of one game: the galaxy map, the five companies, the players, the day, whose turn
// it is, the merger counter, the offered spots and the random source. Game never prints, never
// reads and knows nothing of the screens: what a build does is reported to an observer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/building.h"
#include "game/shares.h"

inline constexpr std::int32_t kColumns = 12;  // shown as A to L
inline constexpr std::int32_t kRows = 9;      // shown as 1 to 9
inline constexpr std::int32_t kCompanyCount = 5;
inline constexpr std::int32_t kMaxPlayers = 5;
inline constexpr std::int32_t kOfferCount = 5;
inline constexpr std::int32_t kStartingCash = 6000;
inline constexpr std::int32_t kMostStars = 7;      // the set-up places 3 to 7, some may coincide
inline constexpr std::size_t kMaxNameLength = 19;  // bytes
inline constexpr std::int32_t kHardest = 2;        // computer levels: 0 easy, 1 normal, 2 hard
// The last day of turns of a game of `players` players: 22 for one, two fewer for each more.
constexpr std::int32_t lastDayOf(std::int32_t players) {
    return 24 - 2 * players;
}
// The computer levels by name, as the command line, the record and the hall of fame spell them.
inline constexpr std::array<std::string_view, kHardest + 1> kLevelNames = {"easy", "normal",
                                                                           "hard"};

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
    friend bool operator==(const Company&, const Company&) = default;
};

struct Player {
    std::string name;  // at most kMaxNameLength bytes
    std::int32_t cash = kStartingCash;
    std::array<std::int32_t, kCompanyCount> holdings{};
    bool computer = false;  // played by the computer rather than a person
    friend bool operator==(const Player&, const Player&) = default;
};

// Everything a game is, as plain data: what a saved game holds and what tests set up.
struct GameState {
    std::int32_t playerCount = 1;
    std::int32_t day = 1;
    std::int32_t currentPlayer = 0;  // whose turn it is, 0 to playerCount - 1
    std::int32_t mergeCount = 0;
    std::int32_t computerLevel = 1;  // how well the computer's players play: 0 to kHardest
    std::array<std::array<char, kRows>, kColumns> map{};  // [column][row]
    std::array<Company, kCompanyCount> companies{
        {Company{'A'}, Company{'B'}, Company{'C'}, Company{'D'}, Company{'E'}}};
    std::array<Player, kMaxPlayers> players{};
    std::array<std::int32_t, kOfferCount> offeredColumns{};
    std::array<std::int32_t, kOfferCount> offeredRows{};
    std::uint32_t seed = 0;         // what the game was dealt from
    std::uint32_t randomState = 0;  // the generator of stars and offers, as it stands
    friend bool operator==(const GameState&, const GameState&) = default;
};

// Coordinates are always (column, row): column 0 to 11, row 0 to 8. Company indices run from
// 0 (A) to 4 (E), player indices from 0 to playerCount() - 1. Every operation expects indices
// in range; the screens validate what the players type before calling.
class Game {
public:
    // A new game: seeded from the calendar time, map set up, day 1, the first player's turn.
    explicit Game(std::int32_t playerCount);
    // The same with a known seed, for tests and tools.
    Game(std::int32_t playerCount, std::uint32_t seed);

    // A game exactly as `state` describes it, or nullopt when the state breaks a rule of the
    // game (a company whose size is not its cells on the map, a letter of no company, a negative
    // amount, a day out of range...); then `problem`, when given, says what is wrong.
    static std::optional<Game> restore(const GameState& state, std::string* problem = nullptr);
    const GameState& state() const { return s_; }
    // What is wrong with `state`, or an empty text when it is a game that could be played.
    static std::string checkState(const GameState& state);

    // Makes every new game seed from `seconds` instead of the calendar time (nullopt: the
    // real clock again). For replays of whole sessions that need the same map.
    static void fixClock(std::optional<std::uint32_t> seconds);

    // --- The map and its set-up (game.cpp) ---
    std::int32_t randomBetween(std::int32_t lo, std::int32_t hi);  // REQUIRES: hi > lo
    void offerSpots();
    void clearOffers();
    // From now on stars and offers are drawn from `randomState`: for players that try possible
    // futures on a copy of the game with a generator of their own.
    void reseed(std::uint32_t randomState) { s_.randomState = randomState; }
    std::int32_t offeredColumn(std::int32_t i) const { return s_.offeredColumns.at(i); }
    std::int32_t offeredRow(std::int32_t i) const { return s_.offeredRows.at(i); }
    char cell(std::int32_t col, std::int32_t row) const { return s_.map.at(col).at(row); }
    bool isEmpty(std::int32_t col, std::int32_t row) const { return cell(col, row) == kEmpty; }
    bool isOffered(std::int32_t col, std::int32_t row) const { return cell(col, row) == kOffered; }

    // --- Counters, players, companies ---
    std::int32_t playerCount() const { return s_.playerCount; }
    std::uint32_t seed() const { return s_.seed; }
    std::int32_t day() const { return s_.day; }
    // The value day() reaches after the last day of turns.
    std::int32_t finalDay() const { return lastDayOf(s_.playerCount) + 1; }
    std::int32_t mergeCount() const { return s_.mergeCount; }
    // Stores the name as visibleName shows it.
    void setPlayerName(std::string_view name, std::int32_t player);
    // `name` with every control character (ASCII, the UTF-8 encoded C1 controls, and in a name
    // that is not UTF-8 the bytes 80 to 9F) replaced by a '?', so that a name shown on a
    // screen can never command the terminal. Other bytes, UTF-8 included, stay as they are.
    static std::string visibleName(std::string_view name);
    // Whether `text` is well-formed UTF-8.
    static bool isUtf8(std::string_view text);
    const std::string& playerName(std::int32_t player) const { return s_.players.at(player).name; }
    // Hands the player to the computer, which plays every game's computers at one level.
    void setComputer(std::int32_t player) { s_.players.at(player).computer = true; }
    bool isComputer(std::int32_t player) const { return s_.players.at(player).computer; }
    void setComputerLevel(std::int32_t level) { s_.computerLevel = level; }  // 0 to kHardest
    std::int32_t computerLevel() const { return s_.computerLevel; }
    std::int32_t cash(std::int32_t player) const { return s_.players.at(player).cash; }
    std::int32_t holdings(std::int32_t player, std::int32_t company) const {
        return s_.players.at(player).holdings.at(company);
    }
    std::int32_t price(std::int32_t company) const { return s_.companies.at(company).price; }
    std::int32_t size(std::int32_t company) const { return s_.companies.at(company).size; }
    bool isActive(std::int32_t company) const { return s_.companies.at(company).active; }
    bool anyInactive() const;
    bool anyActive() const;

    // --- The order of play (game.cpp) ---
    // Every day each player takes one turn, in player order; after the last one the day ends.
    std::int32_t currentPlayer() const { return s_.currentPlayer; }
    // Passes the turn to the next player, ending the day after the last one.
    void endTurn();
    // Pays the day's dividends and starts the next day with the first player. A quit ends the
    // day at once.
    void endDay();
    // True once the last day is over: the final standings are due.
    bool isOver() const { return s_.day >= finalDay(); }

    // --- Building rules (building.cpp) ---
    bool nextToStar(std::int32_t col, std::int32_t row) const;
    // What the cell adds to the price of a company that gains it (cellWorth, building.h).
    // So a company's price is always the worth of its cells.
    std::int32_t worthOf(std::int32_t col, std::int32_t row) const;
    NeighbourScan scanNeighbours(std::int32_t col, std::int32_t row) const;
    OutpostProbe findAdjacentOutpost(std::int32_t col, std::int32_t row) const;
    // A build on (col, row) that touches no company founds one: a letter is free and the cell
    // is next to a star or a plain outpost.
    bool founds(std::int32_t col, std::int32_t row) const;
    // Builds on (col, row) for `player`: merges every company that touches it, grows the one
    // left, or founds a company, spreading it over the chained outposts, and tells `observer`
    // of each merger and formation as it happens. REQUIRES: (col, row) is an offered spot.
    void placeOutpost(std::int32_t col, std::int32_t row, std::int32_t player,
                      const BuildObserver& observer = {});

    // --- Money rules (shares.cpp) ---
    // REQUIRES: 0 <= count <= cash(player) / price(company).
    void buyShares(std::int32_t player, std::int32_t company, std::int32_t count);
    // Richest first; equal net worths keep player order.
    std::vector<Standing> rankPlayers() const;
    // holdings x price of one company, and the total over all five, in 64 bits.
    std::int64_t holdingValue(std::int32_t player, std::int32_t company) const;
    std::int64_t shareValue(std::int32_t player) const;
    // Cash plus the value of every share, the measure of the winner.
    std::int32_t netWorth(std::int32_t player) const;
    // For telling a forged position from a played one: at least as much as the player has
    // received in cash in the game so far, from the day, the mergers, the map and the
    // player's shares; and at most as much, from the player's cash and shares. A played game
    // never has the least above the most.
    std::int64_t mostReceived(std::int32_t player) const;
    std::int64_t leastReceived(std::int32_t player) const;

    // --- Character conversions, usable without a game ---
    static char toUpper(char c);               // a-z to A-Z, all else unchanged
    static std::int32_t letterIndex(char c);   // A is 1 ... Z is 26; else -1
    static std::int32_t digitValue(char c);    // 0 to 9; else -1
    static char columnLetter(std::int32_t i);  // 0 to 11 give A to L

private:
    explicit Game(GameState state) : s_(std::move(state)) {}
    void resetMap(std::int32_t playerCount);
    std::uint32_t draw();  // the next 15-bit number of the generator
    void setCell(std::int32_t col, std::int32_t row, char symbol) {
        s_.map.at(col).at(row) = symbol;
    }

    // The steps of a build, which keep each company's size equal to its cells on the map.
    // REQUIRES: anyInactive(). Returns the new company's letter.
    char formCompany(std::int32_t col, std::int32_t row, std::int32_t player);
    void expandCompany(std::int32_t col, std::int32_t row, std::int32_t company);
    // The company `letter` absorbs every plain outpost chained to (col, row), depth first.
    void spreadCompany(std::int32_t col, std::int32_t row, char letter);
    // REQUIRES: a and b are different active companies, a found first. Returns one entry per
    // player, indexed by player.
    std::vector<MergeEntry> mergeCompanies(std::int32_t a, std::int32_t b);

    GameState s_;
};
