// The key wait on a real terminal: one key without Enter and without echo, and after a
// signal the terminal must come back with echo and line input on.
#include "harness.h"

namespace e2e {
namespace {

// Starts a one-player game and plays until the game waits for a key in cbreak mode.
bool reachKeyWait(Session& s) {
    if (!startGame(s, {"Ann"})) {
        return false;
    }
    const Stop stop = Robot{s}.playUntil({Stop::Key, Stop::Standings});
    return (stop == Stop::Key || stop == Stop::Standings) && s.waitCbreak();
}

bool lineModeOn(const termios& mode) {
    return (mode.c_lflag & (ECHO | ICANON)) == (ECHO | ICANON);
}

TEST(KeyWait, TakesOneKeyWithoutEnterOrEchoAndLeaksNothingOfACursorKey) {
    // A cursor key (three bytes) and F1 on the Linux console (four bytes): one key each.
    for (const char* key : {"\x1b[A", "\x1b[[A"}) {
        SCOPED_TRACE(key + 1);
        Session s;
        ASSERT_TRUE(startGame(s, {"Zed"}));
        // The first announcement founds a company; its stock stage follows the key.
        ASSERT_EQ(Robot{s}.playUntil({Stop::Key}), Stop::Key);
        ASSERT_TRUE(s.waitCbreak());
        s.send(key);
        ASSERT_EQ(nextStop(s), Stop::Stock);
        EXPECT_EQ(s.segment().find("^["), npos) << "the key is not echoed";
        EXPECT_TRUE(lineModeOn(s.mode()));
        s.send("e\n");
        ASSERT_EQ(nextStop(s), Stop::Turn);
        EXPECT_EQ(s.consumed().find("Sorry"), npos) << "nothing of the key leaked";
        s.send("q\ny\n");
        ASSERT_TRUE(s.expect(kTitle)) << "a confirmed quit goes back to the title menu";
        s.send("q\n");
        EXPECT_EQ(s.finish(), 0);
    }
}

TEST(KeyWait, DyingOfASignalRestoresTheTerminal) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        Session s;
        ASSERT_TRUE(reachKeyWait(s));
        if (signal == SIGINT) {
            s.send("\x03");  // Ctrl-C typed on the terminal
        } else {
            kill(s.gamePid(), signal);
        }
        const int status = s.finish();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(lineModeOn(s.mode()));
    }
}

TEST(KeyWait, CtrlZStopsWithTheTerminalRestoredAndTheWaitResumesOnContinue) {
#if !defined(__linux__)
    GTEST_SKIP() << "tells a stopped process by its state in /proc";
#endif
    Session s(Wiring::JobControl);
    ASSERT_TRUE(reachKeyWait(s));
    const pid_t game = s.gamePid();
    s.send("\x1a");
    ASSERT_TRUE(s.waitUntil([&] { return s.processState() == 'T'; }, "the game has stopped"));
    EXPECT_TRUE(lineModeOn(s.mode())) << "the shell gets the terminal back in line mode";
    kill(game, SIGCONT);
    ASSERT_TRUE(s.waitUntil([&] { return s.processState() != 'T'; }, "the game runs again"));
    ASSERT_TRUE(s.waitCbreak()) << "the wait takes the keyboard again";
    s.send(" ");
    ASSERT_NE(Robot{s}.playUntil({Stop::Turn, Stop::Stock}), Stop::None)
        << "the key ended the wait and the game went on";
    EXPECT_TRUE(lineModeOn(s.mode()));
    s.closeInput();
    EXPECT_EQ(s.finish(), 0);
}

}  // namespace
}  // namespace e2e
