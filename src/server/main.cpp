// kessandor-serve: the table server. `kessandor serve ...` runs this program.
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "server/log.h"
#include "server/metrics.h"
#include "server/net.h"
#include "server/serve_options.h"

namespace asio = boost::asio;

namespace {

constexpr auto kStopGrace = std::chrono::seconds(5);

// A server never runs as root: started as root, it becomes `user` (after the folder it keeps
// its tables in has been given to that user), or refuses.
std::optional<std::string> dropRoot(const ServeOptions& options) {
    if (geteuid() != 0) {
        return std::nullopt;
    }
    if (options.user.empty()) {
        return "refusing to run as root: run it as an ordinary user, or give --user USER";
    }
    const passwd* user = getpwnam(options.user.c_str());
    if (user == nullptr || user->pw_uid == 0) {
        return "--user needs an existing user other than root";
    }
    std::error_code error;
    std::filesystem::create_directories(options.config.state, error);
    if (chown(options.config.state.c_str(), user->pw_uid, user->pw_gid) != 0 ||
        setgroups(0, nullptr) != 0 || setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0 ||
        setuid(0) == 0) {
        return "cannot become user " + options.user;
    }
    return std::nullopt;
}

// Each table holds a terminal, a socket pair and its people's connections: a thousand tables
// need more descriptors than a shell's default allows.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int usage(const std::string& problem) {
    std::fprintf(stderr, "kessandor serve: %s (try 'kessandor serve --help')\n", problem.c_str());
    return 2;
}

std::optional<asio::ip::tcp::endpoint> endpointOf(const std::string& listen) {
    std::string address;
    std::uint16_t port = 0;
    boost::system::error_code error;
    if (!splitListen(listen, address, port)) {
        return std::nullopt;
    }
    const asio::ip::address ip = asio::ip::make_address(address, error);
    return error ? std::nullopt : std::optional(asio::ip::tcp::endpoint(ip, port));
}

// --check-config: what would keep the server from starting, found without starting it.
std::string checkConfig(const ServeOptions& options) {
    if (!endpointOf(options.listen) ||
        (!options.metricsListen.empty() && !endpointOf(options.metricsListen))) {
        return "--listen and --metrics-listen need numeric addresses, such as 127.0.0.1:8475";
    }
    if (access(options.config.game.c_str(), X_OK) != 0) {
        return "the game " + options.config.game.string() + " cannot be run";
    }
    try {
        asio::io_context io(1);
        const server::Tables tables(io, options.config);  // the folder, the list, the record
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return {};
}

// After SIGTERM: ends the loop once every game has gone and every connection has closed, or
// at `deadline`.
void waitForQuiet(asio::io_context& io, asio::steady_timer& timer, const server::Tables& tables,
                  std::chrono::steady_clock::time_point deadline) {
    if ((tables.runningGames() == 0 && server::metrics().connections == 0) ||
        std::chrono::steady_clock::now() >= deadline) {
        io.stop();
        return;
    }
    timer.expires_after(std::chrono::milliseconds(50));
    timer.async_wait([&io, &timer, &tables, deadline](const boost::system::error_code&) {
        waitForQuiet(io, timer, tables, deadline);
    });
}

int serve(ServeOptions& options) {
    const std::optional<asio::ip::tcp::endpoint> at = endpointOf(options.listen);
    const std::optional<asio::ip::tcp::endpoint> metricsAt =
        options.metricsListen.empty() ? std::nullopt : endpointOf(options.metricsListen);
    if (!at || (!options.metricsListen.empty() && !metricsAt)) {
        return usage("--listen and --metrics-listen need numeric addresses, such as 127.0.0.1");
    }
    asio::io_context io(1);
    server::Tables tables(io, options.config);
    server::NetLimits limits;
    limits.tablesPerMinute = options.tablesPerMinute;
    server::Server net(io, tables, *at, metricsAt, limits);
    server::logEvent("listening", {{"address", options.listen},
                                   {"metrics", options.metricsListen},
                                   {"state", options.config.state.string()},
                                   {"links", options.config.publicUrl}});
    tables.resumeAll();
    asio::signal_set stop(io, SIGTERM, SIGINT);
    asio::steady_timer grace(io);
    stop.async_wait([&](const boost::system::error_code& e, int) {
        if (e) {
            return;
        }
        net.stopAccepting();
        tables.shutDown("The server is restarting: your table will be back in a moment.");
        waitForQuiet(io, grace, tables, std::chrono::steady_clock::now() + kStopGrace);
    });
    io.run();
    server::logEvent("stopped");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ServeOptions options;
    if (const std::optional<std::string> problem = parseServeOptions(argc, argv, options)) {
        return usage(*problem);
    }
    if (options.help) {
        std::fputs(kServeUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (const std::optional<std::string> problem = dropRoot(options)) {
        std::fprintf(stderr, "kessandor serve: %s\n", problem->c_str());
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    umask(0077);  // tables, saves and the record are nobody else's business
    raiseDescriptorLimit();
    try {
        if (options.checkConfig) {
            const std::string problem = checkConfig(options);
            std::fprintf(stderr, "kessandor serve: %s\n",
                         problem.empty() ? "the configuration is sound" : problem.c_str());
            return problem.empty() ? 0 : 1;
        }
        return serve(options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kessandor serve: %s\n", failure.what());
        return 1;
    }
}
