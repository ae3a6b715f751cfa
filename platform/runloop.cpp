// The main run loop: timers, main-queue blocks and watched descriptors, serviced by runOnce.
//
// Locking: one mutex guards every list. It is never held while a user callback runs (timer
// callbacks, blocks, fd callbacks, and the destructors of callbacks that are dropped), so
// callbacks may add or invalidate timers, post blocks, watch descriptors, and even run the loop
// again (a modal panel runs a nested loop from a callback). Work is taken from the lists one item
// at a time, under the lock, right before it runs, so a nested loop and the outer loop never run
// the same item and main-queue blocks keep their order.
//
// A timer's callback is moved out of the timer while it runs: a nested loop skips a timer that is
// firing, and invalidating a timer drops its callback (breaking cycles of a callback that holds
// its own TimerPtr) - at once when it is idle, after the callback returns when it is firing.
#include "platform/runloop.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include "platform/log.h"

namespace qlo::runloop {
namespace {

unsigned modeBit(Mode m) { return 1u << static_cast<unsigned>(m); }

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

class LoopImpl;

class TimerImpl final : public Timer {
public:
    TimerImpl(LoopImpl* loop, double interval, bool repeats, unsigned modes,
              std::function<void(Timer&)> fire)
        : fire(std::move(fire)), loop_(loop), interval_(interval), repeats_(repeats), modes_(modes) {}

    void invalidate() override;
    bool isValid() const override { return valid.load(); }
    double interval() const override { return interval_; }

    bool repeats() const { return repeats_; }
    unsigned modes() const { return modes_; }

    // Guarded by the loop's mutex.
    double due = 0;
    uint64_t seq = 0;        // ties between equal due times go to the older timer
    bool firing = false;     // its callback is running (moved out into the firing frame)
    std::function<void(Timer&)> fire;

    std::atomic<bool> valid{true};

private:
    LoopImpl* loop_;
    const double interval_;
    const bool repeats_;
    const unsigned modes_;
};

struct Watch {
    int id = 0;
    int fd = -1;
    std::function<void()> onReadable;
    bool active = true;   // guarded by the loop's mutex
    bool running = false; // guarded by the loop's mutex
};

struct Delayed {
    uint64_t seq;
    std::function<void()> block;
};

class LoopImpl final : public RunLoop {
public:
    LoopImpl() {
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0) {
            std::fprintf(stderr, "qlo::runloop: eventfd failed: %s\n", std::strerror(errno));
            std::abort();
        }
    }

    void bindToCurrentThread() override { mainThread_.store(std::this_thread::get_id()); }

    bool isMainThread() const override {
        return mainThread_.load() == std::this_thread::get_id();
    }

    TimerPtr addTimer(double interval, bool repeats, std::function<void(Timer&)> fire,
                      std::initializer_list<Mode> modes) override {
        if (!(interval > 0)) interval = repeats ? kMinRepeatInterval : 0.0;  // also catches NaN
        unsigned bits = 0;
        for (Mode m : modes) bits |= modeBit(m);
        if (bits == 0) bits = modeBit(Mode::Default);
        auto timer = std::make_shared<TimerImpl>(this, interval, repeats, bits, std::move(fire));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            timer->due = now() + interval;
            timer->seq = nextSeq_++;
            timers_.push_back(timer);
        }
        signal();  // a waiting runOnce recomputes its timeout
        return timer;
    }

