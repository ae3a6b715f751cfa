// Loopback helpers for the server tests: simulated phones connect from their own loopback
// addresses (127.0.0.2, 127.0.0.3, ...), send raw requests and read raw answers or MJPEG parts.
// Every wait is bounded: client sockets time out, and WaitUntil gives up after a few seconds.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/ip_address.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"

namespace qlotest {

// Polls until the condition holds or `seconds` passed; returns the condition's last value.
inline bool WaitUntil(const std::function<bool()>& condition, double seconds = 10.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A TCP connection to 127.0.0.1:port from `sourceIp`, with 10 s timeouts. receiveBuffer > 0
// shrinks the client's receive buffer before connecting. Returns -1 on failure.
inline int ConnectFrom(const char* sourceIp, uint16_t port, int receiveBuffer = 0) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    // Phones live at high descriptor numbers, out of the way of the server's own sockets (the
    // test that reuses a socket number relies on that).
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 400);
    if (high >= 0) {
        close(fd);
        fd = high;
    }
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local = {}, remote = {};
    local.sin_family = remote.sin_family = AF_INET;
    inet_pton(AF_INET, sourceIp, &local.sin_addr);
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    remote.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        close(fd);
        return -1;
    }
    const timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
}

inline bool SendText(int fd, const std::string& text) {
    for (size_t sent = 0; sent < text.size();) {
        ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Everything the peer sends until it closes (or the client's timeout passes).
inline std::string ReadToEnd(int fd) {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) out.append(buffer, static_cast<size_t>(n));
    return out;
}

// One control request: connect from sourceIp, send, read the whole answer.
inline std::string Exchange(uint16_t port, const std::string& request, const char* sourceIp = "127.0.0.1") {
    int fd = ConnectFrom(sourceIp, port);
    if (fd < 0) return "<connect failed>";
    SendText(fd, request);
    std::string answer = ReadToEnd(fd);
    close(fd);
    return answer;
}

inline std::string Post(const std::string& path, const std::string& body) {
    return "POST " + path + " HTTP/1.1\r\nHost: quillo\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string Get(const std::string& path) { return "GET " + path + " HTTP/1.1\r\nHost: quillo\r\n\r\n"; }

// A phone's MJPEG stream, read with the multipart framing the server writes.
class StreamPhone {
public:
    StreamPhone(const char* sourceIp, uint16_t port, const std::string& path = "/stream", int receiveBuffer = 0)
        : fd_(ConnectFrom(sourceIp, port, receiveBuffer)) {
        if (fd_ >= 0) SendText(fd_, Get(path));
    }
    ~StreamPhone() { closeNow(); }
    StreamPhone(const StreamPhone&) = delete;
    StreamPhone& operator=(const StreamPhone&) = delete;

    int fd() const { return fd_; }

    void closeNow() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    // The stream's head, up to and including the blank line; empty when it does not come.
    std::string readHead() { return readBlock(4096).value_or(""); }

    // The next part's JPEG bytes; nothing when the framing is wrong or the stream ended.
    std::optional<std::string> nextFrame() {
        const std::string prefix = "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: ";
        const std::optional<std::string> header = readBlock(512);
        if (!header || header->compare(0, prefix.size(), prefix) != 0) return std::nullopt;
        const size_t length = std::strtoull(header->c_str() + prefix.size(), nullptr, 10);
        if (*header != prefix + std::to_string(length) + "\r\n\r\n") return std::nullopt;
        std::string jpeg(length + 2, '\0');
        if (!readExact(jpeg.data(), jpeg.size()) || jpeg.compare(length, 2, "\r\n") != 0) return std::nullopt;
        jpeg.resize(length);
        return jpeg;
    }

    // Whether the server closed the stream (end of file, or a reset) within the client timeout.
    bool seesEnd() {
        char buffer[4096];
        for (;;) {
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n == 0) return true;
            if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
        }
    }

private:
    // Bytes up to and including the next blank line (at most `limit` of them).
    std::optional<std::string> readBlock(size_t limit) {
        std::string block;
        while (block.size() < 4 || block.compare(block.size() - 4, 4, "\r\n\r\n") != 0) {
            char c;
            if (block.size() >= limit || !readExact(&c, 1)) return std::nullopt;
            block += c;
        }
        return block;
    }
    bool readExact(char* out, size_t length) {
        for (size_t got = 0; got < length;) {
            ssize_t n = recv(fd_, out + got, length - got, 0);
            if (n <= 0) return false;
            got += static_cast<size_t>(n);
        }
        return true;
    }

    int fd_;
};

// A reverse lookup that stays on this machine: names come from a table by IP text, and a lookup
// for a "held" IP waits until the test releases it. Unknown IPs have no name.
class FakeLookup {
public:
    void setName(const std::string& ip, const std::string& name, bool held = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        names_[ip] = name;
        held_[ip] = held;
    }
    void release(const std::string& ip = "") {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& h : held_)
            if (ip.empty() || h.first == ip) h.second = false;
        cv_.notify_all();
    }
    int started() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }
    int finished() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return finished_;
    }

    // The lookup function; the table is shared, so it may outlive the server.
    static NameLookup bind(const std::shared_ptr<FakeLookup>& self) {
        return [self](const sockaddr* address, socklen_t) {
            char ip[64];
            SockAddrToIPString(address, ip, sizeof ip);
            std::unique_lock<std::mutex> lock(self->mutex_);
            ++self->started_;
            self->cv_.wait_for(lock, std::chrono::seconds(30), [&] { return !self->held_[ip]; });
            ++self->finished_;
            auto it = self->names_.find(ip);
            return it == self->names_.end() ? std::string() : it->second;
        };
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<std::string, std::string> names_;
    std::map<std::string, bool> held_;
    int started_ = 0;
    int finished_ = 0;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        qlo::log::SetStderrEnabled(false);
        server_.setNameLookup(FakeLookup::bind(lookup_));
        port_ = server_.start(0);
        ASSERT_NE(port_, 0);
    }

    // The server-side entry of the phone streaming from ip; with `wait`, once it is registered.
    std::optional<ClientInfo> entry(const std::string& ip, bool wait = false) {
        std::optional<ClientInfo> found;
        auto find = [&] {
            for (const ClientInfo& c : server_.snapshotClients())
                if (ip == c.ip) found = c;
            return found.has_value();
        };
        if (wait) WaitUntil(find);
        else find();
        return found;
    }

    // Waits until the capture holds a line containing text.
    bool logged(const std::string& text) {
        return WaitUntil([&] { return log_.contains(text); });
    }

    qlo::log::CaptureSink log_;  // declared first: outlives the server
    std::shared_ptr<FakeLookup> lookup_ = std::make_shared<FakeLookup>();
    MJPEGServer server_;
    uint16_t port_ = 0;
};

}  // namespace qlotest
