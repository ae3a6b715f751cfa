// quillo-host: the stand-in host application. Opens a project (the built-in demo unless told
// otherwise), loads the plug-in, reads console commands from standard input and runs the main
// loop until a quit request; then the plug-in's death hooks run, the plug-in is unloaded and,
// with --save, the project is saved. On a terminal the bottom row holds a status line.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "hostsim/app/console.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/options.h"
#include "hostsim/app/panel_rows.h"
#include "hostsim/app/phone_watch.h"
#include "hostsim/app/status_line.h"
#include "hostsim/app/terminal_log.h"
#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"
#include "platform/log.h"
#include "platform/runloop.h"

using namespace qlo::hostsim;

namespace {

// Writes to the terminal's standard error, out of the status line's way.
void WriteToTerminal(const std::string& text) {
    std::lock_guard<std::mutex> lock(TerminalOutputMutex());
    std::fputs(text.c_str(), stderr);
}

// The line of a file that an error points at, with a caret under its column:
//       5 |     {"type": "folder" "name": "a"}
//         |                       ^
// Empty when the file or the line cannot be read.
std::string SourceExcerpt(const std::string& path, int lineNumber, int column) {
    if (lineNumber <= 0) return {};
    std::ifstream in(path);
    std::string line;
    for (int n = 0; n < lineNumber; ++n) {
        if (!std::getline(in, line)) return {};
    }
    if (line.size() > 200) return {};  // a minified file: the line says nothing
    for (char& c : line) {
        if (c == '\t') c = ' ';
    }
    const std::string number = std::to_string(lineNumber);
    std::string text = "  " + number + " | " + line + "\n";
    if (column > 0) {
        text += "  " + std::string(number.size(), ' ') + " | " +
                std::string(static_cast<size_t>(column - 1), ' ') + "^\n";
    }
    return text;
}

// Once a second: phones that connected or left are told, and the status line, when it is
// wanted (on a terminal unless --quiet, or with --status), is updated. Frames rendered through
// each camera are counted from the start on.
struct StatusDisplay {
    StatusMonitor monitor;
    PhoneWatch phones;
    std::unique_ptr<StatusLine> line;
    qlo::runloop::TimerPtr timer;

    void start(HostApp& app, const Options& options) {
        qlo::runloop::RunLoop& loop = qlo::runloop::RunLoop::main();
        if (!options.quiet && (options.status || isatty(STDOUT_FILENO))) {
            line = std::make_unique<StatusLine>(STDOUT_FILENO, StatusLine::StyleFor(STDOUT_FILENO));
            SetFrameRenderer(CountRenders(render::MakeSceneRenderer(), monitor));
            monitor.sample(CurrentProject(), loop.now(), std::nullopt);  // the counts start now
        }
        timer = loop.addTimer(
            1.0, true,
            [this, &app](qlo::runloop::Timer&) {
                const auto rows = ReadPanelPhoneRows(app.workspace());
                for (const std::string& message : phones.update(rows)) {
                    qlo::log::Log("[host] %s", message.c_str());
                }
                if (!line) return;
                const double now = qlo::runloop::RunLoop::main().now();
                line->show(FormatStatus(monitor.sample(CurrentProject(), now, rows)));
            },
            {qlo::runloop::Mode::Default, qlo::runloop::Mode::ModalPanel});
    }

    void stop() {
        if (timer) timer->invalidate();
        timer.reset();
        line.reset();
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::string program = "quillo-host";
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << qlo::cli::ErrorText(program, parsed.error);
        return qlo::cli::kUsageExitStatus;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::cout << UsageText(program);
        return 0;
    }

    // Log lines reach the terminal through the router only.
    qlo::log::SetStderrEnabled(false);
    const std::string logPath = options.logPath.empty() ? DefaultLogPath() : options.logPath;
    const LogRouter logRouter(logPath, options.verbose, WriteToTerminal);
    if (logPath.empty()) {
        qlo::log::Log("[host] no log file (no HOME to keep it in; --log FILE names one): the "
                      "plug-in's lines are not kept%s",
                      options.verbose ? "" : " (--verbose shows them here)");
    } else if (!logRouter.fileOpen()) {
        qlo::log::Log("[host] cannot write the log file %s (%s): the plug-in's lines are not kept%s",
                      logPath.c_str(), logRouter.fileError().c_str(),
                      options.verbose ? "" : " (--verbose shows them here)");
    } else {
        qlo::log::Log("[host] log file: %s%s", logPath.c_str(),
                      options.verbose ? "" : " (every line; the terminal shows warnings, errors and phones, --verbose all)");
    }
    for (const SuiteFault& fault : options.suiteFaults) SuiteFaults::instance().arm(fault);

    // A peer that goes away must not end the host: writes to closed sockets and pipes fail
    // with EPIPE instead.
    signal(SIGPIPE, SIG_IGN);

    try {
        SetCurrentProject(options.projectPath.empty() ? MakeDemoProject()
                                                      : LoadProject(options.projectPath));
    } catch (const ProjectFileError& e) {
        std::cerr << program << ": cannot open the project " << e.file() << "\n  " << e.what() << "\n"
                  << SourceExcerpt(e.file(), e.line(), e.column());
        return 2;
    }

    // The status display outlives the application: the plug-in renders until it is unloaded.
    StatusDisplay status;
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

    status.start(app, options);
    const int exitStatus = app.run();
    status.stop();
    console.detach();

    if (!options.savePath.empty()) {
        if (!app.saveProject(options.savePath)) {
            std::cerr << program << ": cannot save the project to " << options.savePath << "\n";
            return 1;
        }
        std::cerr << program << ": project saved to " << options.savePath << "\n";
    }
    return exitStatus;
}
