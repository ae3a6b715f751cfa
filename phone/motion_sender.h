// Sends the phone's motion to the plug-in's UDP port: optionally one reset datagram first, then
// samples of its motion path at a fixed rate on its own thread until stopped. hold() replaces the
// path by a fixed pose from then on and sends that pose at once; the sends of hold() and of the
// thread are serialised, so a held pose is never followed by an older path sample. A failed send
// (for example "Connection refused" while nobody listens on the port) is counted, not fatal:
// UDP gives no promise of delivery anyway.
#pragma once

#include "phone/motion_path.h"
#include "phone/socket_io.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qlophone {

inline constexpr double kMaxMotionRateHz = 1000.0;

struct MotionPlan {
    ConnectionTarget target;  // plug-in address with the motion port; source address optional
    double rateHz = 60.0;     // 0: no samples
    bool resetFirst = false;
    MotionPath path = MotionPath::Orbit();
};

struct MotionCounts {
    uint64_t samples = 0;
    uint64_t resets = 0;
    uint64_t failedSends = 0;
    std::string lastError;
};

class MotionSender {
public:
    MotionSender() = default;
    ~MotionSender();
    MotionSender(const MotionSender&) = delete;
    MotionSender& operator=(const MotionSender&) = delete;

    // Opens the socket, sends the reset (when asked) before returning, then starts the sample
    // thread when the rate is above 0. False with `error` when the socket cannot be opened.
    bool start(const MotionPlan& plan, std::string& error);
    // From now on sends `pose` instead of the path; sends it once at once and returns the
    // steady-clock time just before that send.
    Clock::time_point hold(const MotionSample& pose);
    // Stops the sample thread and waits for it.
    void stop();
    MotionCounts counts() const;
    // "udp 127.0.0.1:8255 from 127.0.0.2:40000"
    std::string describe() const;

private:
    void sendOne(const uint8_t* bytes, size_t size, bool reset);
    void run(double rateHz, MotionPath path);

    Socket socket_;
    std::string description_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    MotionCounts counts_;
    std::mutex sendMutex_;  // one send at a time; guards held_
    std::optional<MotionSample> held_;
};

}  // namespace qlophone
