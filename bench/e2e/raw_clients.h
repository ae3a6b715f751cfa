// Misbehaving clients of the plug-in's HTTP port, written with raw sockets for the benchmarks:
// streams that stop reading, a stream read through a throttled link, and connections that
// trickle a control request or send nothing. Everything connects to 127.0.0.1 from a loopback
// source address and is bounded in time; destructors close and join.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace qlo::bench {

// A TCP connection to 127.0.0.1:port from `sourceIp`, with a receive buffer of `receiveBuffer`
// bytes when above 0 (set before connecting, so the window stays small). -1 on failure.
int ConnectFrom(const std::string& sourceIp, int port, int receiveBuffer = 0);

// Streams that ask for frames through `camera` and then never read again.
class StalledStreams {
public:
    StalledStreams(int port, int count, const std::string& camera);
    ~StalledStreams();
    StalledStreams(const StalledStreams&) = delete;
    StalledStreams& operator=(const StalledStreams&) = delete;
    int opened() const { return static_cast<int>(fds_.size()); }

private:
    std::vector<int> fds_;
};

// One stream read at about `bytesPerSecond` (a token bucket, 20 ms steps), counting the frames
// that arrive whole; figures over the window between start() and stop().
class ThrottledStream {
public:
    ThrottledStream(int port, const std::string& sourceIp, const std::string& name, const std::string& camera,
                    double bytesPerSecond);
    ~ThrottledStream();
    ThrottledStream(const ThrottledStream&) = delete;
    ThrottledStream& operator=(const ThrottledStream&) = delete;

    void startWindow();
    // {"fps", "bytes_per_second", "mean_frame_bytes", "capacity_fps", "connected"}.
    nlohmann::json stopWindow();

private:
    void run();

    int fd_ = -1;
    double rate_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> counting_{false};
    std::atomic<bool> closed_{false};
    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> bytes_{0};
    std::chrono::steady_clock::time_point windowStart_;
    std::thread thread_;
};

// `count` connections that each, over and over until stopped: trickle a POST /camera request
// (head and announced body) one byte every 300 ms, or (silent) connect and send nothing; a
// connection the server closes is opened again.
class AbusiveConnections {
public:
    enum class Kind { Trickle, Silent };
    AbusiveConnections(int port, int count, Kind kind);
    ~AbusiveConnections();
    AbusiveConnections(const AbusiveConnections&) = delete;
    AbusiveConnections& operator=(const AbusiveConnections&) = delete;

private:
    void run();

    int port_;
    int count_;
    Kind kind_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// GET /info `samples` times, one after another with `gapMs` between; each answer is waited for
// at most `limitMs` (a missing answer counts as that limit and as a timeout; after 5 of them the
// series ends early).
// {"median_ms", "p99_ms", "max_ms", "timeouts", "count"}.
nlohmann::json ProbeInfoLatency(int port, int samples, int gapMs, int limitMs);

}  // namespace qlo::bench
