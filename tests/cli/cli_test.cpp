// The command line: anything it cannot take is a one-line usage error on standard error with
// exit status 2, and a failed write ends the program. (What -h and -V print is in the
// transcripts.)
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr auto npos = std::string::npos;

struct Outcome {
    int status;  // -1 when the game did not exit normally
    std::string out, err;
};

// `args` as the shell takes them. Standard input is empty, so a game that starts by mistake
// ends at once instead of waiting for a player. `redirect` comes last, so it can send standard
// output elsewhere.
Outcome runGame(const std::string& args, const std::string& redirect = "") {
    const std::string path = testing::TempDir() + "kessandor_cli_" + std::to_string(getpid());
    const std::string out = path + ".out", err = path + ".err";
    std::string command = "'" KESSANDOR_BINARY "' ";
    command.append(args).append(" </dev/null >'").append(out).append("' 2>'").append(err) += "' ";
    command += redirect;
    const int status = std::system(command.c_str());
    const auto take = [](const std::string& file) {
        std::ostringstream text;
        text << std::ifstream(file).rdbuf();
        std::remove(file.c_str());
        return text.str();
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, take(out), take(err)};
}

// In every case the last argument is the first one the game cannot take.
TEST(CommandLine, AnyOtherArgumentIsAUsageErrorNamingIt) {
    // clang-format off
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"}, {"-H"}, {"help"}, {"--VERSION"}, {"--help=1"}, {""}, {"--version", "x"},
        {"--help", "--version"}, {"-", "-", "-"}, {"-h", "-V"}, {"--seed", "4294967296"},
        {"--seed", "-1"}, {"--seed", "1x"}, {"--seed", ""}, {"--seed", "7", "--seed"},
        {"--computers", "5"}, {"-c", "0"}, {"-c", "2", "-c"}, {"--level", "expert"},
        {"--level", "hard", "--level"}, {"--table", "x"}, {"--table", "-1"}, {"--table", ""},
        {"--table", "2147483648"}, {"--table", "7", "--table"}, {"--scores", "--table"}};
    // clang-format on
    for (const std::vector<std::string>& args : cases) {
        std::string line, culprit;
        for (const std::string& arg : args) {
            culprit = std::string("'").append(arg).append("'");  // as the message quotes it
            line += culprit + " ";
        }
        const Outcome run = runGame(line);
        EXPECT_TRUE(run.status == 2 && run.out.empty()) << line;
        // One line, naming the culprit and pointing at --help.
        EXPECT_TRUE(run.err.starts_with("kessandor: ") && run.err.find(culprit) != npos &&
                    run.err.find("--help") != npos && run.err.find('\n') == run.err.size() - 1)
            << run.err;
    }
}

// Nobody can see a game whose output fails: it ends at once, with one line on standard error.
TEST(CommandLine, AFailedWriteEndsTheProgramWithOneLineAndStatus1) {
    std::array<int, 2> ends{};
    ASSERT_EQ(pipe(ends.data()), 0);
    close(ends[0]);                                             // the reader has gone...
    const sighandler_t before = std::signal(SIGPIPE, SIG_IGN);  // ...and the game inherits this
    const std::string gone = std::string(">&").append(std::to_string(ends[1]));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ">/dev/full"}, {"--help", ">/dev/full"}, {"", ">&-"}, {"--version", ">&-"},
        {"", gone},         {"--help", gone}};
    for (const auto& [args, redirect] : cases) {
        const Outcome run = runGame(args, redirect);
        const int error = redirect == gone ? EPIPE : redirect == ">&-" ? EBADF : ENOSPC;
        EXPECT_EQ(run.status, 1) << args << redirect;
        EXPECT_EQ(run.err, std::string("kessandor: cannot write to standard output: ")
                               .append(std::strerror(error)) += "\n");
    }
    std::signal(SIGPIPE, before);
    close(ends[1]);
}

}  // namespace
