// Work queues on std::thread.
//
// Each queue keeps its lists in a State that its worker threads share (shared_ptr): the public
// Queue object can then be destroyed even from inside one of its own tasks, while the worker goes
// on (see ~SerialQueue / ~ConcurrentQueue).
//
// Destruction: the destructor marks the queue as stopping, lets the workers run every task that
// is queued or running, and joins them. When the destructor runs on one of the queue's own
// workers (the last reference dropped inside a task), that worker cannot be joined: it is
// detached instead, finishes the remaining tasks on its own and exits.
#include "platform/dispatch.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <pthread.h>

#include "platform/log.h"
#include "platform/runloop.h"

namespace qlo::dispatch {
namespace {

// The queue whose task the calling thread runs (its State), or null.
thread_local const void* t_current = nullptr;

void nameThread(const std::string& label) {
    // Linux thread names hold 15 characters: keep the end of reverse-DNS labels.
    std::string name = label.size() > 15 ? label.substr(label.size() - 15) : label;
    pthread_setname_np(pthread_self(), name.c_str());
}

struct SerialState {
    explicit SerialState(std::string l) : label(std::move(l)) {}
    const std::string label;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> tasks;
    bool stopping = false;
};

void serialWorker(std::shared_ptr<SerialState> s) {
    nameThread(s->label);
    t_current = s.get();
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(s->mutex);
            s->cv.wait(lock, [&] { return s->stopping || !s->tasks.empty(); });
            if (s->tasks.empty()) break;  // stopping and drained
            task = std::move(s->tasks.front());
            s->tasks.pop_front();
        }
        if (task) task();
        // The task (and its captures) is destroyed here, outside the lock.
    }
    t_current = nullptr;
}

class SerialQueue final : public Queue {
public:
    explicit SerialQueue(const std::string& label) : state_(std::make_shared<SerialState>(label)) {
        thread_ = std::thread(serialWorker, state_);
    }

    ~SerialQueue() override {
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            state_->stopping = true;
        }
        state_->cv.notify_all();
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();  // destroyed by its own task: the worker drains the rest alone
        else
            thread_.join();
    }

    void async(Task task) override {
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            state_->tasks.push_back(std::move(task));
        }
        state_->cv.notify_one();
    }

    void sync(Task task) override {
        if (isCurrent()) {
            std::fprintf(stderr,
                         "qlo::dispatch: sync on serial queue '%s' from a task of that same queue "
                         "would wait forever (deadlock); aborting\n",
                         state_->label.c_str());
            std::fflush(stderr);
            std::abort();
        }
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        async([&] {
            if (task) task();
            std::lock_guard<std::mutex> lock(m);
            done = true;
            cv.notify_one();  // under the lock: the waiter cannot return and destroy cv before
        });
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return done; });
    }

    const std::string& label() const override { return state_->label; }
    bool isCurrent() const override { return t_current == state_.get(); }

private:
    std::shared_ptr<SerialState> state_;
    std::thread thread_;
};

struct ConcurrentState {
    ConcurrentState(std::string l, int max) : label(std::move(l)), maxThreads(max < 1 ? 1 : max) {}
    const std::string label;
    const size_t maxThreads;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> tasks;
    std::vector<std::thread> threads;
    size_t idle = 0;  // workers waiting for a task
    bool stopping = false;
};

void concurrentWorker(std::shared_ptr<ConcurrentState> s) {
    nameThread(s->label);
    t_current = s.get();
    std::unique_lock<std::mutex> lock(s->mutex);
    for (;;) {
        while (s->tasks.empty() && !s->stopping) {
            ++s->idle;
            s->cv.wait(lock);
            --s->idle;
        }
        if (s->tasks.empty()) break;  // stopping and drained
        Task task = std::move(s->tasks.front());
        s->tasks.pop_front();
        lock.unlock();
        if (task) task();
        task = nullptr;  // destroyed outside the lock
        lock.lock();
    }
    t_current = nullptr;
}

class ConcurrentQueue final : public Queue {
public:
    ConcurrentQueue(const std::string& label, int maxThreads)
        : state_(std::make_shared<ConcurrentState>(label, maxThreads)) {}

    ~ConcurrentQueue() override {
        std::vector<std::thread> threads;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            state_->stopping = true;  // no worker is started from now on
            threads.swap(state_->threads);
        }
        state_->cv.notify_all();
        for (auto& t : threads) {
            if (t.get_id() == std::this_thread::get_id())
                t.detach();  // destroyed by its own task: this worker finishes on its own
            else
                t.join();
        }
    }

    void async(Task task) override {
        bool wake;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            state_->tasks.push_back(std::move(task));
            // Start a worker when the waiting ones cannot take every queued task.
            if (state_->tasks.size() > state_->idle && state_->threads.size() < state_->maxThreads &&
                !state_->stopping)
                state_->threads.emplace_back(concurrentWorker, state_);
            wake = state_->idle > 0;
        }
        if (wake) state_->cv.notify_one();
    }

    // As GCD does for concurrent queues, sync runs the task on the calling thread (as a task of
    // this queue: isCurrent() is true meanwhile). It never waits for a free worker, so a task may
    // sync onto its own concurrent queue.
    void sync(Task task) override {
        const void* previous = t_current;
        t_current = state_.get();
        struct Restore {
            const void* previous;
            ~Restore() { t_current = previous; }
        } restore{previous};
        if (task) task();
    }

    const std::string& label() const override { return state_->label; }
    bool isCurrent() const override { return t_current == state_.get(); }

private:
    std::shared_ptr<ConcurrentState> state_;
};

}  // namespace

QueuePtr CreateSerial(const std::string& label) { return std::make_shared<SerialQueue>(label); }

QueuePtr CreateConcurrent(const std::string& label, int maxThreads) {
    return std::make_shared<ConcurrentQueue>(label, maxThreads);
}

Queue& GlobalUtility() {
    // Lives for the process (never destroyed; its idle workers wait until the process exits).
    // Its tasks may block (sockets, files), hence room for many workers; they start on demand.
    static Queue* queue = new ConcurrentQueue("com.quillo.global.utility", 64);
    return *queue;
}

void MainAsync(Task task) { runloop::RunLoop::main().post(std::move(task)); }

void MainAfter(double seconds, Task task) {
    runloop::RunLoop::main().postAfter(seconds, std::move(task));
}

}  // namespace qlo::dispatch
