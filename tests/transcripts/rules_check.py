#!/usr/bin/env python3
"""Checks a recorded game with computer players against the rules, worked out afresh.

    python3 tests/transcripts/rules_check.py tests/transcripts/NAME

It deals the game from the seed in `args` with the game's generator, replays every build
(the person's from `input`, each computer's from its account line), and checks that:
- the person's offers are the ones the generator deals, and every computer builds on one of
  the five spots it was dealt;
- the map a computer's account shows is the map the building rules make, and what a hard
  computer's account says its build did (merging, founding, growing) is what it did;
- every share a computer buys is priced as the rules price it and paid for with cash it has;
- each computer's net worth in the final standings is its cash (start, daily pay, merger
  bonuses, less purchases) plus its shares at their prices.
The person's own purchases are not followed: they change nobody's money but the person's.
Written from the rules alone, to review a transcript before it is committed.
"""
import re
import sys
from pathlib import Path

COLUMNS, ROWS = 12, 9
STAR, EMPTY, OUTPOST, OFFERED = "*", ".", "+", "?"
LETTERS = "ABCDE"


class Failed(Exception):
    pass


class Rules:
    def __init__(self, seed, players):
        self.state = seed
        self.players = players
        self.map = [[EMPTY] * ROWS for _ in range(COLUMNS)]
        self.size = [0] * 5
        self.price = [0] * 5
        self.active = [False] * 5
        self.cash = [6000] * players
        self.shares = [[0] * 5 for _ in range(players)]
        self.mergers = 0
        for _ in range(self.between(3, 7)):
            col, row = self.between(0, COLUMNS - 1), self.between(0, ROWS - 1)
            self.map[col][row] = STAR

    def between(self, lo, hi):
        self.state = (self.state * 214013 + 2531011) % 2**32
        return ((self.state >> 16) & 0x7FFF) // (32767 // (hi - lo)) + lo

    def offers(self):
        spots = []
        for _ in range(5):
            while True:
                col, row = self.between(0, COLUMNS - 1), self.between(0, ROWS - 1)
                if self.map[col][row] == EMPTY:
                    break
            self.map[col][row] = OFFERED
            spots.append((col, row))
        for col, row in spots:
            self.map[col][row] = EMPTY
        return spots

    @staticmethod
    def sides(col, row):  # above, below, left, right
        for c, r in ((col, row - 1), (col, row + 1), (col - 1, row), (col + 1, row)):
            if 0 <= c < COLUMNS and 0 <= r < ROWS:
                yield c, r

    def worth(self, col, row):
        return 600 if any(self.map[c][r] == STAR for c, r in self.sides(col, row)) else 100

    def letters_beside(self, col, row):
        return [self.map[c][r] for c, r in self.sides(col, row) if self.map[c][r] in LETTERS]

    def gain(self, col, row, company):
        self.map[col][row] = LETTERS[company]
        self.size[company] += 1
        self.price[company] += self.worth(col, row)
        for c, r in self.sides(col, row):
            if self.map[c][r] == OUTPOST:
                self.gain(c, r, company)

    def merge(self, a, b):
        self.mergers += 1
        survivor, absorbed = (b, a) if self.size[a] < self.size[b] else (a, b)
        self.story.append((LETTERS[absorbed], LETTERS[survivor]))
        for column in self.map:
            for r in range(ROWS):
                if column[r] == LETTERS[absorbed]:
                    column[r] = LETTERS[survivor]
        self.price[survivor] += self.price[absorbed]
        self.size[survivor] += self.size[absorbed]
        for p in range(self.players):
            old = self.shares[p][absorbed]
            if old > 0:
                value = old * self.price[absorbed]
                self.shares[p][absorbed] = 0
                self.shares[p][survivor] += value // self.price[survivor]
                self.cash[p] += value // self.mergers
        self.active[absorbed] = False

    def told(self, col, row):
        """What the hard computer's account says the build did."""
        if self.story:
            absorbed = [a for a, _ in self.story]
            names = absorbed[0] if len(absorbed) == 1 else (
                ", ".join(absorbed[:-1]) + " and " + absorbed[-1])
            return ", merging %s into %s" % (names, self.story[-1][1])
        if self.founded:
            return ", founding " + self.founded
        return ", growing " + self.map[col][row] if self.map[col][row] in LETTERS else ""

    def build(self, col, row, player):
        self.story, self.founded = [], None
        while True:
            found = self.letters_beside(col, row)
            if not found:
                break
            others = [x for x in found if x != found[0]]
            if not others:
                self.gain(col, row, LETTERS.index(found[0]))
                return
            self.merge(LETTERS.index(found[0]), LETTERS.index(others[0]))
        beside_outpost = any(self.map[c][r] == OUTPOST for c, r in self.sides(col, row))
        if False in self.active and (beside_outpost or self.worth(col, row) == 600):
            company = self.active.index(False)
            self.founded = LETTERS[company]
            self.active[company] = True
            self.size[company] = 0
            self.price[company] = 0
            self.shares[player][company] = 5
            self.gain(col, row, company)  # priced at the worth of its first cell, then spread
        else:
            self.map[col][row] = OUTPOST

    def end_day(self):
        for p in range(self.players):
            value = sum(self.shares[p][c] * self.price[c] for c in range(5))
            self.cash[p] += value // 20 + 150

    def net_worth(self, p):
        return self.cash[p] + sum(self.shares[p][c] * self.price[c] for c in range(5))


