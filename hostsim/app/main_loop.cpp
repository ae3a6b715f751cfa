// The host's main loop: rounds of run loop, playback and idle hooks; quit requests (console,
// File > Quit, SIGINT, SIGTERM); modal sessions; and the shutdown that runs the death hooks.
#include <signal.h>

#include <algorithm>

#include "hostsim/app/host_app.h"
#include "hostsim/model/project.h"
#include "platform/log.h"

namespace qlo::hostsim {

namespace {

const char* SignalName(int signo) {
    switch (signo) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        default: return "a signal";
    }
}

}  // namespace

RoundReport HostApp::runRound(double maxWaitSeconds) {
    runloop::RunLoop& loop = runloop::RunLoop::main();
    RoundReport report;
    {
        // Timers and blocks may call suites; menu updates they cause wait for the round.
        Nested nested(*this);
        report.runLoopCallbacks = loop.runOnce(mode(), std::max(0.0, maxWaitSeconds));
    }
    CurrentProject().advance(loop.now());

    report.sleepMs = kIdleSleepPresetMs;
    if (modalDepth_ == 0) {
        Nested nested(*this);
        const HookTable::IdleOutcome idle = hooks_.runIdleHooks(kIdleSleepPresetMs);
        report.idleHooksCalled = idle.hooksCalled;
        report.sleepMs = idle.sleepMs;
    }
    flushMenuUpdate();

    // A hook that asked for 0 is called again right after the loop is serviced, but the
    // round still waits up to 1 ms so that nothing to do does not mean a busy core.
    report.nextWaitSeconds =
        report.sleepMs == 0 ? kZeroSleepWaitSeconds : static_cast<double>(report.sleepMs) / 1000.0;
    return report;
}

void HostApp::runRounds(int n) {
    double wait = 0;
    for (int i = 0; i < n; ++i) wait = runRound(wait).nextWaitSeconds;
}

int HostApp::run() {
    double wait = 0;
    while (!quitRequested()) wait = runRound(wait).nextWaitSeconds;
    shutdown();
    return 0;
}

void HostApp::requestQuit(const std::string& reason) {
    if (!quitRequested_.exchange(true)) {
        log::Log("[host] quit requested (%s)", reason.c_str());
    }
    runloop::RunLoop::main().wakeUp();
}

void HostApp::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    unloadPlugins();
    if (signalWatch_ >= 0) {
        runloop::RunLoop::main().unwatchFd(signalWatch_);
        signalWatch_ = -1;
    }
    signals_.reset();
    log::Log("[host] shut down");
}

void HostApp::watchQuitSignals() {
    if (signals_) return;
    signals_ = std::make_unique<SignalPipe>(std::vector<int>{SIGINT, SIGTERM});
    signalWatch_ = runloop::RunLoop::main().watchFd(signals_->readFd(), [this]() {
        for (int signo : signals_->drain()) requestQuit(SignalName(signo));
    });
}

void HostApp::endModal() {
    if (modalDepth_ > 0) --modalDepth_;
}

runloop::Mode HostApp::mode() const {
    return modalDepth_ > 0 ? runloop::Mode::ModalPanel : runloop::Mode::Default;
}

void HostApp::runModal(const std::function<bool()>& done) {
    struct Session {
        explicit Session(HostApp& app) : app_(app) { app_.beginModal(); }
        ~Session() { app_.endModal(); }
        HostApp& app_;
    } session(*this);
    double wait = 0;
    while (!done() && !quitRequested()) wait = runRound(wait).nextWaitSeconds;
}

}  // namespace qlo::hostsim
