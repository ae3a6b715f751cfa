#include "loopback_server.h"

#include "phone/socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qlophone::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string IpOf(const sockaddr_storage& a, socklen_t length) { return SocketAddress{a, length}.hostText(); }

// Binds a socket of `type` to bindIp on an ephemeral port; returns the fd and sets `port`.
int BindLoopback(const std::string& bindIp, int type, uint16_t& port) {
    const std::optional<SocketAddress> address = ParseNumericAddress(bindIp, 0);
    const int fd = address ? socket(address->family(), type | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address->storage), address->length) != 0)
        throw std::runtime_error("cannot bind test socket to " + bindIp);
    port = LocalAddress(fd)->port();
    return fd;
}

bool Readable(int fd, int millis) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, millis) > 0;
}

// Reads the head and, when it names one, a body of Content-Length bytes; at most 2 s.
std::string ReadRequest(int fd) {
    std::string text;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    size_t wanted = std::string::npos;
    while (Clock::now() < deadline && text.size() < 65536 && (wanted == std::string::npos || text.size() < wanted)) {
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

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler, const std::string& bindIp) : handler_(std::move(handler)) {
    listenFd_ = BindLoopback(bindIp, SOCK_STREAM, port_);
    listen(listenFd_, 8);
    thread_ = std::thread([this] {
        // At most 64 connections, until the destructor asks to stop.
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

LoopbackHttpServer::~LoopbackHttpServer() {
    stopping_ = true;
    thread_.join();
    close(listenFd_);
}

std::vector<SeenRequest> LoopbackHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

LoopbackUdpReceiver::LoopbackUdpReceiver() { fd_ = BindLoopback("127.0.0.1", SOCK_DGRAM, port_); }
LoopbackUdpReceiver::~LoopbackUdpReceiver() { close(fd_); }

std::vector<LoopbackUdpReceiver::Datagram> LoopbackUdpReceiver::waitFor(size_t count, std::chrono::milliseconds limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto deadline = Clock::now() + limit;
    for (;;) {
        uint8_t buffer[512];
        sockaddr_storage from{};
        socklen_t len = sizeof(from);
        const ssize_t n = recvfrom(fd_, buffer, sizeof(buffer), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
        if (n >= 0) {
            datagrams_.push_back({std::vector<uint8_t>(buffer, buffer + n), IpOf(from, len)});
        } else if (datagrams_.size() >= count || Clock::now() >= deadline) {
            return datagrams_;
        } else {
            Readable(fd_, 10);
        }
    }
}

void WaitForPeerClose(int fd, std::chrono::milliseconds limit) {
    char c;
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
        if (Readable(fd, 50) && recv(fd, &c, 1, 0) <= 0) return;
    }
}

std::string OkAnswer() { return "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK"; }

std::string RegisterAnswer() {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 11\r\nAccess-Control-Allow-Origin: "
           "*\r\nConnection: close\r\n\r\n{\"ok\":true}";
}

std::string InfoAnswer(uint16_t port, uint16_t controlPort, int clients) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\nConnection: "
           "close\r\n\r\n{\"service\":\"quillo\",\"version\":\"4.0\",\"port\":" + std::to_string(port) +
           ",\"controlPort\":" + std::to_string(controlPort) + ",\"clients\":" + std::to_string(clients) + "}";
}

std::string StreamHead() {
    return "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\nCache-Control: no-cache, "
           "no-store, must-revalidate\r\nConnection: keep-alive\r\nAccess-Control-Allow-Origin: *\r\n\r\n";
}

std::string Part(const std::string& jpeg) {
    return "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n" + jpeg + "\r\n";
}

std::string FakeJpeg(int index, size_t payloadBytes) {
    std::string jpeg = "\xFF\xD8\r\n--frame\r\nContent-Length: 9\r\n\r\n";  // framing look-alikes inside the image data
    for (size_t i = 0; jpeg.size() < payloadBytes; ++i) jpeg += static_cast<char>((i * 31 + static_cast<size_t>(index)) & 0xFF);
    return jpeg + "\xFF\xD9";
}

}  // namespace qlophone::test
