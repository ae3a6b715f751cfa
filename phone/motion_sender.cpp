#include "phone/motion_sender.h"

#include "phone/motion_datagram.h"
#include "phone/motion_path.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace qlophone {

MotionSender::~MotionSender() { stop(); }

bool MotionSender::start(const MotionPlan& plan, std::string& error) {
    if (!(plan.rateHz >= 0.0 && plan.rateHz <= kMaxMotionRateHz)) {
        error = "motion rate must be between 0 and " + std::to_string(static_cast<int>(kMaxMotionRateHz)) + " Hz";
        return false;
    }
    socket_ = OpenUdp(plan.target, error);
    if (!socket_.valid()) return false;
    description_ = "udp " + plan.target.address.text();
    if (auto local = LocalAddress(socket_.fd())) description_ += " from " + local->text();
    if (plan.resetFirst) {
        const MotionDatagram reset = EncodeMotionDatagram(DatagramType::Reset, MotionSample{});
        sendOne(reset.data(), reset.size(), true);
    }
    if (plan.rateHz > 0.0) {
        stopping_ = false;
        thread_ = std::thread([this, rate = plan.rateHz, path = plan.path] { run(rate, path); });
    }
    return true;
}

Clock::time_point MotionSender::hold(const MotionSample& pose) {
    std::lock_guard<std::mutex> sending(sendMutex_);
    held_ = pose;
    const MotionDatagram datagram = EncodeMotionDatagram(DatagramType::Sample, pose);
    const auto sentAt = Clock::now();
    if (socket_.valid()) sendOne(datagram.data(), datagram.size(), false);
    return sentAt;
}

void MotionSender::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

MotionCounts MotionSender::counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

std::string MotionSender::describe() const { return description_; }

void MotionSender::sendOne(const uint8_t* bytes, size_t size, bool reset) {
    ssize_t n = ::send(socket_.fd(), bytes, size, MSG_NOSIGNAL);
    const int sendErrno = errno;
    std::lock_guard<std::mutex> lock(mutex_);
    if (n == static_cast<ssize_t>(size)) {
        ++(reset ? counts_.resets : counts_.samples);
    } else {
        ++counts_.failedSends;
        counts_.lastError = n < 0 ? std::strerror(sendErrno) : "short send";
    }
}

void MotionSender::run(double rateHz, MotionPath path) {
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rateHz));
    const auto begin = Clock::now();
    auto next = begin;
    // Runs until stop(); each pass sends one sample and then sleeps until the next slot.
    for (;;) {
        {
            std::lock_guard<std::mutex> sending(sendMutex_);
            const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
            const MotionDatagram sample = EncodeMotionDatagram(DatagramType::Sample, held_ ? *held_ : path.at(elapsed));
            sendOne(sample.data(), sample.size(), false);
        }
        next += period;
        // After a long stall (suspended process), skip the missed slots instead of bursting.
        if (Clock::now() > next + 10 * period) next = Clock::now() + period;
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_until(lock, next, [this] { return stopping_; })) return;
    }
}

}  // namespace qlophone
