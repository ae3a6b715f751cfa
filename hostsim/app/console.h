// The console of quillo-host: one command per line, read without blocking from a descriptor the
// main run loop watches (standard input in the program). Replies start with "[host] ".
// The end of the input does not quit: the host keeps running (for example when started in the
// background with its input closed) until `quit`, File > Quit, SIGINT or SIGTERM.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qlo::hostsim {

class HostApp;

class Console {
public:
    Console(HostApp& app, std::ostream& out);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Runs one command line.
    void execute(const std::string& line);
    // Takes input bytes; runs every complete line. A line longer than kMaxLine is dropped.
    void feed(std::string_view bytes);

    // Reads `fd` whenever the run loop finds it readable (the descriptor is made non-blocking
    // while attached and restored on detach). False when it cannot be watched.
    bool attach(int fd);
    void detach();
    bool inputClosed() const { return closed_; }

    static constexpr size_t kMaxLine = 4096;
    // A script's result or error is shown up to this many lines and bytes, then a line saying
    // how many bytes and lines were left out.
    static constexpr size_t kMaxShownLines = 40;
    static constexpr size_t kMaxShownBytes = 4096;

private:
    void onReadable();
    void say(const std::string& text);

    void help();
    void panel(const std::vector<std::string>& words);
    void panelStatus();
    void menus();
    void items();
    void layers();
    void play();
    void time(const std::string& text);
    void goToTime();
    void dismissDialog(bool ok, const std::string& text);
    void script(const std::string& text);

    HostApp& app_;
    std::ostream& out_;
    std::string pending_;
    bool overlong_ = false;
    int fd_ = -1;
    int watch_ = -1;
    int savedFlags_ = 0;
    bool closed_ = false;
};

}  // namespace qlo::hostsim