    void post(std::function<void()> block) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_.push_back(std::move(block));
        }
        signal();
    }

    void postAfter(double seconds, std::function<void()> block) override {
        if (!(seconds > 0)) seconds = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            delayed_.emplace(now() + seconds, Delayed{nextSeq_++, std::move(block)});
        }
        signal();
    }

    int watchFd(int fd, std::function<void()> onReadable) override {
        auto w = std::make_shared<Watch>();
        w->fd = fd;
        w->onReadable = std::move(onReadable);
        int id;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            id = w->id = nextWatchId_++;
            watches_.emplace(id, std::move(w));
        }
        signal();
        return id;
    }

    void unwatchFd(int id) override {
        std::shared_ptr<Watch> dropped;  // its callback is destroyed outside the lock
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = watches_.find(id);
        if (it == watches_.end()) return;
        it->second->active = false;
        dropped = std::move(it->second);
        watches_.erase(it);
    }

    int runOnce(Mode mode, double maxWaitSeconds) override {
        bindIfUnbound();
        wakeRequested_.store(false);  // a wakeUp() from before this call is for an earlier wait
        const double maxWait = std::isnan(maxWaitSeconds) ? 0 : std::max(0.0, maxWaitSeconds);
        const double deadline = steadySeconds() + maxWait;  // real time, whatever the clock
        int count = runDue(mode);
        if (count > 0) return count + pollAndDispatch(0);
        // Wait until something runs, the wait is over, or wakeUp() is called. Internal wake-ups
        // (a block posted, a timer added from another thread) only make the wait start over.
        for (;;) {
            double wait = std::max(0.0, deadline - steadySeconds());
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!ready_.empty()) wait = 0;
                if (!manual_.load()) {
                    const double t = now();
                    if (!delayed_.empty())
                        wait = std::min(wait, std::max(0.0, delayed_.begin()->first - t));
                    wait = std::min(wait, std::max(0.0, nextTimerDueLocked(mode) - t));
                }
            }
            count += pollAndDispatch(wait);
            count += runDue(mode);
            if (count > 0) return count;
            if (wakeRequested_.exchange(false)) return 0;
            if (steadySeconds() >= deadline) return 0;
        }
    }

    double secondsUntilNextTimer(Mode mode) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        double next = nextTimerDueLocked(mode);
        if (next >= kNoTimer) return kNoTimer;
        return std::max(0.0, next - now());
    }

    void wakeUp() override {
        wakeRequested_.store(true);
        signal();
    }

    double now() const override {
        if (manual_.load()) return manualNow_.load();
        return steadySeconds() + offset_.load();
    }

    void useManualClock(bool manual) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (manual == manual_.load()) return;
        if (manual) {
            manualNow_.store(steadySeconds() + offset_.load());
            manual_.store(true);
        } else {
            // Time continues from where the manual clock stood.
            offset_.store(manualNow_.load() - steadySeconds());
            manual_.store(false);
        }
    }

    void advance(double seconds, Mode mode) override {
        bindIfUnbound();
        if (!(seconds > 0)) seconds = 0;
        if (!manual_.load()) {
            // The real clock cannot be stepped: let the time pass while running the loop.
            double deadline = now() + seconds;
            for (double left = seconds; left > 0; left = deadline - now()) runOnce(mode, left);
            return;
        }
        const double target = manualNow_.load() + seconds;
        for (;;) {
            std::shared_ptr<TimerImpl> timer;
            std::function<void()> block;
            double at = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                const unsigned bit = modeBit(mode);
                for (auto& t : timers_) {
                    if (t->firing || !(t->modes() & bit) || t->due > target + kEpsilon) continue;
                    if (!timer || t->due < timer->due || (t->due == timer->due && t->seq < timer->seq))
                        timer = t;
                }
                auto first = delayed_.begin();
                bool blockFirst = first != delayed_.end() && first->first <= target + kEpsilon &&
                                  (!timer || first->first < timer->due ||
                                   (first->first == timer->due && first->second.seq < timer->seq));
                if (blockFirst) {
                    timer.reset();
                    at = first->first;
                    block = std::move(first->second.block);
                    delayed_.erase(first);
                } else if (timer) {
                    at = timer->due;
                } else {
                    if (manualNow_.load() < target) manualNow_.store(target);
                    break;
                }
                if (manualNow_.load() < at) manualNow_.store(at);
            }
            if (block) {
                block();
            } else {
                fireTimer(timer, manualNow_.load());
            }
        }
    }

    void reset() override {
        std::vector<std::shared_ptr<TimerImpl>> timers;
        std::vector<std::function<void(Timer&)>> fires;
        std::deque<std::function<void()>> ready;
        std::multimap<double, Delayed> delayed;
        std::map<int, std::shared_ptr<Watch>> watches;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& t : timers_) {
                t->valid.store(false);
                if (!t->firing) fires.push_back(std::move(t->fire));
            }
            for (auto& w : watches_) w.second->active = false;
            timers.swap(timers_);
            ready.swap(ready_);
            delayed.swap(delayed_);
            watches.swap(watches_);
        }
        // Everything is destroyed here, outside the lock (destructors may use the loop).
    }

    // Invalidation from the timer (any thread, or from inside its own callback).
    void invalidateTimer(TimerImpl* timer) {
        std::shared_ptr<TimerImpl> keep;
        std::function<void(Timer&)> drop;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!timer->valid.exchange(false)) return;
            auto it = std::find_if(timers_.begin(), timers_.end(),
                                   [&](const auto& t) { return t.get() == timer; });
            if (it != timers_.end()) {
                keep = std::move(*it);
                timers_.erase(it);
            }
            if (!timer->firing) drop = std::move(timer->fire);
        }
        // `drop` is destroyed first, then `keep` - both outside the lock.
    }

