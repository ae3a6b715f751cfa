// quillo-host: the stand-in host application. Opens a project (the built-in demo unless told
// otherwise), loads the plug-in, reads console commands from standard input and runs the main
// loop until a quit request; then the plug-in's death hooks run, the plug-in is unloaded and,
// with --save, the project is saved.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <memory>

#include "hostsim/app/console.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/options.h"
#include "hostsim/model/project.h"
#include "platform/log.h"

using namespace qlo::hostsim;

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
