#include "bench/e2e/raw_clients.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "bench/e2e/stats.h"

namespace qlo::bench {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A non-blocking connection attempt to 127.0.0.1:port from sourceIp (empty: any); -1 on failure.
int StartConnect(const std::string& sourceIp, int port, int receiveBuffer) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (!sourceIp.empty()) {
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, sourceIp.c_str(), &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in remote = {};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits until fd is writable (connected) or the deadline passes.
bool WaitWritable(int fd, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        pollfd p = {fd, POLLOUT, 0};
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        const int n = ::poll(&p, 1, std::max(1, left));
        if (n > 0) {
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
            return error == 0;
        }
    }
    return false;
}

bool SendWhole(int fd, const std::string& text, Clock::time_point deadline) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && Clock::now() < deadline) {
            pollfd p = {fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
            continue;
        }
        return false;
    }
    return true;
}

std::string StreamRequest(const std::string& name, const std::string& camera) {
    return "GET /stream?deviceName=" + name + "&cameraName=" + camera +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// Whether the server closed the connection (or it failed); reads and drops what is waiting.
bool PeerClosed(int fd) {
    char sink[256];
    for (;;) {
        const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n == 0) return true;
        return !(errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOTCONN || errno == EINPROGRESS);
    }
}

}  // namespace

int ConnectFrom(const std::string& sourceIp, int port, int receiveBuffer) {
    const int fd = StartConnect(sourceIp, port, receiveBuffer);
    if (fd < 0) return -1;
    if (!WaitWritable(fd, Clock::now() + std::chrono::seconds(3))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

StalledStreams::StalledStreams(int port, int count, const std::string& camera) {
    for (int i = 0; i < count; ++i) {
        const std::string source = "127.0.1." + std::to_string(i + 2);
        const int fd = ConnectFrom(source, port, 4096);
        if (fd < 0) continue;
        if (!SendWhole(fd, StreamRequest("stalled-" + std::to_string(i + 1), camera), Clock::now() + std::chrono::seconds(2))) {
            ::close(fd);
            continue;
        }
        fds_.push_back(fd);
    }
}

StalledStreams::~StalledStreams() {
    for (int fd : fds_) ::close(fd);
}

ThrottledStream::ThrottledStream(int port, const std::string& sourceIp, const std::string& name,
                                 const std::string& camera, double bytesPerSecond)
    : rate_(bytesPerSecond) {
    fd_ = ConnectFrom(sourceIp, port, 8192);
    if (fd_ < 0 || !SendWhole(fd_, StreamRequest(name, camera), Clock::now() + std::chrono::seconds(2))) {
        closed_.store(true);
        return;
    }
    thread_ = std::thread([this] { run(); });
}

ThrottledStream::~ThrottledStream() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
}

void ThrottledStream::startWindow() {
    windowStart_ = Clock::now();
    frames_.store(0);
    bytes_.store(0);
    counting_.store(true);
}

nlohmann::json ThrottledStream::stopWindow() {
    counting_.store(false);
    const double seconds = std::max(1e-3, MsSince(windowStart_) / 1000);
    const double frames = static_cast<double>(frames_.load());
    const double bytes = static_cast<double>(bytes_.load());
    const double meanFrame = frames > 0 ? bytes / frames : -1;
    return {{"fps", frames / seconds},
            {"bytes_per_second", bytes / seconds},
            {"link_bytes_per_second", rate_},
            {"mean_frame_bytes", meanFrame},
            {"capacity_fps", meanFrame > 0 ? rate_ / meanFrame : -1},
            {"connected", !closed_.load()}};
}

void ThrottledStream::run() {
    std::string buffer;
    bool inHead = true;
    size_t bodyLeft = 0;
    double allowance = 0;
    auto last = Clock::now();
    while (!stop_.load() && !closed_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto now = Clock::now();
        allowance = std::min(allowance + rate_ * std::chrono::duration<double>(now - last).count(), rate_ * 0.1);
        last = now;
        char chunk[65536];
        while (allowance >= 1) {
            const size_t want = std::min(sizeof chunk, static_cast<size_t>(allowance));
            const ssize_t n = ::recv(fd_, chunk, want, MSG_DONTWAIT);
            if (n == 0) closed_.store(true);
            if (n <= 0) break;
            allowance -= static_cast<double>(n);
            if (counting_.load()) bytes_.fetch_add(static_cast<uint64_t>(n));
            buffer.append(chunk, static_cast<size_t>(n));
            // The multipart stream: a head (the answer's, then each part's), then the part's
            // Content-Length bytes and CR LF.
            for (;;) {
                if (inHead) {
                    const size_t end = buffer.find("\r\n\r\n");
                    if (end == std::string::npos) break;
                    const std::string head = buffer.substr(0, end);
                    buffer.erase(0, end + 4);
                    const size_t at = head.find("Content-Length: ");
                    if (at == std::string::npos) continue;  // the stream answer's head
                    bodyLeft = std::strtoull(head.c_str() + at + 16, nullptr, 10) + 2;
                    inHead = false;
                } else {
                    const size_t take = std::min(bodyLeft, buffer.size());
                    buffer.erase(0, take);
                    bodyLeft -= take;
                    if (bodyLeft > 0) break;
                    inHead = true;
                    if (counting_.load()) frames_.fetch_add(1);
                }
            }
        }
    }
}

AbusiveConnections::AbusiveConnections(int port, int count, Kind kind) : port_(port), count_(count), kind_(kind) {
    thread_ = std::thread([this] { run(); });
}

AbusiveConnections::~AbusiveConnections() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
}

