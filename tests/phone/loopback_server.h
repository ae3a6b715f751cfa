// Test helpers: a tiny TCP server on an ephemeral loopback port that reads one request per
// connection and lets the test answer it, a UDP socket that collects datagrams, and the texts
// the plug-in's server answers with. Every wait is bounded; the destructors stop and join.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "phone/socket_io.h"
#include "support/test_support.h"

namespace qlophone::test {

using qlotest::SendText;  // writes all of a text to a blocking socket; false when the peer went away

inline std::string IpOf(const sockaddr_storage& a, socklen_t length) {
    return SocketAddress{a, length}.hostText();
}

inline bool Readable(int fd, int millis) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, millis) > 0;
}

// Binds a socket of `type` to bindIp on an ephemeral port; returns the fd and sets `port`.
inline int BindLoopback(const std::string& bindIp, int type, uint16_t& port) {
    const std::optional<SocketAddress> address = ParseNumericAddress(bindIp, 0);
    const int fd = address ? socket(address->family(), type | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address->storage), address->length) != 0)
        throw std::runtime_error("cannot bind test socket to " + bindIp);
    port = LocalAddress(fd)->port();
    return fd;
}

// Waits (at most `limit`) until the peer closes the connection.
inline void WaitForPeerClose(int fd, std::chrono::milliseconds limit) {
    char c;
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
        if (Readable(fd, 50) && recv(fd, &c, 1, 0) <= 0) return;
    }
}

struct SeenRequest {
    std::string text;    // head and body as received
    std::string peerIp;  // the client's address
};

class LoopbackHttpServer {
public:
    // Called on the server thread with the connection and the request; the server closes the
    // connection when it returns. At most 64 connections are served.
    using Handler = std::function<void(int fd, const SeenRequest& request)>;

    explicit LoopbackHttpServer(Handler handler, const std::string& bindIp = "127.0.0.1")
        : handler_(std::move(handler)), listenFd_(BindLoopback(bindIp, SOCK_STREAM, port_)) {
        listen(listenFd_, 8);
        thread_ = std::thread([this] {
            for (int served = 0; served < 64 && !stopping_;) {
                if (!Readable(listenFd_, 50)) continue;
                sockaddr_storage peer{};
                socklen_t len = sizeof(peer);
                const int fd = accept(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len);
                if (fd < 0) continue;
                ++served;
                const SeenRequest request{ReadRequest(fd), IpOf(peer, len)};
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(request);
                }
                if (handler_) handler_(fd, request);
                close(fd);
            }
        });
    }
    ~LoopbackHttpServer() {
        stopping_ = true;
        thread_.join();
        close(listenFd_);
    }
    uint16_t port() const { return port_; }
    std::vector<SeenRequest> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    // Reads the head and, when it names one, a body of Content-Length bytes; at most 2 s.
    static std::string ReadRequest(int fd) {
        std::string text;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        size_t wanted = std::string::npos;
        while (Clock::now() < deadline && text.size() < std::min(wanted, size_t{65536})) {
            if (!Readable(fd, 100)) continue;
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
            const size_t headEnd = text.find("\r\n\r\n"), at = text.find("Content-Length:");
            if (headEnd != std::string::npos && wanted == std::string::npos)
                wanted = headEnd + 4 + (at < headEnd ? std::stoul(text.substr(at + 15)) : 0);
        }
        return text;
    }

    Handler handler_;
    uint16_t port_ = 0;
    int listenFd_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<SeenRequest> requests_;
    std::thread thread_;
};

// A UDP socket on 127.0.0.1 whose datagrams a test reads one at a time.
class LoopbackUdpReceiver {
public:
    struct Datagram {
        std::vector<uint8_t> bytes;
        std::string sourceIp;
    };
    uint16_t port() const { return port_; }
    // The next datagram, or none when nothing arrives within `limit`.
    std::optional<Datagram> next(std::chrono::milliseconds limit) {
        uint8_t buffer[512];
        sockaddr_storage from{};
        socklen_t len = sizeof(from);
        if (!Readable(socket_.fd(), static_cast<int>(limit.count()))) return std::nullopt;
        const ssize_t n = recvfrom(socket_.fd(), buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &len);
        return Datagram{std::vector<uint8_t>(buffer, buffer + std::max<ssize_t>(n, 0)), IpOf(from, len)};
    }

private:
    uint16_t port_ = 0;
    Socket socket_{BindLoopback("127.0.0.1", SOCK_DGRAM, port_)};
};

// The answer texts the plug-in's server sends.
inline std::string RegisterAnswer() {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 11\r\nAccess-Control-Allow-Origin: "
           "*\r\nConnection: close\r\n\r\n{\"ok\":true}";
}

inline std::string InfoAnswer(uint16_t port, uint16_t controlPort, int clients) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\nConnection: "
           "close\r\n\r\n{\"service\":\"quillo\",\"version\":\"4.0\",\"port\":" + std::to_string(port) +
           ",\"controlPort\":" + std::to_string(controlPort) + ",\"clients\":" + std::to_string(clients) + "}";
}

inline std::string StreamHead() {
    return "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\nCache-Control: no-cache, "
           "no-store, must-revalidate\r\nConnection: keep-alive\r\nAccess-Control-Allow-Origin: *\r\n\r\n";
}

inline std::string Part(const std::string& jpeg) {
    return "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n" + jpeg +
           "\r\n";
}

// A small JPEG-shaped byte string (SOI ... EOI) whose payload holds framing-like bytes.
inline std::string FakeJpeg(int index, size_t payloadBytes = 100) {
    std::string jpeg = "\xFF\xD8\r\n--frame\r\nContent-Length: 9\r\n\r\n";  // framing look-alikes inside the image
    for (size_t i = 0; jpeg.size() < payloadBytes; ++i) jpeg += static_cast<char>((i * 31 + index) & 0xFF);
    return jpeg + "\xFF\xD9";
}

}  // namespace qlophone::test
