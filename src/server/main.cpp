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

int serve(ServeOptions& options) {
    std::string address;
    std::uint16_t port = 0;
    splitListen(options.listen, address, port);
    boost::system::error_code error;
    const asio::ip::address ip = asio::ip::make_address(address, error);
    if (error) {
        return usage("--listen needs a numeric address, such as 127.0.0.1 or ::1");
    }
    asio::io_context io(1);
    server::Tables tables(io, options.config);
    server::Server net(io, tables, {ip, port});
    server::logEvent("listening", {{"address", options.listen},
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
        grace.expires_after(kStopGrace);
        grace.async_wait([&io](const boost::system::error_code&) { io.stop(); });
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
        return serve(options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kessandor serve: %s\n", failure.what());
        return 1;
    }
}
