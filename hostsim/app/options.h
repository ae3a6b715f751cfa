// The command line of quillo-host.
#pragma once

#include <string>
#include <vector>

namespace qlo::hostsim {

struct Options {
    std::string pluginPath;   // empty: DefaultPluginPath()
    std::string projectPath;  // empty: the built-in demo project
    std::string savePath;     // empty: nothing is saved on exit
    std::string logPath;      // empty: no log file
    bool verbose = false;
    bool showPanels = true;   // open the plug-ins' panels at start, as a saved workspace would     // the terminal shows the plug-in's idle heartbeat too
    bool help = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line is good
};

// Parses the arguments after the program name. Options take their value as the next argument
// or after "=" ("--plugin PATH", "--plugin=PATH").
ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string UsageText(const std::string& program);

// libquillo.so in the folder of the running executable (found through /proc/self/exe); empty
// when that link cannot be read.
std::string DefaultPluginPath();

}  // namespace qlo::hostsim
