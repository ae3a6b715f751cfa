// The main run loop of the process: timers (repeating and one-shot, invalidatable, each bound to
// one or more modes), blocks posted to the main queue, and file descriptors watched for
// readability. The host's main thread runs it; plug-in code adds timers and blocks to it.
//
// Time comes from the loop's clock, which is the steady clock unless a test switches to a manual
// clock and drives it with advance(): then a 1.5 s timer fires when the test says 1.5 s passed.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace qlo::runloop {

enum class Mode {
    Default,     // the ordinary mode
    ModalPanel,  // the mode the loop runs in while a modal dialog is up
};

class RunLoop;

// What secondsUntilNextTimer returns when no timer of the mode is scheduled.
inline constexpr double kNoTimer = 1.0e9;

// A scheduled timer. The loop keeps it until it is invalidated (or, for a one-shot timer, has
// fired). Holding the shared pointer does not keep it scheduled.
// Invalidating drops the timer's callback (and what it captures) - at once, or, from inside the
// callback, when the callback returns - so a callback may hold its own TimerPtr without a leak.
// Invalidating from another thread while the callback runs cannot stop that running call.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
    virtual double interval() const = 0;
};

using TimerPtr = std::shared_ptr<Timer>;

class RunLoop {
public:
    // The process's main run loop (one per process, shared by the host and the plug-in).
    static RunLoop& main();

    // Makes the calling thread the main thread. The host calls this once at start. Until some
    // thread is bound, isMainThread() is false everywhere; the first runOnce or advance binds the
    // calling thread if none is bound yet (so tests that just run the loop have a main thread).
    virtual void bindToCurrentThread() = 0;
    virtual bool isMainThread() const = 0;

    // Schedules a timer that first fires `interval` seconds from now; a repeating timer then
    // fires every `interval` seconds (a late firing does not queue up missed ones). It fires only
    // while the loop runs in one of `modes` (an empty list means Default). May be called from any
    // thread. An interval <= 0 fires a one-shot timer at once and makes a repeating one fire
    // every 0.1 ms, as NSTimer does.
    virtual TimerPtr addTimer(double interval, bool repeats, std::function<void(Timer&)> fire,
                              std::initializer_list<Mode> modes = {Mode::Default}) = 0;

    // Main-queue blocks: run once, in order, in every mode. May be called from any thread.
    // postAfter blocks run in the order of their due times (equal times: posting order); once due
    // they join the main queue behind the blocks already posted.
    virtual void post(std::function<void()> block) = 0;
    virtual void postAfter(double seconds, std::function<void()> block) = 0;

    // Calls `onReadable` on the main thread, in every mode, whenever fd is readable, until
    // unwatched. Returns an id for unwatchFd.
    virtual int watchFd(int fd, std::function<void()> onReadable) = 0;
    virtual void unwatchFd(int id) = 0;

    // Runs what is due in `mode` (timers, main-queue blocks, readable descriptors), waiting up to
    // maxWaitSeconds for something to become due when nothing is. Returns how many callbacks ran.
    // With the manual clock it never waits for time to pass, only for posted blocks and fds.
    // Blocks posted by the callbacks of this pass run in the next pass. Callbacks may run the loop
    // again (a nested loop, as for a modal panel); a timer or fd callback that is running does not
    // fire again in the nested loop.
    virtual int runOnce(Mode mode, double maxWaitSeconds) = 0;

    // Seconds until the next timer of `mode` is due (0 when one is due now; kNoTimer when none is
    // scheduled).
    virtual double secondsUntilNextTimer(Mode mode) const = 0;

    // Wakes a runOnce that is waiting: it returns (0 when nothing ran). May be called from any
    // thread. (Posting a block or adding a timer wakes the loop by itself; runOnce then runs the
    // block, or goes on waiting for the new timer, without returning early.)
    virtual void wakeUp() = 0;

    // The loop's clock, in seconds from an arbitrary start.
    virtual double now() const = 0;

    // Test clock: once on, now() moves only through advance(), which steps time forward and runs
    // every timer of `mode` that falls due on the way, in time order.
    // advance also runs the postAfter blocks that fall due on the way (in the same time order,
    // each at its due time); it does not run blocks that were already due (plain post) nor watch
    // descriptors: runOnce does that. Switching the manual clock on freezes now() where it
    // stands; switching it off lets time run on from the manual clock's value (now() never jumps
    // back). Without the manual clock, advance runs the loop for `seconds` of real time.
    virtual void useManualClock(bool manual) = 0;
    virtual void advance(double seconds, Mode mode = Mode::Default) = 0;

    // Drops every timer (invalidating it), block and watch (for tests that reuse the process's
    // loop). Keeps the clock setting and the bound main thread.
    virtual void reset() = 0;

protected:
    RunLoop() = default;
    virtual ~RunLoop() = default;
};

}  // namespace qlo::runloop
