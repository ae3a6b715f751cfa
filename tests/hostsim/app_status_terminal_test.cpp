// The status line on a terminal (a pseudo-terminal here) keeps to the bottom row; elsewhere it
// writes plain lines. The log lines that reach the terminal
// are the ones a person needs; the log file keeps every line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

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
    for (ssize_t n = 1; n > 0 && poll(&p, 1, 200) > 0;) {
        n = read(fd, buffer, sizeof buffer);
        if (n > 0) out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

TEST(StatusTerminal, PinnedToTheBottomRowOfATerminalPlainLinesElsewhere) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 20;
    ASSERT_EQ(ioctl(slave, TIOCSWINSZ, &size), 0);
    setenv("TERM", "xterm", 1);
    ASSERT_EQ(StatusLine::StyleFor(slave), StatusLine::Style::Pinned);
    StatusLine(slave, StatusLine::Style::Pinned).show("D\u00e9mo 0:00:01:00 playing | Demo Phone: 30 fps");
    // The text goes to the last row, cut to the width in characters.
    const std::string shown = Drain(master);
    EXPECT_NE(shown.find("\x1b[24;1H\x1b[2KD\u00e9mo 0:00:01:00 pla\x1b" "8"), std::string::npos) << shown;
    close(slave);
    close(master);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(StatusLine::StyleFor(fds[1]), StatusLine::Style::Lines);
    StatusLine(fds[1], StatusLine::Style::Lines).show("one");
    EXPECT_EQ(Drain(fds[0]), "one\n");
    close(fds[0]);
    close(fds[1]);
}

// The terminal shows the plug-in's warnings, one a person can mend followed by a notice in
// plain words; the plug-in's routine lines go to the log file only.
TEST(TerminalLog, TheTerminalShowsWhatAPersonNeedsTheFileEveryLine) {
    const std::string path = ::testing::TempDir() + "/terminal-log/quillo-host.log";  // folder made
    std::remove(path.c_str());
    const std::string warning = "[Quillo] Failed to start MJPEG server";
    const std::string routine = "[Quillo Idle] tick=300 running=1 clients=1";
    std::string shown;
    {
        LogRouter router(path, false, [&shown](const std::string& text) { shown += text; });
        ASSERT_TRUE(router.fileOpen()) << router.fileError();
        log::Log("%s", warning.c_str());
        log::Log("%s", routine.c_str());
    }
    EXPECT_NE(shown.find(warning + "\nquillo-host: port 8254 (TCP) is in use by another program; "
                                   "phones cannot connect"), std::string::npos) << shown;
    EXPECT_EQ(shown.find(routine), std::string::npos) << shown;
    // The file has both, each after its time, "hh:mm:ss.mmm ".
    std::ifstream in(path);
    std::string first, second;
    ASSERT_TRUE(std::getline(in, first) && std::getline(in, second));
    EXPECT_EQ(std::pair(first.substr(13), second.substr(13)), std::pair(warning, routine));
}

}  // namespace
}  // namespace qlo::hostsim
