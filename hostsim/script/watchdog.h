// Cutting off scripts that run too long. A run is guarded between Enter and Leave: once its
// deadline has passed, a per-thread timer signal (repeating every 2 ms) jumps back to the
// run's jump buffer (siglongjmp) - but only when the signal finds the thread executing the
// Duktape library's own code and not inside a host call the script made. There the stack from
// the jump buffer down holds only the engine's C frames and the engine holds no lock, so the
// jump is safe; the heap the engine was working on is then abandoned whole (TrackedHeap).
// Duktape's fatal-error handler jumps back the same way.
#pragma once

#include <csetjmp>
#include <csignal>
#include <string>

namespace qlo::hostsim::script {

enum AbortReason : int { kNotAborted = 0, kAbortTimedOut = 1, kAbortFatal = 2 };

// One evaluation of a script on this thread. Runs nest; the innermost is the current one.
struct RunState {
    sigjmp_buf jump;
    volatile sig_atomic_t guarded = 0;      // between Enter and Leave
    volatile sig_atomic_t inHostCall = 0;   // host code runs for the script: never cut off
    volatile sig_atomic_t abortReason = kNotAborted;
    double deadline = 0;                    // monotonic clock, seconds
    RunState* outer = nullptr;
    char fatalMessage[256] = {};
    std::string scratch;                    // text a host call hands back to the script
};

namespace watchdog {

// Whether the time limit can be enforced (the engine's code was found, the signal handler is
// installed). Prepared once per process on first use.
bool TimeLimitAvailable();

// Makes the run the current one, guarded, with a deadline timeoutSeconds from now. The caller
// has filled run->jump with sigsetjmp.
void Enter(RunState* run, double timeoutSeconds);
// Ends the guard and makes the outer run current again (re-arming the timer for it).
void Leave(RunState* run);
// The innermost run on this thread; null when no script runs.
RunState* Current();

// Marks a host call of the current run (no cut-off inside), counting nested calls.
void BeginHostCall();
void EndHostCall();

// Duktape's fatal-error handler: jumps back to the current run, or aborts the process when
// that is not safe (inside a host call or outside any run).
void OnFatal(void* udata, const char* message);

}  // namespace watchdog

}  // namespace qlo::hostsim::script
