#include "subcommands.h"

#include <cstdio>
#include <string>
#include <string_view>

#if !defined(_WIN32)
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>
#if defined(__APPLE__)
#include <mach-o/dyld.h>

#include <cstdint>
#include <cstdlib>
#endif
#endif

namespace {

#if !defined(_WIN32)
// The folder of the running program, with its trailing slash; empty when unknown.
std::string ownFolder() {
    std::string path;
#if defined(__APPLE__)
    char given[PATH_MAX];
    std::uint32_t size = sizeof given;
    char resolved[PATH_MAX];
    if (_NSGetExecutablePath(given, &size) == 0 && realpath(given, resolved) != nullptr) {
        path = resolved;
    }
#else
    char link[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", link, sizeof link - 1);
    if (length > 0) {
        path.assign(link, static_cast<std::size_t>(length));
    }
#endif
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// Replaces this program with `path`, given the arguments after the command's name. Returns
// only when that fails, with the exit status.
int runBeside(const std::string& path, int argc, char** argv) {
    std::vector<char*> arguments(argv + 1, argv + argc);
    arguments.front() = const_cast<char*>(path.c_str());  // execv's type, never written to
    arguments.push_back(nullptr);
    execv(path.c_str(), arguments.data());
    if (errno == ENOENT) {
        return -1;
    }
    std::fprintf(stderr, "kessandor: cannot run %s: %s\n", path.c_str(), std::strerror(errno));
    return 2;
}
#endif

}  // namespace

std::optional<int> runSubcommand(int argc, char** argv) {
    if (argc < 2) {
        return std::nullopt;
    }
    const std::string_view command = argv[1];
    if (command != "join" && command != "serve") {
        return std::nullopt;
    }
    const std::string program = "kessandor-" + std::string(command);
#if !defined(_WIN32)
    if (const std::string folder = ownFolder(); !folder.empty()) {
        if (const int status = runBeside(folder + program, argc, argv); status >= 0) {
            return status;
        }
    }
#endif
    std::fprintf(stderr,
                 "kessandor: '%s' needs %s beside this program; it comes with the server build\n",
                 argv[1], program.c_str());
    return 2;
}
