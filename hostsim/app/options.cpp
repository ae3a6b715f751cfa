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
           " [--plugin PATH] [--project FILE] [--save FILE] [--log FILE] [--no-panel]\n"
           "       [--verbose] [--help]\n"
           "\n"
           "The stand-in host: loads the plug-in, opens a project and runs until told to quit.\n"
           "\n"
           "  --plugin PATH   the plug-in to load (default: libquillo.so next to this program)\n"
           "  --project FILE  the project to open (default: the built-in demo project)\n"
           "  --save FILE     save the project to FILE on exit\n"
           "  --no-panel      do not open the plug-ins' panels at start (the workspace opens\n"
           "                  them by default, so the plug-in's services start at once)\n"
           "  --log FILE      write every log line (host and plug-in) to FILE as well\n"
           "  --verbose       show the plug-in's frequent lines on the terminal too: its idle\n"
           "                  heartbeat and the per-sample motion lines (hidden by default;\n"
           "                  --log keeps them)\n"
           "  --help          this text\n"
           "\n"
           "Commands are read from standard input, one a line; type `help` for the list.\n"
           "Among them: `play`, `time SECONDS`, `goto` (the modal Go to Time dialog; `ok` or\n"
           "`cancel` closes it), `viewer` (layout and cameras) and `script TEXT` (ExtendScript).\n"
           "The end of standard input does not quit (the host may run in the background);\n"
           "quit with `quit`, SIGINT or SIGTERM.\n"
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
