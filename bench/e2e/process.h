// Child processes of the benchmark driver: started with posix_spawn (output to a file), polled,
// ended with a signal, and always reaped. Every wait is bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qlo::bench {

class Child {
public:
    // Starts argv[0] (a path) with its arguments; standard input from /dev/null, standard output
    // and error appended to `outputPath`. Throws std::runtime_error when it cannot be started.
    Child(const std::vector<std::string>& argv, const std::string& outputPath);
    // Ends a child still running (SIGTERM, then SIGKILL after 2 s) and reaps it.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& outputPath() const { return outputPath_; }
    // Whether it still runs (reaps it when it has ended).
    bool running();
    // Waits at most `limit` for it to end; its exit status, or none when it still runs.
    std::optional<int> wait(std::chrono::milliseconds limit);
    // Sends `signo`, waits at most `limit`, then kills it; its exit status.
    int stop(int signo, std::chrono::milliseconds limit);
    // Everything it has written so far.
    std::string output() const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string outputPath_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// A fresh private folder under /tmp (mkdtemp) for one run's files.
std::string MakeRunFolder(const std::string& prefix);
// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();
// Whether something accepts TCP connections on 127.0.0.1:port.
bool Accepts(int port);
// Polls `done` every 20 ms until it is true or `limit` has passed; its last answer.
template <class F>
bool WaitUntil(F done, std::chrono::milliseconds limit);

}  // namespace qlo::bench

#include <thread>

template <class F>
bool qlo::bench::WaitUntil(F done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
