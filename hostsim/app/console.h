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

    // The command list `help` prints (and the program's --help ends with).
    static std::string helpText();

    static constexpr size_t kMaxLine = 4096;
    // A script's result or error is shown up to this many lines and bytes, then a line saying
    // how many bytes and lines were left out.
    static constexpr size_t kMaxShownLines = 40;
    static constexpr size_t kMaxShownBytes = 4096;

private:
    // One row of the command table: the command's name, its arguments as the help shows them,
    // the help text, and what runs it (with the rest of the line). A command may have several
    // rows (one per form); the first row's handler runs it. `help` is made from the table.
    using Handler = void (Console::*)(const std::string& rest);
    struct Command {
        const char* name;
        const char* arguments;
        const char* help;  // a second line, after '\n', is indented under the first
        Handler handler;
    };
    static const std::vector<Command>& commands();

    void onReadable();
    void say(const std::string& text);

    void help(const std::string& rest);
    void panel(const std::string& rest);
    void panelStatus();
    void menu(const std::string& rest);
    void menus(const std::string& rest);
    void select(const std::string& rest);
    void items(const std::string& rest);
    void layers(const std::string& rest);
    void play(const std::string& rest);
    void time(const std::string& rest);
    void goToTime(const std::string& rest);
    void ok(const std::string& rest);
    void cancel(const std::string& rest);
    void dismissDialog(bool ok, const std::string& text);
    void viewer(const std::string& rest);
    void screenshot(const std::string& rest);
    void ax(const std::string& rest);
    void click(const std::string& rest);
    void script(const std::string& rest);
    void fail(const std::string& rest);
    void remove(const std::string& rest);
    void save(const std::string& rest);
    void quit(const std::string& rest);

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
