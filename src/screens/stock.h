// The stock stage that follows a player's build once any company exists.
// REQUIRES for both: theGame exists.
#pragma once

#include <cstdint>

// Runs the stock menu (display, buy, list, end) until the player ends it.
void stockStage(std::int32_t player);

// Asks how many shares of `company` the player buys and buys them. Passes over, silently, a
// company the player cannot afford a single share of. REQUIRES: the company is active.
void buyDialog(std::int32_t company, std::int32_t player);
