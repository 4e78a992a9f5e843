// The command line of `kessandor serve`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "server/tables.h"

struct ServeOptions {
    std::string listen = "127.0.0.1:8475";
    std::string metricsListen;  // where /metrics answers; nowhere when empty
    std::string user;           // whom to run as when started as root
    bool help = false;
    bool checkConfig = false;  // check everything, start nothing
    // New tables one address may create a minute; 0: no limit. Behind a proxy every
    // request comes from the proxy's address, so the operator must be able to raise it.
    double tablesPerMinute = 10;
    server::ServerConfig config;
};

// Reads argv into `options` (config.state and config.game get their defaults when not given).
// Returns a usage error in one line, or nullopt.
std::optional<std::string> parseServeOptions(int argc, char** argv, ServeOptions& options);

// "ADDR:PORT" or "[ADDR]:PORT" taken apart; false when it is not one.
bool splitListen(const std::string& listen, std::string& address, std::uint16_t& port);

extern const char* const kServeUsage;
