// The screens that interrupt a build: a new company and a merger. Each clears the screen and
// waits for a key. REQUIRES for both: theGame exists.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "game/building.h"

// The frame every announcement starts with, the final standings included: a cleared screen,
// two line ends, the title indented by 19 spaces, four line ends.
void announcementTitle(std::string_view title);

// `letter` ("A" to "E") was just founded by `player`.
void announceCompany(char letter, std::int32_t player);

// "[Press Any Key to Continue]" on its own line, then a key wait: the end of every
// announcement and of a computer's account.
void waitForKeyPrompt();

// Announces each formation and merger of a build as the build reports it.
BuildObserver announcer();

// `entries` is what mergeCompanies(a, b) just returned; a and b are in the order they were
// passed to it. The survivor is whichever of the two is still active.
void announceMerger(const std::vector<MergeEntry>& entries, std::int32_t a, std::int32_t b);
