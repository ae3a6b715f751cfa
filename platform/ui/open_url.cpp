#include "platform/ui/open_url.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/log.h"

namespace qlo::ui {

namespace {

constexpr size_t kMaxURLLength = 8192;

std::mutex g_openerMutex;
std::function<bool(const std::string&)>& TestOpener() {
    static std::function<bool(const std::string&)> opener;
    return opener;
}

// scheme ":" rest, the scheme a letter then letters, digits, "+", "-" or "."; nothing at or
// below the blank and no DEL. An address starting with "-" would read as an option.
bool IsOpenableURL(const std::string& url) {
    if (url.empty() || url.size() > kMaxURLLength) return false;
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == url.size()) return false;
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!isAlpha(url[0])) return false;
    for (size_t i = 1; i < colon; ++i) {
        const char c = url[i];
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7f) return false;
    }
    return true;
}

std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/') {
            const std::string candidate = dir + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Runs `program url` detached (its own session, reparented to init, standard streams on
// /dev/null). True once the program has started; a failed exec is reported back through a
// close-on-exec pipe.
bool SpawnDetached(const std::string& program, const std::string& url) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(url.c_str()), nullptr};

    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int error = errno;
                (void)!write(report[1], &error, sizeof error);
            }
            _exit(0);
        }
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execv(program.c_str(), argv.data());
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    if (devNull >= 0) close(devNull);
    if (child < 0) {
        close(report[0]);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return n == 0;  // end of file: the exec closed the pipe
}

}  // namespace

void SetURLOpenerForTesting(std::function<bool(const std::string&)> opener) {
    std::lock_guard<std::mutex> lock(g_openerMutex);
    TestOpener() = std::move(opener);
}

bool OpenURL(const std::string& url) {
    if (!IsOpenableURL(url)) {
        log::Log("Not opening \"%s\": not a web address", url.substr(0, 200).c_str());
        return false;
    }
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard<std::mutex> lock(g_openerMutex);
        opener = TestOpener();
    }
    bool handed = false;
    if (opener) {
        handed = opener(url);
    } else if (HasDisplay()) {
        const std::string program = FindOnPath("xdg-open");
        handed = !program.empty() && SpawnDetached(program, url);
    }
    if (!handed) log::Log("No web browser to open; the address is %s", url.c_str());
    return handed;
}

}  // namespace qlo::ui
