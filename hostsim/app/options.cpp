#include "hostsim/app/options.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "cli/command_line.h"

namespace qlo::hostsim {

namespace {

// Every option of the program, writing into `o`; the project given as a plain argument goes to
// `positional`.
void DefineOptions(CLI::App& app, Options& o, std::string& positional) {
    app.description(
        "The stand-in host: loads the Quillo plug-in, opens a project and runs until told to\n"
        "quit. The plug-in's panel opens at start, so phones can connect at once: HTTP/MJPEG on\n"
        "TCP 8254, motion on UDP 8255, announced over DNS-SD as _quillo._tcp.\n");
    app.add_option("PROJECT", positional, "the project to open, as --project")->type_name("");
    app.add_option("--project", o.projectPath, "the project to open (default: the built-in demo project)")
        ->type_name("FILE");
    app.add_option("--save", o.savePath, "save the project to FILE on exit (File > Save writes it too)")
        ->type_name("FILE");
    app.add_option("--plugin", o.pluginPath, "the plug-in to load (default: libquillo.so next to this program)")
        ->type_name("PATH");
    app.add_option("--log", o.logPath,
                   "append every log line, the host's and the plug-in's, to FILE\n"
                   "(default: ~/.local/state/quillo/quillo-host.log, or under\n"
                   "$XDG_STATE_HOME); past 64 MiB it moves to FILE.1 and starts afresh")
        ->type_name("FILE");
    app.add_flag("-v,--verbose", o.verbose,
                 "show every log line on the terminal too, as the log file has them:\n"
                 "the plug-in's heartbeat, connections, requests, camera scans and\n"
                 "per-sample motion lines");
    app.add_flag_callback("--no-panel", [&o] { o.showPanels = false; },
                 "do not open the plug-ins' panels at start (the workspace opens\n"
                 "them by default, so the plug-in's services start at once)");
    app.add_flag("--status", o.status,
                 "show the status line even when standard output is not a terminal\n"
                 "(then as one line a second)");
    app.add_flag("-q,--quiet", o.quiet, "no status line");
    app.add_option_function<std::string>(
           "--fail-suite",
           [&o](const std::string& text) {
               SuiteFault fault;
               std::string why;
               if (!ParseSuiteFault(text, &fault, &why)) throw CLI::ValidationError(why);
               o.suiteFaults.push_back(fault);
           },
           "make the host suite function NAME (e.g. AEGP_GetLayerName) fail on\n"
           "its Nth call, or on every call (the default); repeatable")
        ->type_name("NAME[:N|:always]")
        ->trigger_on_parse();
    app.footer(
        "Terminal: the plug-in's log lines go to the log file (its path is the first line the\n"
        "host prints); the terminal shows what needs a person: warnings and errors, phones\n"
        "connecting and leaving, the host's own messages, the console's answers and the status\n"
        "line. --verbose shows every line here too.\n"
        "\n"
        "Status line: on a terminal the bottom row shows, once a second, the active\n"
        "composition's time and whether it plays, then each phone: its name, whether it may\n"
        "control its camera (allowed or blocked), frames per second, and whether it records.\n"
        "\n"
        "Console: commands are read from standard input, one a line:\n" +
        ConsoleCommandsHelp() +
        "\n"
        "\n"
        "Exit status: 0 after a quit, 1 when the plug-in cannot be loaded or the project\n"
        "cannot be saved, 2 for a bad command line or a project file that cannot be read.");
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    std::string positional;
    CLI::App app;
    cli::Style(app, "quillo-host");
    app.allow_extras();  // a second project is told apart from an unknown option below
    DefineOptions(app, o, positional);
    cli::AddHelp(app, "Options");
    const cli::Outcome outcome = cli::Parse(app, args, [&] {
        const std::vector<std::string> extra = app.remaining();
        if (!extra.empty() && !positional.empty() && extra.front().rfind('-', 0) != 0) {
            throw CLI::ValidationError("one project at a time: " + positional + " and " + extra.front());
        }
        if (!extra.empty()) throw CLI::ExtrasError(extra);
        if (!positional.empty() && !o.projectPath.empty()) {
            throw CLI::ValidationError("two projects given: --project " + o.projectPath + " and " + positional);
        }
        if (!positional.empty()) o.projectPath = positional;
    });
    o.help = outcome.help;
    parsed.error = outcome.error;
    return parsed;
}

std::string UsageText(const std::string& program) {
    Options unused;
    std::string positional;
    CLI::App app;
    cli::Style(app, program);
    DefineOptions(app, unused, positional);
    cli::AddHelp(app, "Options");
    return app.help();
}

std::string DefaultPluginPath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string exe(buffer, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : exe.substr(0, slash);
    return folder + "/libquillo.so";
}

std::string DefaultLogPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/quillo/quillo-host.log";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/quillo/quillo-host.log";
    return {};
}

}  // namespace qlo::hostsim