void AbusiveConnections::run() {
    const std::string body = R"({"deviceName":"trickler","zoom":940.74,"aperture":8.93,"padding":"..............."})";
    const std::string head = "POST /camera HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                             "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    struct Conn {
        int fd = -1;
        size_t sent = 0;  // body bytes sent
        bool headSent = false;
        Clock::time_point next;
    };
    std::vector<Conn> conns(static_cast<size_t>(count_));
    const auto open = [&](Conn& c, size_t i) {
        if (c.fd >= 0) ::close(c.fd);
        c = Conn{};
        c.fd = StartConnect("127.0.2." + std::to_string(i % 250 + 2), port_, 0);
        // Staggered, so that the bytes of all connections spread over each 300 ms.
        c.next = Clock::now() + std::chrono::milliseconds(300 * static_cast<int>(i) / std::max(1, count_));
    };
    for (size_t i = 0; i < conns.size(); ++i) open(conns[i], i);
    while (!stop_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto now = Clock::now();
        for (size_t i = 0; i < conns.size(); ++i) {
            Conn& c = conns[i];
            if (c.fd < 0 || PeerClosed(c.fd)) {
                open(c, i);
                continue;
            }
            if (kind_ == Kind::Silent || now < c.next) continue;
            c.next = now + std::chrono::milliseconds(300);
            ssize_t n = 0;
            if (!c.headSent) {
                n = ::send(c.fd, head.data(), head.size(), MSG_NOSIGNAL);
                if (n == static_cast<ssize_t>(head.size())) c.headSent = true;
            } else if (c.sent < body.size()) {
                n = ::send(c.fd, body.data() + c.sent, 1, MSG_NOSIGNAL);
                if (n == 1) ++c.sent;
            } else {
                continue;  // everything sent: wait for the answer and the close
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN) open(c, i);
        }
    }
    for (Conn& c : conns) {
        if (c.fd >= 0) ::close(c.fd);
    }
}

nlohmann::json ProbeInfoLatency(int port, int samples, int gapMs, int limitMs) {
    std::vector<double> latencies;
    int timeouts = 0;
    const std::string request = "GET /info HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    for (int i = 0; i < samples; ++i) {
        const auto start = Clock::now();
        const auto deadline = start + std::chrono::milliseconds(limitMs);
        bool answered = false;
        const int fd = StartConnect("127.0.0.1", port, 0);
        if (fd >= 0 && WaitWritable(fd, deadline) && SendWhole(fd, request, deadline)) {
            std::string answer;
            char chunk[1024];
            while (Clock::now() < deadline) {
                pollfd p = {fd, POLLIN, 0};
                ::poll(&p, 1, 10);
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
                if (n > 0) answer.append(chunk, static_cast<size_t>(n));
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
            }
            answered = answer.find("\"service\":\"quillo\"") != std::string::npos;
        }
        if (fd >= 0) ::close(fd);
        const double ms = MsSince(start);
        if (answered) {
            latencies.push_back(ms);
        } else {
            ++timeouts;
            latencies.push_back(limitMs);
            if (timeouts >= 5) break;  // a server that does not answer: enough to know
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    return {{"median_ms", Median(latencies)},
            {"p99_ms", Quantile(latencies, 0.99)},
            {"max_ms", latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end())},
            {"timeouts", timeouts},
            {"count", latencies.size()}};
}

}  // namespace qlo::bench
