// The screens that interrupt a build: a new company and a merger. Each clears the screen and
// waits for a key. REQUIRES for both: theGame exists.
#pragma once

#include <cstdint>
#include <vector>

#include "game/building.h"

// `letter` ("A" to "E") was just founded by `player`.
void announceCompany(char letter, std::int32_t player);

// `entries` is what mergeCompanies(a, b) just returned; a and b are in the order they were
// passed to it. The survivor is whichever of the two is still active.
void announceMerger(const std::vector<MergeEntry>& entries, std::int32_t a, std::int32_t b);
