// Work queues: serial queues (one task at a time, in order, on a thread of their own), concurrent
// queues (tasks run in parallel on worker threads), a global utility-priority queue, and the main
// queue, which is the main run loop's block list.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qlo::dispatch {

using Task = std::function<void()>;

class Queue {
public:
    virtual ~Queue() = default;

    // Runs the task later on the queue. Returns at once.
    virtual void async(Task task) = 0;
    // Runs the task on the queue and returns when it has run. Calling sync on a serial queue from
    // a task of that same queue would wait forever: it aborts the process with a message instead.
    // A serial queue runs the task on its thread, after the tasks queued before it. A concurrent
    // queue runs it at once on the calling thread (as GCD does), as a task of the queue
    // (isCurrent() is true meanwhile), so it never waits for a free worker.
    virtual void sync(Task task) = 0;
    virtual const std::string& label() const = 0;
    // Whether the calling thread is running a task of this queue.
    virtual bool isCurrent() const = 0;
};

// A queue lives while some shared pointer holds it. Destroying a queue waits for its queued and
// running tasks to finish: whoever owns a queue whose tasks may block (accept, recvfrom) must
// unblock them first. Then its threads are joined. If the last pointer is dropped inside one of
// the queue's own tasks, the destructor cannot wait for that thread: it detaches it, and that
// thread finishes the queued tasks (with the other workers of a concurrent queue) and exits.
using QueuePtr = std::shared_ptr<Queue>;

// A serial queue has one thread of its own, started at creation; tasks run one at a time in the
// order they were added.
QueuePtr CreateSerial(const std::string& label);
// A concurrent queue starts worker threads on demand, up to maxThreads (at least 1); further
// tasks wait for a free worker. Idle workers stay until the queue is destroyed. Tasks start in
// the order they were added.
QueuePtr CreateConcurrent(const std::string& label, int maxThreads = 16);

// The process-wide queue of utility quality of service (concurrent, lives for the process).
Queue& GlobalUtility();

// Main queue: the block runs on the main thread from the main run loop, in any mode.
void MainAsync(Task task);
void MainAfter(double seconds, Task task);

}  // namespace qlo::dispatch
