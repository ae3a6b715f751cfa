// quillo-phone: parses the command line, arranges for Ctrl-C and SIGTERM to end the run
// cleanly, runs the phone (or phones, with --count) and turns the outcome into the exit status.
#include "cli/command_line.h"
#include "phone/options.h"
#include "phone/phone_fleet.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void OnStopSignal(int) { g_stopRequested.store(true); }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    qlophone::ParsedOptions parsed = qlophone::ParseOptions(args);
    if (parsed.failure) {
        std::cerr << qlo::cli::ErrorText("quillo-phone", parsed.failure.message);
        return qlophone::ExitCodeFor(parsed.failure.kind);
    }
    if (parsed.options.help) {
        std::cout << qlophone::HelpText();
        return 0;
    }
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    return qlophone::RunFleet(parsed.options, std::cout, std::cerr, &g_stopRequested).exitCode();
}
