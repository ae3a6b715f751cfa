// quillo-host: the stand-in host application. Opens a project (the built-in demo unless told
// otherwise), loads the plug-in, reads console commands from standard input and runs the main
// loop until a quit request; then the plug-in's death hooks run, the plug-in is unloaded and,
// with --save, the project is saved. On a terminal the bottom row holds a status line.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "hostsim/app/console.h"
#include "hostsim/app/host_app.h"
#include "hostsim/app/log_notices.h"
#include "hostsim/app/options.h"
#include "hostsim/app/panel_rows.h"
#include "hostsim/app/status_line.h"
#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"
#include "platform/log.h"
#include "platform/runloop.h"

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

// Lines the plug-in writes many times a second: its idle heartbeat (about 33 a second), two
// lines per motion sample applied (up to 60 a second per phone), and its camera-list scans (a
// handful of lines several times a second).
bool IsFrequentLine(const std::string& line) {
    static const char* const kPrefixes[] = {"[Quillo Idle] ", "[Quillo Motion] Applying motion ",
                                            "[Quillo motion-sync] ", "[Quillo Cam] "};
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
        const std::optional<std::string> notice = NoticeForLogLine(line);
        if (!verbose && IsFrequentLine(line) && !notice) return;
        std::lock_guard<std::mutex> lock(TerminalOutputMutex());
        if (verbose || !IsFrequentLine(line)) std::fputs(stamped.c_str(), stderr);
        if (notice) std::fputs(("quillo-host: " + *notice + "\n").c_str(), stderr);
    });
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

// Starts the status line when it is wanted: on a terminal unless --quiet, or with --status.
// Frames rendered through each camera are counted from here on.
struct StatusDisplay {
    StatusMonitor monitor;
    std::unique_ptr<StatusLine> line;
    qlo::runloop::TimerPtr timer;

    void start(HostApp& app, const Options& options) {
        if (options.quiet || (!options.status && !isatty(STDOUT_FILENO))) return;
        line = std::make_unique<StatusLine>(STDOUT_FILENO, StatusLine::StyleFor(STDOUT_FILENO));
        SetFrameRenderer(CountRenders(render::MakeSceneRenderer(), monitor));
        qlo::runloop::RunLoop& loop = qlo::runloop::RunLoop::main();
        monitor.sample(CurrentProject(), loop.now(), std::nullopt);  // the counts start now
        timer = loop.addTimer(
            1.0, true,
            [this, &app](qlo::runloop::Timer&) {
                const double now = qlo::runloop::RunLoop::main().now();
                line->show(FormatStatus(
                    monitor.sample(CurrentProject(), now, ReadPanelPhoneRows(app.workspace()))));
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
        std::cerr << program << ": " << parsed.error << "\n" << UsageText(program);
        return 2;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::cout << UsageText(program);
        return 0;
    }

    RouteLog(options);
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
