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

#include "hostsim/app/log_notices.h"
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

// Every part must be in what the terminal received.
void ExpectParts(const std::string& out, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) EXPECT_NE(out.find(part), std::string::npos) << part << out;
}

// Scrolling stays above the last row; the text goes to that row, cut to the width, and the
// cursor goes back where the user was typing. A new size moves the line, clearing the old row.
TEST(StatusTerminal, PinnedToTheBottomRowAndGivenBackAtTheEnd) {
    PseudoTerminal tty(24, 20);
    ASSERT_GE(tty.slave, 0);
    setenv("TERM", "xterm", 1);
    ASSERT_EQ(StatusLine::StyleFor(tty.slave), StatusLine::Style::Pinned);
    {
        StatusLine line(tty.slave, StatusLine::Style::Pinned);
        line.show("Demo 0:00:01:00 playing | Demo Phone: 30 fps");
        ExpectParts(Drain(tty.master), {"\x1b[1;23r", "\x1b" "7\x1b[24;1H\x1b[2KDemo 0:00:01:00 pla\x1b" "8"});
        tty.resize(30, 80);
        line.show("after");
        ExpectParts(Drain(tty.master),
                    {"\x1b[24;1H\x1b[2K\x1b" "8", "\x1b[1;29r", "\x1b[30;1H\x1b[2Kafter"});
    }
    ExpectParts(Drain(tty.master), {"\x1b[r", "\x1b[30;1H\x1b[2K"});  // the whole screen scrolls
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

// Lines as the plug-in and the host write them, whether they reach the terminal, and the
// plain-words notice that follows those a person can mend.
struct LogLine {
    std::string text;
    bool shown;
    const char* notice;
};
const LogLine kLines[] = {
    {"[host] ready (project: demo); type `help` for commands", true, nullptr},
    {"[host] phone \"Ann\" connected (allowed)", true, nullptr},
    {"qlo::ui: unable to satisfy all required layout constraints", true, nullptr},
    {"[Quillo] Failed to start MJPEG server", true,
     "port 8254 (TCP) is in use by another program; phones cannot connect"},
    {"[Quillo] Failed to start motion receiver", true, "port 8255 (UDP) is in use"},
    {"[Quillo Bonjour] FAILED to publish 'Quillo - After Effects' \u2014 error={NSNetServicesErrorCode "
     "= -65537; NSNetServicesErrorDomain = 10;}", true, "no DNS-SD daemon"},
    {"[Quillo Bonjour] FAILED to publish 'Quillo - After Effects' \u2014 error=-72004", true,
     "could not announce itself over DNS-SD"},
    {"[Quillo] Script error: layer-not-found(B)", true, nullptr},
    {"[Quillo] IdleHook: host suite missing (error 9)", true, nullptr},
    {"[Quillo Motion] 64 senders known; ignoring datagrams from new sender 127.0.0.66", true, nullptr},
    {"[Quillo Idle] tick=300 running=1 clients=1", false, nullptr},
    {"[Quillo Diag] snapshotClients count=1", false, nullptr},
    {"[Quillo] Client connected (fd=14, ip=127.0.0.2, name=Ann, camera=(auto))", false, nullptr},
    {"[Quillo HTTP] POST /timeline body={\"action\":\"play\"} parsed=play", false, nullptr},
    {"[Quillo TL] time=0.000/10.000 fps=30.0 playing=0", false, nullptr},
    {"[Quillo Motion] Applying motion ip=\"127.0.0.2\" name=\"error\" \u2192 camera \"error\"", false,
     nullptr},
    {"[Quillo] Plug-in loaded (host API 1.0, plug-in id 1)", false, nullptr},
    {"[Quillo] MJPEG server listening on port 8254", false, nullptr},
};

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(TerminalLog, TheTerminalShowsWhatAPersonNeedsTheFileEveryLine) {
    const std::string path = ::testing::TempDir() + "/terminal-log/quillo-host.log";  // folder made
    std::remove(path.c_str());
    std::string calm, verbose;
    {
        LogRouter calmRouter(path, false, [&calm](const std::string& text) { calm += text; });
        LogRouter verboseRouter("", true, [&verbose](const std::string& text) { verbose += text; });
        ASSERT_TRUE(calmRouter.fileOpen()) << calmRouter.fileError();
        for (const LogLine& entry : kLines) log::Log("%s", entry.text.c_str());
        log::Log("[Quillo HTTP] Incoming: %s", std::string(20000, 'x').c_str());
    }
    log::Log("[host] after the routers");
    const std::vector<std::string> file = FileLines(path);
    ASSERT_EQ(file.size(), std::size(kLines) + 1);
    size_t notices = 0;
    for (size_t i = 0; i < std::size(kLines); ++i) {
        const LogLine& line = kLines[i];
        EXPECT_EQ(ShowsOnTerminal(line.text), line.shown) << line.text;
        // "hh:mm:ss.mmm " and the line, complete.
        EXPECT_EQ(file[i].substr(13), line.text);
        EXPECT_EQ(calm.find(line.text) != std::string::npos, line.shown) << line.text;
        EXPECT_NE(verbose.find(line.text), std::string::npos) << line.text;
        const std::optional<std::string> notice = NoticeForLogLine(line.text);
        EXPECT_EQ(notice.has_value(), line.notice != nullptr) << line.text;
        if (!notice || !line.notice) continue;
        ++notices;
        EXPECT_NE(notice->find(line.notice), std::string::npos) << *notice;
        EXPECT_NE(calm.find("quillo-host: " + *notice + "\n"), std::string::npos) << calm;
    }
    EXPECT_EQ(notices, 4u);
    EXPECT_EQ(file.back().size(), 13 + 24 + 20000u);
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
