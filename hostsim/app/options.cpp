#include "hostsim/app/options.h"

#include <unistd.h>

#include <climits>

namespace qlo::hostsim {

namespace {

struct ValueOption {
    const char* flag;
    std::string Options::*field;
};
const ValueOption kValueOptions[] = {
    {"--plugin", &Options::pluginPath},
    {"--project", &Options::projectPath},
    {"--save", &Options::savePath},
    {"--log", &Options::logPath},
};

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    bool positional = false;  // the project was given as a plain argument
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.options.help = true;
            continue;
        }
        if (arg == "--no-panel") {
            parsed.options.showPanels = false;
            continue;
        }
        if (arg == "--verbose" || arg == "-v") {
            parsed.options.verbose = true;
            continue;
        }
        if (arg == "--status") {
            parsed.options.status = true;
            continue;
        }
        if (arg == "--quiet" || arg == "-q") {
            parsed.options.quiet = true;
            continue;
        }
        if (arg == "--fail-suite" || arg.rfind("--fail-suite=", 0) == 0) {
            std::string faultText = arg.size() > 12 ? arg.substr(13) : std::string();
            if (arg.size() == 12 && i + 1 < args.size()) faultText = args[++i];
            SuiteFault fault;
            std::string why = "--fail-suite needs a value";
            if (faultText.empty() || !ParseSuiteFault(faultText, &fault, &why)) {
                parsed.error = why;
                return parsed;
            }
            parsed.options.suiteFaults.push_back(fault);
            continue;
        }
        if (!arg.empty() && arg[0] != '-') {
            if (positional) {
                parsed.error = "one project at a time: " + parsed.options.projectPath + " and " + arg;
                return parsed;
            }
            positional = true;
            if (!parsed.options.projectPath.empty()) {
                parsed.error = "two projects given: --project " + parsed.options.projectPath + " and " + arg;
                return parsed;
            }
            parsed.options.projectPath = arg;
            continue;
        }
        bool matched = false;
        for (const ValueOption& opt : kValueOptions) {
            const std::string flag = opt.flag;
            std::string value;
            if (arg == flag) {
                if (i + 1 >= args.size()) {
                    parsed.error = flag + " needs a value";
                    return parsed;
                }
                value = args[++i];
            } else if (arg.rfind(flag + "=", 0) == 0) {
                value = arg.substr(flag.size() + 1);
            } else {
                continue;
            }
            if (value.empty()) {
                parsed.error = flag + " needs a value";
                return parsed;
            }
            if (positional && opt.field == &Options::projectPath) {
                parsed.error = "two projects given: " + parsed.options.projectPath + " and --project " + value;
                return parsed;
            }
            parsed.options.*opt.field = value;
            matched = true;
            break;
        }
        if (!matched) {
            parsed.error = "unknown argument: " + arg;
            return parsed;
        }
    }
    return parsed;
}

std::string UsageText(const std::string& program) {
    return "usage: " + program +
           " [PROJECT] [--project FILE] [--save FILE] [--plugin PATH] [--log FILE]\n"
           "       [--no-panel] [--status | --quiet] [--verbose] [--fail-suite NAME[:N|:always]] [--help]\n"
           "\n"
           "The stand-in host: loads the Quillo plug-in, opens a project and runs until told to\n"
           "quit. The plug-in's panel opens at start, so phones can connect at once: HTTP/MJPEG on\n"
           "TCP 8254, motion on UDP 8255, announced over DNS-SD as _quillo._tcp.\n"
           "\n"
           "  PROJECT, --project FILE\n"
           "                  the project to open (default: the built-in demo project)\n"
           "  --save FILE     save the project to FILE on exit (File > Save writes it too)\n"
           "  --plugin PATH   the plug-in to load (default: libquillo.so next to this program)\n"
           "  --log FILE      write every log line (host and plug-in) to FILE as well\n"
           "  --no-panel      do not open the plug-ins' panels at start (the workspace opens\n"
           "                  them by default, so the plug-in's services start at once)\n"
           "  --status        show the status line even when standard output is not a terminal\n"
           "                  (then as one line a second)\n"
           "  --quiet, -q     no status line\n"
           "  --verbose, -v   show the plug-in's frequent lines on the terminal too: its idle\n"
           "                  heartbeat, camera-list scans and per-sample motion lines (hidden\n"
           "                  by default; --log keeps them)\n"
           "  --fail-suite NAME[:N|:always]\n"
           "                  make the host suite function NAME (e.g. AEGP_GetLayerName) fail on\n"
           "                  its Nth call, or on every call (the default); repeatable\n"
           "  --help, -h      this text\n"
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
           "cannot be saved, 2 for a bad command line or a project file that cannot be read.\n";
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

}  // namespace qlo::hostsim
