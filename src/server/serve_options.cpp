#include "server/serve_options.h"

#include <getopt.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>

const char* const kServeUsage =
    "Usage: kessandor serve [--listen ADDR:PORT] [--state DIR] [--max-tables N]\n"
    "                       [--away-minutes M] [--public-url URL] [--name NAME]\n"
    "\n"
    "Runs a table server: friends join a table with `kessandor join LINK` or a browser.\n"
    "Each table is one game of kessandor on a terminal of its own; games are saved at\n"
    "every turn and come back after a restart.\n"
    "\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:8475, this machine only;\n"
    "                      put a TLS proxy or an SSH tunnel in front for the internet)\n"
    "  --state DIR         the server's tables, saves and record of games (default\n"
    "                      $XDG_STATE_HOME/kessandor/server)\n"
    "  --max-tables N      unfinished tables held at once (default 1000)\n"
    "  --away-minutes M    a seat disconnected this long is played by the computer\n"
    "                      until its person comes back (default 3)\n"
    "  --public-url URL    where the links point, e.g. https://kessandor.example.org\n"
    "                      (default http://ADDR:PORT)\n"
    "  --name NAME         put before every new table's name, so a proxy in front of\n"
    "                      several servers can send each table to its own server\n"
    "  --tables-per-minute N\n"
    "                      new tables one address may create a minute (default 10;\n"
    "                      0 for no limit). Behind a proxy every table comes from the\n"
    "                      proxy's address: raise it there\n"
    "  --metrics-listen ADDR:PORT\n"
    "                      answer /metrics (Prometheus text format) there, and only\n"
    "                      there (default: nowhere)\n"
    "  --user USER         started as root: the user to run as (never root itself)\n"
    "  --check-config      check the options, the state folder and the game, then exit\n"
    "  -h, --help          show this text and exit\n";

namespace {

enum Option {
    kListen = 1,
    kState,
    kMaxTables,
    kAway,
    kPublicUrl,
    kName,
    kUser,
    kGame,
    kMetrics,
    kTablesPerMinute,
    kCheck
};

bool parseNumber(const char* text, std::int64_t most, std::int64_t& value) {
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    return !view.empty() && error == std::errc() && end == view.data() + view.size() &&
           value >= 1 && value <= most;
}

bool parseMinutes(const char* text, double& minutes) {
    char* end = nullptr;
    minutes = std::strtod(text, &end);
    return *text != '\0' && *end == '\0' && minutes >= 0 && minutes <= 24 * 60;
}

// The server's own folder when none is given: beside the player's saves.
std::string defaultState() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return std::string(xdg) + "/kessandor/server";
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && *home == '/' ? std::string(home) + "/.local/state/kessandor/server"
                                           : std::string();
}

// The game is the kessandor beside this program: nothing a client says can change it.
std::string defaultGame() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : (self.parent_path() / "kessandor").string();
}

bool validName(const std::string& name) {
    return !name.empty() && name.size() <= 20 &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") == std::string::npos;
}

}  // namespace

bool splitListen(const std::string& listen, std::string& address, std::uint16_t& port) {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    address = listen.substr(0, colon);
    if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);
    }
    std::int64_t value = 0;
    if (!parseNumber(listen.c_str() + colon + 1, 65535, value)) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

std::optional<std::string> parseServeOptions(int argc, char** argv, ServeOptions& options) {
    static const option kLong[] = {
        {"listen", required_argument, nullptr, kListen},
        {"state", required_argument, nullptr, kState},
        {"max-tables", required_argument, nullptr, kMaxTables},
        {"away-minutes", required_argument, nullptr, kAway},
        {"public-url", required_argument, nullptr, kPublicUrl},
        {"name", required_argument, nullptr, kName},
        {"user", required_argument, nullptr, kUser},
        {"game", required_argument, nullptr, kGame},
        {"metrics-listen", required_argument, nullptr, kMetrics},
        {"tables-per-minute", required_argument, nullptr, kTablesPerMinute},
        {"check-config", no_argument, nullptr, kCheck},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0}};
    server::ServerConfig& config = options.config;
    opterr = 0;
    optind = 1;
    int option = 0;
    while ((option = getopt_long(argc, argv, ":h", kLong, nullptr)) != -1) {
        std::int64_t number = 0;
        double minutes = 0;
        switch (option) {
            case kListen:
                options.listen = optarg;
                break;
            case kState:
                config.state = optarg;
                break;
            case kMaxTables:
                if (!parseNumber(optarg, 1000000, number)) {
                    return "--max-tables needs a number from 1 to 1000000";
                }
                config.maxTables = static_cast<std::int32_t>(number);
                break;
            case kAway:
                if (!parseMinutes(optarg, minutes)) {
                    return "--away-minutes needs a number of minutes from 0 to 1440";
                }
                config.awayAfter =
                    std::chrono::milliseconds(static_cast<std::int64_t>(minutes * 60000));
                break;
            case kPublicUrl:
                config.publicUrl = optarg;
                break;
            case kName:
                config.name = optarg;
                if (!validName(config.name)) {
                    return "--name needs 1 to 20 of a-z and 0-9";
                }
                break;
            case kUser:
                options.user = optarg;
                break;
            case kGame:
                config.game = optarg;
                break;
            case kMetrics:
                options.metricsListen = optarg;
                break;
            case kTablesPerMinute:
                if (std::string_view(optarg) == "0") {
                    options.tablesPerMinute = 0;
                } else if (parseNumber(optarg, 1000000, number)) {
                    options.tablesPerMinute = static_cast<double>(number);
                } else {
                    return "--tables-per-minute needs a number from 0 to 1000000";
                }
                break;
            case kCheck:
                options.checkConfig = true;
                break;
            case 'h':
                options.help = true;
                break;
            case ':':
                return std::string("option '") + argv[optind - 1] + "' needs a value";
            default:
                return std::string("unexpected argument '") + argv[optind - 1] + "'";
        }
    }
    if (optind < argc) {
        return std::string("unexpected argument '") + argv[optind] + "'";
    }
    std::string address;
    std::uint16_t port = 0;
    if (!splitListen(options.listen, address, port)) {
        return "--listen needs ADDR:PORT, such as 127.0.0.1:8475";
    }
    if (!options.metricsListen.empty() && !splitListen(options.metricsListen, address, port)) {
        return "--metrics-listen needs ADDR:PORT, such as 127.0.0.1:9475";
    }
    splitListen(options.listen, address, port);
    if (config.publicUrl.empty()) {
        config.publicUrl = "http://" + options.listen;
    }
    while (config.publicUrl.ends_with('/')) {
        config.publicUrl.pop_back();
    }
    if (!config.publicUrl.starts_with("http://") && !config.publicUrl.starts_with("https://")) {
        return "--public-url needs an http:// or https:// address";
    }
    if (config.state.empty()) {
        config.state = defaultState();
        if (config.state.empty()) {
            return "no --state given and no home folder to keep tables in";
        }
    }
    if (config.game.empty()) {
        config.game = defaultGame();
    }
    return std::nullopt;
}
