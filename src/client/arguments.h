// The client's command line: kessandor join URL [-c N] [--level L] [--seed N].
#pragma once

#include <optional>
#include <string>

#include "client/create_table.h"
#include "client/url.h"

namespace join {

struct Arguments {
    TableUrl url;
    TableSettings settings;
    bool help = false;
    bool version = false;
};

// Fills `arguments`; returns what is wrong with the command line, in one line.
std::optional<std::string> parseArguments(int argc, const char* const* argv, Arguments& arguments);

}  // namespace join
