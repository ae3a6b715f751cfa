#include "hostsim/app/signal_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace qlo::hostsim {

namespace {

// The write end the handler uses; -1 while no SignalPipe is alive.
std::atomic<int> g_writeFd{-1};
// Signals caught while this SignalPipe is alive.
std::atomic<int> g_caught{0};

extern "C" void OnSignal(int signo) {
    // Only async-signal-safe work: one write of one byte. A full pipe drops the byte, which
    // loses nothing: unread bytes already wake the loop.
    const int savedErrno = errno;
    if (g_caught.fetch_add(1) >= 1) {
        // A second signal means the orderly quit is not getting anywhere (a death hook that
        // hangs, say): the signal's default action ends the process.
        signal(signo, SIG_DFL);
        raise(signo);
    }
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signo);
        ssize_t ignored = write(fd, &byte, 1);
        (void)ignored;
    }
    errno = savedErrno;
}

}  // namespace

SignalPipe::SignalPipe(std::vector<int> signals) : signals_(std::move(signals)) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "signal pipe");
    }
    int expected = -1;
    if (!g_writeFd.compare_exchange_strong(expected, fds[1])) {
        close(fds[0]);
        close(fds[1]);
        throw std::logic_error("only one SignalPipe may be alive");
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    g_caught.store(0);

    for (int signo : signals_) {
        struct sigaction action {};
        action.sa_handler = &OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        struct sigaction old {};
        sigaction(signo, &action, &old);
        previous_.push_back(old);
    }
}

SignalPipe::~SignalPipe() {
    for (size_t i = 0; i < signals_.size(); ++i) {
        sigaction(signals_[i], &previous_[i], nullptr);
    }
    g_writeFd.store(-1);
    close(readFd_);
    close(writeFd_);
}

std::vector<int> SignalPipe::drain() {
    std::vector<int> caught;
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = read(readFd_, buffer, sizeof buffer);
        if (n > 0) {
            caught.insert(caught.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // empty (EAGAIN) or closed
    }
    return caught;
}

}  // namespace qlo::hostsim
