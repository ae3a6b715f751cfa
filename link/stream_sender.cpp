#include "link/stream_sender.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "link/http_answers.h"
#include "platform/jpeg.h"

namespace {
// The senders' scheduling priority (a nice value) relative to the process.
constexpr int kSenderNice = 5;
}  // namespace

void SenderThreads::started() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++running_;
}

void SenderThreads::ended() {
    std::lock_guard<std::mutex> lock(mutex_);
    --running_;
    changed_.notify_all();
}

bool SenderThreads::waitForAll(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return running_ == 0; });
}

StreamSender::StreamSender(std::shared_ptr<StreamSocket> socket, FailureHandler onFailure)
    : socket_(std::move(socket)), onFailure_(std::move(onFailure)) {}

std::shared_ptr<StreamSender> StreamSender::Start(std::shared_ptr<StreamSocket> socket,
                                                  std::shared_ptr<SenderThreads> threads, FailureHandler onFailure) {
    std::shared_ptr<StreamSender> sender(new StreamSender(std::move(socket), std::move(onFailure)));
    threads->started();
    // The thread holds the sender (and the count) until it ends; nobody waits on it but stop.
    std::thread([sender, threads] {
        // Below the host's main thread: on a busy machine the user's interface gets the processor
        // first, and encoding fills the time between its work passes (the newest frame is all a
        // phone needs, so a sender that falls behind only skips frames). As a batch thread, a
        // sender woken by a new frame waits for its turn instead of preempting the main thread
        // in the middle of its pass.
        const sched_param batch{};
        ::sched_setscheduler(0, SCHED_BATCH, &batch);
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kSenderNice);
        sender->run();
        threads->ended();
    }).detach();
    return sender;
}

void StreamSender::offer(std::shared_ptr<OutgoingFrame> frame) {
    if (!frame) return;
    std::deque<std::shared_ptr<OutgoingFrame>> replaced;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        if (!waiting_.empty() && waiting_.back()->batch() < frame->batch()) replaced.swap(waiting_);
        waiting_.push_back(std::move(frame));
    }
    wake_.notify_one();
    // Frames replaced before they were taken go here, outside the lock.
}

void StreamSender::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        closed_ = true;
        onFailure_ = nullptr;
    }
    wake_.notify_one();
    socket_->shutdownBoth();
}

bool StreamSender::write(const void* data, size_t length, std::chrono::steady_clock::time_point& lastProgress) {
    const char* p = static_cast<const char*>(data);
    size_t left = length;
    while (left > 0) {
        // Each call blocks at most the socket's send timeout, so a stall is noticed in time.
        const ssize_t n = ::send(socket_->fd(), p, left, MSG_NOSIGNAL);
        const auto now = std::chrono::steady_clock::now();
        if (n > 0) {
            p += n;
            left -= static_cast<size_t>(n);
            lastProgress = now;
            continue;
        }
        const bool wouldBlock = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        if (!wouldBlock || now - lastProgress >= kStallLimit) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return false;
    }
    return true;
}

void StreamSender::run() {
    qlo::jpeg::Encoder encoder;  // this phone's: it keeps its compressor and buffer
    for (;;) {
        std::shared_ptr<OutgoingFrame> frame;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return closed_ || !waiting_.empty(); });
            if (closed_) return;
            frame = std::move(waiting_.front());
            waiting_.pop_front();
        }
        const std::vector<uint8_t>& jpeg = frame->jpeg(encoder);
        if (jpeg.empty()) continue;  // an encoding that failed sends nothing
        const std::string header = FormatPartHeader(jpeg.size());
        auto lastProgress = std::chrono::steady_clock::now();
        if (write(header.data(), header.size(), lastProgress) && write(jpeg.data(), jpeg.size(), lastProgress) &&
            write(kPartTrailer.data(), kPartTrailer.size(), lastProgress)) {
            continue;
        }
        FailureHandler report;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return;
            closed_ = true;
            report = std::move(onFailure_);
            waiting_.clear();
        }
        if (report) report();
        return;
    }
}
