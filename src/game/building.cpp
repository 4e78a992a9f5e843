// The building rules. A build next to a company joins it (merging first when it touches two
// or more); next to an outpost or a star it founds a company while a letter is free;
// otherwise it stays a plain outpost.
#include "game/building.h"

#include <algorithm>
#include <array>

#include "game/game.h"

namespace {

struct Neighbours {
    std::array<std::int32_t, 4> cols{};
    std::array<std::int32_t, 4> rows{};
    std::int32_t count = 0;
};

// The four orthogonal neighbours inside the map, always in this order: above, below, left,
// right. Every neighbour rule depends on the order. Diagonals never count.
Neighbours neighboursOf(std::int32_t col, std::int32_t row) {
    Neighbours n;
    auto add = [&n](std::int32_t c, std::int32_t r) {
        n.cols.at(n.count) = c;
        n.rows.at(n.count) = r;
        ++n.count;
    };
    if (row != 0) {
        add(col, row - 1);
    }
    if (row != kRows - 1) {
        add(col, row + 1);
    }
    if (col != 0) {
        add(col - 1, row);
    }
    if (col != kColumns - 1) {
        add(col + 1, row);
    }
    return n;
}

bool isCompanyCell(char symbol) {
    return symbol > '@';
}

std::int32_t companyIndex(char letter) {
    return Game::letterIndex(letter) - 1;
}

}  // namespace

MergeEntry mergerTerms(std::int32_t oldStock, std::int32_t absorbedPrice,
                       std::int32_t survivorPrice, std::int32_t mergerNumber) {
    const std::int64_t oldValue = std::int64_t{oldStock} * absorbedPrice;
    MergeEntry entry;
    entry.involved = oldStock >= 1;
    entry.oldStock = oldStock;
    entry.newStock = clampMoney(oldValue / survivorPrice);
    entry.bonus = clampMoney(oldValue / mergerNumber);
    return entry;
}

std::int32_t Game::worthOf(std::int32_t col, std::int32_t row) const {
    return cellWorth(nextToStar(col, row));
}

bool Game::nextToStar(std::int32_t col, std::int32_t row) const {
    const Neighbours n = neighboursOf(col, row);
    for (std::int32_t i = 0; i < n.count; ++i) {
        if (cell(n.cols.at(i), n.rows.at(i)) == kStar) {
            return true;
        }
    }
    return false;
}

// count starts at the number of company neighbours and drops by one for each repeat of the
// first letter met before a different letter: 1 means one company, 2 or more means two.
NeighbourScan Game::scanNeighbours(std::int32_t col, std::int32_t row) const {
    const Neighbours n = neighboursOf(col, row);
    std::array<char, 4> letters{};
    std::int32_t found = 0;
    for (std::int32_t i = 0; i < n.count; ++i) {
        const char symbol = cell(n.cols.at(i), n.rows.at(i));
        if (isCompanyCell(symbol)) {
            letters.at(found++) = symbol;
        }
    }
    NeighbourScan scan;
    scan.count = found;
    if (found == 0) {
        return scan;
    }
    scan.first = letters[0];
    for (std::int32_t i = 1; i < found; ++i) {
        if (letters.at(i) != scan.first) {
            scan.second = letters.at(i);
            break;
        }
        --scan.count;
    }
    return scan;
}

OutpostProbe Game::findAdjacentOutpost(std::int32_t col, std::int32_t row) const {
    const Neighbours n = neighboursOf(col, row);
    for (std::int32_t i = 0; i < n.count; ++i) {
        if (cell(n.cols.at(i), n.rows.at(i)) == kOutpost) {
            return OutpostProbe{n.cols.at(i), n.rows.at(i), true};
        }
    }
    return OutpostProbe{};
}

bool Game::founds(std::int32_t col, std::int32_t row) const {
    return anyInactive() && (findAdjacentOutpost(col, row).found || nextToStar(col, row));
}

