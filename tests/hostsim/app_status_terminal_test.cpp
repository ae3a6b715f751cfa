// The status line on a terminal (a pseudo-terminal here) keeps to the bottom row below a scroll
// region and gives the row back when it ends; elsewhere it writes plain lines.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "hostsim/app/status_line.h"

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

}  // namespace
}  // namespace qlo::hostsim
