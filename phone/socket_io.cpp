#include "phone/socket_io.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qlophone {

namespace {

constexpr auto kPollSlice = std::chrono::milliseconds(100);

// Milliseconds poll() may wait: up to the deadline, at most one slice.
int SliceMillis(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return static_cast<int>(std::min(left, std::chrono::duration_cast<std::chrono::milliseconds>(kPollSlice)).count());
}

bool StopRaised(const std::atomic<bool>* stop) { return stop && stop->load(); }

// Waits until fd has `events`; Ok when ready.
IoResult WaitFor(int fd, short events, Deadline deadline, const std::atomic<bool>* stop) {
    for (;;) {
        if (StopRaised(stop)) return {IoStatus::Stopped, 0, 0};
        if (Clock::now() >= deadline) return {IoStatus::TimedOut, 0, 0};
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, SliceMillis(deadline));
        if (n < 0) {
            if (errno == EINTR) continue;
            return {IoStatus::Failed, 0, errno};
        }
        if (n > 0) return {IoStatus::Ok, 0, 0};
    }
}

bool SetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string Errno(int error) { return std::strerror(error); }

// Creates a socket of the target's family, bound to the source address when there is one.
Socket OpenBound(const ConnectionTarget& target, int type, std::string& error) {
    if (target.source && target.source->family() != target.address.family()) {
        error = "source address " + target.source->hostText() + " and target " + target.address.hostText() +
                " are of different address families";
        return Socket();
    }
    Socket s(::socket(target.address.family(), type | SOCK_CLOEXEC, 0));
    if (!s.valid()) {
        error = "cannot create socket: " + Errno(errno);
        return Socket();
    }
    if (target.source) {
        SocketAddress local = *target.source;
        if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&local.storage), local.length) != 0) {
            error = "cannot bind to source address " + local.hostText() + ": " + Errno(errno);
            return Socket();
        }
    }
    if (!SetNonBlocking(s.fd())) {
        error = "cannot make socket non-blocking: " + Errno(errno);
        return Socket();
    }
    return s;
}

std::optional<SocketAddress> AddressOf(int fd, bool peer) {
    SocketAddress a;
    a.length = sizeof(a.storage);
    int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&a.storage), &a.length)
                  : ::getsockname(fd, reinterpret_cast<sockaddr*>(&a.storage), &a.length);
    if (rc != 0) return std::nullopt;
    return a;
}

}  // namespace

uint16_t SocketAddress::port() const {
    if (family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    if (family() == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
    return 0;
}

std::string SocketAddress::hostText() const {
    char host[NI_MAXHOST] = {};
    if (length == 0 ||
        ::getnameinfo(reinterpret_cast<const sockaddr*>(&storage), length, host, sizeof(host), nullptr, 0,
                      NI_NUMERICHOST) != 0) {
        return "?";
    }
    return host;
}

std::string SocketAddress::text() const {
    const std::string host = hostText();
    if (family() == AF_INET6) return "[" + host + "]:" + std::to_string(port());
    return host + ":" + std::to_string(port());
}

SocketAddress SocketAddress::withPort(uint16_t newPort) const {
    SocketAddress a = *this;
    if (family() == AF_INET) reinterpret_cast<sockaddr_in*>(&a.storage)->sin_port = htons(newPort);
    if (family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&a.storage)->sin6_port = htons(newPort);
    return a;
}

std::optional<SocketAddress> ParseNumericAddress(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (host.empty() || ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        return std::nullopt;
    }
    SocketAddress a;
    std::memcpy(&a.storage, found->ai_addr, found->ai_addrlen);
    a.length = found->ai_addrlen;
    ::freeaddrinfo(found);
    return a;
}

std::optional<SocketAddress> PeerAddress(int fd) { return AddressOf(fd, true); }
std::optional<SocketAddress> LocalAddress(int fd) { return AddressOf(fd, false); }

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int Socket::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Socket ConnectTcp(const ConnectionTarget& target, Deadline deadline, std::string& error,
                  const std::atomic<bool>* stop) {
    Socket s = OpenBound(target, SOCK_STREAM, error);
    if (!s.valid()) return s;
    int one = 1;
    ::setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    const auto& a = target.address;
    if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&a.storage), a.length) == 0) return s;
    if (errno != EINPROGRESS) {
        error = "cannot connect to " + a.text() + ": " + Errno(errno);
        return Socket();
    }
    IoResult waited = WaitFor(s.fd(), POLLOUT, deadline, stop);
    if (waited.status != IoStatus::Ok) {
        error = "cannot connect to " + a.text() + ": " + DescribeIo(waited);
        return Socket();
    }
    int soError = 0;
    socklen_t len = sizeof(soError);
    if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0) soError = errno;
    if (soError != 0) {
        error = "cannot connect to " + a.text() + ": " + Errno(soError);
        return Socket();
    }
    return s;
}

IoResult SendAll(int fd, const void* data, size_t size, Deadline deadline, const std::atomic<bool>* stop) {
    const auto* bytes = static_cast<const char*>(data);
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = ::send(fd, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            IoResult waited = WaitFor(fd, POLLOUT, deadline, stop);
            if (waited.status != IoStatus::Ok) return {waited.status, sent, waited.error};
            continue;
        }
        return {IoStatus::Failed, sent, n < 0 ? errno : EPIPE};
    }
    return {IoStatus::Ok, sent, 0};
}

IoResult ReceiveSome(int fd, void* buffer, size_t capacity, Deadline deadline, const std::atomic<bool>* stop) {
    for (;;) {
        ssize_t n = ::recv(fd, buffer, capacity, 0);
        if (n > 0) return {IoStatus::Ok, static_cast<size_t>(n), 0};
        if (n == 0) return {IoStatus::Closed, 0, 0};
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return {IoStatus::Failed, 0, errno};
        IoResult waited = WaitFor(fd, POLLIN, deadline, stop);
        if (waited.status != IoStatus::Ok) return waited;
    }
}

Socket OpenUdp(const ConnectionTarget& target, std::string& error) {
    Socket s = OpenBound(target, SOCK_DGRAM, error);
    if (!s.valid()) return s;
    const auto& a = target.address;
    if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&a.storage), a.length) != 0) {
        error = "cannot address UDP " + a.text() + ": " + Errno(errno);
        return Socket();
    }
    return s;
}

std::string DescribeIo(const IoResult& result) {
    switch (result.status) {
        case IoStatus::Ok: return "ok";
        case IoStatus::Closed: return "connection closed by peer";
        case IoStatus::TimedOut: return "timed out";
        case IoStatus::Stopped: return "interrupted";
        case IoStatus::Failed: return Errno(result.error);
    }
    return "unknown";
}

}  // namespace qlophone
