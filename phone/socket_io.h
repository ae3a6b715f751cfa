// The phone's own small socket layer: numeric addresses (no name lookups), TCP connect with an
// optional source address and a deadline, sends and receives that wait at most until a deadline
// (and stop early when asked), and connected UDP sockets. All sockets are non-blocking; waiting
// is done with poll() in short slices so that a stop request is seen within 100 ms.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qlophone {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    uint16_t port() const;
    // "127.0.0.1" or "::1" (with "%scope" when the address has one).
    std::string hostText() const;
    // "127.0.0.1:8254" or "[::1]:8254"; also the Host header of a request.
    std::string text() const;
    // The same address with another port.
    SocketAddress withPort(uint16_t port) const;
};

// A numeric IPv4 or IPv6 address ("fe80::1%lo" allowed); never asks a name server.
std::optional<SocketAddress> ParseNumericAddress(const std::string& host, uint16_t port);

// Peer or local address of a connected socket.
std::optional<SocketAddress> PeerAddress(int fd);
std::optional<SocketAddress> LocalAddress(int fd);

// Owns one file descriptor.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void close();

private:
    int fd_ = -1;
};

enum class IoStatus {
    Ok,        // some bytes moved
    Closed,    // the peer closed (receive only)
    TimedOut,  // the deadline passed
    Stopped,   // the stop flag was raised
    Failed,    // a socket error; `error` holds errno
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    size_t bytes = 0;
    int error = 0;
};

// Where the phone connects and which local address its sockets use.
struct ConnectionTarget {
    SocketAddress address;
    std::optional<SocketAddress> source;
};

// Opens a TCP connection; on failure returns an invalid socket and a readable `error`.
Socket ConnectTcp(const ConnectionTarget& target, Deadline deadline, std::string& error,
                  const std::atomic<bool>* stop = nullptr);

// Sends all of `data` or reports why not.
IoResult SendAll(int fd, const void* data, size_t size, Deadline deadline, const std::atomic<bool>* stop = nullptr);

// Receives at most `capacity` bytes, waiting until some arrive, the peer closes, the deadline
// passes or the stop flag is raised.
IoResult ReceiveSome(int fd, void* buffer, size_t capacity, Deadline deadline, const std::atomic<bool>* stop = nullptr);

// A UDP socket bound to the source address (when given) and connected to the target.
Socket OpenUdp(const ConnectionTarget& target, std::string& error);

// "Connection refused", "timed out" ... for an IoResult that is not Ok.
std::string DescribeIo(const IoResult& result);

}  // namespace qlophone
