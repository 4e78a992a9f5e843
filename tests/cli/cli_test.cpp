// The command line: anything it cannot take is a one-line usage error on standard error with
// exit status 2, and a failed write ends the program. (What -h and -V print is in the
// transcripts.)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// The forms people type without thinking all start the game (whose input is empty).
TEST(CommandLine, OptionsTakeTheUsualForms) {
    for (const std::string args : {"--computers=2", "-c2", "-c 2 --level=easy",
                                   "--seed=5 -c1 --lev hard", "--seed 5 --", "--com 1"}) {
        const Outcome run = runGame(args);
        EXPECT_TRUE(run.status == 0 && run.err.empty()) << args << ": " << run.err;
        EXPECT_NE(run.out.find("Welcome to Kessandor!"), npos) << args;
    }
}

// Where the culprit is not simply the last argument: each message names it.
TEST(CommandLine, AMisplacedOptionIsNamed) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-hV", "unexpected argument '-V'"},
        {"-Vh", "unexpected argument '-h'"},
        {"--seed 1 --seed=2", "'--seed' is given more than once"},
        {"-c 1 --computers 2", "'--computers' is given more than once"},
        {"--seed", "'--seed' needs a value"},
        {"-c1 -c", "'-c' needs a value"},
        {"--level hard", "'--level' sets how computer players play, and there are none: add -c N"},
        {"--saves --forget 1", "unexpected argument '--forget'"},
        {"-- --seed 1", "unexpected argument '--seed'"},
        {"--forget=x", "--forget needs the number of a game that --saves lists, not 'x'"},
        {"--s", "unexpected argument '--s'"},  // --seed, --scores or --saves
    };
    for (const auto& [args, message] : cases) {
        const Outcome run = runGame(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.err, "kessandor: " + message + " (try 'kessandor --help')\n") << args;
    }
}

// An 80-column terminal shows every line whole, the last column left free.
TEST(CommandLine, HelpAndManualLinesFitIn79Columns) {
    const auto checkLines = [](const std::string& text, const std::string& what) {
        std::istringstream lines(text);
        std::size_t count = 0;
        for (std::string line; std::getline(lines, line); ++count) {
            const auto columns = std::count_if(line.begin(), line.end(), [](char c) {
                return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;  // UTF-8: one each
            });
            EXPECT_LE(columns, 79) << what << " line " << count + 1 << ": " << line;
        }
        EXPECT_GT(count, 20U) << what;
    };
    checkLines(runGame("--help").out, "--help");
    std::ostringstream source;
    source << std::ifstream(KESSANDOR_MANUAL).rdbuf();
    checkLines(source.str(), "the manual's source");
    if (std::system("man --version >/dev/null 2>&1") == 0) {
        const std::string shown =
            testing::TempDir() + "kessandor_manual_" + std::to_string(getpid());
        ASSERT_EQ(
            std::system(
                ("MANWIDTH=80 man -l '" KESSANDOR_MANUAL "' >'" + shown + "' 2>/dev/null").c_str()),
            0);
        std::ostringstream text;
        text << std::ifstream(shown).rdbuf();
        std::remove(shown.c_str());
        checkLines(text.str(), "the manual at 80 columns");
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
