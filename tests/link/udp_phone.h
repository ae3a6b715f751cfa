// A stand-in phone for the motion tests: a UDP socket bound to its own loopback source address
// (127.0.0.2, 127.0.0.3 ... or ::1), so that each simulated phone has its own IP text, sending
// to the receiver on this machine's loopback.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "link/motion_datagram.h"

class UdpPhone {
public:
    // sourceIP: an IPv4 loopback address (127.x.y.z) or "::1".
    explicit UdpPhone(const std::string& sourceIP) : v6_(sourceIP.find(':') != std::string::npos) {
        fd_ = socket(v6_ ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return;
        int rc;
        if (v6_) {
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            rc = inet_pton(AF_INET6, sourceIP.c_str(), &a.sin6_addr) == 1
                     ? bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a)
                     : -1;
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            rc = inet_pton(AF_INET, sourceIP.c_str(), &a.sin_addr) == 1
                     ? bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a)
                     : -1;
        }
        if (rc != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~UdpPhone() {
        if (fd_ >= 0) close(fd_);
    }
    UdpPhone(const UdpPhone&) = delete;
    UdpPhone& operator=(const UdpPhone&) = delete;

    bool ok() const { return fd_ >= 0; }

    // Sends raw bytes to the loopback address of the phone's family (127.0.0.1 or ::1).
    bool sendRaw(uint16_t port, const void* data, size_t size) const {
        ssize_t n;
        if (v6_) {
            sockaddr_in6 to{};
            to.sin6_family = AF_INET6;
            to.sin6_addr = in6addr_loopback;
            to.sin6_port = htons(port);
            n = sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        } else {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons(port);
            n = sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
        return n == static_cast<ssize_t>(size);
    }
    bool send(uint16_t port, MotionDatagramType type, const std::array<float, 6>& values) const {
        auto bytes = EncodeMotionDatagram(type, values);
        return sendRaw(port, bytes.data(), bytes.size());
    }
    bool sendSample(uint16_t port, const std::array<float, 6>& values) const {
        return send(port, MotionDatagramType::Sample, values);
    }
    bool sendReset(uint16_t port) const {
        return send(port, MotionDatagramType::Reset, {9, 9, 9, 9, 9, 9});  // floats unused
    }

private:
    bool v6_;
    int fd_ = -1;
};

// Polls `done` until it holds or `seconds` pass; true when it held.
template <class Pred>
bool WaitUntil(Pred done, double seconds = 10.0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
