// quillo-host: the stand-in host application. Opens a project (the built-in demo unless told
// otherwise), loads the plug-in, reads console commands from standard input and runs the main
// loop until a quit request; then the plug-in's death hooks run, the plug-in is unloaded and,
// with --save, the project is saved.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>

#include "hostsim/app/console.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/options.h"
#include "hostsim/model/project.h"
#include "platform/log.h"

using namespace qlo::hostsim;

namespace {

// Local wall-clock time of day with milliseconds, for the terminal and the log file.
std::string TimeStamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                  local.tm_sec, now.tv_nsec / 1000000L);
    return text;
}

// Lines the plug-in writes many times a second: its idle heartbeat (about 33 a second) and two
// lines per motion sample applied (up to 60 a second per phone).
bool IsFrequentLine(const std::string& line) {
    static const char* const kPrefixes[] = {"[Quillo Idle] ", "[Quillo Motion] Applying motion ",
                                            "[Quillo motion-sync] "};
    for (const char* prefix : kPrefixes) {
        if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Routes log lines: every line to the log file when there is one; to the terminal every line
// but the frequent ones, unless verbose.
void RouteLog(const Options& options) {
    static std::ofstream file;
    static std::mutex fileMutex;
    if (!options.logPath.empty()) {
        file.open(options.logPath, std::ios::app);
        if (!file) std::cerr << "quillo-host: cannot write the log file " << options.logPath << "\n";
    }
    const bool verbose = options.verbose;
    qlo::log::SetStderrEnabled(false);
    qlo::log::AddSink([verbose](qlo::log::Level, const std::string& line) {
        const std::string stamped = TimeStamp() + " " + line + "\n";
        if (file.is_open()) {
            std::lock_guard<std::mutex> lock(fileMutex);
            file << stamped << std::flush;
        }
        if (verbose || !IsFrequentLine(line)) std::fputs(stamped.c_str(), stderr);
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = "quillo-host";
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << program << ": " << parsed.error << "\n" << UsageText(program);
        return 2;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::cout << UsageText(program);
        return 0;
    }

    RouteLog(options);

    // A peer that goes away must not end the host: writes to closed sockets and pipes fail
    // with EPIPE instead.
    signal(SIGPIPE, SIG_IGN);

    try {
        SetCurrentProject(options.projectPath.empty() ? MakeDemoProject()
                                                      : LoadProject(options.projectPath));
    } catch (const ProjectFileError& e) {
        std::cerr << program << ": cannot open project: " << e.what() << "\n";
        return 2;
    }

    HostApp app;
    app.setProjectPath(!options.savePath.empty() ? options.savePath : options.projectPath);
    app.watchQuitSignals();

    const std::string pluginPath =
        options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    try {
        app.loadPlugin(pluginPath);
    } catch (const PluginLoadError& e) {
        std::cerr << program << ": " << e.what() << "\n";
        return 1;
    }

    // The workspace opens the plug-in's panels as a workspace saved with them open would.
    if (options.showPanels) {
        for (const std::string& name : app.workspace().panelNames()) {
            if (!app.workspace().tabShown(name)) app.togglePanel(name);
        }
    }

    Console console(app, std::cout);
    if (!console.attach(STDIN_FILENO)) {
        qlo::log::Log("[host] standard input cannot be read; the console is off");
    }
    qlo::log::Log("[host] ready (project: %s); type `help` for commands",
                  options.projectPath.empty() ? "demo" : options.projectPath.c_str());

    const int status = app.run();
    console.detach();

    if (!options.savePath.empty() && !app.saveProject(options.savePath)) {
        std::cerr << program << ": cannot save the project to " << options.savePath << "\n";
        return 1;
    }
    return status;
}
