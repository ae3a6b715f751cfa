// Runs one of the project's programs as a child process with pipes on its standard input and
// its standard error/output, for end-to-end tests: send console lines, wait for output lines.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

// The folder of the running test program; the programs are built next to it.
inline std::string ProgramFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.rfind('/'));
}

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> argv) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdin_ >= 0) close(stdin_);
        if (stdout_ >= 0) close(stdout_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void send(const std::string& line) {
        const std::string text = line + "\n";
        (void)!write(stdin_, text.data(), text.size());
    }
    void signal(int sig) { kill(pid_, sig); }

    // Reads output until a line contains `text` or the deadline passes.
    bool waitFor(const std::string& text, double seconds = 10) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (output_.find(text, scanned_) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return false;
        }
        scanned_ = output_.find(text, scanned_) + text.size();
        return true;
    }

    // Waits for the process to end; its exit status, or -1 when it did not end in time.
    int wait(double seconds = 10) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            readSome(20);
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                while (readSome(20)) {
                }
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return status_;
            }
        }
        return -1;
    }

    const std::string& output() const { return output_; }

private:
    bool readSome(int timeoutMs) {
        pollfd p{stdout_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(stdout_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int status_ = -1;
    std::string output_;
    size_t scanned_ = 0;
};
