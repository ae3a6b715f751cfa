#include "hostsim/app/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "hostsim/app/console_text.h"
#include "hostsim/app/options.h"
#include "platform/log.h"
#include "platform/runloop.h"

namespace qlo::hostsim {

namespace {

// Help lines: "  NAME ARGUMENTS" padded to this column, then the text; a longer usage is
// followed by two spaces.
constexpr size_t kHelpColumn = 21;

}  // namespace

std::string ConsoleCommandsHelp() {
    return Console::helpText();
}

std::string Console::helpText() {
    std::string out = "commands:\n";
    for (const Command& c : commands()) {
        std::string usage = std::string("  ") + c.name;
        if (*c.arguments != '\0') usage += std::string(" ") + c.arguments;
        usage += std::string(std::max<size_t>(2, kHelpColumn - std::min(usage.size(), kHelpColumn)), ' ');
        std::istringstream lines(c.help);
        std::string line;
        for (bool first = true; std::getline(lines, line); first = false) {
            out += (first ? usage : std::string(kHelpColumn, ' ')) + line + "\n";
        }
    }
    return out + "the end of input does not quit; use `quit`, SIGINT or SIGTERM";
}

Console::Console(HostApp& app, std::ostream& out) : app_(app), out_(out) {}

Console::~Console() {
    detach();
}

void Console::say(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) out_ << "[host] " << line << '\n';
    out_.flush();
}

void Console::feed(std::string_view bytes) {
    for (char c : bytes) {
        if (c != '\n') {
            if (pending_.size() < kMaxLine) {
                pending_.push_back(c);
            } else {
                overlong_ = true;
            }
            continue;
        }
        if (overlong_) {
            say("line too long, ignored");
        } else {
            execute(pending_);
        }
        pending_.clear();
        overlong_ = false;
    }
}

bool Console::attach(int fd) {
    detach();
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    fd_ = fd;
    savedFlags_ = flags;
    closed_ = false;
    watch_ = runloop::RunLoop::main().watchFd(fd, [this]() { onReadable(); });
    return true;
}

void Console::detach() {
    if (watch_ >= 0) runloop::RunLoop::main().unwatchFd(watch_);
    // The descriptor may be shared with the shell (a terminal): leave it as it was found.
    if (fd_ >= 0) fcntl(fd_, F_SETFL, savedFlags_);
    watch_ = -1;
    fd_ = -1;
}

void Console::onReadable() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            feed(std::string_view(buffer, static_cast<size_t>(n)));
            if (fd_ < 0) return;  // a command detached the console
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // End of input (or an error reading it): stop reading, keep running.
        if (!pending_.empty() && !overlong_) execute(pending_);
        pending_.clear();
        closed_ = true;
        if (n < 0) {
            say(std::string("cannot read input: ") + std::strerror(errno));
        }
        say("input closed; the host keeps running (quit with SIGINT or SIGTERM)");
        log::Log("[host] console input closed");
        detach();
        return;
    }
}

void Console::execute(const std::string& rawLine) {
    const std::string line = Trim(rawLine);
    if (line.empty()) return;
    const auto [command, rest] = SplitCommand(line);
    for (const Command& c : commands()) {
        if (command == c.name && c.handler != nullptr) {
            (this->*c.handler)(rest);
            return;
        }
    }
    say("unknown command \"" + command + "\"; type help");
}

}  // namespace qlo::hostsim