char Game::formCompany(std::int32_t col, std::int32_t row, std::int32_t player) {
    std::int32_t index = 0;
    while (s_.companies.at(index).active) {
        ++index;
    }
    Company& company = s_.companies.at(index);
    company.active = true;
    company.size = 1;
    company.price = worthOf(col, row);
    setCell(col, row, company.letter);
    // An assignment: nobody holds shares of an inactive letter.
    s_.players.at(player).holdings.at(index) = kFounderShares;
    return company.letter;
}

void Game::expandCompany(std::int32_t col, std::int32_t row, std::int32_t company) {
    Company& grown = s_.companies.at(company);
    setCell(col, row, grown.letter);
    ++grown.size;
    grown.price = clampMoney(std::int64_t{grown.price} + worthOf(col, row));
}

// The larger company survives (on equal sizes, the one found first). Shareholders of the
// absorbed company swap their shares for survivor shares of the same value at the raised
// price, and are paid the value of their old shares divided by the number of mergers so far.
std::vector<MergeEntry> Game::mergeCompanies(std::int32_t a, std::int32_t b) {
    std::vector<MergeEntry> entries(static_cast<std::size_t>(s_.playerCount));
    ++s_.mergeCount;
    const bool bSurvives = s_.companies.at(a).size < s_.companies.at(b).size;
    const std::int32_t survivorIndex = bSurvives ? b : a;
    const std::int32_t absorbedIndex = bSurvives ? a : b;
    Company& survivor = s_.companies.at(survivorIndex);
    Company& absorbed = s_.companies.at(absorbedIndex);

    for (auto& column : s_.map) {
        std::replace(column.begin(), column.end(), absorbed.letter, survivor.letter);
    }
    survivor.price = clampMoney(std::int64_t{survivor.price} + absorbed.price);
    survivor.size += absorbed.size;

    for (std::int32_t p = 0; p < s_.playerCount; ++p) {
        Player& player = s_.players.at(p);
        const std::int32_t oldStock = player.holdings.at(absorbedIndex);
        if (oldStock < 1) {
            continue;
        }
        MergeEntry& entry = entries.at(static_cast<std::size_t>(p));
        entry = mergerTerms(oldStock, absorbed.price, survivor.price, s_.mergeCount);
        player.holdings.at(absorbedIndex) = 0;
        std::int32_t& survivorShares = player.holdings.at(survivorIndex);
        survivorShares = clampMoney(std::int64_t{survivorShares} + entry.newStock);
        player.cash = clampMoney(std::int64_t{player.cash} + entry.bonus);
    }
    absorbed.active = false;
    return entries;
}

void Game::spreadCompany(std::int32_t col, std::int32_t row, char letter) {
    for (OutpostProbe probe = findAdjacentOutpost(col, row); probe.found;
         probe = findAdjacentOutpost(col, row)) {
        expandCompany(probe.col, probe.row, companyIndex(letter));
        spreadCompany(probe.col, probe.row, letter);  // depth at most the map's 108 cells
    }
}

void Game::placeOutpost(std::int32_t col, std::int32_t row, std::int32_t player,
                        const BuildObserver& observer) {
    NeighbourScan scan = scanNeighbours(col, row);
    if (scan.count >= 1) {
        // Each merger takes one letter away from the cell's sides; go on until one is left.
        while (scan.count >= 2) {
            const std::int32_t a = companyIndex(scan.first);
            const std::int32_t b = companyIndex(scan.second);
            const std::vector<MergeEntry> entries = mergeCompanies(a, b);
            if (observer.companiesMerged) {
                observer.companiesMerged(entries, a, b);
            }
            scan = scanNeighbours(col, row);
        }
        expandCompany(col, row, companyIndex(scan.first));
        spreadCompany(col, row, scan.first);
        return;
    }
    if (!founds(col, row)) {
        setCell(col, row, kOutpost);
        return;
    }
    const char letter = formCompany(col, row, player);
    if (observer.companyFormed) {
        observer.companyFormed(letter, player);
    }
    spreadCompany(col, row, letter);  // next to a star alone there is nothing to spread over
}
