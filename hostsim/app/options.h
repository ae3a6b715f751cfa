// The command line of quillo-host.
#pragma once

#include <string>
#include <vector>

#include "hostsim/suite_faults.h"

namespace qlo::hostsim {

struct Options {
    std::string pluginPath;   // empty: DefaultPluginPath()
    std::string projectPath;  // empty: the built-in demo project
    std::string savePath;     // empty: nothing is saved on exit
    std::string logPath;      // empty: DefaultLogPath()
    bool verbose = false;     // the terminal shows every log line, not only what a person needs
    bool showPanels = true;   // open the plug-ins' panels at start, as a saved workspace would
    bool status = false;      // the status line even when standard output is not a terminal
    bool quiet = false;       // no status line
    bool help = false;
    std::vector<SuiteFault> suiteFaults;  // --fail-suite: suite functions made to fail on purpose
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line is good
};

// Parses the arguments after the program name. Options take their value as the next argument
// or after "=" ("--plugin PATH", "--plugin=PATH"). One argument that is not an option is the
// project to open, as --project is.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

// What --help prints: every option and every console command.
std::string UsageText(const std::string& program);

// The console's commands, as its `help` lists them (defined with the console).
std::string ConsoleCommandsHelp();

// libquillo.so in the folder of the running executable (found through /proc/self/exe); empty
// when that link cannot be read.
std::string DefaultPluginPath();

// Where the log goes without --log: $XDG_STATE_HOME/quillo/quillo-host.log, or
// ~/.local/state/quillo/quillo-host.log; empty when neither variable is set.
std::string DefaultLogPath();

}  // namespace qlo::hostsim
