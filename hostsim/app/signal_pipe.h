// Turns SIGINT and SIGTERM into bytes on a pipe that the run loop watches (the self-pipe
// trick): the handler only writes the signal number, and everything the signal means is done
// on the main thread when the run loop sees the pipe readable. A second signal, while the
// first has not ended the process, takes the signal's default action at once (so a user can
// still stop a host whose shutdown hangs). One instance at a time.
#pragma once

#include <signal.h>

#include <vector>

namespace qlo::hostsim {

class SignalPipe {
public:
    // Installs handlers for `signals`; throws std::system_error when the pipe cannot be made
    // and std::logic_error when another SignalPipe is alive.
    explicit SignalPipe(std::vector<int> signals);
    // Restores the previous handlers and closes the pipe.
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // The end to watch for readability (non-blocking).
    int readFd() const { return readFd_; }
    // The signals caught since the last call, in arrival order.
    std::vector<int> drain();

private:
    std::vector<int> signals_;
    std::vector<struct sigaction> previous_;  // each signal's former handling, restored at the end
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace qlo::hostsim