def spot(text):
    return "ABCDEFGHIJKL".index(text[0].upper()), int(text[1]) - 1


def name(col, row):
    return "ABCDEFGHIJKL"[col] + str(row + 1)


def shown_map(lines, at):
    """The nine map rows printed just above line `at`."""
    for start in range(at, -1, -1):
        if lines[start].startswith("     A  B  C"):
            return [line[5:].split() for line in lines[start + 1:start + 1 + ROWS]]
    raise Failed("no map above line %d" % at)


def check(folder):
    args = (folder / "args").read_text().split()
    seed = int(args[args.index("--seed") + 1])
    computers = int(next(args[i + 1] for i, a in enumerate(args) if a in ("-c", "--computers")))
    hard = "--level" in args and args[args.index("--level") + 1] == "hard"
    text = (folder / "output").read_text(errors="replace").replace("\f", "\n")
    lines = text.split("\n")
    people_builds = [x for x in (folder / "input").read_text().split()
                     if re.fullmatch(r"[A-La-l][1-9]", x)]
    players = 1 + computers
    rules = Rules(seed, players)
    checked = 0
    person_offer = None
    i = 0
    while i < len(lines):
        line = lines[i]
        turn = re.match(r"\[(Computer-(\d)|.+?)'s Turn\]\s+\[Day: (\d+)\]", line)
        if line.startswith("[Here are coordinates you can build on]"):
            person_offer = rules.offers()
            dealt = " ".join(name(*s) for s in person_offer)
            if lines[i + 1].strip() != dealt:
                raise Failed("line %d: the person was offered %s, the rules deal %s"
                             % (i + 2, lines[i + 1].strip(), dealt))
            col, row = spot(people_builds.pop(0))
            if (col, row) not in person_offer:
                raise Failed("the person's build %s was not offered" % name(col, row))
            rules.build(col, row, 0)
        elif turn and turn.group(2):
            player = int(turn.group(2))
            built = re.match(r"\[Built on ([A-L][1-9])(.*)\]$", lines[i + 1])
            if not built:
                raise Failed("line %d: no build after the turn header" % (i + 2))
            offers = rules.offers()
            col, row = spot(built.group(1))
            if (col, row) not in offers:
                raise Failed("line %d: %s built on %s, not one of %s" % (
                    i + 2, turn.group(1), built.group(1), " ".join(name(*s) for s in offers)))
            rules.build(col, row, player)
            if hard and built.group(2) != rules.told(col, row) or not hard and built.group(2):
                raise Failed("line %d: the account says '%s' of a build that did '%s'" % (
                    i + 2, built.group(2), rules.told(col, row)))
            drawn = [["?" if x == OFFERED else x for x in (rules.map[c][r] for c in range(COLUMNS))]
                     for r in range(ROWS)]
            if shown_map(lines, i) != drawn:
                raise Failed("line %d: the map shown is not the map the rules make" % (i + 1))
            j = i + 2
            while lines[j].startswith("[Bought "):
                bought = re.match(r"\[Bought (\d+) Shares? of ([A-E]): .* at \$(\d+) each\]",
                                  lines[j])
                if bought:
                    count, company, price = int(bought.group(1)), LETTERS.index(
                        bought.group(2)), int(bought.group(3))
                    if not rules.active[company] or price != rules.price[company]:
                        raise Failed("line %d: %s is not for sale at $%d" % (
                            j + 1, bought.group(2), price))
                    if count < 1 or count * price > rules.cash[player]:
                        raise Failed("line %d: %d shares at $%d with $%d" % (
                            j + 1, count, price, rules.cash[player]))
                    rules.cash[player] -= count * price
                    rules.shares[player][company] += count
                elif lines[j] != "[Bought no Shares]":
                    raise Failed("line %d: unknown purchase line" % (j + 1))
                j += 1
            checked += 1
            if player == players - 1:
                rules.end_day()
            i = j
            continue
        standing = re.match(r"\d\s+(Computer-(\d))\s+\$(\d+)$", line)
        if standing:
            p = int(standing.group(2))
            if rules.net_worth(p) != int(standing.group(3)):
                raise Failed("%s is worth $%d by the rules, $%s in the standings" % (
                    standing.group(1), rules.net_worth(p), standing.group(3)))
            checked += 1
        i += 1
    return checked


def main():
    failed = False
    for folder in map(Path, sys.argv[1:]):
        try:
            print("%s: %d computer turns and standings checked" % (folder.name, check(folder)))
        except Failed as failure:
            print("%s: FAILED: %s" % (folder.name, failure))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
