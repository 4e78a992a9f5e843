// One player's turn: the galaxy map, the holdings table, the turn menu and the build stage.
// REQUIRES for all: theGame exists.
#pragma once

#include <cstdint>

// Clears the screen and draws the map, each cell under its column letter.
void showMap();

// Prints the five offered spots and the build prompt.
void showOffers();

// Prints the line that starts every turn: the player's name and the day.
void showTurnHeader(std::int32_t player);

// Runs the turn menu. Returns true when the player confirmed quitting the game, false once
// the player has built.
bool playerTurn(std::int32_t player);

// Prints the player's shares in every active company, starting on the current line.
void listHoldings(std::int32_t player);

// Offers five spots, asks until the player names one of them, builds there and withdraws
// the other offers.
void buildStage(std::int32_t player);
