#include "screens/flow.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "records/records.h"
#include "screens/computer.h"
#include "screens/current_game.h"
#include "screens/hall_of_fame.h"
#include "screens/resume.h"
#include "screens/standings.h"
#include "screens/stock.h"
#include "screens/turn.h"
#include "table/table.h"

std::unique_ptr<Game> theGame;

std::int32_t readNumberUpTo(std::int32_t most) {
    Console& out = *theConsole;
    std::int32_t number = out.readInt();
    while (number < 1 || number > most) {
        out.newLines(2);
        out.print("[Please Choose a Number Between 1 and ");
        out.print(most);
        out.print("]: ");
        number = out.readInt();
    }
    return number;
}

namespace {

// The computer players every game of this run gets after the people.
std::int32_t seatedComputers = 0;
std::int32_t seatedLevel = 1;

void showCredits() {
    Console& out = *theConsole;
    out.clearScreen();
    out.print("Programming: The Kessandor developers");
    out.newLines(1);
    out.print("E-mail:      kessandor@example.org");
    out.newLines(1);
    out.print("Version:     1.0");
    out.newLines(2);
    out.print("Look for the latest version at https://kessandor.example.org/");
}

// The same hall of fame as --scores; the old sentence only when no game was ever recorded.
void showHallOfFame() {
    Console& out = *theConsole;
    out.clearScreen();
    std::string path;
    std::string problem;
    const std::optional<std::string> record = recordText(path, problem);
    if (!record) {
        out.print(Game::visibleName("The hall of fame cannot be shown: " + problem));
        return;
    }
    if (record->empty()) {
        out.print("Hall of fame is not implemented in this version");
        return;
    }
    std::vector<std::string> notes;  // the lines left out; --scores names them
    const std::string listing = hallOfFame(*record, notes);
    for (std::size_t start = 0; start < listing.size();) {
        const std::size_t end = listing.find('\n', start);
        out.print(std::string_view(listing).substr(start, end - start));
        start = end + 1;
        if (start < listing.size()) {
            out.newLines(1);
        }
    }
}

void showInstructions() {
    Console& out = *theConsole;
    out.clearScreen();
    out.print("\t\t\t***Instructions***");
    out.newLines(3);
    out.print("Morwayne is a game of intersteller trading.  The object is to amass the");
    out.newLines(1);
    out.print("greatest amount of wealth. You accomplish this by establishing Companies and");
    out.newLines(1);
    out.print("investing stock in them.  As these companies grow in size, so will their stock.");
    out.newLines(2);
    out.print("Each day, you will be presented five spaces in which you can build an");
    out.newLines(1);
    out.print("outpost ('+'). Building an outpost next to a star ('*') or next to another");
    out.newLines(1);
    out.print("outpost will produce a new company that you can invest stock in.  Building");
    out.newLines(1);
    out.print("next to a company will expand that company and raise it's stock price.  If two");
    out.newLines(1);
    out.print("companies come into contact with each other, they will merge, giving bonuses to");
    out.newLines(1);
    out.print("players baised on how much stock they own.  But this could help your opponent");
    out.newLines(1);
    out.print("out more than you if you're not careful!");
    out.newLines(2);
    out.print("The player with the highest networth at the end of 23 days will be the winner!");
    out.newLines(2);
    out.print("EOF.");
}

// The computer players take the seats the people leave.
std::int32_t askPlayerCount() {
    Console& out = *theConsole;
    const std::int32_t most = kMaxPlayers - seatedComputers;
    out.newLines(2);
    out.print("[1 to ");
    out.print(most);
    out.print(" people can play]");
    out.newLines(1);
    out.print("[How many people are playing][?]: ");
    table::expect(table::Answerer::server());
    return readNumberUpTo(most);
}

// Person `i`'s name, as typed. At a table, a person who has gone away is given "Player-N",
// shown as if typed.
std::string readName(std::int32_t i) {
    table::expect(table::Answerer::person(i));
    try {
        return theConsole->readWord();
    } catch (const table::SeatAway&) {
        std::string name = "Player-" + std::to_string(i + 1);
        theConsole->print(name);
        theConsole->newLines(1);
        return name;
    }
}

// No line ends between the prompts: each starts where the player's Enter left the cursor.
// The computer players need no asking.
void askPlayerNames() {
    Console& out = *theConsole;
    const std::int32_t people = theGame->playerCount() - seatedComputers;
    for (std::int32_t i = 0; i < people; ++i) {
        out.print("[What is player ");
        out.print(i + 1);
        out.print("'s name][?]: ");
        theGame->setPlayerName(readName(i), i);
    }
    for (std::int32_t i = 0; i < seatedComputers; ++i) {
        theGame->setPlayerName(computerName(i), people + i);
        theGame->setComputer(people + i);
    }
    theGame->setComputerLevel(seatedLevel);
}

}  // namespace