private:
    static constexpr double kMinRepeatInterval = 0.0001;  // as NSTimer: 0.1 ms for <= 0
    // Due times are sums of doubles (now + interval + interval ...): a timer counts as due when it
    // is due within a nanosecond, so 0.5 + 0.5 is due at 1.0 whatever the rounding.
    static constexpr double kEpsilon = 1e-9;

    // Makes a waiting (or the next) poll of runOnce return.
    void signal() {
        uint64_t one = 1;
        ssize_t r;
        do {
            r = ::write(wakeFd_, &one, sizeof one);
        } while (r < 0 && errno == EINTR);
        // EAGAIN means the counter is saturated: the loop is woken anyway.
    }

    void bindIfUnbound() {
        std::thread::id none;
        mainThread_.compare_exchange_strong(none, std::this_thread::get_id());
    }

    double nextTimerDueLocked(Mode mode) const {
        double next = kNoTimer;
        const unsigned bit = modeBit(mode);
        for (const auto& t : timers_)
            if ((t->modes() & bit) && t->due < next) next = t->due;
        return next;
    }

    // Fires one timer if it is still valid, idle and due at `at`. Returns whether it fired.
    bool fireTimer(const std::shared_ptr<TimerImpl>& timer, double at) {
        std::function<void(Timer&)> fn;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!timer->valid.load() || timer->firing || timer->due > at + kEpsilon) return false;
            fn = std::move(timer->fire);
            if (timer->repeats()) {
                // The next firing is one interval after this one's due time; a late firing skips
                // the firings it missed instead of queueing them.
                const double iv = timer->interval();
                double next = timer->due + iv;
                const double t = now();
                if (next <= t + kEpsilon) {
                    next = timer->due + iv * std::floor((t - timer->due) / iv);
                    while (next <= t + kEpsilon) next += iv;
                }
                timer->due = next;
                timer->firing = true;
            } else {
                timer->valid.store(false);
                auto it = std::find(timers_.begin(), timers_.end(), timer);
                if (it != timers_.end()) timers_.erase(it);
            }
        }
        if (fn) fn(*timer);
        if (timer->repeats()) {
            std::lock_guard<std::mutex> lock(mutex_);
            timer->firing = false;
            if (timer->valid.load()) timer->fire = std::move(fn);
        }
        // A dropped callback (one-shot, or invalidated while firing) is destroyed here, unlocked.
        return true;
    }

    // Runs the main-queue blocks that are ready and the timers of `mode` that are due.
    int runDue(Mode mode) {
        int count = 0;
        size_t blocks;
        std::vector<std::shared_ptr<TimerImpl>> due;
        double t;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            t = now();
            // Delayed blocks that fell due join the main queue in due order.
            while (!delayed_.empty() && delayed_.begin()->first <= t + kEpsilon) {
                ready_.push_back(std::move(delayed_.begin()->second.block));
                delayed_.erase(delayed_.begin());
            }
            blocks = ready_.size();  // blocks posted while these run wait for the next pass
            const unsigned bit = modeBit(mode);
            for (auto& tm : timers_)
                if (!tm->firing && (tm->modes() & bit) && tm->due <= t + kEpsilon) due.push_back(tm);
        }
        for (size_t i = 0; i < blocks; ++i) {
            std::function<void()> block;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (ready_.empty()) break;  // a nested loop ran them
                block = std::move(ready_.front());
                ready_.pop_front();
            }
            if (block) block();
            ++count;
        }
        // Timers in due order (stable for equal due times: older first). The order keys are read
        // under the lock: another thread may reschedule a timer meanwhile.
        if (!due.empty()) {
            std::vector<std::pair<std::pair<double, uint64_t>, std::shared_ptr<TimerImpl>>> order;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (auto& tm : due) order.push_back({{tm->due, tm->seq}, tm});
            }
            std::sort(order.begin(), order.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& entry : order)
                if (fireTimer(entry.second, t)) ++count;
        }
        return count;
    }

    // Waits up to `wait` seconds for a readable watched fd or a wake-up, then runs the callbacks of
    // the readable fds. Returns how many callbacks ran.
    int pollAndDispatch(double wait) {
        std::vector<std::shared_ptr<Watch>> watches;
        std::vector<pollfd> fds;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& [id, w] : watches_) {
                if (w->running) continue;  // a nested loop inside its own callback
                watches.push_back(w);
                fds.push_back(pollfd{w->fd, POLLIN, 0});
            }
        }
        fds.push_back(pollfd{wakeFd_, POLLIN, 0});

        timespec ts{};
        timespec* timeout = nullptr;  // forever
        if (wait < 1.0e7) {
            ts.tv_sec = static_cast<time_t>(wait);
            ts.tv_nsec = static_cast<long>((wait - static_cast<double>(ts.tv_sec)) * 1e9);
            if (ts.tv_nsec >= 1000000000L) ts.tv_nsec = 999999999L;
            if (ts.tv_nsec < 0) ts.tv_nsec = 0;
            timeout = &ts;
        }
        int r = ::ppoll(fds.data(), fds.size(), timeout, nullptr);
        if (r <= 0) return 0;  // timeout, or EINTR (the caller's loop comes back)

        if (fds.back().revents & POLLIN) {
            uint64_t drain;
            while (::read(wakeFd_, &drain, sizeof drain) > 0) {
            }
        }
        int count = 0;
        for (size_t i = 0; i + 1 < fds.size(); ++i) {
            const short ev = fds[i].revents;
            if (!ev) continue;
            auto& w = watches[i];
            if (ev & POLLNVAL) {
                // Closed while watched: it would wake every poll. Drop the watch and say so.
                bool dropped = false;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    auto it = watches_.find(w->id);
                    if (it != watches_.end() && it->second == w) {
                        w->active = false;
                        watches_.erase(it);
                        dropped = true;
                    }
                }
                if (dropped)
                    qlo::log::Log("qlo::runloop: watched fd %d was closed without unwatchFd; "
                                  "watch %d dropped", w->fd, w->id);
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!w->active || w->running) continue;
                w->running = true;
            }
            w->onReadable();
            ++count;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                w->running = false;
            }
        }
        return count;
    }

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<TimerImpl>> timers_;
    std::deque<std::function<void()>> ready_;
    std::multimap<double, Delayed> delayed_;  // equal due times keep their posting order
    std::map<int, std::shared_ptr<Watch>> watches_;
    uint64_t nextSeq_ = 1;
    int nextWatchId_ = 1;

    int wakeFd_ = -1;
    std::atomic<bool> wakeRequested_{false};  // wakeUp() was called: runOnce returns
    std::atomic<std::thread::id> mainThread_{};
    std::atomic<bool> manual_{false};
    std::atomic<double> manualNow_{0};
    std::atomic<double> offset_{0};
};

void TimerImpl::invalidate() { loop_->invalidateTimer(this); }

}  // namespace

RunLoop& RunLoop::main() {
    // Never destroyed: queue threads may post to it while the process exits.
    static LoopImpl* loop = new LoopImpl;
    return *loop;
}

}  // namespace qlo::runloop
