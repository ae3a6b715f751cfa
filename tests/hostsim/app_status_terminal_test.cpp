// The status line on a terminal (a pseudo-terminal here) keeps to the bottom row below a scroll
// region and gives the row back when it ends; elsewhere it writes plain lines. The log lines that
// reach the terminal are the ones a person needs; the log file keeps every line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/app/status_line.h"
#include "hostsim/app/terminal_log.h"
#include "platform/log.h"

namespace qlo::hostsim {
namespace {

// Everything readable on fd within a short while.
std::string Drain(int fd) {
    std::string out;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 200) > 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

class PseudoTerminal {
public:
    PseudoTerminal(int rows, int columns) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        resize(rows, columns);
    }
    ~PseudoTerminal() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    void resize(int rows, int columns) {
        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        ioctl(slave, TIOCSWINSZ, &size);
    }
    int master = -1;
    int slave = -1;
};

TEST(StatusTerminal, PinnedToTheBottomRowAndGivenBackAtTheEnd) {
    PseudoTerminal tty(24, 20);
    ASSERT_GE(tty.slave, 0);
    setenv("TERM", "xterm", 1);
    ASSERT_EQ(StatusLine::StyleFor(tty.slave), StatusLine::Style::Pinned);
    {
        StatusLine line(tty.slave, StatusLine::Style::Pinned);
        line.show("Demo 0:00:01:00 playing | Demo Phone: 30 fps");
        std::string out = Drain(tty.master);
        // Scrolling stays above row 24; the text goes to row 24, cut to the width, and the
        // cursor goes back where the user was typing.
        EXPECT_NE(out.find("\x1b[1;23r"), std::string::npos);
        EXPECT_NE(out.find("\x1b" "7\x1b[24;1H\x1b[2KDemo 0:00:01:00 pla\x1b" "8"), std::string::npos) << out;

        tty.resize(30, 80);
        line.show("after");
        out = Drain(tty.master);
        EXPECT_NE(out.find("\x1b[24;1H\x1b[2K\x1b" "8"), std::string::npos) << "the old row is cleared";
        EXPECT_NE(out.find("\x1b[1;29r"), std::string::npos);
        EXPECT_NE(out.find("\x1b[30;1H\x1b[2Kafter"), std::string::npos);
    }
    const std::string out = Drain(tty.master);
    EXPECT_NE(out.find("\x1b[r"), std::string::npos) << "the whole screen scrolls again";
    EXPECT_NE(out.find("\x1b[30;1H\x1b[2K"), std::string::npos);
}

TEST(StatusTerminal, PlainLinesWhenNotATerminalOrADumbOne) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(StatusLine::StyleFor(fds[1]), StatusLine::Style::Lines);
    {
        StatusLine line(fds[1], StatusLine::Style::Lines);
        line.show("one");
        line.show("two");
    }
    EXPECT_EQ(Drain(fds[0]), "one\ntwo\n");
    close(fds[0]);
    close(fds[1]);

    PseudoTerminal tty(24, 80);
    setenv("TERM", "dumb", 1);
    EXPECT_EQ(StatusLine::StyleFor(tty.slave), StatusLine::Style::Lines);
}

// Lines as the plug-in and the host write them.
const std::vector<std::pair<std::string, bool>> kLines = {
    {"[host] ready (project: demo); type `help` for commands", true},
    {"[host] phone \"Ann\" connected (allowed)", true},
    {"qlo::ui: unable to satisfy all required layout constraints", true},
    {"[Quillo] Failed to start MJPEG server", true},
    {"[Quillo Bonjour] FAILED to publish 'Quillo - After Effects' — error=-65537", true},
    {"[Quillo] Script error: layer-not-found(B)", true},
    {"[Quillo] IdleHook: host suite missing (error 9)", true},
    {"[Quillo Motion] 64 senders known; ignoring datagrams from new sender 127.0.0.66", true},
    {"[Quillo Idle] tick=300 running=1 clients=1", false},
    {"[Quillo Diag] snapshotClients count=1", false},
    {"[Quillo] Client connected (fd=14, ip=127.0.0.2, name=Ann, camera=(auto))", false},
    {"[Quillo HTTP] POST /timeline body={\"action\":\"play\"} parsed=play", false},
    {"[Quillo TL] time=0.000/10.000 fps=30.0 playing=0", false},
    {"[Quillo Motion] Applying motion ip=\"127.0.0.2\" name=\"error\" → camera \"error\"", false},
    {"[Quillo] Plug-in loaded (host API 1.0, plug-in id 1)", false},
};

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(TerminalLog, TheTerminalShowsWhatAPersonNeedsTheFileEveryLine) {
    for (const auto& [line, shown] : kLines) EXPECT_EQ(ShowsOnTerminal(line), shown) << line;

    const std::string path = ::testing::TempDir() + "/terminal-log/quillo-host.log";  // folder made
    std::remove(path.c_str());
    std::string calm, verbose;
    {
        LogRouter calmRouter(path, false, [&calm](const std::string& text) { calm += text; });
        LogRouter verboseRouter("", true, [&verbose](const std::string& text) { verbose += text; });
        ASSERT_TRUE(calmRouter.fileOpen()) << calmRouter.fileError();
        for (const auto& entry : kLines) log::Log("%s", entry.first.c_str());
        log::Log("[Quillo HTTP] Incoming: %s", std::string(20000, 'x').c_str());
    }
    log::Log("[host] after the routers");
    const std::vector<std::string> file = FileLines(path);
    ASSERT_EQ(file.size(), kLines.size() + 1);
    for (size_t i = 0; i < kLines.size(); ++i) {
        // "hh:mm:ss.mmm " and the line, complete.
        EXPECT_EQ(file[i].substr(13), kLines[i].first);
        EXPECT_EQ(calm.find(kLines[i].first) != std::string::npos, kLines[i].second) << kLines[i].first;
        EXPECT_NE(verbose.find(kLines[i].first), std::string::npos) << kLines[i].first;
    }
    EXPECT_EQ(file.back().size(), 13 + 24 + 20000u);
    // A failure a person can mend comes with what to do.
    EXPECT_NE(calm.find("quillo-host: port 8254 (TCP) is in use by another program"), std::string::npos) << calm;
}

TEST(TerminalLog, AFullFileMovesAsideAndAFreshOneStarts) {
    const std::string path = ::testing::TempDir() + "/rotating.log";
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
    {
        std::ofstream(path) << std::string(300, 'o') << "\n";  // already full on opening
        LogRouter router(path, false, [](const std::string&) {}, 250);
        for (int i = 0; i < 11; ++i) log::Log("[Quillo Idle] tick=%d running=1 clients=0 ........", i);
    }
    // Each line is about 63 bytes with its time stamp: every fourth fills the file.
    const std::vector<std::string> older = FileLines(path + ".1");
    const std::vector<std::string> newer = FileLines(path);
    ASSERT_EQ(older.size(), 4u);
    ASSERT_EQ(newer.size(), 3u);
    EXPECT_NE(older.front().find("tick=4 running=1 clients=0 ........"), std::string::npos);
    EXPECT_NE(newer.back().find("tick=10 running=1 clients=0 ........"), std::string::npos);
}

}  // namespace
}  // namespace qlo::hostsim