void seatComputers(std::int32_t count, std::int32_t level) {
    seatedComputers = count;
    seatedLevel = level;
}

char menuChoice() {
    Console& out = *theConsole;
    out.newLines(4);
    out.print("[Menu Choices]: [C]redits [H]all of Fame [I]nstructions [S]tart [Q]uit");
    out.newLines(1);
    out.print("[Your Choice][?] ");
    return Game::toUpper(out.readChar());
}

bool mainMenu() {
    Console& out = *theConsole;
    table::expect(table::Answerer::host());
    out.clearScreen();
    out.newLines(6);
    out.print("                  Welcome to Kessandor!");
    for (;;) {
        switch (menuChoice()) {
            case 'Q':
                return true;
            case 'C':
                showCredits();
                break;
            case 'H':
                showHallOfFame();
                break;
            case 'I':
                showInstructions();
                break;
            case 'S':
                theGame = std::make_unique<Game>(askPlayerCount() + seatedComputers);
                askPlayerNames();
                return false;
            default:
                out.clearScreen();
                out.print("Sorry, that is not a valid choice.");
                break;
        }
    }
}

namespace {

// A person's turn; true when they confirmed quitting the game. At a table, a person who goes
// away during the turn leaves the rest of it to the computer.
bool personTurn(std::int32_t player) {
    const Game& game = *theGame;
    const GameState atStart = game.state();
    table::expect(table::Answerer::player(player));
    try {
        showMap();
        if (playerTurn(player)) {
            return true;
        }
        if (game.anyActive()) {
            stockStage(player);
        }
    } catch (const table::SeatAway&) {
        table::expect(table::Answerer::anyone());
        computerFinishesTurn(player, atStart);
    }
    return false;
}

}  // namespace

// A quit ends the day at once, dividends paid; the standings follow only when that day was
// the last. The game is saved at the start of every turn and, once it has ended normally,
// recorded if it reached the standings (at a table, the server records it), before they show.
void playGame() {
    Game& game = *theGame;
    table::tellPlayers(game);
    while (!game.isOver()) {
        const std::int32_t player = game.currentPlayer();
        if (theRecords) {
            theRecords->saveTurn(game.state());
        }
        table::tellTurn(game);
        if (game.isComputer(player) || table::isAway(player)) {
            table::expect(table::Answerer::anyone());
            computerTurn(player);
            game.endTurn();
            continue;
        }
        if (personTurn(player)) {
            game.endDay();
            break;
        }
        game.endTurn();
    }
    if (theRecords) {
        theRecords->endGame(game, !table::active());
    }
    if (game.isOver()) {
        table::tellResult(game);
        table::expect(table::Answerer::anyone());
        showStandings(game.rankPlayers());
    }
}

int runMainLoop(bool resume) {
    try {
        if (resume) {
            if (!resumeSavedGame()) {
                return 1;
            }
            playGame();
            theGame.reset();
        }
        // A table plays one game: its server starts another process for the next.
        bool another = !(resume && table::active());
        while (another && !mainMenu()) {
            playGame();
            theGame.reset();
            another = !table::active();
        }
    } catch (const EndOfInput&) {
        // The player closed the input: end the line being answered and leave normally.
        theGame.reset();
        theConsole->newLines(1);
    } catch (const OutputFailed&) {
        theGame.reset();
        throw;  // main says why the program ends
    }
    theGame.reset();
    return 0;
}
